// The values of the end-of-run report, read from the stored history of the
// land cells: when the expansion filled the world and first reached its edge,
// and the mean numbers of migrants and of generations shared by the layers.
// Means divide by the number of land cells in single precision.

#include <cstdint>
#include <string>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "landscape/population_source.h"

namespace {

// Returned by FindDateOfFirstEdgeColonization when no edge cell was reached.
constexpr int kNoEdgeColonization = 32766;

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

// EndTime, which must be the last generation the history holds.
int lastGeneration(World& world) {
    const int endTime = world.Settings.getIntParameter("EndTime", true);
    if (world.history == nullptr || !world.history->allocated() ||
        world.history->endTime() != endTime) {
        internalError("the end-of-run values need the history of generations 0 to EndTime = " +
                      std::to_string(endTime));
    }
    return endTime;
}

void requireLayer(const World& world, int layer) {
    if (layer < 0 || world.history == nullptr || layer >= world.history->layers()) {
        internalError("no history for layer " + std::to_string(layer));
    }
}

float meanOverLandCells(int64_t total, const World& world) {
    const size_t cells = world.grid.landCells.size();
    if (cells == 0) return 0.0f;  // a world without land has nothing to average
    return static_cast<float>(total) / static_cast<float>(cells);
}

}  // namespace

int World::FindDateOfEntireColonization(const int& layer) {
    lastGeneration(*this);
    requireLayer(*this, layer);
    int latest = 0;
    for (const cell* land : grid.landCells) {
        const int date = land->findDateOfColonization(layer);
        if (date > latest) latest = date;
    }
    return latest;
}

int World::FindDateOfFirstEdgeColonization(const int& layer) {
    lastGeneration(*this);
    requireLayer(*this, layer);
    int earliest = kNoEdgeColonization;
    for (const cell* land : grid.landCells) {
        if (!land->EdgeorCoastCell()) continue;
        const int date = land->findDateOfColonization(layer);
        if (date > 0 && date < earliest) earliest = date;
    }
    return earliest;
}

float World::FindMeanNumOfMigrantsAtEnd(const int& layer) {
    const int endTime = lastGeneration(*this);
    requireLayer(*this, layer);
    int64_t total = 0;
    for (const cell* land : grid.landCells) {
        total += static_cast<int64_t>(land->getmE(endTime, layer)) + land->getmW(endTime, layer) +
                 land->getmN(endTime, layer) + land->getmS(endTime, layer);
    }
    return meanOverLandCells(total, *this);
}

float World::FindMeanNumOfMigrantsInterdeme() {
    const int endTime = lastGeneration(*this);
    if (history->layers() < 2) return 0.0f;
    // The second source was made from the other layer of its cell; that
    // transfer is not a migration. With fewer than two sources no cell is
    // excepted; neither is one when the second source was never launched (-1).
    const PopulationVector& sources = io.populations;
    const int exceptedIndex = sources.count() >= 2 ? sources.at(1).dbIndex : -1;
    int64_t total = 0;
    for (const cell* land : grid.landCells) {
        if (land->dbIndex == exceptedIndex) continue;
        for (int t = 0; t < endTime; ++t) total += land->history->get_migrBetweenDemes(0, 1, t);
    }
    return meanOverLandCells(total, *this);
}

float World::FindMeanCohabitationTime() {
    const int endTime = lastGeneration(*this);
    if (history->layers() < 2) return 0.0f;
    int64_t generationsTogether = 0;
    for (const cell* land : grid.landCells) {
        for (int t = 0; t < endTime; ++t) {
            if (land->getN(t, 0) > 0 && land->getN(t, 1) > 0) ++generationsTogether;
        }
    }
    return meanOverLandCells(generationsTogether, *this);
}
