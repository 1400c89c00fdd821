// Backward migration of lineages: each generation a lineage either stays or
// moves to where its ancestor lived, drawn from the arrivals the forward
// simulation stored for its cell. Moved lineages wait in the destination's
// incoming chain until the generation ends.

#include <algorithm>
#include <cstdint>

#include "app/settings.h"
#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace {

// The x values trunc(u * range) can take for u in [0, 1): [lowest, highest].
void drawRange(int range, int& lowest, int& highest) {
    highest = range >= 1 ? range - 1 : 0;
    lowest = range >= 0 ? 0 : range + 1;
}

}  // namespace

void TDeme::recordMove(TNode* node, const int& historyIndex, const int& generation,
                       const int& destinationLayer) {
    if (_Demes->recordMoves) node->Store_Node_Migration(historyIndex, generation, destinationLayer);
}

TNode* TDeme::moveLineage(const int& index, ::cell* destinationCell, const int& destinationLayer) {
    TNode* node = lineages.detachAt(index);
    --numLineages;
    --totNumActiveLineages;
    TDeme* destination = _Demes->demeAt(destinationCell->dbIndex, destinationLayer);
    if (destination == nullptr) {
        destination =
            _Demes->createDeme(destinationCell->dbIndex, destinationCell, destinationLayer);
    }
    if (destination->numLineages == 0 && destination->numIncoming == 0) {
        _Demes->noteNewDeme(*destination);
    }
    destination->incoming.append(node);
    ++destination->numIncoming;
    return node;
}

void TDeme::migrate(const int& index, ::cell* destinationCell, const int& destinationLayer) {
    moveLineage(index, destinationCell, destinationLayer);
}

void TDeme::takeIncomingLineages() {
    while (TNode* node = incoming.detachAt(0)) lineages.append(node);
    numLineages += numIncoming;
    totNumActiveLineages += numIncoming;
    numIncoming = 0;
}

TDeme::StoredCounts TDeme::readStoredCounts(const int& t, const int& ownLayer) const {
    // Straight from the database by the deme's history index: the reads do not
    // wait for the cell's history entry, only for the values themselves.
    const StateDB& db = *_Demes->historyDatabase;
    const int previous = t > 0 ? t - 1 : 0;
    StoredCounts counts;
    counts.size = db.read(StateDB::seriesBlock(ownLayer, kSeriesN), t, cellIndex);
    counts.previousSize = db.read(StateDB::seriesBlock(ownLayer, kSeriesN), previous, cellIndex);
    counts.fromNorth = db.read(StateDB::seriesBlock(ownLayer, kSeriesFromNorth), t, cellIndex);
    counts.fromSouth = db.read(StateDB::seriesBlock(ownLayer, kSeriesFromSouth), t, cellIndex);
    counts.fromEast = db.read(StateDB::seriesBlock(ownLayer, kSeriesFromEast), t, cellIndex);
    counts.fromWest = db.read(StateDB::seriesBlock(ownLayer, kSeriesFromWest), t, cellIndex);
    counts.fromOtherLayer =
        NbDemePerCell > 1 && db.layers() > 1
            ? db.read(db.betweenLayersBlock(1 - ownLayer, ownLayer), t, cellIndex)
            : 0;
    return counts;
}

void TDeme::implementMigration(const int& ownLayer) {
    implementMigration(ownLayer, readStoredCounts(_frictionTime, ownLayer));
}

void TDeme::implementMigration(const int& ownLayer, const StoredCounts& counts) {
    const int t = _frictionTime;
    if (size == 0) {
        AOS << "migration from an empty deme (no " << cellIndex << " at time " << t << ")\n";
    }
    const int otherLayer = 1 - ownLayer;
    const bool twoLayers = NbDemePerCell > 1;
    int fromNorth = counts.fromNorth;
    int fromSouth = counts.fromSouth;
    int fromEast = counts.fromEast;
    int fromWest = counts.fromWest;
    int fromOtherLayer = counts.fromOtherLayer;
    int arrivals = fromNorth + fromSouth + fromEast + fromWest + fromOtherLayer;
    if (arrivals == 0) return;

    const int previousSize = counts.previousSize;
    int remainingSize = size;
    int i = 0;
    while (i < numLineages) {
        // While the previous generation can hold every lineage, the ancestor is an
        // immigrant with probability arrivals/size; otherwise every lineage must
        // find an immigrant ancestor while immigrants remain.
        const bool drawAmongAll = previousSize != 0 && previousSize >= numLineages;
        ::cell* destination = nullptr;
        int destinationLayer = ownLayer;
        int* share = nullptr;
        for (;;) {
            const int x = drawAmongAll ? static_cast<int>(ran3(&idum) * remainingSize)
                                       : static_cast<int>(ran3(&idum) * arrivals);
            if (x >= arrivals) break;
            // (x is negative only once more lineages moved than the population
            // held; the other layer exists only in two-layer worlds.)
            if (twoLayers && x < fromOtherLayer) {
                destination = cell;
                destinationLayer = otherLayer;
                share = &fromOtherLayer;
            } else if (x < fromOtherLayer + fromNorth && cell->north != nullptr) {
                destination = cell->north;
                share = &fromNorth;
            } else if (x < fromOtherLayer + fromNorth + fromSouth && cell->south != nullptr) {
                destination = cell->south;
                share = &fromSouth;
            } else if (x < fromOtherLayer + fromNorth + fromSouth + fromEast &&
                       cell->east != nullptr) {
                destination = cell->east;
                share = &fromEast;
            } else if (cell->west != nullptr) {
                destination = cell->west;
                share = &fromWest;
            }
            if (destination != nullptr) break;
            // x fell where no neighbour exists (only with arrivals recorded from a
            // missing neighbour): draw again, unless no draw can ever end the
            // search, in which case the lineage stays.
            int resolvedBelow = twoLayers ? fromOtherLayer : INT32_MIN;
            if (cell->north != nullptr)
                resolvedBelow = std::max(resolvedBelow, fromOtherLayer + fromNorth);
            if (cell->south != nullptr) {
                resolvedBelow = std::max(resolvedBelow, fromOtherLayer + fromNorth + fromSouth);
            }
            if (cell->east != nullptr) {
                resolvedBelow =
                    std::max(resolvedBelow, fromOtherLayer + fromNorth + fromSouth + fromEast);
            }
            int lowest = 0;
            int highest = 0;
            drawRange(drawAmongAll ? remainingSize : arrivals, lowest, highest);
            if (lowest >= resolvedBelow && highest < arrivals) break;
        }
        if (destination == nullptr) {
            ++i;
            continue;
        }
        TNode* node = moveLineage(i, destination, destinationLayer);
        --*share;
        --arrivals;
        --remainingSize;
        ++numMigrEvents;
        if (destinationLayer != ownLayer) node->layer = destinationLayer;
        recordMove(node, destination->dbIndex, t - 1, destinationLayer);
    }
    if (previousSize == 0 && numLineages > 0) Move_Genes_If_NextSize_Equal_Zero(ownLayer);
}

namespace {

struct Direction {
    ::cell* target;
    const char* message;
};

bool populatedAt(const ::cell* c, int t, int layer) {
    return c != nullptr && c->getN(t, layer) > 0;
}

::cell* twoStepsNorth(const ::cell* c) {
    return c->north != nullptr ? c->north->north : nullptr;
}
::cell* twoStepsSouth(const ::cell* c) {
    return c->south != nullptr ? c->south->south : nullptr;
}
::cell* twoStepsWest(const ::cell* c) {
    return c->west != nullptr ? c->west->west : nullptr;
}
::cell* twoStepsEast(const ::cell* c) {
    return c->east != nullptr ? c->east->east : nullptr;
}

}  // namespace

void TDeme::Move_Genes_If_NextSize_Equal_Zero(const int& ownLayer) {
    const int t = _frictionTime;
    // The previous generation; at generation 0 there is none before it, and the
    // populations of generation 0 stand for it (as for the arrivals).
    const int previous = t > 0 ? t - 1 : 0;
    AOS << "WARNING[TDeme::Move_Genes_If_NextSize_Equal_Zero]: Cell " << cellIndex << ", Deme "
        << ownLayer << ", Generation " << (t - 1) << " -> Redistribution of " << numLineages
        << " lineages in neighbouring cells!" << std::endl;

    const Direction oneStep[4] = {{cell->north, "extra gene move to north"},
                                  {cell->south, "extra gene move to south"},
                                  {cell->west, "extra gene move to west"},
                                  {cell->east, "extra gene move to east"}};
    const Direction twoSteps[4] = {{twoStepsNorth(cell), "extra gene move two times north"},
                                   {twoStepsSouth(cell), "extra gene move two times south"},
                                   {twoStepsWest(cell), "extra gene move two times west"},
                                   {twoStepsEast(cell), "extra gene move two times east"}};
    const Direction* populated[4];
    int k = 0;
    for (const Direction& d : oneStep) {
        if (populatedAt(d.target, previous, ownLayer)) populated[k++] = &d;
    }
    if (k == 0) {
        for (const Direction& d : twoSteps) {
            if (populatedAt(d.target, previous, ownLayer)) populated[k++] = &d;
        }
    }
    if (k > 0) {
        while (numLineages > 0) {
            const int j = static_cast<int>(ran3(&idum) * k);
            const Direction& chosen = *populated[j];
            AOS << chosen.message << std::endl;
            TNode* node = moveLineage(0, chosen.target, ownLayer);
            ++numMigrEvents;
            recordMove(node, chosen.target->dbIndex, t - 1, ownLayer);
        }
        return;
    }
    if (NbDemePerCell > 1) {
        const int otherLayer = 1 - ownLayer;
        if (populatedAt(cell, previous, otherLayer)) {
            while (numLineages > 0) {
                AOS << "extra gene move to the other population" << std::endl;
                TNode* node = moveLineage(0, cell, otherLayer);
                ++numMigrEvents;
                recordMove(node, cell->dbIndex, t - 1, otherLayer);
            }
            return;
        }
        const Direction otherPopulation[4] = {
            {cell->north, "extra gene move to north of the other population"},
            {cell->south, "extra gene move to south of the other population"},
            {cell->west, "extra gene move to west of the other population"},
            {cell->east, "extra gene move to east of the other population"}};
        for (const Direction& d : otherPopulation) {
            if (!populatedAt(d.target, previous, otherLayer)) continue;
            while (numLineages > 0) {
                AOS << d.message << std::endl;
                moveLineage(0, d.target, otherLayer);
                ++numMigrEvents;
            }
            return;
        }
    }
    AOS << "ERROR[TDeme::implementMigration]: Lineages are prisonner in Cell " << cellIndex
        << ", Deme " << ownLayer << ", at generation " << t << std::endl;
}

void TDeme::implementOverflowMigration(::cell* destinationCell, const int& generation,
                                       const int& destinationLayer) {
    while (numLineages > 0) {
        recordMove(lineages.first(), destinationCell->dbIndex, generation, destinationLayer);
        moveLineage(0, destinationCell, destinationLayer);
    }
}

void TDeme::implementMultiOriginMigration(const int& generation, const float& rate,
                                          const int& ownPosition) {
    constexpr int kSecurityDraws = 1000;
    int i = 0;
    while (i < numLineages) {
        if (!(rate > static_cast<float>(ran3(&idum)))) {
            ++i;
            continue;
        }
        int target = 0;
        for (int draws = 1;; ++draws) {
            target = static_cast<int>(ran3(&idum) * _Demes->numDemes);
            if (target != ownPosition) break;
            if (draws == kSecurityDraws) {
                AOS << "WARNING:{TDeme::implementMultiOriginMigration}:[Impossible to find 2 "
                       "different demes!, security number reached]"
                    << std::endl;
                return;
            }
        }
        const TDemeSlot slot = _Demes->demeList[static_cast<size_t>(target)];
        TDeme* destination = _Demes->demeAt(slot);
        recordMove(lineages.elementAt(i), slot.historyIndex, generation, slot.layer);
        moveLineage(i, destination->cell, slot.layer);
        ++numMigrEvents;
    }
}
