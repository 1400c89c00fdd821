#pragma once
// Small worlds built the way a run builds them (settings file, maps, tables),
// for the tests of the generation loop and of the outputs read from the
// history. The maps live in tests/fixtures/demography/ (block_3x3: a 3 x 3
// island in rows and columns 2..4 of a 7 x 7 sea, whose centre (3,3) alone is
// not coast; lone_cell: one land cell, (1,1), without neighbours; strip_1x2:
// two land cells side by side; corner_2x2: one land cell, (0,1), in the
// north-east corner). Every class has K 100 and F 0.5 unless a test
// writes its own tables.

#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"
#include "random/distributions.h"
#include "random/ran3.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace demography_test {

const std::string kMaps = std::string(VASTRID2_FIXTURES) + "/demography/";

using test_support::CapturedOutput;

inline int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline bool hasLine(const std::string& text, const std::string& line) {
    for (const std::string& l : test_support::splitLines(text)) {
        if (l == line) return true;
    }
    return false;
}

// Runs the test inside its scratch folder: outputs named relative to the
// working directory land there.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& path) {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer) != nullptr) previous_ = buffer;
        if (chdir(path.c_str()) != 0) ADD_FAILURE() << "cannot enter " << path;
    }
    ~WorkingDirectory() {
        if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE();
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::string previous_;
};

class DemographyWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        NbDemePerCell = 1;
        UsingBairdLattice = false;
        cell::_Current_time = 0;
        cell::_lidum = 1;
        reset_distribution_caches();
        capture = std::make_unique<CapturedOutput>();
        initialize_ran3_from_setting(12345);
        tables("k.txt", "1 100 land\n", "f.txt", "1 0.5 land\n");
    }
    void TearDown() override {
        world.reset();
        capture.reset();
        NO_LAND = -9999;
        NbDemePerCell = 1;
        UsingBairdLattice = false;
        cell::_Current_time = 0;
        cell::_Settings = nullptr;
        cell::_States = nullptr;
        cell::delete_m_vector();
    }

    // Conversion tables of the next build (a one-entry list for each).
    void tables(const std::string& kName, const std::string& kText, const std::string& fName,
                const std::string& fText) {
        kList = dir.write("k_list.txt", "1\n0 " + dir.write(kName, kText) + "\n");
        fList = dir.write("f_list.txt", "1\n0 " + dir.write(fName, fText) + "\n");
    }
    // The population file of the next build.
    void population(const std::string& text) { populationFile = dir.write("pop.txt", text); }

    // Builds a world from a map of tests/fixtures/demography and settings with
    // these defaults; extra lines come last, so they override the defaults.
    int build(const std::string& map, const std::string& extraLines = "") {
        const std::string settings =
            "DoublePopulationMode=0\nChosenDemographicModel=1\nGrowthRate=0.5\n"
            "MigrationRate=0.2\nEndTime=5\nGenerationTime=25\nTauValue=10\n"
            "NumGeneticSimulations=0\nFrictionChoice=0\nPresVegetationFile=" +
            kMaps + map + "\nVeg2KFile=" + kList + "\nVeg2FFile=" + fList +
            "\nPopDensityFile=" + populationFile + "\nArrivalCellFile=" + dir.file("cells.col") +
            "\n" + extraLines;
        const std::string path = dir.write("settings.txt", settings);
        world.reset();
        world = std::make_unique<World>();
        world->Settings.fileName = path.c_str();
        world->Settings.readParameters(path.c_str(), 0, nullptr, 0);
        const int built = world->BuildWorld();
        cell::_Settings = &world->Settings;
        return built;
    }

    cell& at(int row, int column) const { return *world->grid.at(row, column); }
    StateDB& history() const { return *world->history; }
    int storedN(int row, int column, int t, int layer = 0) const {
        return at(row, column).getN(t, layer);
    }
    // Writes one value of the history of the cell at (row, column).
    void store(HistorySeries series, int row, int column, int t, int value, int layer = 0) {
        history().store(StateDB::seriesBlock(layer, series), t, at(row, column).dbIndex, value);
    }
    std::string log() const { return capture->log(); }

    test_support::ScratchDir dir;
    std::unique_ptr<CapturedOutput> capture;
    std::unique_ptr<World> world;
    std::string kList;
    std::string fList;
    std::string populationFile = "pop.txt";
};

}  // namespace demography_test
