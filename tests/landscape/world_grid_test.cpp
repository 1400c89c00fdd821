// The world grid on hand-made grids: allocation, the land test, neighbours,
// coasts, the initial K and F, the coast and river factors and adaptation.

#include <gtest/gtest.h>

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

namespace {

using test_support::CapturedOutput;

std::string messageOf(const TException& e) {
    return e.message().c_str();
}

// A World whose grid is drawn by hand. Pictures: one string per row; '.' is
// NODATA, '#' land of class 1, a digit land of that class, '~' land below the sea.
class WorldGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        NbDemePerCell = 1;
        capture = std::make_unique<CapturedOutput>();
        world = std::make_unique<World>();
    }
    void TearDown() override {
        world.reset();
        capture.reset();
        NO_LAND = -9999;
        NbDemePerCell = 1;
    }

    void allocate(int rows, int columns) {
        world->nrows = rows;
        world->ncols = columns;
        ASSERT_EQ(world->AllocateCells(), 1);
    }

    // Allocates the picture's grid and sets each position's present vegetation.
    void draw(const std::vector<std::string>& picture) {
        allocate(static_cast<int>(picture.size()), static_cast<int>(picture[0].size()));
        if (HasFatalFailure()) return;
        for (int r = 0; r < world->nrows; ++r) {
            for (int c = 0; c < world->ncols; ++c) {
                cell* position = world->grid.at(r, c);
                const char mark = picture[static_cast<size_t>(r)][static_cast<size_t>(c)];
                position->presentVegetation = mark == '.'                  ? NO_LAND
                                              : mark >= '0' && mark <= '9' ? mark - '0'
                                                                           : 1;
                position->aboveSea = mark != '~';
            }
        }
    }

    void defineAndLink() {
        ASSERT_EQ(world->DefineLands(), 1);
        ASSERT_EQ(world->AssignNeighborCells(), 1);
    }

    // Conversion tables for every layer, filled with the fill values.
    void allocateTables() {
        world->tables.Veg2K.assign(static_cast<size_t>(NbDemePerCell),
                                   std::vector<int>(kVegetationClassCount, -1));
        world->tables.Veg2F.assign(static_cast<size_t>(NbDemePerCell),
                                   std::vector<float>(kVegetationClassCount, -1.0f));
    }

    void set(const char* key, const char* value) { world->Settings[key] = value; }

    cell& at(int row, int column) { return *world->grid.at(row, column); }

    std::unique_ptr<CapturedOutput> capture;
    std::unique_ptr<World> world;
};

// ---------------------------------------------------------------------------
// Allocation and release

TEST_F(WorldGridTest, AllocateCellsFillsEveryPositionAndTheSharedValues) {
    set("RealBPTime", "-2500");
    cell::_Current_time = 17;
    allocate(2, 3);

    EXPECT_NE(capture->log().find("num_row: 2\n"), std::string::npos);
    EXPECT_EQ(world->grid.totalCells, 6);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const cell& position = at(r, c);
            EXPECT_EQ(position.row, r);
            EXPECT_EQ(position.column, c);
            EXPECT_TRUE(position.aboveSea);
            EXPECT_TRUE(position.adapted);
            EXPECT_FALSE(position.isCoast);
            EXPECT_EQ(position.worldRows, 2u);
            EXPECT_EQ(position.worldColumns, 3u);
        }
    }
    EXPECT_EQ(cell::_Current_time, 0);
    EXPECT_EQ(cell::_Current_RealBP_time, -2500);
    EXPECT_EQ(cell::_world_x_size, 2);  // x counts rows
    EXPECT_EQ(cell::_world_y_size, 3);
    EXPECT_EQ(cell::_Settings, &world->Settings);
    EXPECT_EQ(cell::_States, world->history);
}

TEST_F(WorldGridTest, AllocateCellsRefusesGridsThatCannotBeHeld) {
    struct SizeCase {
        int rows;
        int columns;
        const char* reason;
    };
    const SizeCase cases[] = {
        {0, 5, "at least one row and one column"},
        {4, -3, "at least one row and one column"},
        {70000, 70000, "cannot be counted"},        // 4.9e9 positions: beyond a 32-bit count
        {46000, 46000, "MiB of memory, but only"},  // 2.1e9 cells: hundreds of GiB
    };
    set("PresVegetationFile", "maps/veg.asc");
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.columns));
        CapturedOutput output;
        world->nrows = c.rows;
        world->ncols = c.columns;
        EXPECT_EQ(world->AllocateCells(), 0);
        EXPECT_FALSE(world->grid.allocated());
        EXPECT_EQ(world->grid.totalCells, 0);
        const std::string size = "'maps/veg.asc' (PresVegetationFile) has " +
                                 std::to_string(c.rows) + " rows and " + std::to_string(c.columns) +
                                 " columns";
        EXPECT_NE(output.console().find(size), std::string::npos) << output.console();
        EXPECT_NE(output.console().find(c.reason), std::string::npos) << output.console();
        EXPECT_NE(output.log().find(size), std::string::npos);
        EXPECT_NE(output.log().find("      ERROR: {World::AllocateCells()} [unable to allocate "
                                    "{World::WorldMatrix}]\n"),
                  std::string::npos);
    }
}

TEST_F(WorldGridTest, DesallocateCellsReleasesOnlyWhatExists) {
    EXPECT_EQ(world->DesallocateCells(), 0);
    draw({"#.", "##"});
    set("FrictionChoice", "1");
    set("RoughnessTopoFile", "rough.asc");
    world->Settings.lgmVegetation = 1;  // keeps the roughness matrix
    defineAndLink();
    ASSERT_EQ(world->computeInitialFNonStochastic(0), 1);
    ASSERT_FALSE(world->grid.roughnessMatrix.empty());

    EXPECT_EQ(world->DesallocateCells(), 1);
    EXPECT_FALSE(world->grid.allocated());
    EXPECT_TRUE(world->grid.landCells.empty());
    EXPECT_TRUE(world->grid.roughnessMatrix.empty());
    EXPECT_EQ(world->DesallocateCells(), 0);

    // A second allocation after a first one replaces it (no leak, fresh cells).
    draw({"###"});
    draw({"#", "#"});
    EXPECT_EQ(world->grid.totalCells, 2);
    EXPECT_EQ(at(1, 0).row, 1);
}

// ---------------------------------------------------------------------------
// The land test

TEST_F(WorldGridTest, DefineLandsKeepsLandInRowOrderWithItsMapValues) {
    draw({"1.2", ".3.", "4.5"});
    at(1, 1).river = 1;
    at(1, 1).altitude = 812.5f;
    at(2, 2).mMapValue = 7;
    defineAndLink();

    EXPECT_EQ(world->grid.removedCells, 4);
    EXPECT_EQ(world->grid.instantiatedCells, 5);
    ASSERT_EQ(world->grid.landCells.size(), 5u);
    const int expectedRows[] = {0, 0, 1, 2, 2};
    const int expectedColumns[] = {0, 2, 1, 0, 2};
    for (size_t i = 0; i < 5; ++i) {
        const cell* land = world->grid.landCells[i];
        EXPECT_EQ(land->row, expectedRows[i]);
        EXPECT_EQ(land->column, expectedColumns[i]);
        EXPECT_EQ(land, world->grid.at(land->row, land->column));
        EXPECT_EQ(land->presentVegetation, static_cast<int>(i) + 1);
        // The land cells lie side by side in memory, in the order of the list.
        if (i > 0) {
            EXPECT_EQ(land, world->grid.landCells[i - 1] + 1);
        }
    }
    EXPECT_EQ(world->grid.at(0, 1), nullptr);
    EXPECT_EQ(world->grid.at(1, 0), nullptr);
    EXPECT_EQ(at(1, 1).river, 1);
    EXPECT_EQ(at(1, 1).altitude, 812.5f);
    EXPECT_EQ(at(2, 2).mMapValue, 7);
    EXPECT_EQ(capture->log().find("Coordinates different"), std::string::npos);
}

TEST_F(WorldGridTest, DefineLandsComparesWithTheLastNodataAndTheTopographyMaps) {
    struct LandCase {
        const char* name;
        int noLand;               // NODATA of the last map read
        const char* altitudeKey;  // settings key given, or null
        const char* roughnessKey;
        bool lgm;
        int expectedLand;  // of the three cells below
    };
    // Cell 0: vegetation -9999, altitude 0. Cell 1: vegetation 3, altitude -9999,
    // roughness 0. Cell 2: vegetation 4 (glacial -9999), roughness -9999.
    const LandCase cases[] = {
        {"NodataOfVegetation", -9999, nullptr, nullptr, false, 2},
        {"NodataOfALaterMapDecides", -1, nullptr, nullptr, false, 3},
        {"AltitudeNodataIsNotLand", -9999, "AltitudeTopoFile", nullptr, false, 1},
        {"RoughnessNodataIsNotLand", -9999, nullptr, "RoughnessTopoFile", false, 1},
        {"BothTopographyMaps", -9999, "AltitudeTopoFile", "RoughnessTopoFile", false, 0},
        {"GlacialVegetationDecides", -9999, nullptr, nullptr, true, 2},
    };
    for (const LandCase& c : cases) {
        SCOPED_TRACE(c.name);
        world = std::make_unique<World>();
        NO_LAND = -9999;
        allocate(1, 3);
        at(0, 0).presentVegetation = -9999;
        at(0, 0).lgmVegetation = 2;
        at(0, 1).presentVegetation = 3;
        at(0, 1).lgmVegetation = 3;
        at(0, 1).altitude = -9999.0f;
        at(0, 2).presentVegetation = 4;
        at(0, 2).lgmVegetation = -9999;
        at(0, 2).roughness = -9999.0f;
        NO_LAND = c.noLand;
        if (c.altitudeKey != nullptr) set(c.altitudeKey, "alt.asc");
        if (c.roughnessKey != nullptr) set(c.roughnessKey, "rough.asc");
        world->Settings.lgmVegetation = c.lgm ? 1 : 0;
        ASSERT_EQ(world->DefineLands(), 1);
        EXPECT_EQ(world->grid.instantiatedCells, c.expectedLand);
        EXPECT_EQ(static_cast<int>(world->grid.landCells.size()), c.expectedLand);
        EXPECT_EQ(world->grid.removedCells, 3 - c.expectedLand);
    }
    // The glacial case keeps cells 0 and 1, not 2.
    EXPECT_NE(world->grid.at(0, 0), nullptr);
    EXPECT_EQ(world->grid.at(0, 2), nullptr);
}

// ---------------------------------------------------------------------------
// Neighbours

TEST_F(WorldGridTest, NeighboursAreTheLandCellsAroundInTheirSlots) {
    draw({"###", "##.", "###"});
    defineAndLink();
    const cell& centre = at(1, 1);
    EXPECT_EQ(centre.east, nullptr);  // (1,2) is not land
    EXPECT_EQ(centre.west, &at(1, 0));
    EXPECT_EQ(centre.north, &at(0, 1));
    EXPECT_EQ(centre.south, &at(2, 1));
    EXPECT_EQ(centre.northWest, &at(0, 0));
    EXPECT_EQ(centre.northEast, &at(0, 2));
    EXPECT_EQ(centre.southWest, &at(2, 0));
    EXPECT_EQ(centre.southEast, &at(2, 2));

    const cell& corner = at(2, 2);  // outside the grid on two sides
    EXPECT_EQ(corner.east, nullptr);
    EXPECT_EQ(corner.south, nullptr);
    EXPECT_EQ(corner.southWest, nullptr);
    EXPECT_EQ(corner.northEast, nullptr);
    EXPECT_EQ(corner.north, nullptr);  // (1,2) is not land
    EXPECT_EQ(corner.west, &at(2, 1));
    EXPECT_EQ(corner.northWest, &at(1, 1));
}

TEST_F(WorldGridTest, MisplacedCellIsReportedAndStillLinked) {
    draw({"##"});
    ASSERT_EQ(world->DefineLands(), 1);
    at(0, 1).column = 5;
    EXPECT_EQ(world->AssignNeighborCells(), 1);
    EXPECT_NE(capture->log().find("Coordinates different\n"), std::string::npos);
    EXPECT_EQ(at(0, 1).west, &at(0, 0));
}

// ---------------------------------------------------------------------------
// Coasts

struct CoastCase {
    const char* name;
    std::vector<std::string> land;   // '#' land, '~' land below the sea, '.' none
    std::vector<std::string> coast;  // 'C' coast, '#' or '~' land that is not
};

class CoastRuleTest : public WorldGridTest, public ::testing::WithParamInterface<CoastCase> {};

TEST_P(CoastRuleTest, MissingNeighboursCountAsWaterAwayFromTheEdges) {
    const CoastCase& c = GetParam();
    draw(c.land);
    defineAndLink();
    for (cell* land : world->grid.landCells) land->isCoast = true;  // stale flags are recomputed
    ASSERT_EQ(world->AssignIsCoastToCells(), 1);
    for (int r = 0; r < world->nrows; ++r) {
        std::string row;
        for (int col = 0; col < world->ncols; ++col) {
            const cell* position = world->grid.at(r, col);
            row += position == nullptr  ? '.'
                   : position->isCoast  ? 'C'
                   : position->aboveSea ? '#'
                                        : '~';
        }
        EXPECT_EQ(row, c.coast[static_cast<size_t>(r)]) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grids, CoastRuleTest,
    ::testing::Values(
        CoastCase{"LoneCellInTheMiddle",
                  {".....", ".....", "..#..", ".....", "....."},
                  {".....", ".....", "..C..", ".....", "....."}},
        // Inside a full land grid only row 0 (away from its ends) is coast: its
        // missing north-west and north-east count as water, its missing north not.
        CoastCase{"FullLand",
                  {"#####", "#####", "#####", "#####", "#####"},
                  {"#CCC#", "#####", "#####", "#####", "#####"}},
        CoastCase{"ColumnZeroOnlyByItsEast",
                  {".....", ".....", "##...", ".....", "....."},
                  {".....", ".....", "#C...", ".....", "....."}},
        CoastCase{"LoneCellInColumnZero",
                  {".....", "#....", ".....", "....."},
                  {".....", "C....", ".....", "....."}},
        // (1,2) lacks only its east neighbour, in column ncols-2: not water.
        // (2,3) lacks only its north, in the last column; (2,2) its north-east,
        // in the last row: neither is water.
        CoastCase{"EastBoundIsNcolsMinusTwo", {"####", "###.", "####"}, {"#CC#", "###.", "####"}},
        // (1,1) lacks only its west neighbour, in column 1: not water.
        CoastCase{"WestBoundIsColumnOne", {"####", ".###", "####"}, {"#CC#", ".###", "####"}},
        // (1,1) lacks only its north neighbour, in row 1: not water.
        CoastCase{"NorthBoundIsRowOne", {"#.#", "###", "###", "###"}, {"#.#", "###", "###", "###"}},
        // (2,1) lacks only its south neighbour, in row nrows-2: not water.
        CoastCase{"SouthBoundIsNrowsMinusTwo",
                  {"###", "###", "###", "#.#"},
                  {"#C#", "###", "###", "#.#"}},
        // Land below the sea is never coast; its neighbours above the sea are.
        CoastCase{"NeighbourBelowTheSea",
                  {"#####", "#####", "##~##", "#####", "#####"},
                  {"#CCC#", "#CCC#", "#C~C#", "#CCC#", "#####"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---------------------------------------------------------------------------
// Friction

TEST_F(WorldGridTest, FrictionFollowsTheFrictionChoice) {
    NbDemePerCell = 2;
    draw({"3#"});
    defineAndLink();
    allocateTables();
    at(0, 0).roughness = -0.7f;
    at(0, 1).roughness = 0.2f;
    world->tables.Veg2F[0][3] = 0.3f;
    world->tables.Veg2F[0][1] = 0.9f;
    world->tables.Veg2F[1][3] = 0.6f;

    // No choice and no friction file: 0.5 everywhere, in every layer.
    for (int layer = 0; layer < 2; ++layer) {
        ASSERT_EQ(world->computeInitialFNonStochastic(layer), 1);
        EXPECT_EQ(at(0, 0).states[layer].F, 0.5f);
        EXPECT_EQ(at(0, 1).states[layer].F, 0.5f);
    }

    set("Veg2FFile", "f.txt");
    set("RoughnessTopoFile", "rough.asc");
    set("FrictionChoice", "0");
    ASSERT_EQ(world->computeInitialFNonStochastic(1), 1);
    EXPECT_EQ(at(0, 0).states[1].F, 0.6f);   // the layer's own table
    EXPECT_EQ(at(0, 1).states[1].F, -1.0f);  // a class the table does not list
    ASSERT_EQ(world->computeInitialFNonStochastic(0), 1);
    EXPECT_EQ(at(0, 0).states[0].F, 0.3f);
    EXPECT_TRUE(world->grid.roughnessMatrix.empty());

    set("FrictionChoice", "1");
    ASSERT_EQ(world->computeInitialFNonStochastic(0), 1);
    EXPECT_EQ(at(0, 0).states[0].F, 0.7f);
    EXPECT_EQ(at(0, 1).states[0].F, 0.2f);
    EXPECT_TRUE(world->grid.roughnessMatrix.empty());  // kept only in glacial mode

    set("FrictionChoice", "2");
    ASSERT_EQ(world->computeInitialFNonStochastic(0), 1);
    EXPECT_EQ(at(0, 0).states[0].F, 0.5f);  // (0.3 + |-0.7|) x 0.5
    EXPECT_EQ(at(0, 1).states[0].F, (0.9f + 0.2f) * 0.5f);
}

TEST_F(WorldGridTest, GlacialModeKeepsTheAbsoluteRoughnessOfLandPositions) {
    draw({"#.", "##"});
    for (cell* position : world->grid.matrix) position->lgmVegetation = position->presentVegetation;
    at(0, 0).roughness = -1.5f;
    at(1, 1).roughness = 0.25f;
    world->Settings.lgmVegetation = 1;
    set("FrictionChoice", "1");
    set("RoughnessTopoFile", "rough.asc");
    defineAndLink();
    ASSERT_EQ(world->computeInitialFNonStochastic(0), 1);
    const std::vector<float> expected = {1.5f, 0.0f, 0.0f, 0.25f};
    EXPECT_EQ(world->grid.roughnessMatrix, expected);
}

TEST_F(WorldGridTest, InconsistentFrictionSettingsStopTheBuildInOrder) {
    struct FrictionCase {
        const char* choice;  // null: FrictionChoice absent
        bool roughness;
        bool frictionTable;
        const char* message;
    };
    const char* const noChoice =
        "FrictionChoice has not been defined in the settings file, but at least one of the "
        "friction files (RoughnessTopoFile and/or Veg2FFile) has been defined";
    const char* const choice0 =
        "FrictionChoice=0 has been defined in the settings file so that Veg2FFile needs to be "
        "defined, but the latter is not";
    const char* const choice1 =
        "FrictionChoice=1 has been defined in the settings file so that RoughnessTopoFile needs "
        "to be defined, but the latter is not";
    const char* const choice2 =
        "FrictionChoice=2 has been defined in the settings file so that RoughnessTopoFile AND "
        "Veg2FFile needs to be defined, but at least one of the latter is not defined";
    const char* const badChoice =
        "The value for FrictionChoice is not allowed. It should be 0, 1 or 2";
    const FrictionCase cases[] = {
        {nullptr, true, false, noChoice}, {nullptr, false, true, noChoice},
        {nullptr, true, true, noChoice},  {"0", true, false, choice0},
        {"1", false, true, choice1},      {"2", true, false, choice2},
        {"2", false, true, choice2},      {"3", true, true, badChoice},
        {"-1", false, false, badChoice},
    };
    draw({"#"});
    defineAndLink();
    for (const FrictionCase& c : cases) {
        SCOPED_TRACE(std::string(c.choice ? c.choice : "absent") + (c.roughness ? " R" : "") +
                     (c.frictionTable ? " F" : ""));
        world->Settings = TSettings();
        if (c.choice != nullptr) set("FrictionChoice", c.choice);
        if (c.roughness) set("RoughnessTopoFile", "rough.asc");
        if (c.frictionTable) set("Veg2FFile", "f.txt");
        try {
            world->computeInitialFNonStochastic(0);
            ADD_FAILURE() << "no exception";
        } catch (const TException& e) {
            EXPECT_EQ(messageOf(e), c.message);
            EXPECT_EQ(e.severity(), EXCEPTION_FATAL);
        }
    }
}

// ---------------------------------------------------------------------------
// Carrying capacity and the vegetation class

TEST_F(WorldGridTest, CarryingCapacityComesFromTheLayersTableAndTheVegetationClass) {
    NbDemePerCell = 2;
    draw({"12"});
    for (cell* position : world->grid.matrix) position->lgmVegetation = 9;
    defineAndLink();
    allocateTables();
    world->tables.Veg2K[0][1] = 100;
    world->tables.Veg2K[1][1] = 40;
    world->tables.Veg2K[0][9] = 7;

    ASSERT_EQ(world->computeInitialKNonStochastic(0), 1);
    ASSERT_EQ(world->computeInitialKNonStochastic(1), 1);
    EXPECT_EQ(at(0, 0).states[0].K, 100);
    EXPECT_EQ(at(0, 0).states[1].K, 40);
    EXPECT_EQ(at(0, 1).states[0].K, -1);  // not listed: the fill value

    world->Settings.lgmVegetation = 1;
    ASSERT_EQ(world->computeInitialKNonStochastic(0), 1);
    EXPECT_EQ(at(0, 1).states[0].K, 7);
}

TEST_F(WorldGridTest, VegetationClassOutsideTheTablesStopsTheBuildNamingTheMap) {
    struct ClassCase {
        int vegetationClass;
        bool lgm;
        bool accepted;
    };
    const ClassCase cases[] = {{0, false, true},   {10000, false, true}, {10001, false, false},
                               {-1, false, false}, {10001, true, false}, {-5, true, false}};
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.vegetationClass) + (c.lgm ? " glacial" : " present"));
        world = std::make_unique<World>();
        set("PresVegetationFile", "maps/present.asc");
        set("LGMVegetationFile", "maps/lgm.asc");
        world->Settings.lgmVegetation = c.lgm ? 1 : 0;
        set("FrictionChoice", "0");
        set("Veg2FFile", "f.txt");
        draw({"###", "###"});
        for (cell* position : world->grid.matrix) position->lgmVegetation = 1;
        (c.lgm ? at(1, 2).lgmVegetation : at(1, 2).presentVegetation) = c.vegetationClass;
        defineAndLink();
        allocateTables();

        for (int step = 0; step < 2; ++step) {
            try {
                if (step == 0) world->computeInitialFNonStochastic(0);
                if (step == 1) world->computeInitialKNonStochastic(0);
                EXPECT_TRUE(c.accepted);
            } catch (const TException& e) {
                EXPECT_FALSE(c.accepted);
                const std::string expected =
                    "The vegetation class " + std::to_string(c.vegetationClass) +
                    " of the land cell at row 1, column 2 of the map " +
                    (c.lgm ? "'maps/lgm.asc' (LGMVegetationFile)"
                           : "'maps/present.asc' (PresVegetationFile)") +
                    " lies outside the classes 0 to 10000 of the conversion tables.";
                EXPECT_EQ(messageOf(e), expected);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Coast and river factors

TEST_F(WorldGridTest, CoastAndRiverFactorsScaleTheirOwnCellsOnly) {
    draw({".....", ".....", "..##.", ".....", "....."});
    defineAndLink();
    ASSERT_EQ(world->AssignIsCoastToCells(), 1);
    cell& coast = at(2, 2);  // lone pair: (2,2) is coast by its west
    cell& inland = at(2, 3);
    ASSERT_TRUE(coast.isCoast);
    inland.isCoast = false;  // make one cell inland by hand
    coast.river = 1;
    inland.river = 1;
    for (cell* land : world->grid.landCells) {
        land->states[0].K = 101;
        land->states[0].F = 0.4f;
    }
    // Without factors nothing changes.
    ASSERT_EQ(world->SetKandFValuesForCoast(0), 1);
    ASSERT_EQ(world->SetKandFValuesForRiver(0), 1);
    EXPECT_EQ(coast.states[0].K, 101);
    EXPECT_EQ(inland.states[0].F, 0.4f);

    set("CoastCarCapChangeFactor", "0.5");
    set("CoastFrictionChangeFactor", "2");
    set("RiverCarCapChangeFactor", "3");
    set("RiverFrictionChangeFactor", "0.25");
    ASSERT_EQ(world->SetKandFValuesForCoast(0), 1);
    ASSERT_EQ(world->SetKandFValuesForRiver(0), 1);
    EXPECT_EQ(coast.states[0].K, 50);  // 101 x 0.5, truncated; never the river factor
    EXPECT_EQ(coast.states[0].F, 0.8f);
    EXPECT_EQ(inland.states[0].K, 303);
    EXPECT_EQ(inland.states[0].F, 0.1f);

    // Truncation is toward zero: an unlisted class's -1 halves to 0, not -1.
    coast.states[0].K = -1;
    ASSERT_EQ(world->SetKandFValuesForCoast(0), 1);
    EXPECT_EQ(coast.states[0].K, 0);
}

TEST_F(WorldGridTest, FactorLeavingTheRangeOfItsTypeFailsWithItsLogLine) {
    struct RangeCase {
        const char* key;
        const char* factor;
        bool coast;
    };
    const RangeCase cases[] = {{"CoastCarCapChangeFactor", "1e10", true},
                               {"RiverCarCapChangeFactor", "-1e300", false},
                               {"RiverFrictionChangeFactor", "1e300", false}};
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.key);
        world = std::make_unique<World>();
        world->Settings.fileName = "run.txt";
        draw({"#"});
        defineAndLink();
        at(0, 0).isCoast = c.coast;
        at(0, 0).river = 1;
        at(0, 0).states[0].K = 101;
        at(0, 0).states[0].F = 0.4f;
        set(c.key, c.factor);
        CapturedOutput output;
        const int result =
            c.coast ? world->SetKandFValuesForCoast(0) : world->SetKandFValuesForRiver(0);
        EXPECT_EQ(result, 0);
        const std::string where = std::string(c.key) + " = ";
        EXPECT_NE(output.console().find(where), std::string::npos) << output.console();
        EXPECT_NE(output.console().find("'run.txt'"), std::string::npos);
        EXPECT_NE(output.console().find("row 0, column 0"), std::string::npos);
        const char* line =
            c.coast ? "      ERROR: {World::SetKandFValuesForCoast(const int& no_deme)} [problem "
                      "with setting K and F for coast]\n"
                    : "      ERROR: {World::SetKandFValuesForRiver(const int& no_deme)} [problem "
                      "with setting K and F for river]\n";
        EXPECT_NE(output.log().find(line), std::string::npos) << output.log();
    }
}

// ---------------------------------------------------------------------------
// Coastal adaptation

TEST_F(WorldGridTest, OnlyCoastCellsStayAdaptedUntilRelaxed) {
    draw({"#####", "#####", "#####"});
    defineAndLink();
    ASSERT_EQ(world->AssignIsCoastToCells(), 1);
    ASSERT_EQ(world->SetCoastalAdaptation(), 1);
    for (const cell* land : world->grid.landCells) EXPECT_EQ(land->adapted, land->isCoast);
    EXPECT_TRUE(at(0, 2).adapted);
    ASSERT_EQ(world->RelaxAdaptations(), 1);
    for (const cell* land : world->grid.landCells) EXPECT_TRUE(land->adapted);
}

}  // namespace
