// The generation loop on small built worlds: the order and the launch of the
// sources, the generation at which table changes and the end of coastal
// adaptation take effect, the dispatch of model numbers, and a later source of
// the second layer taken from the first.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demography/demography_world_fixture.h"
#include "foundations/exception.h"
#include "landscape/population_source.h"

namespace {

using demography_test::countOf;
using demography_test::DemographyWorldTest;
using demography_test::hasLine;

// Centre of the cell (row, column) of the 7 x 7 block map (cellsize 1, origin 0).
PopulationSource sourceAt(const char* name, int size, int row, int column, int expansionTime,
                          int layer = 0) {
    PopulationSource s;
    s.name = name;
    s.initialSize = size;
    s.longitude = static_cast<float>(column) + 0.5f;
    s.latitude = 6.5f - static_cast<float>(row);
    s.expansionTime = expansionTime;
    s.layer = layer;
    return s;
}

class GenerationLoopTest : public DemographyWorldTest {
  protected:
    void useSources(std::vector<PopulationSource> sources) {
        world->Settings.numberOfPopulationSources = static_cast<int>(sources.size());
        world->io.populations.replaceSources(std::move(sources));
    }
    std::vector<std::string> sourceNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < world->io.populations.count(); ++i) {
            names.push_back(world->io.populations.at(i).name.c_str());
        }
        return names;
    }
    // First generation 1..EndTime at which the cell received immigrants from
    // the north, or -1.
    int firstArrivalFromNorth(int row, int column, int endTime) const {
        for (int t = 1; t <= endTime; ++t) {
            if (at(row, column).getmN(t, 0) > 0) return t;
        }
        return -1;
    }
};

TEST_F(GenerationLoopTest, SourcesAreSortedAndLaunchedAtTheirGeneration) {
    ASSERT_EQ(build("block_3x3.asc", "EndTime=8\n"), 1);
    useSources({sourceAt("A", 11, 2, 2, 5), sourceAt("B", 22, 2, 3, 0), sourceAt("C", 33, 2, 4, 5),
                sourceAt("D", 44, 3, 2, 2)});
    EXPECT_EQ(world->SortSource(), 1);
    // The exchange sort moves D before the two of generation 5 and C before A.
    EXPECT_EQ(sourceNames(), (std::vector<std::string>{"B", "D", "C", "A"}));

    world->CheckSource(0);
    EXPECT_EQ(world->io.populations.launchPosition(), 1);
    EXPECT_EQ(at(2, 3).states[0]._N_POP, 22);
    EXPECT_EQ(at(3, 2).states[0]._N_POP, 0);
    world->CheckSource(1);
    EXPECT_EQ(world->io.populations.launchPosition(), 1);
    world->CheckSource(2);
    EXPECT_EQ(at(3, 2).states[0]._N_POP, 44);
    world->CheckSource(5);
    EXPECT_EQ(world->io.populations.launchPosition(), 4);
    EXPECT_EQ(at(2, 4).states[0]._N_POP, 33);
    EXPECT_EQ(at(2, 2).states[0]._N_POP, 11);
    EXPECT_EQ(world->io.populations.at(3).dbIndex, at(2, 2).dbIndex);
    EXPECT_EQ(countOf(log(), "No population source at time 0"), 0);
}

TEST_F(GenerationLoopTest, NoSourceAtGenerationZeroIsLoggedAndTheRunGoesOn) {
    ASSERT_EQ(build("block_3x3.asc"), 1);
    useSources({sourceAt("Later", 10, 3, 3, 2)});
    EXPECT_EQ(world->CheckSource(0), 1);
    EXPECT_TRUE(hasLine(log(), "ERROR{World::CheckSource}: No population source at time 0!"));
    EXPECT_EQ(world->io.populations.launchPosition(), 0);
    EXPECT_EQ(at(3, 3).states[0]._N_POP, 0);
}

// Two sources of generation 0 that exceed K = 100: with the flag the excess
// spills to the neighbours, for both of them; otherwise the cell takes it all.
TEST_F(GenerationLoopTest, OverflowSettingChoosesHowSourcesOfGenerationZeroArePlaced) {
    struct Case {
        const char* setting;
        bool arranged;
    };
    for (const Case& c : {Case{"", false}, Case{"AllowSourcePopulationOverflow=0\n", true},
                          Case{"AllowSourcePopulationOverflow=1\n", false}}) {
        SCOPED_TRACE(c.setting);
        ASSERT_EQ(build("block_3x3.asc", c.setting), 1);
        useSources({sourceAt("First", 150, 2, 2, 0), sourceAt("Second", 150, 4, 4, 0)});
        world->CheckSource(0);
        if (c.arranged) {
            EXPECT_EQ(at(2, 2).states[0]._N_POP, 100);
            EXPECT_EQ(at(2, 3).states[0]._N_POP, 25);
            EXPECT_EQ(at(3, 2).states[0]._N_POP, 25);
            EXPECT_EQ(at(4, 4).states[0]._N_POP, 100);
            EXPECT_EQ(at(3, 4).states[0]._N_POP, 25);
            EXPECT_EQ(at(4, 3).states[0]._N_POP, 25);
        } else {
            EXPECT_EQ(at(2, 2).states[0]._N_POP, 150);
            EXPECT_EQ(at(2, 3).states[0]._N_POP, 0);
            EXPECT_EQ(at(4, 4).states[0]._N_POP, 150);
            EXPECT_EQ(at(4, 3).states[0]._N_POP, 0);
        }
    }
}

TEST_F(GenerationLoopTest, SourceWithNegativeLayerIsRefused) {
    population("1\nS 10 3.5 3.5 0 0 0 0 -1 0\n");
    ASSERT_EQ(build("block_3x3.asc"), 1);
    EXPECT_EQ(world->SimulateWorld(), 0);
    EXPECT_EQ(countOf(log(), "****ERROR: Population S has a wrong deme number!"), 1);
}

// One cell without neighbours, r = 1, 50 individuals: K 1000 from generation
// 1 (change time 0), K 10 from generation 3 (change time 2); the change at
// EndTime = 4 never applies. Sizes worked out by hand from the growth formula
// (K 100 in generation 1 would give 66, not 95).
TEST_F(GenerationLoopTest, CarryingCapacityChangesApplyAtTheStepAfterTheirTime) {
    const std::string k10 = dir.write("k10.txt", "1 10 land\n");
    kList = dir.write("k_changes.txt", "4\n-1 " + dir.write("k100.txt", "1 100 land\n") + "\n0 " +
                                           dir.write("k1000.txt", "1 1000 land\n") + "\n2 " + k10 +
                                           "\n4 " + dir.write("k5000.txt", "1 5000 land\n") + "\n");
    population("1\nS 50 1.5 1.5 0 0 0 0 0 0\n");
    ASSERT_EQ(build("lone_cell.asc", "GrowthRate=1\nEndTime=4\n"), 1);
    ASSERT_EQ(world->SimulateWorld(), 1);
    const int expected[] = {50, 95, 173, 18, 13};
    for (int t = 0; t <= 4; ++t) EXPECT_EQ(storedN(1, 1, t), expected[t]) << "generation " << t;
    EXPECT_EQ(at(1, 1).states[0].K, 10);
    EXPECT_STREQ(world->Settings.getParameter("Veg2KFile", true).c_str(), k10.c_str());
}

// F = 1 closes the east cell until the table of change time 1 opens it, at the
// start of generation 2.
TEST_F(GenerationLoopTest, FrictionChangeOpensTheNeighbourAtTheStepAfterItsTime) {
    fList = dir.write("f_changes.txt", "2\n0 " + dir.write("closed.txt", "1 1.0 land\n") + "\n1 " +
                                           dir.write("open.txt", "1 0.5 land\n") + "\n");
    population("1\nS 100 0.5 0.5 0 0 0 0 0 0\n");
    ASSERT_EQ(build("strip_1x2.asc", "GrowthRate=0\nMigrationRate=0.2\nEndTime=3\n"), 1);
    ASSERT_EQ(world->SimulateWorld(), 1);
    EXPECT_EQ(at(0, 1).getmW(1, 0), 0);
    EXPECT_EQ(at(0, 1).getmW(2, 0), 20);  // 100 x 0.2, all of it east
    EXPECT_EQ(at(0, 1).findDateOfColonization(0), 2);
    EXPECT_EQ(storedN(0, 0, 2), 80);
}

// Model 1 enters only adapted cells; the centre of the island is the one cell
// that is not a coast. Its first immigrants come from the source north of it
// in the generation during which the adaptation ends.
TEST_F(GenerationLoopTest, CoastalAdaptationEndsDuringTheGenerationThatReachesItsDuration) {
    struct Case {
        const char* setting;
        int firstArrival;
    };
    for (const Case& c :
         {Case{"", 1}, Case{"CoastAdaptationDuration=1\n", 1},
          Case{"CoastAdaptationDuration=50\n", 2}, Case{"CoastAdaptationDuration=75\n", 3}}) {
        SCOPED_TRACE(c.setting);
        population("1\nS 100 4.5 3.5 0 0 0 0 0 0\n");  // latitude, longitude: cell (2,3)
        ASSERT_EQ(build("block_3x3.asc", std::string("GrowthRate=0\nMigrationRate=0.5\nEndTime=4\n"
                                                     "GenerationTime=25\n") +
                                             c.setting),
                  1);
        EXPECT_EQ(at(3, 3).adapted, std::string(c.setting).empty());
        EXPECT_TRUE(at(2, 3).adapted);
        ASSERT_EQ(world->SimulateWorld(), 1);
        EXPECT_EQ(firstArrivalFromNorth(3, 3, 4), c.firstArrival);
        EXPECT_TRUE(at(3, 3).adapted);
    }
}

TEST_F(GenerationLoopTest, UnknownModelStopsTheSimulationAtItsFirstGeneration) {
    population("1\nS 100 3.5 3.5 0 0 0 0 0 0\n");
    ASSERT_EQ(build("block_3x3.asc", "ChosenDemographicModel=4\nEndTime=3\n"), 1);
    EXPECT_EQ(world->SimulateWorld(), 0);
    EXPECT_EQ(countOf(log(),
                      " Problems with the choice of the demographic model in "
                      "World::IterateCells() --> model 4 unknown!\n"),
              1);
    EXPECT_EQ(cell::_Current_time, 1);
    EXPECT_EQ(storedN(3, 3, 0), 100);
}

// A one-layer settings file that names a two-layer model is refused before
// the simulation starts.
TEST_F(GenerationLoopTest, TwoLayerModelsAreRefusedClearly) {
    population("1\nS 100 3.5 3.5 0 0 0 0 0 0\n");
    for (const char* model : {"21", "22", "23"}) {
        ASSERT_EQ(build("block_3x3.asc", std::string("ChosenDemographicModel=") + model + "\n"),
                  1);
        try {
            world->SimulateWorld();
            FAIL() << "model " << model << " ran";
        } catch (const TException& e) {
            EXPECT_EQ(std::string(e.message().c_str()),
                      std::string("The demographic model ") + model +
                          " (ChosenDemographicModel) is a two-population model, but the "
                          "settings file '" +
                          dir.file("settings.txt") +
                          "' asks for one population (DoublePopulationMode is not 1). Set "
                          "DoublePopulationMode=1 for two populations (ChosenDemographicModel 4, "
                          "5 and 6 then select models 21, 22 and 23), or choose model 1, 2 or 3.");
        }
        EXPECT_EQ(countOf(log(), "The number of population source is"), 0) << "nothing read";
        EXPECT_EQ(storedN(3, 3, 0), 0);
    }
}

// With EndTime 0 no source can start before the end (the population file
// refuses it), so the simulation does not start and computes nothing.
TEST_F(GenerationLoopTest, EndTimeZeroComputesNoGeneration) {
    population("1\nS 100 3.5 3.5 0 0 0 0 0 0\n");
    ASSERT_EQ(build("block_3x3.asc", "EndTime=0\n"), 1);
    EXPECT_EQ(history().endTime(), 0);
    EXPECT_EQ(world->SimulateWorld(), 0);
    EXPECT_EQ(countOf(log(), "has an expansion time outside the range"), 1);
    EXPECT_EQ(cell::_Current_time, 0);
    EXPECT_EQ(countOf(log(), "world simulating now over"), 0);
}

TEST_F(GenerationLoopTest, BairdRatesLiveForOneSimulationOnly) {
    population("1\nS 100 3.5 3.5 0 0 0 0 0 0\n");
    for (const char* model : {"1", "4"}) {
        SCOPED_TRACE(model);
        ASSERT_EQ(build("block_3x3.asc", std::string("AllowBairdEfficientLattice=1\n"
                                                     "ChosenDemographicModel=") +
                                             model + "\n"),
                  1);
        ASSERT_TRUE(UsingBairdLattice);
        EXPECT_EQ(world->SimulateWorld(), model[0] == '1' ? 1 : 0);
        EXPECT_EQ(cell::_m_array, nullptr);
    }
}

// The report of a completed simulation, in the log.
TEST_F(GenerationLoopTest, CompletedSimulationLogsItsEnd) {
    population("1\nS 100 3.5 3.5 0 0 0 0 0 0\n");
    ASSERT_EQ(build("block_3x3.asc", "EndTime=3\n"), 1);
    ASSERT_EQ(world->SimulateWorld(), 1);
    EXPECT_EQ(cell::_Current_time, 3);
    EXPECT_EQ(cell::_Current_RealBP_time, -75 + 3 * 25);
    const std::string text = log();
    EXPECT_NE(text.find("world simulating now over, printing report... \n"
                        "end of Simulate world function\n"),
              std::string::npos)
        << text;
    // Every land cell's N of every generation is stored, and matches the cells.
    for (cell* land : world->grid.landCells) {
        EXPECT_EQ(land->getN(3, 0), land->states[0]._N_POP);
        EXPECT_EQ(land->states[0].BilanMigr, 0);
    }
}

// Two layers, no growth and no migration: source B of layer 1 starts at
// generation 3 in the cell of A with 10 of A's 30 individuals.
TEST_F(GenerationLoopTest, LaterSourceOfLayerOneIsTakenFromLayerZero) {
    population("2\nA 30 3.5 3.5 0 0 0 0 0 0\nB 10 3.5 3.5 0 0 0 0 1 3\n");
    ASSERT_EQ(build("block_3x3.asc", "DoublePopulationMode=1\nVeg2K_P2_File=" + kList +
                                         "\nVeg2F_P2_File=" + fList +
                                         "\nGrowthRate=0\nMigrationRate=0\nEndTime=6\n"),
              1);
    ASSERT_EQ(NbDemePerCell, 2);
    ASSERT_EQ(world->SimulateWorld(), 1);
    EXPECT_TRUE(hasLine(log(),
                        "New source B is generated from 10 individuals from layer 0 at time 3 "
                        "(Ancestral density before: 30, after: 20 )"));
    const int layer0[] = {30, 30, 30, 20, 20, 20, 20};
    const int layer1[] = {0, 0, 0, 10, 10, 10, 10};
    for (int t = 0; t <= 6; ++t) {
        EXPECT_EQ(storedN(3, 3, t, 0), layer0[t]) << "generation " << t;
        EXPECT_EQ(storedN(3, 3, t, 1), layer1[t]) << "generation " << t;
    }
    EXPECT_EQ(at(3, 3).history->get_migrBetweenDemes(0, 1, 3), 10);
    // The transfer is the second source's own: not a migration between layers.
    EXPECT_FLOAT_EQ(world->FindMeanNumOfMigrantsInterdeme(), 0.0f);
    // Generations 3, 4 and 5 (of 0..EndTime-1) hold both layers, in 1 of 9 cells.
    EXPECT_FLOAT_EQ(world->FindMeanCohabitationTime(), 3.0f / 9.0f);
}

}  // namespace
