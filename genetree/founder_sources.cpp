#include "genetree/founder_sources.h"

#include <algorithm>

#include "genetree/tree_node.h"
#include "landscape/population_source.h"

namespace {

int entries(const MY_TArrayAsVector<int>* list) {
    return list != nullptr ? list->count() : 0;
}

enum class ScanResult { Crossed, NotHere, Stop };

// One node's migration record, read in order.
ScanResult scanRecord(const TNode& node, const FounderSources& founders) {
    const int steps = std::min(entries(node.locationList), entries(node.timeList));
    const int layers = entries(node.layerList);
    const int64_t crossingGeneration = static_cast<int64_t>(founders.generation) - 1;
    for (int i = 0; i < steps; ++i) {
        const int64_t generation = (*node.timeList)[i];
        if (generation > crossingGeneration) continue;
        if (generation < crossingGeneration) return ScanResult::Stop;
        // A step with no step before it opens the record of a new node (a
        // coalescence there), not a move; a move in from another cell is a
        // migration, not the founding.
        if (i == 0 || (*node.locationList)[i - 1] != (*node.locationList)[i]) continue;
        const int32_t cell = (*node.locationList)[i];
        const int32_t layer = i < layers ? (*node.layerList)[i] : -1;
        for (const FounderSources::Origin& origin : founders.origins) {
            if (origin.historyIndex == cell && origin.layer == layer) return ScanResult::Crossed;
        }
    }
    return ScanResult::NotHere;
}

}  // namespace

FounderSources findFounderSources(const PopulationVector& sources) {
    FounderSources founders;
    // Sources are sorted by expansion time once read; their record numbers
    // still give the file order.
    int lastLater = -1;
    for (int i = 0; i < sources.count(); ++i) {
        const PopulationSource& source = sources.at(i);
        if (source.expansionTime == 0) continue;
        if (lastLater < 0 || source.recordNumber >= sources.at(lastLater).recordNumber) {
            lastLater = i;
        }
    }
    if (lastLater < 0) return founders;
    founders.generation = sources.at(lastLater).expansionTime;
    for (int i = 0; i < sources.count(); ++i) {
        const PopulationSource& source = sources.at(i);
        if (source.expansionTime != founders.generation) continue;
        const FounderSources::Origin origin{source.dbIndex, 1 - source.layer};
        // Two founders in one cell found one lineage once: a tip counts once.
        const bool known =
            std::any_of(founders.origins.begin(), founders.origins.end(),
                        [&origin](const FounderSources::Origin& o) {
                            return o.historyIndex == origin.historyIndex && o.layer == origin.layer;
                        });
        if (!known) founders.origins.push_back(origin);
    }
    return founders;
}

bool descendsFromFounders(const TNode& tip, const FounderSources& founders) {
    if (founders.origins.empty()) return false;
    for (const TNode* node = &tip; node != nullptr && node->ancestor != nullptr;
         node = node->ancestor) {
        switch (scanRecord(*node, founders)) {
            case ScanResult::Crossed:
                return true;
            case ScanResult::Stop:
                return false;
            case ScanResult::NotHere:
                break;
        }
    }
    return false;
}
