// Reading the population file at the start of a simulation, and launching its
// sources: placing a source's individuals into its cell, or creating a later
// source of one layer from the individuals of the other layer of its cell.

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"
#include "landscape/import_export_utils.h"
#include "landscape/population_source.h"
#include "landscape/world_grid.h"

namespace {

void reportLine(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

// Where a source came from, for the lines that follow a refusal.
std::string origin(const PopulationSource& source, const my_string& fileName) {
    std::ostringstream text;
    text << "  source '" << source.name << "'";
    if (source.recordNumber > 0) {
        text << " (record " << source.recordNumber << " of the population file '" << fileName
             << "')";
    }
    return text.str();
}

// The layers a launch touches must exist in the cells of this run.
bool layerExists(const PopulationSource& source, const my_string& fileName) {
    if (source.layer >= 0 && source.layer < NbDemePerCell && source.layer < cell::kMaxLayers) {
        return true;
    }
    reportLine(std::string("****ERROR: Population ") + source.name.c_str() +
               " has a wrong deme number!");
    reportLine(origin(source, fileName) + ": layer = " + std::to_string(source.layer) +
               ", the layers of this run are 0 to " + std::to_string(NbDemePerCell - 1));
    return false;
}

// The cell at the source's position (x = longitude, y = latitude), or null
// after logging why: out of the world, or on a position without a land cell.
cell* placeSource(const PopulationSource& source, const TWorldGrid& grid, const TGridHeader& header,
                  const my_string& fileName) {
    const double x = source.longitude;
    const double y = source.latitude;
    std::ostringstream position;
    position << origin(source, fileName) << ": longitude (x) " << source.longitude
             << ", latitude (y) " << source.latitude;
    int row = -1;
    int column = -1;
    if (!header.pointToCell(x, y, row, column)) {
        reportLine(std::string(" ERROR: {ImportExportUtils::readGeoPopDensity(...)} [the "
                               "population '") +
                   source.name.c_str() + "' is out of World coordinates!]");
        position << "; the world spans x " << header.xllcorner << " to " << header.xurcorner
                 << " and y " << header.yllcorner << " to " << header.yurcorner;
        reportLine(position.str());
        return nullptr;
    }
    // The grid is sized from the same header; atOrNull guards a mismatch anyway.
    cell* target = grid.atOrNull(row, column);
    if (target == nullptr) {
        reportLine(std::string("ERROR: {ImportExportUtils::readGeoPopDensity(...)} [the "
                               "population '") +
                   source.name.c_str() + "' is on water!]");
        position << " lies in row " << row << ", column " << column << ", which is not land";
        reportLine(position.str());
    }
    return target;
}

// The next source to launch; the launch position moves past it.
PopulationSource* takeNextSource(PopulationVector& populations, int& index) {
    if (!populations.takeNextLaunch(index)) {
        internalError("a population source is launched but all " +
                      std::to_string(populations.count()) + " have been launched already");
    }
    return &populations.at(index);
}

// The history entry a later source writes to: it must exist and cover time t.
StateOfDemes& historyOf(cell& target, int t) {
    StateOfDemes* entry = target.history;
    if (entry == nullptr || entry->database == nullptr || t < 0 || t > entry->database->endTime()) {
        internalError("no history for generation " + std::to_string(t) + " of the cell in row " +
                      std::to_string(target.row) + ", column " + std::to_string(target.column));
    }
    return *entry;
}

}  // namespace

int World::ReadInitialDensityDataset_Multideme() {
    return io.readGeoPopDensity_Multideme(Settings);
}

int ImportExportUtils::readGeoPopDensity_Multideme(TSettings& settings) {
    const my_string fileName = settings.getParameter("PopDensityFile", true);
    const int read = populations.ReadPopDensityAndCoordinates_Multideme(fileName, settings);
    settings.numberOfPopulationSources = populations.count();
    return read > 0 ? 1 : 0;
}

int ImportExportUtils::Launch_Source(TWorldGrid& grid, TSettings& settings, bool arrange) {
    int index = 0;
    PopulationSource& source = *takeNextSource(populations, index);
    if (!layerExists(source, populations.fileName())) return 0;
    cell* target = placeSource(source, grid, settings.worldGridHeader, populations.fileName());
    if (target == nullptr) return 0;

    const int layer = source.layer;
    target->layerSource[layer] = index + 1;  // sources are numbered from 1
    source.dbIndex = target->dbIndex;
    if (arrange) {
        // Individuals beyond the cell's K spill over to its neighbours.
        target->ArrangeInitialDensity(source.initialSize, index + 1, layer);
        target->sourceNumber = 0;
    } else {
        target->states[layer]._N_POP = source.initialSize;
    }
    return 1;
}

int ImportExportUtils::Launch_Source_from_other_pop(TWorldGrid& grid, TSettings& settings) {
    int index = 0;
    PopulationSource& source = *takeNextSource(populations, index);
    if (!layerExists(source, populations.fileName())) return 0;
    // Taking from the other layer needs both layers.
    if (NbDemePerCell != 2) {
        reportLine(std::string("****ERROR: Population ") + source.name.c_str() +
                   " has a wrong deme number!");
        reportLine(origin(source, populations.fileName()) +
                   ": a source taken from the other layer needs two layers, this run has 1");
        return 0;
    }
    cell* target = placeSource(source, grid, settings.worldGridHeader, populations.fileName());
    if (target == nullptr) return 0;
    source.dbIndex = target->dbIndex;

    const int layer = source.layer;
    const int other = 1 - layer;
    const int t = source.expansionTime;
    StateOfDemes& history = historyOf(*target, t);
    State& created = target->states[layer];
    State& donor = target->states[other];

    const int before = donor._N_POP;
    const int take = before < source.initialSize ? before : source.initialSize;
    AOS << "New source " << source.name;
    if (take >= 1) {
        AOS << " is generated from " << take << " individuals from layer " << other;
    } else {
        AOS << " can't be generated because the number of individuals from layer " << other
            << " is equal to " << take;
    }
    AOS << " at time " << t << " (Ancestral density before: " << before;

    const int64_t grown = static_cast<int64_t>(created._N_POP) + take;
    if (grown > INT32_MAX) {
        AOS << std::endl;
        throw TException(my_string(
            (origin(source, populations.fileName()) + ": layer " + std::to_string(layer) +
             " of the cell in row " + std::to_string(target->row) + ", column " +
             std::to_string(target->column) + " would hold more than 2147483647 individuals")
                .c_str()));
    }
    created._N_POP = static_cast<int>(grown);
    history.states(layer).N().AddFast(created._N_POP, t);
    history.set_migrBetweenDemes(other, layer, take, t);
    donor._N_POP = before - take;
    history.states(other).N().AddFast(donor._N_POP, t);

    AOS << ", after: " << donor._N_POP << " )" << std::endl;
    return 1;
}
