#pragma once
// The World owns everything of a run and sequences it: settings, cells, tables,
// history, sources and the coalescent. Its operations are defined in the folder
// of the subsystem they belong to (noted at each group).

#include "app/settings.h"
#include "coalescent/deme_collection.h"
#include "geneticoutput/quorlan_writer.h"
#include "landscape/climate.h"
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

    // Climate series and sea level, glacial-vegetation mode only
    // (landscape/climate.cpp, climate_update.cpp, sea_level.cpp). The loaders
    // report a bad file (console and log) and fail; the updates read the
    // current date cell::_Current_RealBP_time.
    int AllocateAndLoadAllVostokData(const int& layer);
    int allocateVostokMatrix();
    bool load_VostokTimeData(TimeStoInt<float>& series);
    bool load_SeaLevelData();
    void releaseClimateMatrices();
    int GenerateVostokIntermediateData(const int& layer);
    int UpdateGlobalKWithVostokIntermediate(const int& layer);
    int UpdateGlobalFWithVostokIntermediate(const int& layer);
    int ComputeSeaLevelChanges();
    // The generation loop's two climate steps: K and F of every layer from the
    // climate before the first generation; and in each generation step, once
    // DynamicVegetationChangeTime years have gathered in yearsSinceUpdate, the
    // sea level, then K and F with the coast and river factors.
    void applyClimateAtSimulationStart();
    void applyClimateAndSeaLevelStep(int& yearsSinceUpdate, const int& generationTime);

    // History database (demography/state_db.cpp).
    int BuildDB();
    int AddInitialDensitiesToDB(const int& layer);

    // Demographic simulation and its outputs (demography/).
    int ReadInitialDensityDataset_Multideme();  // landscape/population_launch.cpp
    // Generation loop (demography/generation_loop.cpp): the whole forward run
    // (1 when generation EndTime was completed), one generation of demography
    // (0 for an unknown model), the sort of the sources by start generation and
    // the launch of those of one generation.
    int SimulateWorld();
    int IterateCells();
    int SortSource();
    int CheckSource(const int& generation);
    // End-of-run values (demography/colonisation_stats.cpp).
    int FindDateOfEntireColonization(const int& layer);
    int FindDateOfFirstEdgeColonization(const int& layer);
    float FindMeanNumOfMigrantsAtEnd(const int& layer);
    float FindMeanNumOfMigrantsInterdeme();
    float FindMeanCohabitationTime();
    // Arrival times and immigrant counts (demography/arrival_cells.cpp).
    // ReadAndWriteArrivalCell: false when the arrival list names a wrong layer
    // or a cell that is not land, or cannot be parsed.
    int ReadAndWriteArrivalCell();
    void CountAndWriteImmigrants(const int& row, const int& column, const int& layer);

    // Genetic simulations (geneticoutput/genetic_run.cpp): 1 when every
    // simulation was written; 0 when the run was refused (no chromosome, a
    // source that does not start at generation 0, unusable samples) or an
    // output file could not be made, after saying why.
    int SimulateGeneticData();
    // Genetic parameter and sample file names (coalescent/genetic_parameters.cpp):
    // the number of chromosomes (first value of GeneticFile, 0 when unreadable),
    // and SampleFile cut before its first ".sam" (empty when it has none).
    int GetNumIndepLoci();
    my_string ExtractSamPath();

    TSettings Settings;
    TWorldGrid grid;
    int nrows = 0;
    int ncols = 0;
    TConversionTables tables;
    // The climate values of VostokFile and the sea levels of SeaLevelFile, and
    // the K and F the climate gives each position (row-major, rows x columns)
    // for the layer being updated.
    TimeStoInt<float> climateSeries;
    TimeStoInt<float> seaLevelSeries;
    std::vector<int32_t> climateKMatrix;
    std::vector<float> climateFMatrix;
    ImportExportUtils io;
    StateDB* history = nullptr;
    // Where the genetic run writes its files (folder with its final "/", and
    // the name stem), set by the genetic run; the immigrant files go there too.
    my_string geneticOutputDirectory;
    my_string geneticOutputStem;
    // The genetic run's sizes, the project file it is writing and the values of
    // the last blocks described (rates, DNA, SNP and microsatellite parameters,
    // the simulation's data type); set by the genetic run and kept after it.
    my_string currentProjectFile;
    int32_t numChromosomes = 0;
    int32_t numSimulations = 0;
    int32_t numLinkedLoci = 0;  // of the current chromosome
    DescribedBlocks describedBlocks;
    // Rate heterogeneity among sites: no input sets it, both stay 0.
    double gammaShape = 0.0;
    int32_t gammaCategories = 0;
    // The coalescent: demes, genetic parameters and the gene tree.
    TDemeCollection demes;
};
