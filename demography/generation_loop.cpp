// The forward demographic simulation: from the sources of generation 0 to
// generation EndTime, one generation after the other, with the environment
// changes, the demographic model of every occupied cell, the migration
// balances, the history and the later sources.

#include <iostream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "demography/model_steps.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/progress_line.h"
#include "landscape/population_source.h"

namespace {

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

// Releases the Baird-lattice rates however the simulation ends: they belong to
// one demographic simulation only.
class MigrationRatesOfTheRun {
  public:
    explicit MigrationRatesOfTheRun(bool used) : used_(used) {
        if (used_) cell::Init_m_vector();
    }
    ~MigrationRatesOfTheRun() {
        if (used_) cell::delete_m_vector();
    }
    MigrationRatesOfTheRun(const MigrationRatesOfTheRun&) = delete;
    MigrationRatesOfTheRun& operator=(const MigrationRatesOfTheRun&) = delete;

  private:
    bool used_;
};

// One layer of one generation under a single-population model: every land cell
// whose layer holds individuals applies the model, the others record that they
// sent nobody. The rates are read when the first cell needs them, so a
// generation without any occupied cell reads no rate (as a model call would).
template <class ApplyModel>
void iterateLayer(const std::vector<cell*>& landCells, StateDB& history, TSettings& settings,
                  int layer, int generation, TModelParameters& parameters, bool& parametersRead,
                  ApplyModel applyModel) {
    for (cell* land : landCells) {
        if (land->states[layer]._N_POP > 0) {
            if (!parametersRead) {
                parameters = readModelParameters(settings);
                parametersRead = true;
            }
            applyModel(*land, layer, parameters);
        } else {
            model_steps::storeArrivals(history, generation, *land, layer, 0, 0, 0, 0);
        }
    }
}

// One layer of one generation under a two-layer model (21, 22, 23): a cell is
// processed when either of its layers holds individuals, the others record
// that this layer sent nobody. The rates, the second layer's included, are
// read when the first cell needs them.
template <class ApplyModel>
void iterateLayerOfTwo(const std::vector<cell*>& landCells, StateDB& history, TSettings& settings,
                       int layer, int generation, TModelParameters& parameters,
                       bool& parametersRead, ApplyModel applyModel) {
    for (cell* land : landCells) {
        if (land->states[0]._N_POP > 0 || land->states[1]._N_POP > 0) {
            if (!parametersRead) {
                parameters = readModelParameters(settings, true);
                parametersRead = true;
            }
            applyModel(*land, layer, parameters);
        } else {
            model_steps::storeArrivals(history, generation, *land, layer, 0, 0, 0, 0);
        }
    }
}

// Models 21 to 23 grow and exchange the two populations of every cell: a run
// with one population cannot use them.
void requireTwoLayersFor(int model, const TSettings& settings) {
    if (model < 21 || model > 23 || NbDemePerCell == 2) return;
    throw TException(my_string(
        ("The demographic model " + std::to_string(model) +
         " (ChosenDemographicModel) is a two-population model, but the settings file '" +
         std::string(settings.fileName.c_str()) +
         "' asks for one population (DoublePopulationMode is not 1). Set "
         "DoublePopulationMode=1 for two populations (ChosenDemographicModel 4, 5 and 6 then "
         "select models 21, 22 and 23), or choose model 1, 2 or 3.")
            .c_str()));
}

// The simulation writes generations 0..EndTime into the history built for them.
void requireHistoryFor(const StateDB* history, int endTime) {
    if (history == nullptr || !history->allocated() || cell::_States != history) {
        internalError("the demographic simulation starts without the history of the world");
    }
    if (history->endTime() != endTime) {
        internalError("the history holds generations 0 to " + std::to_string(history->endTime()) +
                      " but EndTime is " + std::to_string(endTime));
    }
}

}  // namespace

int World::SimulateWorld() {
    if (Settings.parameterExists("ChosenDemographicModel")) {
        requireTwoLayersFor(Settings.getIntParameter("ChosenDemographicModel", true), Settings);
    }
    ResetConversionTablePositions();
    io.populations.resetLaunchPosition();
    if (!ReadInitialDensityDataset_Multideme()) return 0;

    // The world of this simulation: generation 0 at the date RealBPTime.
    const int endTime = Settings.getIntParameter("EndTime", true);
    requireHistoryFor(history, endTime);
    cell::_Current_time = 0;
    cell::_Current_RealBP_time = Settings.getIntParameter("RealBPTime", false);

    SortSource();
    CheckSource(0);
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        if (!AddInitialDensitiesToDB(layer)) return 0;
    }
    const MigrationRatesOfTheRun bairdRates(UsingBairdLattice);
    cell::_Current_time = 0;

    // Glacial-vegetation mode: K and F follow the climate from the start.
    const bool followsClimate = Settings.lgmVegetation != 0;
    if (followsClimate) applyClimateAtSimulationStart();
    int yearsSinceClimateUpdate = 0;

    const bool hasCoastalAdaptation = Settings.parameterExists("CoastAdaptationDuration");
    int coastalAdaptationYears = 0;
    bool adaptationRelaxed = false;

    ProgressLine progress;
    progress.start("generation", endTime);
    while (cell::_Current_time < Settings.getIntParameter("EndTime", true)) {
        const int generationTime = Settings.getIntParameter("GenerationTime", true);
        const int generation = ++cell::_Current_time;
        cell::_Current_RealBP_time += generationTime;

        if (followsClimate) applyClimateAndSeaLevelStep(yearsSinceClimateUpdate, generationTime);
        if (!ApplyConversionTableChanges(generation)) return 0;

        if (hasCoastalAdaptation && !adaptationRelaxed) {
            coastalAdaptationYears += generationTime;
            if (coastalAdaptationYears >=
                Settings.getIntParameter("CoastAdaptationDuration", true)) {
                RelaxAdaptations();
                adaptationRelaxed = true;
            }
        }

        if (!IterateCells()) return 0;

        if (generation > 0 &&
            io.populations.launchPosition() < Settings.numberOfPopulationSources) {
            CheckSource(generation);
        }
        progress.update(generation);
    }
    progress.finish();

    AOS << "world simulating now over, printing report... " << std::endl;
    AOS << "end of Simulate world function\n";
    return 1;
}

int World::IterateCells() {
    const int model = Settings.getIntParameter("ChosenDemographicModel", true);
    const int generation = cell::_Current_time;
    StateDB& database = *history;
    const std::vector<cell*>& landCells = grid.landCells;

    TModelParameters parameters;
    bool parametersRead = false;
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        switch (model) {
            case 1:
                iterateLayer(landCells, database, Settings, layer, generation, parameters,
                             parametersRead, [](cell& c, int i, const TModelParameters& p) {
                                 c.iterateDensity_BaseModel_MigrMax_fast(i, p);
                             });
                break;
            case 2:
            case 3: {
                const bool stochastic = model == 3;
                iterateLayer(landCells, database, Settings, layer, generation, parameters,
                             parametersRead,
                             [stochastic](cell& c, int i, const TModelParameters& p) {
                                 c.iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(
                                     i, stochastic, true, p);
                             });
                break;
            }
            case 21:
                requireTwoLayersFor(model, Settings);
                iterateLayerOfTwo(landCells, database, Settings, layer, generation, parameters,
                                  parametersRead, [](cell& c, int i, const TModelParameters& p) {
                                      c.iterateDensity_Nocompetition_Fast(i, p);
                                  });
                break;
            case 22:
                requireTwoLayersFor(model, Settings);
                iterateLayerOfTwo(landCells, database, Settings, layer, generation, parameters,
                                  parametersRead, [](cell& c, int i, const TModelParameters& p) {
                                      c.iterateDensity_competition_density_dependant_Fast(
                                          i, false, false, p);
                                  });
                break;
            case 23:
                requireTwoLayersFor(model, Settings);
                iterateLayerOfTwo(landCells, database, Settings, layer, generation, parameters,
                                  parametersRead, [](cell& c, int i, const TModelParameters& p) {
                                      c.iterateDensity_competition_density_independant_Fast(i, p);
                                  });
                break;
            default:
                AOS << " Problems with the choice of the demographic model in World::IterateCells()"
                    << " --> model " << model << " unknown!" << std::endl;
                return 0;
        }
    }

    // Every balance is complete only now: add them and store the new sizes.
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        const int block = StateDB::seriesBlock(layer, kSeriesN);
        for (cell* land : landCells) {
            const int size = land->states[layer].add_BilanMigr_to_N(land);
            database.store(block, generation, land->dbIndex, size);
        }
    }
    return 1;
}

int World::SortSource() {
    PopulationVector& sources = io.populations;
    const int count = sources.count();
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (sources.at(j).expansionTime < sources.at(i).expansionTime) {
                sources.swapSources(i, j);
            }
        }
    }
    return 1;
}

int World::CheckSource(const int& generation) {
    PopulationVector& sources = io.populations;
    bool arrange = false;
    bool launchedAtZero = false;
    for (int i = 0; i < sources.count(); ++i) {
        const PopulationSource& source = sources.at(i);
        if (source.expansionTime != generation) continue;
        if (generation > 0) {
            if (NbDemePerCell == 2 && source.layer != 0) {
                io.Launch_Source_from_other_pop(grid, Settings);
            } else {
                io.Launch_Source(grid, Settings, false);
            }
            continue;
        }
        launchedAtZero = true;
        if (Settings.parameterExists("AllowSourcePopulationOverflow") &&
            Settings.getdoubleParameter("AllowSourcePopulationOverflow", true) == 0.0) {
            arrange = true;
        }
        io.Launch_Source(grid, Settings, arrange);
    }
    if (generation == 0 && !launchedAtZero) {
        AOS << "ERROR{World::CheckSource}: No population source at time 0!" << std::endl;
    }
    return 1;
}
