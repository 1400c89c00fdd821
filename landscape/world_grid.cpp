// The world grid: cells of the matrix, the land test, neighbour links, coasts,
// and the initial carrying capacity and friction of every land cell.

#include "landscape/world_grid.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"

// The land test moves cells by assignment into their own block.
static_assert(std::is_copy_assignable<cell>::value || std::is_move_assignable<cell>::value,
              "cells are relocated by assignment when the land is defined");

// ---------------------------------------------------------------------------
// TWorldGrid: storage of the cells

TWorldGrid::~TWorldGrid() {
    release();
}

void TWorldGrid::adoptBlock(cell* block, size_t count) {
    delete[] cellBlock_;
    cellBlock_ = block;
    cellBlockSize_ = count;
}

void TWorldGrid::release() {
    std::vector<cell*>().swap(landCells);
    std::vector<cell*>().swap(matrix);
    std::vector<float>().swap(roughnessMatrix);
    adoptBlock(nullptr, 0);
    nrows = 0;
    ncols = 0;
    totalCells = 0;
    removedCells = 0;
    instantiatedCells = 0;
}

void TWorldGrid::allocateAll(int rowCount, int columnCount) {
    release();
    const size_t count = static_cast<size_t>(rowCount) * static_cast<size_t>(columnCount);
    try {
        matrix.assign(count, nullptr);
        adoptBlock(new cell[count], count);
    } catch (const std::bad_alloc&) {
        release();
        throw;
    }
    nrows = rowCount;
    ncols = columnCount;
    size_t index = 0;
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columnCount; ++column, ++index) {
            cell& created = cellBlock_[index];
            created.init();
            created.row = row;
            created.column = column;
            matrix[index] = &created;
        }
    }
}

int TWorldGrid::keepLand(const std::vector<char>& landMask) {
    size_t landCount = 0;
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (matrix[i] != nullptr && landMask[i]) ++landCount;
    }
    // Without memory for a block of their own, the land cells stay where they
    // are; the other cells of the block are then merely unreferenced.
    cell* landBlock = new (std::nothrow) cell[landCount];

    std::vector<cell*>().swap(landCells);
    landCells.reserve(landCount);
    int removed = 0;
    size_t next = 0;
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (matrix[i] == nullptr) {
            ++removed;
            continue;
        }
        if (!landMask[i]) {
            matrix[i] = nullptr;
            ++removed;
            continue;
        }
        if (landBlock != nullptr) {
            landBlock[next] = std::move(*matrix[i]);
            matrix[i] = &landBlock[next];
            ++next;
        }
        landCells.push_back(matrix[i]);
    }
    if (landBlock != nullptr) adoptBlock(landBlock, landCount);
    return removed;
}

// ---------------------------------------------------------------------------
// Helpers of the World operations

namespace {

my_string toText(const std::ostringstream& text) {
    return my_string(text.str().c_str());
}

void reportToConsoleAndLog(const my_string& message) {
    std::cout << message << std::endl;
    AOS << message << std::endl;
}

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

void checkLayer(const int& layer) {
    if (layer < 0 || layer >= cell::kMaxLayers || layer >= NbDemePerCell) {
        internalError("layer " + std::to_string(layer) + " does not exist");
    }
}

template <class Entry>
const std::vector<Entry>& tableOfLayer(const std::vector<std::vector<Entry>>& tables,
                                       const int& layer, const char* name) {
    if (static_cast<size_t>(layer) >= tables.size() ||
        tables[static_cast<size_t>(layer)].size() < static_cast<size_t>(kVegetationClassCount)) {
        internalError(std::string("the ") + name + " table of layer " + std::to_string(layer) +
                      " is not allocated");
    }
    return tables[static_cast<size_t>(layer)];
}

// The vegetation class of a land cell as an index of the conversion tables; a
// class outside the tables stops the build, naming the map it came from.
int tableIndexOf(World& world, const cell& land) {
    const int vegetationClass = world.vegetationClassOf(land);
    if (vegetationClass >= 0 && vegetationClass < kVegetationClassCount) return vegetationClass;
    const char* key = world.Settings.lgmVegetation ? "LGMVegetationFile" : "PresVegetationFile";
    std::ostringstream text;
    text << "The vegetation class " << vegetationClass << " of the land cell at row " << land.row
         << ", column " << land.column << " of the map '" << world.Settings.getParameter(key, false)
         << "' (" << key << ") lies outside the classes 0 to " << kVegetationClassCount - 1
         << " of the conversion tables.";
    throw TException(toText(text));
}

// Free memory (RAM and swap) in bytes, or 0 when the system does not say.
uint64_t availableMemoryBytes() {
    std::ifstream meminfo("/proc/meminfo");
    uint64_t totalKiB = 0;
    bool known = false;
    std::string line;
    while (std::getline(meminfo, line)) {
        std::istringstream fields(line);
        std::string name;
        uint64_t kib = 0;
        if (!(fields >> name >> kib)) continue;
        if (name == "MemAvailable:" || name == "SwapFree:") {
            totalKiB += kib;
            known = true;
        }
    }
    return known ? totalKiB * 1024u : 0u;
}

// Refuses, with a message giving the grid size, a grid that has no position,
// more positions than the cell counts hold, or cells that cannot fit in memory.
bool gridSizeIsAcceptable(World& world) {
    const int64_t rows = world.nrows;
    const int64_t columns = world.ncols;
    const int64_t positions = rows * columns;  // both are 32-bit: no overflow here
    const uint64_t bytes =
        positions > 0 ? static_cast<uint64_t>(positions) * (sizeof(cell) + sizeof(cell*)) : 0u;
    const uint64_t available = availableMemoryBytes();
    const uint64_t addressable = static_cast<uint64_t>(PTRDIFF_MAX);

    std::ostringstream reason;
    if (rows <= 0 || columns <= 0) {
        reason << "a grid needs at least one row and one column";
    } else if (positions > INT32_MAX) {
        reason << "more than " << INT32_MAX << " cells cannot be counted";
    } else if (bytes > addressable || (available > 0 && bytes > available)) {
        reason << "its cells need " << (bytes >> 20) << " MiB of memory, but only "
               << ((available > 0 && available < addressable ? available : addressable) >> 20)
               << " MiB are available";
    } else {
        return true;
    }
    std::ostringstream text;
    text << "      ERROR: {World::AllocateCells()} [the grid of the map '"
         << world.Settings.getParameter("PresVegetationFile", false)
         << "' (PresVegetationFile) has " << rows << " rows and " << columns << " columns ("
         << positions << " cells): " << reason.str() << "]";
    reportToConsoleAndLog(toText(text));
    return false;
}

// Scales F, then K, of every land cell that selects picks, by the factors the
// settings hold under the two keys (each optional), in double precision.
// A product outside the range of its type is refused with a message.
template <class Selection>
void scaleKandF(World& world, const int& layer, const char* frictionKey, const char* capacityKey,
                Selection selects) {
    const auto refuse = [&](const char* key, double factor, const cell& land, double value) {
        std::ostringstream text;
        text << key << " = " << factor << " in the settings file '" << world.Settings.fileName
             << "' makes the value " << value << " of the cell at row " << land.row << ", column "
             << land.column << " leave the range of its type";
        reportToConsoleAndLog(toText(text));
        throw TException(toText(text));
    };
    if (world.Settings.parameterExists(frictionKey)) {
        const double factor = world.Settings.getdoubleParameter(frictionKey, true);
        for (cell* land : world.grid.landCells) {
            if (!selects(*land)) continue;
            float& friction = land->states[layer].F;
            const double product = factor * static_cast<double>(friction);
            if (std::isfinite(product) && std::fabs(product) > FLT_MAX) {
                refuse(frictionKey, factor, *land, friction);
            }
            friction = static_cast<float>(product);
        }
    }
    if (world.Settings.parameterExists(capacityKey)) {
        const double factor = world.Settings.getdoubleParameter(capacityKey, true);
        for (cell* land : world.grid.landCells) {
            if (!selects(*land)) continue;
            int& capacity = land->states[layer].K;
            const double product = factor * static_cast<double>(capacity);
            // Truncation toward zero; the comparison also refuses NaN.
            if (!(product > static_cast<double>(INT_MIN) - 1.0 &&
                  product < static_cast<double>(INT_MAX) + 1.0)) {
                refuse(capacityKey, factor, *land, capacity);
            }
            capacity = static_cast<int>(product);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// World operations on the grid

int World::vegetationClassOf(const cell& c) const {
    return Settings.lgmVegetation ? c.lgmVegetation : c.presentVegetation;
}

int World::AllocateCells() {
    AOS << "num_row: " << nrows << "\n";
    grid.release();
    if (!gridSizeIsAcceptable(*this)) {
        AOS << "      ERROR: {World::AllocateCells()} [unable to allocate {World::WorldMatrix}]"
            << std::endl;
        return 0;
    }
    // Set before the cells are created: cell::init copies the world size.
    cell::_world_x_size = nrows;
    cell::_world_y_size = ncols;
    try {
        grid.allocateAll(nrows, ncols);
    } catch (const std::bad_alloc&) {
        grid.totalCells = 0;
        AOS << "      ERROR: {World::AllocateCells()} [unable to allocate {World::WorldMatrix}]"
            << std::endl;
        return 0;
    }
    grid.totalCells = nrows * ncols;

    cell::_Current_time = 0;
    cell::_Settings = &Settings;
    cell::_States = history;
    cell::_Current_RealBP_time = Settings.getIntParameter("RealBPTime", false);
    cell::delete_m_vector();
    return 1;
}

int World::DefineLands() {
    grid.removedCells = 0;
    const bool hasAltitude = Settings.parameterExists("AltitudeTopoFile");
    const bool hasRoughness = Settings.parameterExists("RoughnessTopoFile");
    const float noLandValue = static_cast<float>(NO_LAND);

    std::vector<char> landMask(grid.matrix.size(), 0);
    for (size_t i = 0; i < grid.matrix.size(); ++i) {
        const cell* candidate = grid.matrix[i];
        if (candidate == nullptr) continue;
        landMask[i] = vegetationClassOf(*candidate) != NO_LAND &&
                      (!hasAltitude || candidate->altitude != noLandValue) &&
                      (!hasRoughness || candidate->roughness != noLandValue);
    }
    grid.removedCells = grid.keepLand(landMask);
    grid.instantiatedCells = grid.totalCells - grid.removedCells;
    return 1;
}

int World::AssignNeighborCells() {
    for (int row = 0; row < grid.nrows; ++row) {
        for (int column = 0; column < grid.ncols; ++column) {
            cell* here = grid.at(row, column);
            if (here == nullptr) continue;
            if (here->row != row || here->column != column) {
                AOS << "Coordinates different" << std::endl;
            }
            here->east = grid.atOrNull(row, column + 1);
            here->west = grid.atOrNull(row, column - 1);
            here->north = grid.atOrNull(row - 1, column);
            here->south = grid.atOrNull(row + 1, column);
            here->northWest = grid.atOrNull(row - 1, column - 1);
            here->northEast = grid.atOrNull(row - 1, column + 1);
            here->southWest = grid.atOrNull(row + 1, column - 1);
            here->southEast = grid.atOrNull(row + 1, column + 1);
        }
    }
    return 1;
}

int World::AssignIsCoastToCells() {
    const int lastRow = grid.nrows - 1;
    const int lastColumn = grid.ncols - 1;
    for (cell* land : grid.landCells) {
        land->isCoast = false;
        if (!land->aboveSea) continue;
        const int r = land->row;
        const int c = land->column;
        // A missing neighbour counts as water away from the map's edges; the
        // bounds differ from side to side and are kept exactly as they are.
        const bool eastWater = 0 < r && r < lastRow && c < grid.ncols - 2;
        const bool westWater = 0 < r && r < lastRow && c > 1;
        const bool northWater = r > 1 && 0 < c && c < lastColumn;
        const bool otherWater = r < grid.nrows - 2 && 0 < c && c < lastColumn;
        const cell* const neighbours[8] = {land->east,      land->west,      land->north,
                                           land->south,     land->northWest, land->northEast,
                                           land->southWest, land->southEast};
        const bool missingIsWater[8] = {eastWater,  westWater,  northWater, otherWater,
                                        otherWater, otherWater, otherWater, otherWater};
        for (int slot = 0; slot < 8; ++slot) {
            const cell* neighbour = neighbours[slot];
            if (neighbour != nullptr ? !neighbour->aboveSea : missingIsWater[slot]) {
                land->isCoast = true;
            }
        }
    }
    return 1;
}

int World::computeInitialFNonStochastic(const int& layer) {
    const bool hasChoice = Settings.parameterExists("FrictionChoice");
    const bool hasRoughness = Settings.parameterExists("RoughnessTopoFile");
    const bool hasFrictionTable = Settings.parameterExists("Veg2FFile");
    const int choice = hasChoice ? Settings.getIntParameter("FrictionChoice", true) : 0;

    if (!hasChoice && (hasRoughness || hasFrictionTable)) {
        throw TException(
            "FrictionChoice has not been defined in the settings file, but at least one of the "
            "friction files (RoughnessTopoFile and/or Veg2FFile) has been defined");
    }
    if (hasChoice) {
        if (choice == 0 && !hasFrictionTable) {
            throw TException(
                "FrictionChoice=0 has been defined in the settings file so that Veg2FFile needs "
                "to be defined, but the latter is not");
        }
        if (choice == 1 && !hasRoughness) {
            throw TException(
                "FrictionChoice=1 has been defined in the settings file so that "
                "RoughnessTopoFile needs to be defined, but the latter is not");
        }
        if (choice == 2 && (!hasRoughness || !hasFrictionTable)) {
            throw TException(
                "FrictionChoice=2 has been defined in the settings file so that "
                "RoughnessTopoFile AND Veg2FFile needs to be defined, but at least one of the "
                "latter is not defined");
        }
        if (choice < 0 || choice > 2) {
            throw TException("The value for FrictionChoice is not allowed. It should be 0, 1 or 2");
        }
    }
    checkLayer(layer);

    if (!hasChoice) {
        for (cell* land : grid.landCells) land->states[layer].F = 0.5f;
        return 1;
    }

    const bool usesRoughness = choice == 1 || choice == 2;
    if (usesRoughness) {
        try {
            grid.roughnessMatrix.assign(grid.matrix.size(), 0.0f);
        } catch (const std::bad_alloc&) {
            std::vector<float>().swap(grid.roughnessMatrix);
            throw TException(
                "World::computeInitialFNonStochastic(const int& no_deme)} [problem with matrix "
                "allocation]");
        }
    }
    const std::vector<float>* frictionTable =
        choice == 1 ? nullptr : &tableOfLayer(tables.Veg2F, layer, "friction");

    for (cell* land : grid.landCells) {
        const float roughness = std::fabs(land->roughness);
        float& friction = land->states[layer].F;
        if (usesRoughness) {
            grid.roughnessMatrix[static_cast<size_t>(land->row) * static_cast<size_t>(grid.ncols) +
                                 static_cast<size_t>(land->column)] = roughness;
        }
        if (choice == 1) {
            friction = roughness;
            continue;
        }
        const float tableFriction =
            (*frictionTable)[static_cast<size_t>(tableIndexOf(*this, *land))];
        friction = choice == 0 ? tableFriction : (tableFriction + roughness) * 0.5f;
    }

    if (!Settings.lgmVegetation) std::vector<float>().swap(grid.roughnessMatrix);
    return 1;
}

int World::computeInitialKNonStochastic(const int& layer) {
    checkLayer(layer);
    const std::vector<int>& capacityTable = tableOfLayer(tables.Veg2K, layer, "carrying-capacity");
    for (cell* land : grid.landCells) {
        land->states[layer].K = capacityTable[static_cast<size_t>(tableIndexOf(*this, *land))];
    }
    return 1;
}

int World::SetKandFValuesForCoast(const int& layer) {
    checkLayer(layer);
    try {
        scaleKandF(*this, layer, "CoastFrictionChangeFactor", "CoastCarCapChangeFactor",
                   [](const cell& land) { return land.isCoast; });
    } catch (...) {
        AOS << "      ERROR: {World::SetKandFValuesForCoast(const int& no_deme)} [problem with "
               "setting K and F for coast]"
            << std::endl;
        return 0;
    }
    return 1;
}

int World::SetKandFValuesForRiver(const int& layer) {
    checkLayer(layer);
    try {
        // A coast cell is never treated as a river cell.
        scaleKandF(*this, layer, "RiverFrictionChangeFactor", "RiverCarCapChangeFactor",
                   [](const cell& land) { return land.river != 0 && !land.isCoast; });
    } catch (...) {
        AOS << "      ERROR: {World::SetKandFValuesForRiver(const int& no_deme)} [problem with "
               "setting K and F for river]"
            << std::endl;
        return 0;
    }
    return 1;
}

int World::SetCoastalAdaptation() {
    for (cell* land : grid.landCells) {
        if (!land->isCoast) land->adapted = false;
    }
    return 1;
}

int World::RelaxAdaptations() {
    for (cell* land : grid.landCells) land->adapted = true;
    return 1;
}

int World::DesallocateCells() {
    if (!grid.allocated()) return 0;
    grid.release();
    return 1;
}
