// The collection of demes: sizing from the world, the sampled demes and their
// tips, the reset between trees and the end-of-generation list bookkeeping.

#include "coalescent/deme_collection.h"

#include <cstdint>
#include <new>
#include <sstream>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/memory_size.h"

namespace {
constexpr TDemeSlot kEmptySlot{-1, -1};

float coalescenceRateOf(int32_t size) {
    return size != 0 ? 1.0f / static_cast<float>(size) : 0.0f;
}
}  // namespace

TDemeCollection::TDemeCollection() : TDemeCollection(nullptr) {}

TDemeCollection::TDemeCollection(World* ownerWorld)
    : numIndepLoci(0),
      numLoci(0),
      numBlocks(0),
      tot_recomb(0.0),
      locusRecombRate(10, 10),
      locusMutRate(10, 10),
      locusDataType(10, 10),
      blockMinFrequency(10, 10),
      locusRangeConstraint(10, 10),
      locusGeometricParam(10, 10),
      blockTransitionProportion(10, 10),
      genotypicData(0),
      numGeneticSimulations(0),
      mutationCount(0),
      owner(ownerWorld),
      historyDatabase(nullptr),
      demeCapacity(0),
      numDemes(0),
      numNewDemes(0),
      numSampledDemes(0),
      taxa(0),
      recordMoves(false),
      layersPerCell_(1),
      genealogyStamp_(1) {}

TDemeCollection::~TDemeCollection() {
    deleteDemes();
}

void TDemeCollection::deleteDemes() {
    for (TDeme*& deme : demeGrid) {
        delete deme;
        deme = nullptr;
    }
}

void TDemeCollection::createDemesFromWorld() {
    deleteDemes();
    std::vector<TDeme*>().swap(demeGrid);
    layersPerCell_ = NbDemePerCell > 1 ? NbDemePerCell : 1;
    historyDatabase = owner->history;
    const int64_t cells = static_cast<int64_t>(owner->grid.nrows) * owner->grid.ncols;
    const int64_t capacity = cells * layersPerCell_;
    const uint64_t bytes = memory_size::product(
        static_cast<uint64_t>(capacity), sizeof(TDeme*) + 2 * sizeof(TDemeSlot));
    numDemes = 0;
    numNewDemes = 0;
    try {
        if (capacity > INT32_MAX || !memory_size::fitsThisMachine(bytes)) throw std::bad_alloc();
        demeCapacity = static_cast<int32_t>(capacity);
        demeGrid.assign(static_cast<size_t>(capacity), nullptr);
        demeList.assign(static_cast<size_t>(capacity), kEmptySlot);
        newDemeList.assign(static_cast<size_t>(capacity), kEmptySlot);
    } catch (const std::bad_alloc&) {
        std::vector<TDeme*>().swap(demeGrid);
        std::vector<TDemeSlot>().swap(demeList);
        std::vector<TDemeSlot>().swap(newDemeList);
        demeCapacity = 0;
        AOS << "TDemeCollection::createDemesFromWorld(): not enough memory" << std::endl;
        std::ostringstream text;
        text << "TDemeCollection::createDemesFromWorld(): not enough memory for the " << capacity
             << " demes of " << cells << " cells x " << layersPerCell_ << " layers ("
             << memory_size::describe(bytes) << ")";
        throw TOutOfMemory(text.str().c_str());
    }
}

void TDemeCollection::addDeme(::cell* sampleCell, const my_string& name, const int& sampleSize,
                              const int& layer, const int& sampleIndex) {
    TDeme*& slot =
        demeGrid[static_cast<size_t>(sampleCell->dbIndex) * static_cast<size_t>(layersPerCell_) +
                 static_cast<size_t>(layer)];
    if (slot != nullptr) {
        const int64_t merged = static_cast<int64_t>(slot->sampleSize) + sampleSize;
        if (merged > INT32_MAX) {
            std::ostringstream text;
            text << "The samples of the cell at row " << sampleCell->row << ", column "
                 << sampleCell->column << ", layer " << layer << " add up to " << merged
                 << " genes; a genealogy cannot hold more than " << INT32_MAX << ".";
            throw TOutOfMemory(text.str().c_str());
        }
        slot->sampleSize = static_cast<int>(merged);
        ++slot->numMergedSamples;
    } else {
        TDeme* deme = new TDeme();
        deme->sampleSize = sampleSize;
        deme->numLineages = sampleSize;
        deme->cellIndex = sampleCell->dbIndex;
        deme->layer = layer;
        deme->listIndex = numDemes;
        deme->cell = sampleCell;
        deme->history = sampleCell->history;
        deme->sampleNames.push_back(name);
        slot = deme;
        demeList[static_cast<size_t>(numDemes++)] = TDemeSlot{sampleCell->dbIndex, layer};
    }
    slot->samples.push_back(TDemeSample{sampleSize, sampleIndex});
    sampleList.push_back(
        TSamplePosition{slot->listIndex, static_cast<int32_t>(slot->samples.size()) - 1});
    slot->sampleNames.push_back(name);
}

TDeme* TDemeCollection::createDeme(const int& historyIndex, ::cell* demeCell, const int& layer) {
    TDeme* deme = new TDeme();
    deme->cellIndex = historyIndex;
    deme->layer = layer;
    deme->listIndex = historyIndex;
    deme->cell = demeCell;
    deme->history = demeCell->history;
    deme->size = demeCell->getN(TDeme::_frictionTime, layer);
    // Kept with the size it goes with, as everywhere else.
    deme->coalRate = coalescenceRateOf(deme->size);
    demeGrid[static_cast<size_t>(historyIndex) * static_cast<size_t>(layersPerCell_) +
             static_cast<size_t>(layer)] = deme;
    return deme;
}

void TDemeCollection::createInitialDemeList() {
    try {
        initialDemeList.assign(demeList.begin(), demeList.begin() + numDemes);
    } catch (const std::bad_alloc&) {
        AOS << "TDemeCollection::createInitialDemeList(): not enough memory" << std::endl;
        throw TOutOfMemory("TDemeCollection::createInitialDemeList(): not enough memory");
    }
    numSampledDemes = numDemes;
}

int TDemeCollection::createLineages() {
    // Summed in 64 bits: the samples of many demes may exceed what an int counts.
    int64_t tips = 0;
    for (int p = 0; p < numDemes; ++p) tips += activeDeme(p)->sampleSize;
    if (tips == 0) {
        taxa = 0;
        AOS << "TDemeCollection::createlineages() : Tree is empty "
            << "\n";
        return 0;
    }
    // A genealogy of n tips holds 2n - 1 nodes.
    const uint64_t nodeBytes =
        memory_size::product(2 * static_cast<uint64_t>(tips) - 1, sizeof(TNode));
    const bool countable = tips <= INT32_MAX && memory_size::fitsThisMachine(nodeBytes);
    taxa = countable ? static_cast<int>(tips) : 0;
    if (!countable || !tree.allocate_tree(taxa)) {
        AOS << "TDemeCollection::createlineages() : unable to allocate the " << tips
            << " tips of the tree" << std::endl;
        std::ostringstream text;
        text << "The genealogy of the " << tips << " sampled genes needs at least "
             << memory_size::describe(nodeBytes) << " (" << 2 * tips - 1 << " nodes of "
             << sizeof(TNode) << " bytes); that memory cannot be had. Sample fewer genes.";
        throw TOutOfMemory(text.str().c_str());
    }
    TNode* leaf = tree.nodes.first();
    for (int p = 0; p < numDemes; ++p) {
        TDeme* deme = activeDeme(p);
        deme->lineages.deleteChain();
        deme->sampleNodes.deleteChain();
        for (int k = 0; k < deme->sampleSize; ++k) {
            leaf->create_LocationAndTime_Vectors();
            leaf->demeNumber = deme->listIndex;
            leaf->sampleCell = deme->cellIndex;
            leaf->sampleLayer = deme->layer;
            leaf->layer = deme->layer;
            deme->lineages.append(leaf);
            deme->sampleNodes.append(leaf);
            leaf = tree.nodes.next();
        }
        deme->numLineages = deme->sampleSize;
    }
    return 1;
}

void TDemeCollection::reset() {
    std::fill(demeList.begin(), demeList.end(), kEmptySlot);
    std::copy(initialDemeList.begin(), initialDemeList.end(), demeList.begin());
    numDemes = numSampledDemes;
    clearNewDemeList();
    for (TDeme* deme : demeGrid) {
        if (deme == nullptr) continue;
        deme->numLineages = deme->sampleSize;
        deme->lineages.deleteChain();
        deme->incoming.deleteChain();
        deme->numIncoming = 0;
        for (TNode* leaf = deme->sampleNodes.first(); leaf != nullptr;
             leaf = deme->sampleNodes.next()) {
            leaf->resetAncestry();
            // A tip starts every genealogy in the layer it was sampled in.
            leaf->layer = leaf->sampleLayer;
            deme->lineages.append(leaf);
        }
        deme->coalRate = coalescenceRateOf(deme->size);
    }
    TDeme::totNumActiveLineages = 0;
}

void TDemeCollection::resetloci() {
    for (TDeme* deme : demeGrid) {
        if (deme != nullptr) deme->locusData.Flush();
    }
}

void TDemeCollection::noteNewDeme(TDeme& deme) {
    // A deme already waiting in the list keeps its first place: AddNewDeme
    // would skip the later entry anyway, and the list stays within its slots.
    if (deme.queuedAsNew_) return;
    deme.queuedAsNew_ = true;
    newDemeList[static_cast<size_t>(numNewDemes++)] = TDemeSlot{deme.cellIndex, deme.layer};
}

void TDemeCollection::clearNewDemeList() {
    for (int i = 0; i < numNewDemes; ++i) {
        TDemeSlot& slot = newDemeList[static_cast<size_t>(i)];
        if (TDeme* deme = demeAt(slot)) deme->queuedAsNew_ = false;
        slot = kEmptySlot;
    }
    numNewDemes = 0;
}

void TDemeCollection::UpdateDemeList() {
    int p = 0;
    while (p < numDemes) {
        TDeme* deme = activeDeme(p);
        if (deme->numIncoming > 0) deme->takeIncomingLineages();
        if (deme->numLineages == 0) {
            const size_t last = static_cast<size_t>(numDemes - 1);
            demeList[static_cast<size_t>(p)] = demeList[last];
            demeList[last] = kEmptySlot;
            --numDemes;
        } else {
            ++p;
        }
    }
}

void TDemeCollection::AddNewDeme() {
    for (int i = 0; i < numNewDemes; ++i) {
        TDemeSlot& slot = newDemeList[static_cast<size_t>(i)];
        TDeme* deme = demeAt(slot);
        deme->queuedAsNew_ = false;
        if (deme->numIncoming > 0) {
            deme->takeIncomingLineages();
            demeList[static_cast<size_t>(numDemes++)] = slot;
            deme->listIndex = slot.historyIndex;
        }
        slot = kEmptySlot;
    }
    numNewDemes = 0;
    TDeme::numActiveDemes = numDemes;
}

void TDemeCollection::createMRCALocations(const int& n) {
    createMRCALocations(static_cast<int64_t>(n));
}

void TDemeCollection::createMRCALocations(int64_t n) {
    const uint64_t count = n > 0 ? static_cast<uint64_t>(n) : 0;
    const uint64_t bytes = memory_size::product(count, sizeof(int32_t));
    try {
        if (count > INT32_MAX || !memory_size::fitsThisMachine(bytes)) throw std::bad_alloc();
        MRCALocations.assign(static_cast<size_t>(count), 0);
    } catch (const std::bad_alloc&) {
        std::vector<int32_t>().swap(MRCALocations);
        AOS << "TDemeCollection::createMRCALocations() : Memory allocation problem. Exiting "
               "program"
            << std::endl;
        std::ostringstream text;
        text << "TDemeCollection::createMRCALocations() : Memory allocation problem: " << count
             << " chromosome locations (" << memory_size::describe(bytes) << ").";
        throw TOutOfMemory(text.str().c_str());
    }
}
