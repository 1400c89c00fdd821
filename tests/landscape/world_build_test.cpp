// Whole world builds from a settings file, maps and tables: land, coasts,
// neighbours, K and F as the run sees them after World::BuildWorld.
//
// The island fixture (7 x 7, classes 1..3) has one inland cell, (2,2), all of
// whose eight neighbours are land; every other cell of the island is coast.
// The lone cell (6,6) in the last row and column is not coast: the missing
// neighbours of the map's last row and column never count as water there.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

const std::string kFixtures = std::string(VASTRID2_FIXTURES) + "/landscape/world/";

using test_support::CapturedOutput;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class WorldBuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        capture = std::make_unique<CapturedOutput>();
    }
    void TearDown() override {
        world.reset();
        capture.reset();
        NO_LAND = -9999;
        NbDemePerCell = 1;
    }

    // A change list naming one table, written next to the settings.
    std::string list(const std::string& name, const std::string& table) {
        return dir.write(name, "1\n0 " + table + "\n");
    }

    // Writes the settings (the base keys plus the extra lines), reads them into
    // a fresh World and builds it.
    int build(const std::string& extraLines,
              const std::string& vegetation = kFixtures + "island_veg.asc") {
        const std::string settings =
            "DoublePopulationMode=0\nGenerationTime=25\nEndTime=10\nPresVegetationFile=" +
            vegetation + "\nVeg2KFile=" + list("k_list.txt", kFixtures + "veg2k.txt") + "\n" +
            extraLines;
        const std::string path = dir.write("settings.txt", settings);
        world = std::make_unique<World>();
        world->Settings.fileName = path.c_str();
        world->Settings.readParameters(path.c_str(), 0, nullptr, 0);
        return world->BuildWorld();
    }

    const cell& at(int row, int column) const { return *world->grid.at(row, column); }

    // 'C' coast, '#' other land, '.' no cell.
    std::vector<std::string> coastMap() const {
        std::vector<std::string> rows;
        for (int r = 0; r < world->grid.nrows; ++r) {
            std::string row;
            for (int c = 0; c < world->grid.ncols; ++c) {
                const cell* position = world->grid.at(r, c);
                row += position == nullptr ? '.' : position->isCoast ? 'C' : '#';
            }
            rows.push_back(row);
        }
        return rows;
    }

    ScratchDir dir;
    std::unique_ptr<CapturedOutput> capture;
    std::unique_ptr<World> world;
};

TEST_F(WorldBuildTest, IslandGetsItsCoastsNeighboursAndFactors) {
    ASSERT_EQ(build("HydroFile=" + kFixtures +
                    "island_rivers.asc\n"
                    "CoastCarCapChangeFactor=0.5\nCoastFrictionChangeFactor=2\n"
                    "RiverCarCapChangeFactor=3\nRiverFrictionChangeFactor=0.5\n"),
              1)
        << capture->console();

    EXPECT_EQ(world->grid.totalCells, 49);
    EXPECT_EQ(world->grid.instantiatedCells, 14);
    EXPECT_TRUE(contains(capture->log(), "num_row: 7\n"));
    EXPECT_TRUE(contains(capture->log(), "Num. of instanciated cells: 14\n"));
    const std::vector<std::string> expectedCoast = {".......", ".CCC...", ".C#CC..", ".CCCC..",
                                                    "..CC...", ".......", "......#"};
    EXPECT_EQ(coastMap(), expectedCoast);
    EXPECT_EQ(world->grid.landCells.front(), &at(1, 1));
    EXPECT_EQ(world->grid.landCells.back(), &at(6, 6));

    const cell& inland = at(2, 2);  // class 3, river
    EXPECT_EQ(inland.north, &at(1, 2));
    EXPECT_EQ(inland.southEast, &at(3, 3));
    EXPECT_EQ(inland.states[0].K, 30);      // 10 x 3
    EXPECT_EQ(inland.states[0].F, 0.25f);   // 0.5 (no friction choice) x 0.5
    const cell& coastRiver = at(1, 1);      // class 1, river, coast: coast factors only
    EXPECT_EQ(coastRiver.states[0].K, 50);  // 101 x 0.5
    EXPECT_EQ(coastRiver.states[0].F, 1.0f);
    EXPECT_EQ(at(1, 3).states[0].K, 20);  // class 2 coast
    const cell& lone = at(6, 6);          // class 3, river, not coast
    EXPECT_EQ(lone.states[0].K, 30);
    EXPECT_EQ(lone.west, nullptr);
    EXPECT_EQ(lone.northWest, nullptr);
    EXPECT_TRUE(lone.adapted);  // no CoastAdaptationDuration
}

TEST_F(WorldBuildTest, CoastAdaptationLeavesOnlyCoastsAdapted) {
    ASSERT_EQ(build("CoastAdaptationDuration=100\n"), 1) << capture->console();
    EXPECT_FALSE(at(2, 2).adapted);
    EXPECT_FALSE(at(6, 6).adapted);
    EXPECT_TRUE(at(1, 1).adapted);
}

TEST_F(WorldBuildTest, TopographyNodataRemovesLandAndRoughnessEntersFriction) {
    ASSERT_EQ(build("AltitudeTopoFile=" + kFixtures +
                    "island_altitude.asc\n"
                    "RoughnessTopoFile=" +
                    kFixtures +
                    "island_roughness.asc\n"
                    "Veg2FFile=" +
                    list("f_list.txt", kFixtures + "veg2f.txt") +
                    "\n"
                    "FrictionChoice=2\n"),
              1)
        << capture->console();
    EXPECT_EQ(world->grid.instantiatedCells, 12);
    EXPECT_TRUE(contains(capture->log(), "Num. of instanciated cells: 12\n"));
    EXPECT_EQ(world->grid.at(2, 4), nullptr);  // altitude NODATA
    EXPECT_EQ(world->grid.at(6, 6), nullptr);  // roughness NODATA
    EXPECT_EQ(at(2, 2).states[0].F, 0.5f);     // (0.3 + |-0.7|) x 0.5
    EXPECT_EQ(at(1, 3).states[0].F, (0.6f + 0.1f) * 0.5f);
    EXPECT_EQ(at(3, 4).altitude, 15.0f);
    EXPECT_TRUE(world->grid.roughnessMatrix.empty());  // not kept without a glacial map
}

// The land test compares with the NODATA value of the last map read.
TEST_F(WorldBuildTest, NodataOfTheLastMapReadDecidesWhatIsLand) {
    // Sea written as 0, the vegetation map's NODATA; the river map, read last,
    // says -9999: every position is then land, the sea with class 0.
    std::string vegetation = test_support::readFile(kFixtures + "island_veg.asc");
    for (size_t at = vegetation.find("-9999"); at != std::string::npos;
         at = vegetation.find("-9999")) {
        vegetation.replace(at, 5, "0");
    }
    ASSERT_EQ(build("HydroFile=" + kFixtures + "island_rivers.asc\n",
                    dir.write("sea_zero.asc", vegetation)),
              1)
        << capture->console();
    EXPECT_EQ(NO_LAND, -9999);
    EXPECT_EQ(world->grid.instantiatedCells, 49);
    EXPECT_EQ(at(0, 0).states[0].K, -1);  // class 0 is not in the table
    EXPECT_EQ(at(2, 2).states[0].K, 10);
}

TEST_F(WorldBuildTest, VegetationClassOutsideTheTablesStopsTheBuild) {
    struct ClassCase {
        const char* name;
        const char* hydroNodata;  // NODATA line of a river map read after the vegetation
        int row;
        int column;
        int value;
    };
    const ClassCase cases[] = {
        {"ClassAboveTheTables", nullptr, 3, 4, 10001},
        // The river map's NODATA differs: the vegetation's own NODATA (-9999)
        // then marks land whose class lies outside the tables.
        {"NodataBecomesAClass", "-1", 0, 0, -9999},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string vegetation = test_support::readFile(kFixtures + "island_veg.asc");
        if (c.hydroNodata == nullptr) {
            // (3,4) holds class 2, the only "2 -9999" of row 3.
            const size_t row3 = vegetation.find("-9999 2 2 1 2 ");
            vegetation.replace(row3, 14, "-9999 2 2 1 10001 ");
        }
        const std::string vegetationPath = dir.write("veg.asc", vegetation);
        std::string extra;
        if (c.hydroNodata != nullptr) {
            std::string rivers = test_support::readFile(kFixtures + "island_rivers.asc");
            rivers.replace(rivers.find("NODATA_value -9999"), 18,
                           std::string("NODATA_value ") + c.hydroNodata);
            extra = "HydroFile=" + dir.write("rivers.asc", rivers) + "\n";
        }
        try {
            build(extra, vegetationPath);
            ADD_FAILURE() << "the build went through";
        } catch (const TException& e) {
            const std::string expected =
                "The vegetation class " + std::to_string(c.value) + " of the land cell at row " +
                std::to_string(c.row) + ", column " + std::to_string(c.column) + " of the map '" +
                vegetationPath +
                "' (PresVegetationFile) lies outside the classes 0 to 10000 of the conversion "
                "tables.";
            EXPECT_EQ(std::string(e.message().c_str()), expected);
        }
    }
}

TEST_F(WorldBuildTest, InconsistentFrictionSettingsStopTheBuild) {
    try {
        build("FrictionChoice=1\nVeg2FFile=" + list("f_list.txt", kFixtures + "veg2f.txt") + "\n");
        ADD_FAILURE() << "the build went through";
    } catch (const TException& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "FrictionChoice=1 has been defined in the settings file so that "
                  "RoughnessTopoFile needs to be defined, but the latter is not");
    }
}

TEST_F(WorldBuildTest, GridTooLargeForMemoryIsRefusedBeforeAnyMapIsRead) {
    const std::string vegetation =
        dir.write("huge.asc",
                  "ncols 46000\nnrows 46000\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                  "NODATA_value -9999\n1 1 1\n");
    EXPECT_EQ(build("", vegetation), 0);
    EXPECT_FALSE(world->grid.allocated());
    const std::string size = "'" + vegetation +
                             "' (PresVegetationFile) has 46000 rows and 46000 "
                             "columns (2116000000 cells)";
    EXPECT_TRUE(contains(capture->console(), size)) << capture->console();
    EXPECT_TRUE(contains(capture->log(),
                         "      ERROR: {World::AllocateCells()} [unable to "
                         "allocate {World::WorldMatrix}]\n"));
    EXPECT_FALSE(contains(capture->log(), "reading grid dataset..."));
}

// A second build of the same World starts from nothing: the old cells are
// released and the new grid is what the maps say.
TEST_F(WorldBuildTest, RebuildReplacesTheWorld) {
    ASSERT_EQ(build("HydroFile=" + kFixtures + "island_rivers.asc\n"), 1);
    // The first build left the table itself under the list key.
    world->Settings["Veg2KFile"] = list("k_list.txt", kFixtures + "veg2k.txt").c_str();
    ASSERT_EQ(world->BuildWorld(), 1) << capture->console() << capture->log();
    EXPECT_EQ(world->grid.instantiatedCells, 14);
    EXPECT_EQ(world->grid.landCells.size(), 14u);
    EXPECT_EQ(at(2, 2).river, 1);
    EXPECT_EQ(at(2, 2).north, &at(1, 2));
}

}  // namespace
