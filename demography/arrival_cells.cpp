// Outputs read from the stored history: the generation of first arrival at
// each cell of the arrival list (ArrivalCellFile), and the immigrants of every
// generation into one sampled cell.

#include <cstdint>
#include <fstream>
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
#include "landscape/world_grid.h"

namespace {

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

void reportLine(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

// "cells.col" gives "cells_output.txt": the text before the first ".col"
// (none when it is missing or starts the name) followed by "_output.txt".
my_string arrivalOutputName(const my_string& listName) {
    const int at = listName.rfind(".col");
    std::string stem;
    if (at >= 1) stem.assign(listName.c_str(), static_cast<size_t>(at));
    return my_string((stem + "_output.txt").c_str());
}

// Where a line of the arrival list is, for the messages about it.
std::string placeOf(const my_string& listName, int lineNumber) {
    return "  line " + std::to_string(lineNumber) + " of the arrival-cell file '" +
           listName.c_str() + "' (ArrivalCellFile)";
}

// One cell of the list: name, layer, latitude, longitude and a value not used.
struct ArrivalCell {
    my_string name;
    int layer = 0;
    float latitude = 0.0f;
    float longitude = 0.0f;
};

// The values of one line; false when the name, the layer, the latitude or the
// longitude cannot be read.
bool parseArrivalCell(const my_string& line, ArrivalCell& arrival) {
    std::istringstream fields(line.c_str());
    arrival.name.read_to_delim(fields);
    if (arrival.name.empty()) return false;
    fields >> arrival.layer >> arrival.latitude >> arrival.longitude;
    return static_cast<bool>(fields);
}

}  // namespace

int World::ReadAndWriteArrivalCell() {
    const my_string listName = Settings.getParameter("ArrivalCellFile", true);
    const my_string outputName = arrivalOutputName(listName);
    std::ofstream output(outputName.c_str(), std::ios::out | std::ios::trunc);
    if (!output.is_open()) {
        reportLine(std::string("ERROR: the arrival-time file '") + outputName.c_str() +
                   "' (from ArrivalCellFile = '" + listName.c_str() + "') cannot be created");
        return 0;
    }
    output << "TIMES OF ARRIVAL" << std::endl;

    std::ifstream list(listName.c_str());
    if (!list.is_open()) {
        AOS << "\n"
            << "the .col file has not been read"
            << "\n";
        reportLine(std::string("  the arrival-cell file '") + listName.c_str() +
                   "' (ArrivalCellFile) cannot be opened; '" + outputName.c_str() +
                   "' holds only its title");
        reportWindowsLineEndInName(listName);
        return 1;
    }

    my_string line;
    line.read_line(list);
    std::istringstream firstLine(line.c_str());
    int count = 0;
    if (!(firstLine >> count)) {
        reportLine(std::string("ERROR: the number of arrival cells cannot be read: '") +
                   line.c_str() + "'");
        reportLine(placeOf(listName, 1));
        return 0;
    }
    if (count < 1) return 1;

    const TGridHeader& header = Settings.worldGridHeader;
    for (int i = 0; i < count; ++i) {
        const int lineNumber = i + 2;
        const bool complete = line.read_line(list);
        ArrivalCell arrival;
        if (!parseArrivalCell(line, arrival)) {
            if (!complete && line.empty()) {
                reportLine("ERROR: the arrival-cell file ends after " + std::to_string(i) +
                           " of the " + std::to_string(count) + " cells its first line announces");
            } else {
                reportLine(std::string("ERROR: an arrival cell must be given as: name layer "
                                       "latitude longitude value; found '") +
                           line.c_str() + "'");
            }
            reportLine(placeOf(listName, lineNumber));
            return 0;
        }

        std::ostringstream where;
        where << placeOf(listName, lineNumber) << ": layer " << arrival.layer << ", latitude (y) "
              << arrival.latitude << ", longitude (x) " << arrival.longitude;
        int row = -1;
        int column = -1;
        if (!header.pointToCell(arrival.longitude, arrival.latitude, row, column)) {
            reportLine(std::string(" ERROR: {TDemeCollection::ReadAndWriteArrivalCell()} [the "
                                   "cell '") +
                       arrival.name.c_str() + "' is out of World coordinates!]");
            where << "; the world spans x " << header.xllcorner << " to " << header.xurcorner
                  << " and y " << header.yllcorner << " to " << header.yurcorner;
            reportLine(where.str());
            continue;
        }
        // A negative layer names no layer either.
        if (arrival.layer < 0 || arrival.layer >= NbDemePerCell) {
            reportLine(std::string("ERROR:{DemeCollection::ReadAndWriteArrivalCell()}:[the no of "
                                   "deme # ") +
                       arrival.name.c_str() + " does not exist!]");
            where << "; the layers of this run are 0 to " << NbDemePerCell - 1;
            reportLine(where.str());
            return 0;
        }
        const cell* target = grid.atOrNull(row, column);
        if (target == nullptr) {
            reportLine(std::string("ERROR:{DemeCollection::ReadAndWriteArrivalCell()}:[the cell "
                                   "named ") +
                       arrival.name.c_str() + "' falls on a uninstanciated cell!]");
            where << " lies in row " << row << ", column " << column << ", which is not land";
            reportLine(where.str());
            return 0;
        }
        output << arrival.name << " : " << target->findDateOfColonization(arrival.layer)
               << std::endl;
    }
    return 1;
}

void World::CountAndWriteImmigrants(const int& row, const int& column, const int& layer) {
    const cell* sampled = grid.atOrNull(row, column);
    if (sampled == nullptr || sampled->history == nullptr) {
        internalError("immigrants asked for row " + std::to_string(row) + ", column " +
                      std::to_string(column) + ", which is not a land cell");
    }
    if (layer < 0 || history == nullptr || layer >= history->layers()) {
        internalError("immigrants asked for layer " + std::to_string(layer));
    }
    const int endTime = Settings.getIntParameter("EndTime", true);
    if (endTime > history->endTime()) {
        internalError("immigrants asked up to generation " + std::to_string(endTime) +
                      " of a history that ends at " + std::to_string(history->endTime()));
    }

    std::ostringstream name;
    name << geneticOutputDirectory << geneticOutputStem << "_Immigrants_" << sampled->dbIndex
         << (layer == 0 ? "_P1.nm" : "_P2.nm");
    std::ofstream output(name.str(), std::ios::out | std::ios::trunc);
    if (!output.is_open()) {
        reportLine("WARNING: the immigrant file '" + name.str() + "' cannot be created");
        return;
    }
    output << "Generation Immigrants\n";
    for (int g = 1; g <= endTime; ++g) {
        const int64_t immigrants = static_cast<int64_t>(sampled->getmN(g, layer)) +
                                   sampled->getmS(g, layer) + sampled->getmE(g, layer) +
                                   sampled->getmW(g, layer);
        output << g << ' ' << immigrants << '\n';
    }
}
