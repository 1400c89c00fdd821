#pragma once
// The World owns everything of a run and sequences it: settings, cells, tables,
// history, sources and the coalescent. Its operations are defined in the folder
// of the subsystem they belong to (noted at each group).

#include "app/settings.h"
#include "landscape/conversion_tables.h"
#include "landscape/import_export_utils.h"
#include "landscape/world_grid.h"

class StateDB;

class World {
public:
    World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    virtual ~World();

    // Run sequence (app/world.cpp).
    int BuildWorld();
    int SimulateWorldBatch(int count, bool rebuild);

    // Map reading (landscape/grid_datasets.cpp).
    int ReadGridDataSets();

    // Conversion tables (landscape/conversion_tables.cpp).
    void allocateVeg2K_Veg2F();
    void deleteVeg2K_Veg2F();
    void deleteVeg2K_Veg2F_previous();
    int readTimeAndPathArrays();
    int ReadConversionTables();
    // Applies the table changes due at this generation step (the counter is 1
    // during the first step); 0 when a table or a K/F update fails.
    int ApplyConversionTableChanges(const int& generationCounter);
    // Puts every change list back to its first entry (start of a simulation).
    void ResetConversionTablePositions();

    // World grid (landscape/world_grid.cpp).
    int AllocateCells();
    int DefineLands();
    int AssignNeighborCells();
    int AssignIsCoastToCells();
    int computeInitialFNonStochastic(const int& layer);
    int computeInitialKNonStochastic(const int& layer);
    int SetKandFValuesForCoast(const int& layer);
    int SetKandFValuesForRiver(const int& layer);
    int SetCoastalAdaptation();
    int RelaxAdaptations();
    int DesallocateCells();
    // The vegetation class that indexes the tables: glacial map in LGM mode.
    int vegetationClassOf(const cell& c) const;

    // History database (demography/state_db.cpp).
    int BuildDB();
    int AddInitialDensitiesToDB(const int& layer);

    // Demographic simulation and its outputs (demography/).
    int ReadInitialDensityDataset_Multideme();  // landscape/population_launch.cpp
    int SimulateWorld();
    int FindDateOfEntireColonization(const int& layer);
    int FindDateOfFirstEdgeColonization(const int& layer);
    double FindMeanNumOfMigrantsAtEnd(const int& layer);
    double FindMeanNumOfMigrantsInterdeme();
    double FindMeanCohabitationTime();
    int ReadAndWriteArrivalCell();

    // Genetic simulations (geneticoutput/).
    int SimulateGeneticData();

    TSettings Settings;
    TWorldGrid grid;
    int nrows = 0;
    int ncols = 0;
    TConversionTables tables;
    ImportExportUtils io;
    StateDB* history = nullptr;
};
