// The carrying-capacity and friction tables, their change lists, and the
// replacement of tables during the generation loop.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
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

using test_support::CapturedOutput;

const auto caseName = [](const auto& testCase) { return std::string(testCase.param.name); };

const std::string kFixtures = VASTRID2_FIXTURES "/landscape/";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class ConversionTablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        NbDemePerCell = 1;
        output = std::make_unique<CapturedOutput>();
        world = std::make_unique<World>();
        world->allocateVeg2K_Veg2F();
        logMark = log().size();
        consoleMark = console().size();
    }
    void TearDown() override {
        world.reset();
        output.reset();
        NbDemePerCell = 1;
    }

    int readK(const std::string& path, int layer = 0) {
        return world->io.readConversionTable_for_K(path.c_str(), *world, world->Settings,
                                                   world->tables.Veg2K[static_cast<size_t>(layer)],
                                                   layer);
    }
    int readF(const std::string& path) {
        return world->io.readConversionTable_for_F(path.c_str(), *world, world->tables.Veg2F[0]);
    }
    int k(int vegetationClass) const {
        return world->tables.Veg2K[0][static_cast<size_t>(vegetationClass)];
    }
    float f(int vegetationClass) const {
        return world->tables.Veg2F[0][static_cast<size_t>(vegetationClass)];
    }
    void set(const char* key, const std::string& value) { world->Settings[key] = value.c_str(); }

    // What the log and the console received after the World was made.
    std::string log() const { return output->log().substr(logMark); }
    std::string console() const { return output->console().substr(consoleMark); }

    ScratchDir dir;
    size_t logMark = 0;
    size_t consoleMark = 0;
    std::unique_ptr<CapturedOutput> output;
    std::unique_ptr<World> world;
};

// ---------------------------------------------------------------------------
// Tables

TEST_F(ConversionTablesTest, TablesStartFilledPerLayer) {
    NbDemePerCell = 2;
    world->allocateVeg2K_Veg2F();
    ASSERT_EQ(world->tables.Veg2K.size(), 2u);
    for (size_t layer = 0; layer < 2; ++layer) {
        EXPECT_EQ(world->tables.Veg2K[layer], std::vector<int>(10001, -1));
        EXPECT_EQ(world->tables.Veg2F[layer], std::vector<float>(10001, -1.0f));
    }
    world->deleteVeg2K_Veg2F();
    EXPECT_TRUE(world->tables.Veg2K.empty());
    EXPECT_TRUE(world->tables.Veg2F.empty());
}

using Entries = std::vector<std::pair<int, double>>;  // class, expected value

struct TableCase {
    const char* name;
    const char* text;
    Entries entries;
};

class CapacityTableTest : public ConversionTablesTest,
                          public ::testing::WithParamInterface<TableCase> {};

TEST_P(CapacityTableTest, StoresTheFirstWordOfEachLine) {
    EXPECT_EQ(readK(dir.write("k.txt", GetParam().text)), 1);
    for (const auto& [vegetationClass, value] : GetParam().entries) {
        EXPECT_EQ(k(vegetationClass), static_cast<int>(value)) << "class " << vegetationClass;
    }
    EXPECT_EQ(log(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CapacityTableTest,
    ::testing::Values(
        TableCase{"NameAfterTheValue", "12 350 forest\n", {{12, 350}, {11, -1}}},
        TableCase{"RealValueIsTruncated", "12 350.9\n", {{12, 350}}},
        TableCase{"TabsSeparate", "12\t350\tforest\n", {{12, 350}}},
        TableCase{"ValueWithoutDigits", "12 abc\n", {{12, 0}}},
        TableCase{"ClassAloneEndsTheTable", "12\n13 400 x\n", {{12, -1}, {13, -1}}},
        TableCase{"WindowsLineEnds",
                  "12 350\r\n13 400 forest\r\n14\r\n15 500\r\n",
                  {{12, 350}, {13, 400}, {14, -1}, {15, -1}}},
        TableCase{"HeaderLineYieldsNoEntries", "class K\n12 350\n", {{12, -1}}},
        TableCase{"BlankLinesAreSkipped", "\n\n12 350\n\n  13 400\n", {{12, 350}, {13, 400}}},
        TableCase{"LastLineWithoutLineEnd", "0 7\n10000 350", {{0, 7}, {10000, 350}}}),
    caseName);

class FrictionTableTest : public ConversionTablesTest,
                          public ::testing::WithParamInterface<TableCase> {};

// Every friction line needs some text after its value: the first line without
// it ends the table and is not stored, whatever its line ends.
TEST_P(FrictionTableTest, StoresLinesThatCarryANameOnly) {
    EXPECT_EQ(readF(dir.write("f.txt", GetParam().text)), 1);
    for (const auto& [vegetationClass, value] : GetParam().entries) {
        EXPECT_FLOAT_EQ(f(vegetationClass), static_cast<float>(value))
            << "class " << vegetationClass;
    }
    EXPECT_EQ(log(), "");
}

INSTANTIATE_TEST_SUITE_P(Lines, FrictionTableTest,
                         ::testing::Values(TableCase{"WithAName", "12 0.25 forest\n", {{12, 0.25}}},
                                           TableCase{"WithoutANameEndsTheTable",
                                                     "11 0.5 x\n12 0.25\n13 0.5 y\n",
                                                     {{11, 0.5}, {12, -1}, {13, -1}}},
                                           TableCase{"CarriageReturnAloneIsNoName",
                                                     "11 0.5 x\r\n12 0.25\r\n13 0.5 y\r\n",
                                                     {{11, 0.5}, {12, -1}, {13, -1}}},
                                           TableCase{"NameBeforeACarriageReturn",
                                                     "12 0.25 forest\r\n13 0.5 y\r\n",
                                                     {{12, 0.25}, {13, 0.5}}},
                                           TableCase{"HeaderLineYieldsNoEntries",
                                                     "class F name\n12 0.25 forest\n",
                                                     {{12, -1}}}),
                         caseName);

TEST_F(ConversionTablesTest, FrictionClassAboveTheTableIsSkippedWithAWarning) {
    const std::string path = dir.write("f.txt", "1 0.5 a\n10001 0.3 big\n12 0.25 forest\n");
    EXPECT_EQ(readF(path), 1);
    EXPECT_FLOAT_EQ(f(1), 0.5f);
    EXPECT_FLOAT_EQ(f(12), 0.25f);
    const std::string expected =
        "ImportExportUtils::readConversionTable_for_F() : WARNING: one of the vegetation ID is "
        "greater than 10000\n  in file '" +
        path + "', line 2, vegetation ID 10001\n";
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(console(), expected);
}

struct RefusedTableCase {
    const char* name;
    bool friction;
    const char* text;  // null: the file does not exist
    const char* log;   // <path> stands for the file's path
};

class RefusedTableTest : public ConversionTablesTest,
                         public ::testing::WithParamInterface<RefusedTableCase> {};

// A class the table has no room for is refused, naming the file, the line and
// the class, before anything is written outside the table.
TEST_P(RefusedTableTest, FailsWithMessagesNamingTheFile) {
    const RefusedTableCase& c = GetParam();
    const std::string path =
        c.text == nullptr ? dir.file("absent.txt") : dir.write("table.txt", c.text);
    EXPECT_EQ(c.friction ? readF(path) : readK(path), 0);
    EXPECT_EQ(log(), replaceAll(c.log, "<path>", path));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RefusedTableTest,
    ::testing::Values(
        RefusedTableCase{
            "CapacityClassAboveTheTable", false, "1 100 a\n\n10001 350 forest\n",
            "ImportExportUtils::readConversionTable_for_K() : ERROR: one of the vegetation ID is "
            "greater than 10000\n"
            "  in file '<path>', line 3, vegetation ID 10001\n"
            "ImportExportUtils::readConversionTable_for_K() : Problems with adding K values in "
            "vector\n"},
        RefusedTableCase{
            "CapacityClassBelowZero", false, "1 100 a\n-9999 0 nodata\n",
            "ImportExportUtils::readConversionTable_for_K() : ERROR: one of the vegetation ID is "
            "below 0\n"
            "  in file '<path>', line 2, vegetation ID -9999\n"
            "ImportExportUtils::readConversionTable_for_K() : Problems with adding K values in "
            "vector\n"},
        RefusedTableCase{
            "FrictionClassBelowZero", true, "-1 0.5 a\n",
            "ImportExportUtils::readConversionTable_for_F() : ERROR: one of the vegetation ID is "
            "below 0\n"
            "  in file '<path>', line 1, vegetation ID -1\n"
            "ImportExportUtils::readConversionTable_for_F() : Problems with adding F values in "
            "vector\n"},
        RefusedTableCase{"CapacityTableMissing", false, nullptr,
                         "ImportExportUtils::readConversionTable_for_K() : Cannot read the "
                         "conversion Table for K\n  in file '<path>'\n"},
        RefusedTableCase{"FrictionTableMissing", true, nullptr,
                         "ImportExportUtils::readConversionTable_for_F() : Cannot read one of the "
                         "conversion Tables\n  in file '<path>'\n"}),
    caseName);

TEST_F(ConversionTablesTest, ALaterTableKeepsTheClassesItDoesNotList) {
    ASSERT_EQ(readK(kFixtures + "k_forest.txt"), 1);
    ASSERT_EQ(readK(kFixtures + "k_later_without_7.txt"), 1);
    EXPECT_EQ(k(1), 150);
    EXPECT_EQ(k(2), 500);
    EXPECT_EQ(k(7), 420);
    EXPECT_EQ(k(12), 350);
}

// ---------------------------------------------------------------------------
// Change lists

TEST_F(ConversionTablesTest, ListsAreReadAndTheirKeysNameTheFirstTable) {
    NbDemePerCell = 2;
    // Windows line ends must not stay in the paths.
    const std::string crlfList =
        replaceAll(test_support::readFile(kFixtures + "k_list.txt"), "\n", "\r\n");
    set("Veg2KFile", kFixtures + "k_list.txt");
    set("Veg2FFile", dir.write("f_list.txt", "1\n0 f_forest.txt\n"));
    set("Veg2mFile", dir.write("m_list.txt", "0\n"));
    set("Veg2K_P2_File", dir.write("k2_list.txt", crlfList));
    ASSERT_EQ(world->readTimeAndPathArrays(), 1);

    for (const TTableChangeList* list : {&world->tables.kList, &world->tables.kListP2}) {
        EXPECT_EQ(list->count, 3);
        EXPECT_EQ(list->generations, (std::vector<int>{0, 100, 250}));
        ASSERT_EQ(list->paths.size(), 3u);
        EXPECT_STREQ(list->paths[0].c_str(), "k_forest.txt");
        EXPECT_STREQ(list->paths[1].c_str(), "k_later_without_7.txt");
        EXPECT_STREQ(list->paths[2].c_str(), "k_forest.txt");
    }
    EXPECT_EQ(world->tables.fList.count, 1);
    EXPECT_EQ(world->tables.mList.count, 0);
    EXPECT_EQ(world->tables.fListP2.count, 0);
    EXPECT_STREQ(world->Settings.getParameter("Veg2KFile", true).c_str(), "k_forest.txt");
    EXPECT_STREQ(world->Settings.getParameter("Veg2FFile", true).c_str(), "f_forest.txt");
    EXPECT_STREQ(world->Settings.getParameter("Veg2mFile", true).c_str(), "");
    EXPECT_STREQ(world->Settings.getParameter("Veg2K_P2_File", true).c_str(), "k_forest.txt");
}

TEST_F(ConversionTablesTest, SecondLayerListsAreReadWithTwoLayersOnly) {
    const std::string list = dir.write("k_list.txt", "1\n0 k.txt\n");
    set("Veg2KFile", list);
    set("Veg2K_P2_File", dir.file("absent.txt"));
    set("Veg2F_P2_File", dir.file("absent.txt"));
    EXPECT_EQ(world->readTimeAndPathArrays(), 1);

    world->Settings = TSettings();
    NbDemePerCell = 2;
    set("Veg2KFile", list);
    try {
        world->readTimeAndPathArrays();
        FAIL() << "a missing Veg2K_P2_File was accepted with two layers";
    } catch (const TException& e) {
        EXPECT_STREQ(e.message().c_str(),
                     "The parameter 'Veg2K_P2_File' is not defined in the inputfile!");
    }
}

struct RefusedListCase {
    const char* name;
    const char* key;
    const char* text;  // null: the file does not exist
    const char* thrown;
    const char* detail;  // after "ERROR: the list file '<path>' named by <key> "
};

class RefusedListTest : public ConversionTablesTest,
                        public ::testing::WithParamInterface<RefusedListCase> {};

TEST_P(RefusedListTest, StopsTheBuildNamingTheFile) {
    const RefusedListCase& c = GetParam();
    NbDemePerCell = 2;
    const std::string good = dir.write("good.txt", "1\n0 k.txt\n");
    for (const char* key : {"Veg2KFile", "Veg2K_P2_File"}) set(key, good);
    const std::string path =
        c.text == nullptr ? dir.file("absent.txt") : dir.write("list.txt", c.text);
    set(c.key, path);
    try {
        world->readTimeAndPathArrays();
        FAIL() << "the list was accepted";
    } catch (const TException& e) {
        EXPECT_STREQ(e.message().c_str(), c.thrown);
    }
    const std::string expected =
        c.text == nullptr
            ? "ERROR: cannot open the list file '" + path + "' named by " + c.key + "\n"
            : "ERROR: the list file '" + path + "' named by " + c.key + " " + c.detail + "\n";
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(console(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RefusedListTest,
    ::testing::Values(
        RefusedListCase{"RepeatedGeneration", "Veg2KFile", "3\n0 a\n100 b\n100 c\n",
                        "Error: the generations in the corresponding table for K are not in an "
                        "increasing order!",
                        "gives generation 100 at entry 3 after generation 100 at entry 2"},
        RefusedListCase{"DecreasingGeneration", "Veg2FFile", "3\n0 a\n100 b\n50 c\n",
                        "Error: the generations in the corresponding table for F are not in an "
                        "increasing order!",
                        "gives generation 50 at entry 3 after generation 100 at entry 2"},
        RefusedListCase{"MoreThanTheListHolds", "Veg2mFile", "201\n0 a\n",
                        "Problems with adding m values in vector",
                        "announces 201 entries; a list holds 0 to 200"},
        RefusedListCase{"NegativeCount", "Veg2KFile", "-1\n",
                        "Problems with adding K values in vector",
                        "announces -1 entries; a list holds 0 to 200"},
        RefusedListCase{"NoCount", "Veg2KFile", "entries\n0 a\n",
                        "Problems with adding K values in vector",
                        "does not start with its number of entries"},
        RefusedListCase{"FewerEntriesThanTheCount", "Veg2K_P2_File", "3\n0 a\n100 b\n",
                        "Problems with adding K values in vector P2", "ends before entry 3 of 3"},
        RefusedListCase{"WordForAGeneration", "Veg2F_P2_File", "2\n0 a\nlater b\n",
                        "Problems with adding F values in vector for P2",
                        "holds no generation number at entry 2 of 2 (line 3)"},
        RefusedListCase{"EntryWithoutATable", "Veg2KFile", "2\n0 a\n100\n",
                        "Problems with adding K values in vector",
                        "names no table file at entry 2 (line 3, generation 100)"},
        RefusedListCase{"CapacityListMissing", "Veg2KFile", nullptr,
                        "Unable to open the dynamic conversion table Veg2K file. Check its name "
                        "in the settings file and retry.",
                        ""},
        RefusedListCase{"FrictionListMissing", "Veg2FFile", nullptr,
                        "Unable to open the dynamic conversion table Veg2F file. Check its name "
                        "in the settings file and retry.",
                        ""},
        RefusedListCase{"MigrationListMissing", "Veg2mFile", nullptr,
                        "Unable to open the dynamic conversion table Veg2m file. Check its name "
                        "in the settings file and retry.",
                        ""},
        RefusedListCase{"SecondCapacityListMissing", "Veg2K_P2_File", nullptr,
                        "Unable to open the dynamic conversion table Veg2K file for POP2. Check "
                        "its name in the settings file and retry.",
                        ""},
        RefusedListCase{"SecondFrictionListMissing", "Veg2F_P2_File", nullptr,
                        "Unable to open the dynamic conversion table Veg2F file for P2. Check its "
                        "name in the settings file and retry.",
                        ""}),
    caseName);

TEST_F(ConversionTablesTest, EveryFirstTableIsReadEvenAfterOneFails) {
    NbDemePerCell = 2;
    world->allocateVeg2K_Veg2F();
    set("Veg2KFile", dir.file("absent.txt"));
    set("Veg2FFile", kFixtures + "f_forest.txt");
    set("Veg2K_P2_File", kFixtures + "k_forest.txt");
    set("Veg2F_P2_File", kFixtures + "f_forest.txt");
    EXPECT_EQ(world->ReadConversionTables(), 0);
    EXPECT_FLOAT_EQ(f(2), 0.25f);
    EXPECT_EQ(world->tables.Veg2K[1][7], 420);
    EXPECT_FLOAT_EQ(world->tables.Veg2F[1][7], 0.75f);
    EXPECT_EQ(k(1), -1);

    set("Veg2KFile", kFixtures + "k_forest.txt");
    EXPECT_EQ(world->ReadConversionTables(), 1);
}

// ---------------------------------------------------------------------------
// Changes during the generation loop

// A 2 x 2 world of land (no coasts: every missing neighbour lies on an edge):
// classes 1 2 / 1 3, the cell at (1, 0) on a river.
class TableChangeTest : public ConversionTablesTest {
  protected:
    void SetUp() override {
        ConversionTablesTest::SetUp();
        world->nrows = 2;
        world->ncols = 2;
        ASSERT_EQ(world->AllocateCells(), 1);
        const int classes[2][2] = {{1, 2}, {1, 3}};
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 2; ++c) world->grid.at(r, c)->presentVegetation = classes[r][c];
        }
        world->grid.at(1, 0)->river = 1;
        set("RiverCarCapChangeFactor", "0.5");
        ASSERT_EQ(world->DefineLands(), 1);
        ASSERT_EQ(world->AssignNeighborCells(), 1);
        ASSERT_EQ(world->AssignIsCoastToCells(), 1);
    }

    // Reads the lists and first tables and sets K and F as the world build does.
    void build() {
        ASSERT_EQ(world->readTimeAndPathArrays(), 1);
        world->allocateVeg2K_Veg2F();
        ASSERT_EQ(world->ReadConversionTables(), 1);
        for (int layer = 0; layer < NbDemePerCell; ++layer) {
            ASSERT_EQ(world->computeInitialFNonStochastic(layer), 1);
            ASSERT_EQ(world->computeInitialKNonStochastic(layer), 1);
            ASSERT_EQ(world->SetKandFValuesForCoast(layer), 1);
            ASSERT_EQ(world->SetKandFValuesForRiver(layer), 1);
        }
        world->ResetConversionTablePositions();
    }

    std::vector<int> capacities(int layer) {
        std::vector<int> values;
        for (cell* land : world->grid.landCells) values.push_back(land->states[layer].K);
        return values;
    }
    std::vector<float> frictions(int layer) {
        std::vector<float> values;
        for (cell* land : world->grid.landCells) values.push_back(land->states[layer].F);
        return values;
    }
};

// An entry of generation g applies in the step whose counter becomes g + 1; a
// later table keeps the classes it does not list, and the river factor scales
// the new K again.
TEST_F(TableChangeTest, CapacityTableChangesInTheStepAfterItsGeneration) {
    const std::string first = dir.write("k0.txt", "1 100 a\n2 200 b\n3 300 c\n");
    const std::string later = dir.write("k_later.txt", "1 150 a\n");
    set("Veg2KFile", dir.write("k_list.txt", "2\n0 " + first + "\n3 " + later + "\n"));
    build();
    EXPECT_EQ(capacities(0), (std::vector<int>{100, 200, 50, 300}));
    for (int counter = 1; counter <= 3; ++counter) {
        ASSERT_EQ(world->ApplyConversionTableChanges(counter), 1);
        EXPECT_EQ(capacities(0), (std::vector<int>{100, 200, 50, 300})) << "counter " << counter;
    }
    ASSERT_EQ(world->ApplyConversionTableChanges(4), 1);
    EXPECT_EQ(capacities(0), (std::vector<int>{150, 200, 75, 300}));
    EXPECT_STREQ(world->Settings.getParameter("Veg2KFile", true).c_str(), later.c_str());
    EXPECT_EQ(world->tables.kList.position, 2);

    // No entry left: nothing changes again, not even at the same counter.
    world->grid.landCells[0]->states[0].K = 1;
    ASSERT_EQ(world->ApplyConversionTableChanges(4), 1);
    EXPECT_EQ(world->grid.landCells[0]->states[0].K, 1);

    // A new simulation starts again from the first change.
    world->ResetConversionTablePositions();
    ASSERT_EQ(world->ApplyConversionTableChanges(4), 1);
    EXPECT_EQ(world->grid.landCells[0]->states[0].K, 150);
}

// K follows the present class, also in the glacial mode where a land cell may
// have no present class: such a cell keeps its K.
TEST_F(TableChangeTest, CellWithoutAPresentClassKeepsItsCapacity) {
    const std::string first = dir.write("k0.txt", "1 100 a\n");
    const std::string second = dir.write("k1.txt", "1 400 a\n");
    set("Veg2KFile", dir.write("k_list.txt", "2\n0 " + first + "\n1 " + second + "\n"));
    build();
    world->grid.at(0, 1)->presentVegetation = NO_LAND;
    world->grid.at(0, 1)->states[0].K = 42;
    ASSERT_EQ(world->ApplyConversionTableChanges(2), 1);
    EXPECT_EQ(capacities(0)[0], 400);
    EXPECT_EQ(capacities(0)[1], 42);
}

TEST_F(TableChangeTest, FrictionTableChangeRecomputesFriction) {
    set("FrictionChoice", "0");
    set("Veg2KFile", dir.write("k_list.txt", "1\n0 " + kFixtures + "k_forest.txt\n"));
    const std::string first = dir.write("f0.txt", "1 0.5 a\n2 0.25 b\n3 0.75 c\n");
    const std::string second = dir.write("f1.txt", "2 0.125 b\n");
    set("Veg2FFile", dir.write("f_list.txt", "2\n-5 " + first + "\n1 " + second + "\n"));
    build();
    EXPECT_EQ(frictions(0), (std::vector<float>{0.5f, 0.25f, 0.5f, 0.75f}));
    ASSERT_EQ(world->ApplyConversionTableChanges(1), 1);
    EXPECT_EQ(frictions(0), (std::vector<float>{0.5f, 0.25f, 0.5f, 0.75f}));
    ASSERT_EQ(world->ApplyConversionTableChanges(2), 1);
    EXPECT_EQ(frictions(0), (std::vector<float>{0.5f, 0.125f, 0.5f, 0.75f}));
    EXPECT_STREQ(world->Settings.getParameter("Veg2FFile", true).c_str(), second.c_str());
}

TEST_F(TableChangeTest, SecondLayerChangesTouchTheSecondLayerOnly) {
    NbDemePerCell = 2;
    const std::string first = dir.write("k0.txt", "1 100 a\n2 200 b\n3 300 c\n");
    set("Veg2KFile", dir.write("k_list.txt", "1\n0 " + first + "\n"));
    set("Veg2K_P2_File", dir.write("k2_list.txt", "2\n0 " + first + "\n5 " +
                                                      dir.write("k2.txt", "3 30 c\n") + "\n"));
    build();
    ASSERT_EQ(world->ApplyConversionTableChanges(6), 1);
    EXPECT_EQ(capacities(0), (std::vector<int>{100, 200, 50, 300}));
    EXPECT_EQ(capacities(1), (std::vector<int>{100, 200, 50, 30}));
}

TEST_F(TableChangeTest, AMissingLaterTableEndsTheSimulationWithFailure) {
    const std::string missing = dir.file("absent.txt");
    set("Veg2KFile",
        dir.write("k_list.txt", "2\n0 " + kFixtures + "k_forest.txt\n2 " + missing + "\n"));
    build();
    ASSERT_EQ(world->ApplyConversionTableChanges(2), 1);
    EXPECT_EQ(world->ApplyConversionTableChanges(3), 0);
    EXPECT_NE(log().find("ImportExportUtils::readConversionTable_for_K() : Cannot read "
                         "the conversion Table for K\n  in file '" +
                         missing + "'\n"),
              std::string::npos);
}

}  // namespace
