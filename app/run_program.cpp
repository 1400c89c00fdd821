#include "app/run_program.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace {

void showHelp() {
    std::cout << "\n***************************************************************\n"
              << "\n"
              << "\n\n"
              << "Syntax for the command line VASTRID2 program :\n\n"
              << "1)\tvastrid2 [-h]\n"
              << "\toutputs this message.\n\n"
              << "2)\tvastrid2 [SettingsFilename.txt]\n"
              << "\tSettingsFilename.txt targets a SETTINGS text file listing\n"
              << "\tall settings for the program. See VASTRID2 User Guide\n"
              << "\tfor the list of available settings.\n"
              << "\n***************************************************************\n\n"
              << std::endl;
    // The screen waits for one typed value; a closed standard input ends the wait.
    int discarded = 0;
    std::cin >> discarded;
}

void report(const TException& e) {
    AOS << e << std::endl;
    std::cout << e << std::endl;
}

void reportUnhandled() {
    AOS << "\nERROR: unhandeled error!" << "\nProgram is finished!" << std::endl;
    std::cout << "\nERROR: unhandeled error!" << "\nProgram is finished!" << std::endl;
}

void writeEndOfRunReport(World& world) {
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        AOS << "Date of entire colonization, layer " << layer << " : "
            << world.FindDateOfEntireColonization(layer) << std::endl;
        AOS << "Date of edge colonization, layer " << layer << " : "
            << world.FindDateOfFirstEdgeColonization(layer) << std::endl;
        AOS << "Mean number of migrants, layer " << layer << " : "
            << world.FindMeanNumOfMigrantsAtEnd(layer) << std::endl;
    }
    if (NbDemePerCell > 1) {
        AOS << "Mean number of migrants interdeme : " << world.FindMeanNumOfMigrantsInterdeme()
            << std::endl;
        AOS << "Mean cohabitation time : " << world.FindMeanCohabitationTime() << std::endl;
    }
}

// Two-layer runs use the two-layer model matching the one-layer number given.
void mapToTwoLayerModel(TSettings& settings) {
    const int model = settings.getIntParameter("ChosenDemographicModel", true);
    int twoLayerModel = 21;
    if (model == 5) twoLayerModel = 22;
    if (model == 6) twoLayerModel = 23;
    my_string text;
    text = twoLayerModel;
    settings["ChosenDemographicModel"] = text;
}

// Steps from the constructed World to the end-of-run report. Returns the exit status.
int runWorld(World& world, const my_string& settingsName) {
    world.Settings.fileName = settingsName;
    world.Settings.readParameters(settingsName, 0, nullptr, 0);
    if (world.Settings.parameterExists("RandomSeed")) {
        initialize_ran3_from_setting(world.Settings.getIntParameter("RandomSeed", true));
    }
    if (NbDemePerCell > 1) mapToTwoLayerModel(world.Settings);

    std::cout << "Building World ... ";
    if (!world.BuildWorld()) {
        std::cout << "\nERROR: Problem when constructing a World" << std::endl;
        AOS << "\nERROR: Problem when constructing a World" << std::endl;
        throw TException("Error with constructing a World.");
    }
    std::cout << "OK" << std::endl;
    std::cout << "Simulating from '" << settingsName << "'" << std::endl;

    cell::_Settings = &world.Settings;
    const int runSucceeded = world.SimulateWorldBatch(1, false);

    writeEndOfRunReport(world);
    // An arrival list that names a wrong layer or a cell off land is an input
    // error: the run is not reported as a success.
    const int arrivalsWritten = world.ReadAndWriteArrivalCell();
    if (!runSucceeded || !arrivalsWritten) {
        AOS << "THE RUN FAILED: see the messages above." << std::endl;
        std::cout << "THE RUN FAILED: see vastrid2.log for the details." << std::endl;
        return exit_status::kFailure;
    }
    AOS << "End of Program!!" << std::endl;
    AOS.close();
    std::cout << "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!" << std::endl;
    return exit_status::kSuccess;
}

}  // namespace

int runProgram(int argc, char** argv) {
    if (argc == 1 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 ||
                                    std::strcmp(argv[1], "-H") == 0))) {
        showHelp();
        return exit_status::kSuccess;
    }
    if (argc > 2) {
        report(TException("Wrong number of parameters. Type vastrid2 -h for usage."));
        return exit_status::kFailure;
    }
    const my_string settingsName(argv[1]);
    std::ifstream settingsFile(argv[1]);
    if (!settingsFile.is_open()) {
        report(TException("Unable to open setting file. Check its name and retry."));
        return exit_status::kFailure;
    }
    std::cout << "Reading inputfile '" << settingsName << "' ....." << std::endl;

    std::unique_ptr<World> world;
    try {
        world = std::make_unique<World>();
        return runWorld(*world, settingsName);
    } catch (const TOutOfMemory& e) {
        report(e);
        return exit_status::kOutOfMemory;
    } catch (const TException& e) {
        report(e);
        return exit_status::kFailure;
    } catch (...) {
        reportUnhandled();
        return exit_status::kFailure;
    }
}
