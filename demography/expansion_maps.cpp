#include "demography/expansion_maps.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"

namespace {

constexpr int32_t kFallbackNoData = -9999;

void reportLine(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

// The shortest text that reads back as the same double, so the header is the
// input map's to the last bit.
std::string shortestText(double value) {
    char text[64];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string temporaryNameOf(const std::string& finalName) {
    const size_t separator = finalName.find_last_of('/');
    const size_t name = separator == std::string::npos ? 0 : separator + 1;
    return finalName.substr(0, name) + "partial_" + finalName.substr(name);
}

// One grid to write: its final name, the settings key that asked for it and
// its values (row-major).
struct PendingMap {
    std::string fileName;
    std::string key;
    std::vector<int32_t> values;
};

std::vector<int32_t> onGrid(const World& world, const std::vector<int32_t>& perLandCell,
                            int32_t noData) {
    const TGridHeader& header = world.Settings.worldGridHeader;
    std::vector<int32_t> grid(static_cast<size_t>(header.nrows) * static_cast<size_t>(header.ncols),
                              noData);
    const std::vector<cell*>& land = world.grid.landCells;
    for (size_t i = 0; i < land.size() && i < perLandCell.size(); ++i) {
        const cell& c = *land[i];
        grid[static_cast<size_t>(c.row) * static_cast<size_t>(header.ncols) +
             static_cast<size_t>(c.column)] = perLandCell[i];
    }
    return grid;
}

std::vector<int32_t> finalSizes(const World& world, int layer) {
    const StateDB& history = *world.history;
    const int block = StateDB::seriesBlock(layer, kSeriesN);
    const int endTime = history.endTime();
    std::vector<int32_t> sizes;
    sizes.reserve(world.grid.landCells.size());
    for (const cell* c : world.grid.landCells) sizes.push_back(history.read(block, endTime, c->dbIndex));
    return sizes;
}

void removeTemporaryFiles(const std::vector<PendingMap>& maps) {
    for (const PendingMap& map : maps) std::remove(temporaryNameOf(map.fileName).c_str());
}

void reportUnwritable(const PendingMap& map, const std::string& problem, int errorNumber) {
    std::string text = "ERROR: " + problem + " the expansion map file '" + map.fileName + "' (" +
                       map.key + ")";
    if (errorNumber != 0) text += ": " + std::string(std::strerror(errorNumber));
    reportLine(text);
}

// Writes every map under its temporary name, then renames them all into place.
int writeAll(const std::vector<PendingMap>& maps, const TGridHeader& header, int32_t noData) {
    for (const PendingMap& map : maps) {
        const std::string temporary = temporaryNameOf(map.fileName);
        errno = 0;
        std::ofstream out(temporary.c_str(), std::ios::out | std::ios::trunc);
        if (!out.is_open()) {
            reportUnwritable(map, "cannot create", errno);
            removeTemporaryFiles(maps);
            return 0;
        }
        writeAsciiGrid(out, header, noData, map.values);
        errno = 0;
        out.close();
        if (out.fail()) {
            reportUnwritable(map, "cannot write", errno);
            removeTemporaryFiles(maps);
            return 0;
        }
    }
    for (const PendingMap& map : maps) {
        if (std::rename(temporaryNameOf(map.fileName).c_str(), map.fileName.c_str()) != 0) {
            reportUnwritable(map, "cannot create", errno);
            removeTemporaryFiles(maps);
            return 0;
        }
    }
    return 1;
}

}  // namespace

std::string expansionMapFileName(const std::string& name, int layer, int layers) {
    if (layers <= 1) return name;
    const std::string suffix = layer == 0 ? "_P1" : "_P2";
    const size_t separator = name.find_last_of('/');
    const size_t fileStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = name.find_last_of('.');
    // A dot that starts the file name ("maps/.asc") or lies in the folder part is no extension.
    if (dot == std::string::npos || dot <= fileStart) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

int32_t expansionMapNoData(int32_t inputNoData) {
    return inputNoData < -1 ? inputNoData : kFallbackNoData;
}

std::vector<int32_t> arrivalGenerations(const World& world, int layer) {
    const std::vector<cell*>& land = world.grid.landCells;
    std::vector<int32_t> arrival(land.size(), -1);
    const StateDB& history = *world.history;
    const int block = StateDB::seriesBlock(layer, kSeriesN);
    size_t waiting = land.size();
    // Generation after generation: the history is stored generation-major.
    for (int t = 0; t <= history.endTime() && waiting > 0; ++t) {
        for (size_t i = 0; i < land.size(); ++i) {
            if (arrival[i] < 0 && history.read(block, t, land[i]->dbIndex) > 0) {
                arrival[i] = t;
                --waiting;
            }
        }
    }
    return arrival;
}

void writeAsciiGrid(std::ostream& out, const TGridHeader& header, int32_t noData,
                    const std::vector<int32_t>& values) {
    out << "ncols " << header.ncols << "\n"
        << "nrows " << header.nrows << "\n"
        << "xllcorner " << shortestText(header.xllcorner) << "\n"
        << "yllcorner " << shortestText(header.yllcorner) << "\n"
        << "cellsize " << shortestText(header.cellsize) << "\n"
        << "NODATA_value " << noData << "\n";
    const size_t columns = header.ncols > 0 ? static_cast<size_t>(header.ncols) : 0;
    std::string line;
    char number[16];
    for (size_t start = 0; columns > 0 && start + columns <= values.size(); start += columns) {
        line.clear();
        for (size_t c = 0; c < columns; ++c) {
            if (c > 0) line += ' ';
            const std::to_chars_result written =
                std::to_chars(number, number + sizeof number, values[start + c]);
            line.append(number, written.ptr);
        }
        line += '\n';
        out << line;
    }
}

int writeExpansionMaps(World& world) {
    TSettings& settings = world.Settings;
    const bool arrivalAsked = settings.parameterExists("ArrivalMapFile");
    const bool densityAsked = settings.parameterExists("FinalDensityMapFile");
    if (!arrivalAsked && !densityAsked) return 1;
    if (world.history == nullptr || !world.history->allocated()) return 1;

    const std::string arrivalName =
        arrivalAsked ? settings.getParameter("ArrivalMapFile", true).c_str() : "";
    const std::string densityName =
        densityAsked ? settings.getParameter("FinalDensityMapFile", true).c_str() : "";
    if (arrivalAsked && densityAsked && arrivalName == densityName) {
        reportLine("ERROR: ArrivalMapFile and FinalDensityMapFile both name the file '" +
                   arrivalName + "' in the settings file '" + settings.fileName.c_str() +
                   "': give each map a file of its own");
        return 0;
    }

    const int32_t noData = expansionMapNoData(NO_LAND);
    const int layers = world.history->layers();
    std::vector<PendingMap> maps;
    for (int layer = 0; layer < layers; ++layer) {
        if (arrivalAsked) {
            maps.push_back({expansionMapFileName(arrivalName, layer, layers), "ArrivalMapFile",
                            onGrid(world, arrivalGenerations(world, layer), noData)});
        }
        if (densityAsked) {
            maps.push_back({expansionMapFileName(densityName, layer, layers),
                            "FinalDensityMapFile", onGrid(world, finalSizes(world, layer), noData)});
        }
    }
    if (!writeAll(maps, settings.worldGridHeader, noData)) return 0;
    for (const PendingMap& map : maps) {
        AOS << "Expansion map written: " << map.fileName << " (" << map.key << ")" << std::endl;
    }
    return 1;
}
