#pragma once
// Readers of the input files: the grid maps, the conversion tables and (with the
// demography) the population sources.

#include <vector>

#include "foundations/my_string.h"
#include "landscape/population_source.h"

class cell;
class TSettings;
struct TChangeListMessages;
struct TTableChangeList;
class TWorldGrid;
class World;

class ImportExportUtils {
  public:
    void init() {}

    // Map readers: store raw map values in every cell of the grid.
    int readPresentVegetation(TWorldGrid& grid, TSettings& settings);
    int readLGMVegetation(TWorldGrid& grid, TSettings& settings);
    int readAltitudeTopoFile(TWorldGrid& grid, TSettings& settings);
    int readRoughnessTopoFile(TWorldGrid& grid, TSettings& settings);
    int readHydro(TWorldGrid& grid, TSettings& settings);
    int readmMap(TWorldGrid& grid, TSettings& settings);

    // Conversion tables: set the listed entries of a table.
    int readConversionTable_for_K(const my_string& path, World& world, TSettings& settings,
                                  std::vector<int>& table, const int& layer);
    int readConversionTable_for_F(const my_string& path, World& world, std::vector<float>& table);
    // Reads a change list (a count, then per line a generation and a table path)
    // into list; refusals throw TException with the list's messages.
    void readTableChangeList(const my_string& path, const TChangeListMessages& messages,
                             TTableChangeList& list);

    // Population sources (landscape/population_launch.cpp): reads the file named
    // by PopDensityFile into populations (1 when it gave at least one valid
    // source), and launches the source at the launch position, either placed
    // into its cell or, for a later source, taken from the cell's other layer.
    int readGeoPopDensity_Multideme(TSettings& settings);
    int Launch_Source(TWorldGrid& grid, TSettings& settings, bool arrange);
    int Launch_Source_from_other_pop(TWorldGrid& grid, TSettings& settings);

    PopulationVector populations;
};
