#include "app/world.h"

#include <cstdint>
#include <iostream>
#include <sstream>

#include "demography/cell.h"
#include "demography/expansion_maps.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace {
constexpr int kHistoryCapacity = 1001;
constexpr int kHistoryGrowth = 500;
}  // namespace

World::World() {
    history = new StateDB(this, kHistoryCapacity, kHistoryGrowth, 0, 0);
    initialize_ran3(1);
    DesallocateCells();
}

World::~World() {
    previousNbDemePerCell = NbDemePerCell;
    delete history;
    history = nullptr;
    if (cell::_States != nullptr) cell::_States = nullptr;
    DesallocateCells();
    deleteVeg2K_Veg2F();
    releaseClimateMatrices();
}

int World::BuildWorld() {
    Settings.numberOfPopulationSources = 0;
    DesallocateCells();

    {
        my_string vegetationName = Settings.getParameter("PresVegetationFile", true);
        std::ifstream vegetation(vegetationName.c_str());
        if (!vegetation.is_open()) {
            AOS << "      ERROR: {World::BuildWorld()} [unable to open the present vegetation file '"
                << vegetationName << "']" << std::endl;
            std::cout << "\nERROR: unable to open the present vegetation file '" << vegetationName
                      << "'" << std::endl;
            reportWindowsLineEndInName(vegetationName);
            return 0;
        }
        if (!Settings.worldGridHeader.readGridHeader(vegetation, true, vegetationName)) return 0;
    }

    {
        // The dates of the run go from -(GenerationTime x EndTime) years to 0, in 32 bits.
        const int64_t generationTime = Settings.getIntParameter("GenerationTime", true);
        const int64_t endTime = Settings.getIntParameter("EndTime", true);
        const int64_t span = generationTime * endTime;
        if (span > INT32_MAX || span < -INT32_MAX) {
            std::ostringstream text;
            text << "GenerationTime = " << generationTime << " and EndTime = " << endTime
                 << " in the settings file '" << Settings.fileName << "' make a run of " << span
                 << " years; it must not pass " << INT32_MAX << " years.";
            throw TException(my_string(text.str().c_str()));
        }
        my_string realBP;
        realBP = static_cast<int>(-span);
        Settings["RealBPTime"] = realBP;
    }

    nrows = Settings.worldGridHeader.nrows;
    ncols = Settings.worldGridHeader.ncols;
    deleteVeg2K_Veg2F_previous();
    allocateVeg2K_Veg2F();

    delete history;
    history = new StateDB(this, kHistoryCapacity, kHistoryGrowth, nrows, ncols);

    if (!AllocateCells()) return 0;
    if (!ReadGridDataSets()) return 0;
    if (!readTimeAndPathArrays()) return 0;
    if (!ReadConversionTables()) return 0;
    if (!DefineLands()) return 0;
    if (!BuildDB()) return 0;
    if (!AssignNeighborCells()) return 0;
    if (!AssignIsCoastToCells()) return 0;
    if (Settings.parameterExists("CoastAdaptationDuration") && !SetCoastalAdaptation()) return 0;

    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        if (!computeInitialFNonStochastic(layer)) return 0;
        if (!computeInitialKNonStochastic(layer)) return 0;
        if (!SetKandFValuesForCoast(layer)) return 0;
        if (!SetKandFValuesForRiver(layer)) return 0;
    }

    if (Settings.lgmVegetation) {
        // A new build starts the series afresh; each layer appends the climate file.
        climateSeries.clear();
        seaLevelSeries.clear();
        for (int layer = 0; layer < NbDemePerCell; ++layer) {
            if (!AllocateAndLoadAllVostokData(layer)) return 0;
        }
        if (!load_SeaLevelData()) return 0;
    }

    AOS << "Num. of instanciated cells: " << grid.instantiatedCells << "\n";
    return 1;
}

int World::SimulateWorldBatch(int count, bool rebuild) {
    for (int run = 1; run <= count; ++run) {
        if (rebuild && run > 1 && !BuildWorld()) return 0;
        AOS << "Simulating demography, iteration no. " << run << "... " << std::endl;
        std::cout << "Simulating demography, iteration no. " << run << "... " << std::endl;
        if (!SimulateWorld()) {
            AOS << "      ERROR: [SimulateWorldBatch]: error in SimulateWorld(). Run " << run << "\n";
            std::cout << "      ERROR: [SimulateWorldBatch]: error in SimulateWorld(). Run " << run
                      << "\n";
            return 0;
        }
        if (!writeExpansionMaps(*this)) return 0;
        std::cout << "OK" << std::endl;

        const int geneticSimulations = Settings.getIntParameter("NumGeneticSimulations", true);
        if (geneticSimulations >= 1) {
            AOS << "Simulating genetics, iteration no. " << run << "... " << std::endl;
            std::cout << "Simulating genetics, iteration no. " << run << "... " << std::endl;
            if (!SimulateGeneticData()) {
                AOS << "      ERROR: [SimulateWorldBatch]: error in SimulateGeneticData(). Run "
                    << run << std::endl;
                std::cout << "      ERROR: [SimulateWorldBatch]: error in SimulateGeneticData(). Run "
                          << run << std::endl;
                return 0;
            }
            std::cout << "OK" << std::endl;
            ReadAndWriteArrivalCell();
        } else if (geneticSimulations == 0) {
            const char* info =
                "INFO: no genetic simulations: we do not check if historical or sampled cell do "
                "correspond to the observed situation!";
            AOS << info << std::endl;
            std::cout << info << std::endl;
        } else {
            const char* error =
                "ERROR: at least one historical or sampled cell does not correspond to the "
                "observed situation!";
            AOS << error << std::endl;
            std::cout << error << std::endl;
        }
    }
    return 1;
}
