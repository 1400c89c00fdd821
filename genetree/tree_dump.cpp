// The plain genealogy dump (.tri): one line per node of the genealogy with its
// descendants, migration record and ancestor.

#include <fstream>
#include <string>

#include "app/settings.h"
#include "genetree/tree.h"

namespace {

int32_t numberOrNone(const TNode* node) {
    return node != nullptr ? node->nodeNumber : -1;
}

int entries(const MY_TArrayAsVector<int>* list) {
    return list != nullptr ? list->count() : 0;
}

void writeNodeLine(std::ostream& out, const TNode& node, bool twoLayers) {
    out << node.nodeNumber << '\t' << numberOrNone(node.leftDescendant) << ' '
        << numberOrNone(node.rightDescendant) << '\t';
    // Steps are (cell, generation[, layer]) records: only complete ones are written.
    int steps = entries(node.locationList);
    if (entries(node.timeList) < steps) steps = entries(node.timeList);
    out << steps << '\t';
    for (int i = 0; i < steps; ++i) {
        out << (*node.locationList)[i] << ' ';
        if (twoLayers) {
            const int stepLayer = i < entries(node.layerList) ? (*node.layerList)[i] : -1;
            out << stepLayer + 1 << ' ';
        }
        out << (*node.timeList)[i] << '\t';
    }
    out << '\t' << numberOrNone(node.ancestor) << '\n';
}

}  // namespace

int TTree::write_TreeInFile(const int& sim, const int& chrom, const my_string& base) {
    const std::string name = std::string(base.c_str()) + "_tree_sim" + std::to_string(sim) +
                             "_chrom" + std::to_string(chrom) + ".tri";
    std::ofstream out(name.c_str(), std::ios::out | std::ios::trunc);
    // The genealogy proper is its first 2n - 1 nodes (recombination may have
    // appended more); a chain that is shorter is written as far as it goes.
    int64_t lines = 2 * static_cast<int64_t>(sampleSize) - 1;
    if (lines > nodes.count()) lines = nodes.count();
    if (lines < 0) lines = 0;
    out << lines << '\n';
    const bool twoLayers = NbDemePerCell > 1;
    const TNode* node = nodes.first();
    for (int64_t i = 0; i < lines && node != nullptr; ++i, node = nodes.next()) {
        writeNodeLine(out, *node, twoLayers);
    }
    return 1;
}
