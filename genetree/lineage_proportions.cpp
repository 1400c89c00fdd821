// The proportion of sampled lineages that descend from the founders of the
// second population, over all samples and per sampled deme, for every
// simulation and chromosome of a two-layer run; the table holding them and the
// .prop file of one simulation.

#include <algorithm>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/memory_size.h"
#include "genetree/founder_sources.h"
#include "genetree/tree.h"
#include "landscape/population_source.h"

namespace {

constexpr float kUnsetProportion = 999999.0f;

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

// The layer a node lay in when its record starts. A tip is taken in its
// sample layer: its first step is written once per layer when a genealogy
// starts, so it always names the last layer.
int firstRecordedLayer(const TNode& node) {
    if (node.coalescentFlag == TNode::kTipNode) return node.sampleLayer;
    if (node.layerList == nullptr || node.layerList->count() == 0) return -1;
    return (*node.layerList)[0];
}

bool isSampledIn(const TNode& tip, int cell, int layer) {
    return tip.sampleCell == cell && tip.sampleLayer == layer;
}

// The most recent common ancestor of the tips sampled in (cell, layer): the
// first node of the first tip's way up (to the root of locus 0) that lies on
// every other tip's way up, the root in any case. A lone tip yields its
// ancestor, or itself when it has none. Null when no tip was sampled there.
// Raises std::bad_alloc.
const TNode* sampleMrca(const TTree& tree, int cell, int layer) {
    const TNode* firstTip = nullptr;
    int32_t tipCount = 0;
    for (int32_t i = 0; i < tree.sampleSize; ++i) {
        const TNode* tip = tree.nodeAt(i);
        if (tip == nullptr) break;
        if (!isSampledIn(*tip, cell, layer)) continue;
        if (firstTip == nullptr) firstTip = tip;
        ++tipCount;
    }
    if (firstTip == nullptr) return nullptr;

    const TNode* root = tree.rootOf(0);
    std::vector<const TNode*> way;
    std::unordered_map<const TNode*, size_t> positionOnWay;
    if (firstTip != root) {
        const int64_t maxSteps = tree.numNodes();
        for (const TNode* node = firstTip->ancestor;
             node != nullptr && static_cast<int64_t>(way.size()) < maxSteps;
             node = node->ancestor) {
            positionOnWay.emplace(node, way.size());
            way.push_back(node);
            if (node == root) break;
        }
    }
    if (way.empty()) return firstTip;
    if (tipCount == 1) return way.front();

    // Ancestor pointers form a forest: once another tip's way meets the first
    // tip's, the two go on together, so what is kept is always a tail of the
    // first way, starting at the highest meeting point.
    size_t kept = 0;
    for (int32_t i = 0; i < tree.sampleSize; ++i) {
        const TNode* tip = tree.nodeAt(i);
        if (tip == nullptr) break;
        if (tip == firstTip || !isSampledIn(*tip, cell, layer)) continue;
        size_t meeting = way.size() - 1;  // the top of the way always stays
        int64_t steps = 0;
        for (const TNode* node = tip->ancestor; node != nullptr && steps < tree.numNodes();
             node = node->ancestor, ++steps) {
            const auto found = positionOnWay.find(node);
            if (found != positionOnWay.end()) {
                meeting = found->second;
                break;
            }
        }
        kept = std::max(kept, meeting);
    }
    return way[kept];
}

// The proportion of a group of tips: 1 when their common ancestor lay in
// layer 1, else the share of tips that descend from the founders.
float groupProportion(const TNode* mrca, int descending, int tips) {
    if (mrca != nullptr && firstRecordedLayer(*mrca) == 1) return 1.0f;
    return static_cast<float>(descending) / static_cast<float>(tips);
}

// Position of (sim, chrom) in a table; raises when the table does not hold it.
size_t tableEntry(const TDemeCollection& demes, size_t table, int sim, int chrom) {
    if (table >= demes.propLineagesTables.size() || sim < 0 || chrom < 0 ||
        chrom >= demes.numIndepLoci) {
        internalError("lineage proportion " + std::to_string(table) + " of simulation " +
                      std::to_string(sim) + ", chromosome " + std::to_string(chrom) +
                      " is outside the proportion table");
    }
    const size_t entry = static_cast<size_t>(sim) * static_cast<size_t>(demes.numIndepLoci) +
                         static_cast<size_t>(chrom);
    if (entry >= demes.propLineagesTables[table].size()) {
        internalError("lineage proportions of simulation " + std::to_string(sim) +
                      " requested, the proportion table has not been made for it");
    }
    return entry;
}

TDemeCollection& collectionBeingSimulated() {
    if (TDeme::_Demes == nullptr) {
        internalError("lineage proportions requested with no deme collection being simulated");
    }
    return *TDeme::_Demes;
}

bool chromosomeRecombines(const TDemeCollection& demes, int chrom) {
    const size_t c = static_cast<size_t>(chrom);
    const bool recombining =
        c < demes.tot_recomb_perchrom.size() && demes.tot_recomb_perchrom[c] > 0;
    const bool severalBlocks =
        c < demes.num_linkage_blocks_perchrom.size() && demes.num_linkage_blocks_perchrom[c] > 1;
    return recombining || severalBlocks;
}

}  // namespace

int TTree::FindSampleMRCA(const int& cell, const int& layer) {
    try {
        const TNode* mrca = sampleMrca(*this, cell, layer);
        return mrca != nullptr ? mrca->nodeNumber : -1;
    } catch (const std::bad_alloc&) {
        AOS << "\nTTree::FindSampleMRCA(): unable to allocate memory\n";
        return -1;
    }
}

int TTree::LineagesProportionInSamples(const PopulationVector& sources, const int& sim,
                                       const int& chrom) {
    TDemeCollection& demes = collectionBeingSimulated();
    // Every entry is checked before any is written.
    std::vector<size_t> entries;
    for (size_t t = 0; t <= static_cast<size_t>(std::max(demes.numSampledDemes, 0)); ++t) {
        entries.push_back(tableEntry(demes, t, sim, chrom));
    }
    if (sampleSize <= 0 || numNodes() == 0) return 1;
    const FounderSources founders = findFounderSources(sources);

    // Tips are grouped by the sampled deme they were drawn in, found by its
    // cell and layer, so a sampled deme without genes keeps its own column.
    std::map<std::pair<int32_t, int32_t>, size_t> demeOf;
    for (int32_t d = 0; d < demes.numSampledDemes; ++d) {
        const TDemeSlot& slot = demes.initialDemeList.at(static_cast<size_t>(d));
        demeOf.emplace(std::make_pair(slot.historyIndex, slot.layer), static_cast<size_t>(d));
    }
    std::vector<int> tipsIn(static_cast<size_t>(demes.numSampledDemes), 0);
    std::vector<int> descendingIn(static_cast<size_t>(demes.numSampledDemes), 0);
    int descending = 0;
    for (int32_t i = 0; i < sampleSize; ++i) {
        const TNode* tip = nodeAt(i);
        if (tip == nullptr) break;
        const bool founded = descendsFromFounders(*tip, founders);
        if (founded) ++descending;
        const auto deme = demeOf.find(std::make_pair(tip->sampleCell, tip->sampleLayer));
        if (deme == demeOf.end()) continue;
        ++tipsIn[deme->second];
        if (founded) ++descendingIn[deme->second];
    }

    const TNode* root = nodeAt(numNodes() - 1);
    demes.propLineagesTables[0][entries[0]] = groupProportion(root, descending, sampleSize);

    for (int32_t d = 0; d < demes.numSampledDemes; ++d) {
        const size_t table = static_cast<size_t>(d) + 1;
        const size_t entry = entries[table];
        if (tipsIn[static_cast<size_t>(d)] == 0) continue;
        const TDemeSlot& slot = demes.initialDemeList[static_cast<size_t>(d)];
        const TNode* mrca = nullptr;
        try {
            mrca = sampleMrca(*this, slot.historyIndex, slot.layer);
        } catch (const std::bad_alloc&) {
            // Without the ancestor the value is unknown: it stays unset.
            AOS << "\nTTree::FindSampleMRCA(): unable to allocate memory\n";
            continue;
        }
        demes.propLineagesTables[table][entry] = groupProportion(
            mrca, descendingIn[static_cast<size_t>(d)], tipsIn[static_cast<size_t>(d)]);
    }
    return 1;
}

void TDemeCollection::creatPropLineagesMatrix(const int& numSims, const int& sampledDemes) {
    std::vector<std::vector<float>>().swap(propLineagesTables);
    const uint64_t rows = numSims > 0 ? static_cast<uint64_t>(numSims) : 0;
    const uint64_t chromosomes = numIndepLoci > 0 ? static_cast<uint64_t>(numIndepLoci) : 0;
    const uint64_t tables = (sampledDemes > 0 ? static_cast<uint64_t>(sampledDemes) : 0) + 1;
    // Sizes are checked before anything is asked of the allocator.
    const uint64_t perTable = memory_size::product(rows, chromosomes);
    const uint64_t bytes =
        memory_size::product(memory_size::product(perTable, tables), sizeof(float));
    try {
        if (!memory_size::fitsThisMachine(bytes)) throw std::bad_alloc();
        propLineagesTables.assign(
            static_cast<size_t>(tables),
            std::vector<float>(static_cast<size_t>(perTable), kUnsetProportion));
    } catch (const std::bad_alloc&) {
        std::vector<std::vector<float>>().swap(propLineagesTables);
        AOS << "TDemeCollection::creatPropLineagesMatrix() : Memory allocation problem. Exiting "
               "program"
            << std::endl;
        std::ostringstream text;
        text << "TDemeCollection::creatPropLineagesMatrix() : Memory allocation problem: " << tables
             << " tables of " << rows << " simulations x " << chromosomes << " chromosomes ("
             << memory_size::describe(bytes) << ").";
        throw TOutOfMemory(text.str().c_str());
    }
}

int TDemeCollection::writePropLineagesMatrix(const int& sim, const my_string& stem) {
    const size_t tables = static_cast<size_t>(numSampledDemes > 0 ? numSampledDemes : 0) + 1;
    if (numIndepLoci > 0) {
        // Every entry of the simulation must be there before the file is made.
        tableEntry(*this, tables - 1, sim, numIndepLoci - 1);
        tableEntry(*this, 0, sim, numIndepLoci - 1);
    }
    const std::string path =
        std::string(stem.c_str()) + "_Proportion_" + std::to_string(sim + 1) + ".prop";
    std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc);
    out << "Proportion of lineages sampled in P2 which derived from the P2 source population\n";
    out << "#Chrom\tTotal_prop\t";
    for (int32_t d = 0; d < numSampledDemes; ++d) {
        const TDeme* deme = sampledDeme(d);
        if (deme != nullptr && !deme->sampleNames.empty()) out << deme->sampleNames.front();
        out << '\t';
    }
    out << '\n';
    for (int32_t c = 0; c < numIndepLoci; ++c) {
        out << "Chrom_" << c + 1;
        if (chromosomeRecombines(*this, c)) {
            out << " Not available with recombination!\n";
            continue;
        }
        out << '\t';
        for (size_t t = 0; t < tables; ++t) {
            out << propLineagesTables[t][tableEntry(*this, t, sim, c)] << '\t';
        }
        out << '\n';
    }
    out.close();
    if (out.fail()) {
        const std::string text =
            "ERROR: {TDemeCollection::writePropLineagesMatrix()} [cannot write the "
            "lineage-proportion file '" +
            path + "']";
        AOS << text << std::endl;
        std::cout << text << std::endl;
        return 0;
    }
    return 1;
}
