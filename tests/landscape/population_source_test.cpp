// Population sources: the validating reader of the population file, and the
// launches that put a source's individuals into its cell.

#include "landscape/population_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/import_export_utils.h"
#include "landscape/world_grid.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

const std::string kFixtures = std::string(VASTRID2_FIXTURES) + "/landscape/population/";

using test_support::CapturedOutput;

bool hasLine(const std::string& text, const std::string& line) {
    for (const std::string& l : test_support::splitLines(text)) {
        if (l == line) return true;
    }
    return false;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

PopulationSource makeSource(const char* name, int size, float x, float y, int layer = 0,
                            int expansionTime = 0) {
    PopulationSource s;
    s.name = name;
    s.initialSize = size;
    s.longitude = x;
    s.latitude = y;
    s.layer = layer;
    s.expansionTime = expansionTime;
    return s;
}

class PopulationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NbDemePerCell = 1;
        capture = std::make_unique<CapturedOutput>();
    }
    void TearDown() override {
        capture.reset();
        NbDemePerCell = 1;
    }

    // EndTime 10 and TauValue 50 unless extra lines override them.
    void readSettings(int layers, const std::string& extra = "") {
        const std::string text = std::string("DoublePopulationMode=") + (layers == 2 ? "1" : "0") +
                                 "\nEndTime=10\nTauValue=50\n" + extra;
        settings.readParameters(dir.write("settings.txt", text).c_str(), 0, nullptr, 0);
    }
    int readFile(const std::string& path) {
        return sources.ReadPopDensityAndCoordinates_Multideme(path.c_str(), settings);
    }
    int readText(const std::string& text) { return readFile(dir.write("pop.txt", text)); }
    std::string log() const { return capture->log(); }

    std::unique_ptr<CapturedOutput> capture;
    ScratchDir dir;
    TSettings settings;
    PopulationVector sources;
};

// ---------------------------------------------------------------------------
// The list

TEST_F(PopulationTest, ListGivesTheSortAndTheLaunchesWhatTheyNeed) {
    sources.replaceSources({makeSource("A", 1, 0, 0, 0, 5), makeSource("B", 2, 0, 0, 0, 0),
                            makeSource("C", 3, 0, 0, 0, 2)});
    ASSERT_EQ(sources.count(), 3);
    sources.swapSources(0, 1);
    EXPECT_STREQ(sources.at(0).name.c_str(), "B");
    EXPECT_STREQ(sources.at(1).name.c_str(), "A");
    EXPECT_EQ(sources.at(1).expansionTime, 5);
    EXPECT_EQ(sources.at(2).dbIndex, -1);

    int index = -1;
    EXPECT_TRUE(sources.takeNextLaunch(index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(sources.takeNextLaunch(index));
    EXPECT_TRUE(sources.takeNextLaunch(index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(sources.takeNextLaunch(index));
    EXPECT_EQ(sources.launchPosition(), 3);
    sources.resetLaunchPosition();
    EXPECT_EQ(sources.launchPosition(), 0);

    EXPECT_THROW(sources.at(3), TException);
    EXPECT_THROW(sources.at(-1), TException);
    EXPECT_TRUE(sources.takeNextLaunch(index));
    sources.replaceSources({makeSource("D", 1, 0, 0)});
    EXPECT_EQ(sources.launchPosition(), 0);  // a new list starts from its first source
}

// ---------------------------------------------------------------------------
// Reading the population file

TEST_F(PopulationTest, ReadsRecordsWhateverTheLineBreaks) {
    readSettings(2);
    ASSERT_EQ(readFile(kFixtures + "three_sources.txt"), 3);
    ASSERT_EQ(sources.count(), 3);
    const PopulationSource& beta = sources.at(1);
    EXPECT_STREQ(beta.name.c_str(), "Beta");
    EXPECT_EQ(beta.initialSize, 80);
    EXPECT_FLOAT_EQ(beta.latitude, 22.5f);
    EXPECT_FLOAT_EQ(beta.longitude, 12.5f);
    EXPECT_EQ(beta.firstResize, 50);
    EXPECT_EQ(beta.bottleneckDuration, 20);
    EXPECT_EQ(beta.secondResize, 300);
    EXPECT_FLOAT_EQ(beta.preExpansionMigration, 0.02f);
    EXPECT_EQ(beta.layer, 0);
    EXPECT_EQ(beta.expansionTime, 0);
    EXPECT_EQ(beta.dbIndex, -1);
    EXPECT_EQ(beta.recordNumber, 2);
    EXPECT_STREQ(sources.at(2).name.c_str(), "Gamma");
    EXPECT_EQ(sources.at(2).layer, 1);
    EXPECT_EQ(sources.at(2).expansionTime, 4);

    const std::vector<std::string> lines = test_support::splitLines(log());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "The number of population source is 3");
    EXPECT_EQ(lines[4], "Input file has been sucessfully read!");
}

struct LogLineCase {
    const char* name;
    int layers;
    const char* fileText;
    const char* expectedLine;
};

class PopulationLogLineTest : public PopulationTest,
                              public ::testing::WithParamInterface<LogLineCase> {};

TEST_P(PopulationLogLineTest, LogsEachRecordAsOneLine) {
    const LogLineCase& c = GetParam();
    readSettings(c.layers);
    ASSERT_GT(readText(c.fileText), 0) << log();
    EXPECT_TRUE(hasLine(log(), c.expectedLine)) << log();
}

INSTANTIATE_TEST_SUITE_P(
    Records, PopulationLogLineTest,
    ::testing::Values(
        // Without a bottleneck the line shows the first resize.
        LogLineCase{"OneSourceNoBottleneck", 1, "1\nA 10 1.5 2.25 7 0 0 0.5 0 0\n",
                    "ID: A, Initial density: 10, Lat: 1.5, Long: 2.25, Initial size: 10, "
                    "Long: 2.25, Source size before the expansion: 7, No bottleneck: 7, Only "
                    "one source, no migration before the expansion."},
        LogLineCase{"SeveralSourcesNoResize", 1,
                    "2\nA 10 1.5 2.25 0 0 0 0.125 0 0\nB 5 1 1 0 0 0 0 0 0\n",
                    "ID: A, Initial density: 10, Lat: 1.5, Long: 2.25, Initial size: 10, "
                    "Long: 2.25, No resize before the expansion: 0, No bottleneck: 0, Migration "
                    "from this source before the expansion:0.125"},
        LogLineCase{"TwoLayersWithBottleneck", 2,
                    "2\nA 10 1 1 0 0 0 0 0 0\nB 20 3 4 5 6 7 0.25 1 2\n",
                    "ID: B, Initial density: 20, Lat: 3, Long: 4, Initial size: 20, Long: 4, "
                    "Source size before the expansion: 5, Duration of the bottleneck: 6, "
                    "Source size before the bottleneck: 7, Migration from this source before "
                    "the expansion:0.25, Expansion time: 2, Layer: 1"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct RefusalCase {
    const char* name;
    int layers;
    const char* extraSettings;
    const char* fileText;  // or, when null, the fixture
    const char* fixture;
    const char* expectedLine;  // an exact line of the log and the console
    const char* detail;        // what the message adds: the record and the value
};

class PopulationRefusalTest : public PopulationTest,
                              public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PopulationRefusalTest, RefusesTheFileAndKeepsNoSource) {
    const RefusalCase& c = GetParam();
    readSettings(c.layers, c.extraSettings);
    sources.replaceSources({makeSource("Stale", 1, 0, 0)});
    const int read = c.fileText != nullptr ? readText(c.fileText) : readFile(kFixtures + c.fixture);
    EXPECT_EQ(read, 0);
    EXPECT_EQ(sources.count(), 0);
    EXPECT_TRUE(hasLine(log(), c.expectedLine)) << log();
    EXPECT_TRUE(contains(log(), c.detail)) << log();
    EXPECT_TRUE(contains(capture->console(), c.detail)) << capture->console();
    EXPECT_FALSE(contains(log(), "Input file has been sucessfully read!"));
}

const std::string kLongName(100, 'N');
const std::string kLongNameFile = "1\n" + kLongName + " 10 1 1 0 0 0 0 0 0\n";

INSTANTIATE_TEST_SUITE_P(
    BadFiles, PopulationRefusalTest,
    ::testing::Values(
        RefusalCase{"NoSource", 1, "", "0\nA 10 1 1 0 0 0 0 0 0\n", nullptr,
                    "The number of population source is 0", "lists no population source"},
        RefusalCase{"CountNotANumber", 1, "", "three\n", nullptr,
                    "The number of population source is 0",
                    "does not begin with the number of population sources ('three' was found)"},
        RefusalCase{"NegativeCount", 1, "", "-2\n", nullptr,
                    "The number of population source is -2",
                    "gives a negative number of population sources"},
        RefusalCase{"InitialSizeZero", 1, "", "1\nA 0 1 1 0 0 0 0 0 0\n", nullptr,
                    "****ERROR: Population A has an initial size of 0 individuals or less!",
                    "record 1 of 1: initialSize = 0"},
        RefusalCase{"FirstResizeNegative", 1, "", "1\nA 5 1 1 -1 0 0 0 0 0\n", nullptr,
                    "****ERROR: Population A has a first resize of less than 0 individuals!",
                    "record 1 of 1: firstResize = -1"},
        RefusalCase{"SecondResizeNegative", 1, "", "1\nA 5 1 1 0 0 -3 0 0 0\n", nullptr,
                    "****ERROR: Population A has a second resize of less than 0 individuals!",
                    "record 1 of 1: secondResize = -3"},
        RefusalCase{"LayerOneWithOneLayer", 1, "", "1\nA 5 1 1 0 0 0 0 1 0\n", nullptr,
                    "****ERROR: Population A has a wrong deme number!",
                    "record 1 of 1: layer = 1, the layers of this run are 0 to 0"},
        RefusalCase{"NegativeLayer", 2, "", "1\nA 5 1 1 0 0 0 0 -1 0\n", nullptr,
                    "****ERROR: Population A has a wrong deme number!", "layer = -1"},
        RefusalCase{"LayerZeroStartingLater", 1, "", "1\nA 5 1 1 0 0 0 0 0 5\n", nullptr,
                    "****ERROR: Expansion time of population in layer 0 (A) must be equal to 0!",
                    "record 1 of 1: expansionTime = 5"},
        RefusalCase{"StartAtEndTime", 2, "EndTime=5\n",
                    "2\nA 5 1 1 0 0 0 0 0 0\nB 5 1 1 0 0 0 0 1 5\n", nullptr,
                    "****ERROR: Population B has an expansion time outside the range of the "
                    "number of generations simulated!",
                    "record 2 of 2: expansionTime = 5, EndTime = 5"},
        RefusalCase{"NegativeStart", 1, "", "1\nA 5 1 1 0 0 0 0 0 -1\n", nullptr,
                    "****ERROR: Population A has an expansion time outside the range of the "
                    "number of generations simulated!",
                    "expansionTime = -1"},
        RefusalCase{"BottleneckLongerThanTau", 1, "",
                    "2\nA 5 1 1 0 0 0 0 0 0\nB 5 1 1 0 60 100 0 0 0\n", nullptr,
                    "****ERROR: Duration of the bottleneck is too long compared to the tau value "
                    "for source B",
                    "record 2 of 2: bottleneckDuration = 60, TauValue = 50"},
        RefusalCase{"NameTooLong", 1, "", kLongNameFile.c_str(), nullptr,
                    "The number of population source is 1",
                    "record 1 of 1: the name of the source has 100 characters, more than the 99 "
                    "allowed"},
        RefusalCase{"RecordCutShort", 1, "", nullptr, "truncated.txt",
                    "The number of population source is 2",
                    "record 2 of 2 (source Beta) cannot be read: secondResize is due, an "
                    "integer, but the file ends"},
        RefusalCase{"WordWhereANumberIsDue", 1, "", nullptr, "non_numeric.txt",
                    "The number of population source is 2",
                    "record 2 of 2 (source Beta) cannot be read: latitude is due, a real number, "
                    "but 'north' was found"},
        RefusalCase{"FewerRecordsThanAnnounced", 1, "", "2\nA 5 1 1 0 0 0 0 0 0\n", nullptr,
                    "The number of population source is 2",
                    "record 2 of 2 cannot be read: the name of the source is due but the file "
                    "ends"},
        RefusalCase{"IntegerTooLarge", 1, "", "1\nA 99999999999 1 1 0 0 0 0 0 0\n", nullptr,
                    "The number of population source is 1",
                    "initialSize is due, an integer, but '99999999999' was found"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(PopulationTest, UnopenableFileGivesNoSource) {
    readSettings(1);
    EXPECT_EQ(readFile(dir.file("missing.txt")), 0);
    EXPECT_TRUE(hasLine(log(), "The number of population source is 0"));
    EXPECT_TRUE(contains(log(), "'" + dir.file("missing.txt") + "' cannot be opened"));
}

TEST_F(PopulationTest, StopsAtTheFirstInvalidRecord) {
    readSettings(1);
    EXPECT_EQ(readText("2\nA 0 1 1 0 0 0 0 0 0\nB 5 1 1 0 0 0 0 0 0\n"), 0);
    EXPECT_TRUE(contains(log(), "ID: A,"));
    EXPECT_FALSE(contains(log(), "ID: B,"));
}

TEST_F(PopulationTest, BottleneckIsCheckedOnlyAgainstSeveralLayerZeroSources) {
    readSettings(2);
    // One layer-0 source (the other is in layer 1): a long bottleneck passes.
    EXPECT_EQ(readText("2\nA 5 1 1 0 60 100 0 0 0\nB 5 1 1 0 0 0 0 1 3\n"), 2) << log();
    // 99 characters is the longest name accepted.
    const std::string name(99, 'x');
    EXPECT_EQ(readText("1\n" + name + " 5 1 1 0 0 0 0 0 0\n"), 1) << log();
    EXPECT_STREQ(sources.at(0).name.c_str(), name.c_str());
}

// ---------------------------------------------------------------------------
// Launching sources

// A 3 x 4 world from x 10 to 14 and y 20 to 23, one unit per cell; the
// position at row 1, column 2 is water. Every land cell has K 100.
class LaunchTest : public PopulationTest {
  protected:
    void build(int layers) {
        readSettings(layers);
        TGridHeader& h = settings.worldGridHeader;
        h.nrows = 3;
        h.ncols = 4;
        h.xllcorner = 10.0;
        h.yllcorner = 20.0;
        h.cellsize = 1.0;
        h.xurcorner = 14.0;
        h.yurcorner = 23.0;
        grid.allocateAll(3, 4);
        std::vector<char> land(12, 1);
        land[1 * 4 + 2] = 0;
        grid.keepLand(land);
        for (cell* c : grid.landCells) {
            for (int layer = 0; layer < layers; ++layer) c->states[layer].K = 100;
        }
        database = std::make_unique<StateDB>(nullptr, 1001, 500, 3, 4);
        database->buildFor(grid.landCells, layers, 10, false);
    }
    void TearDown() override {
        database.reset();
        grid.release();
        PopulationTest::TearDown();
    }
    int occupiedCells(int layer) const {
        int n = 0;
        for (cell* c : grid.landCells) n += c->states[layer]._N_POP > 0 ? 1 : 0;
        return n;
    }

    TWorldGrid grid;
    std::unique_ptr<StateDB> database;
    ImportExportUtils io;
};

struct PlacementCase {
    const char* name;
    float x;
    float y;
    int row;  // -1: refused with the line below
    int column;
    const char* refusal;
};

class LaunchPlacementTest : public LaunchTest,
                            public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(LaunchPlacementTest, PutsTheSourceInTheCellOfItsPosition) {
    const PlacementCase& c = GetParam();
    build(1);
    io.populations.replaceSources({makeSource("P", 25, c.x, c.y)});
    const int launched = io.Launch_Source(grid, settings, false);
    EXPECT_EQ(io.populations.launchPosition(), 1);  // moved on whatever the outcome
    const PopulationSource& s = io.populations.at(0);
    if (c.row < 0) {
        EXPECT_EQ(launched, 0);
        EXPECT_TRUE(hasLine(log(), c.refusal)) << log();
        EXPECT_TRUE(contains(log(), "source 'P'")) << log();
        EXPECT_EQ(s.dbIndex, -1);
        EXPECT_EQ(occupiedCells(0), 0);
        return;
    }
    ASSERT_EQ(launched, 1) << log();
    const cell& target = *grid.at(c.row, c.column);
    EXPECT_EQ(target.states[0]._N_POP, 25);
    EXPECT_EQ(target.layerSource[0], 1);
    EXPECT_EQ(s.dbIndex, target.dbIndex);
    EXPECT_EQ(occupiedCells(0), 1);
}

const char* const kOutOfWorld =
    " ERROR: {ImportExportUtils::readGeoPopDensity(...)} [the population 'P' is out of World "
    "coordinates!]";

INSTANTIATE_TEST_SUITE_P(
    Positions, LaunchPlacementTest,
    ::testing::Values(
        PlacementCase{"LowerLeftCornerIsBottomRowFirstColumn", 10.0f, 20.0f, 2, 0, nullptr},
        PlacementCase{"UpperRightCornerIsFirstRowLastColumn", 14.0f, 23.0f, 0, 3, nullptr},
        PlacementCase{"Inside", 11.5f, 21.5f, 1, 1, nullptr},
        PlacementCase{"LeftOfTheWorld", 9.99f, 21.0f, -1, -1, kOutOfWorld},
        PlacementCase{"AboveTheWorld", 12.0f, 23.01f, -1, -1, kOutOfWorld},
        PlacementCase{"OnWater", 12.5f, 21.5f, -1, -1,
                      "ERROR: {ImportExportUtils::readGeoPopDensity(...)} [the population 'P' is "
                      "on water!]"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(LaunchTest, ArrangeAddsToTheCellWhileAPlainLaunchSetsIt) {
    for (bool arrange : {false, true}) {
        SCOPED_TRACE(arrange ? "arrange" : "plain");
        build(1);
        cell& target = *grid.at(1, 1);
        target.states[0]._N_POP = 3;
        target.sourceNumber = 7;
        io.populations.replaceSources(
            {makeSource("A", 4, 10.0f, 20.0f), makeSource("B", 10, 11.5f, 21.5f)});
        ASSERT_EQ(io.Launch_Source(grid, settings, arrange), 1);
        ASSERT_EQ(io.Launch_Source(grid, settings, arrange), 1);
        EXPECT_EQ(target.states[0]._N_POP, arrange ? 13 : 10);
        EXPECT_EQ(target.layerSource[0], 2);  // the second source of the list
        EXPECT_EQ(target.sourceNumber, arrange ? 0 : 7);
        EXPECT_EQ(grid.at(2, 0)->states[0]._N_POP, 4);
        EXPECT_EQ(io.populations.at(1).dbIndex, target.dbIndex);
    }
}

struct OtherLayerCase {
    const char* name;
    int layerZeroBefore;
    int layerOneBefore;
    int initialSize;
    int taken;
    const char* logLine;
};

class LaunchFromOtherLayerTest : public LaunchTest,
                                 public ::testing::WithParamInterface<OtherLayerCase> {};

TEST_P(LaunchFromOtherLayerTest, MovesIndividualsFromLayerZeroAndRecordsIt) {
    const OtherLayerCase& c = GetParam();
    build(2);
    cell& target = *grid.at(0, 2);
    target.states[0]._N_POP = c.layerZeroBefore;
    target.states[1]._N_POP = c.layerOneBefore;
    io.populations.replaceSources({makeSource("B", c.initialSize, 12.5f, 22.5f, 1, 4)});

    ASSERT_EQ(io.Launch_Source_from_other_pop(grid, settings), 1) << log();
    EXPECT_TRUE(hasLine(log(), c.logLine)) << log();
    EXPECT_EQ(target.states[0]._N_POP, c.layerZeroBefore - c.taken);
    EXPECT_EQ(target.states[1]._N_POP, c.layerOneBefore + c.taken);
    EXPECT_EQ(target.getN(4, 0), c.layerZeroBefore - c.taken);
    EXPECT_EQ(target.getN(4, 1), c.layerOneBefore + c.taken);
    EXPECT_EQ(target.history->get_migrBetweenDemes(0, 1, 4), c.taken);
    EXPECT_EQ(target.getN(3, 1), 0);  // only generation 4 is written
    EXPECT_EQ(target.layerSource[1], 0);
    EXPECT_EQ(io.populations.at(0).dbIndex, target.dbIndex);
    EXPECT_EQ(io.populations.launchPosition(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Takes, LaunchFromOtherLayerTest,
    ::testing::Values(
        OtherLayerCase{"AllWhenFewerThanItsSize", 30, 0, 50, 30,
                       "New source B is generated from 30 individuals from layer 0 at time 4 "
                       "(Ancestral density before: 30, after: 0 )"},
        OtherLayerCase{"ItsSizeAddedToLayerOne", 80, 5, 50, 50,
                       "New source B is generated from 50 individuals from layer 0 at time 4 "
                       "(Ancestral density before: 80, after: 30 )"},
        OtherLayerCase{"NothingWhenLayerZeroIsEmpty", 0, 0, 50, 0,
                       "New source B can't be generated because the number of individuals from "
                       "layer 0 is equal to 0 at time 4 (Ancestral density before: 0, after: 0 "
                       ")"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(LaunchTest, LaterSourceOutsideTheWorldIsSkipped) {
    build(2);
    io.populations.replaceSources({makeSource("Far", 5, 30.0f, 22.5f, 1, 4)});
    EXPECT_EQ(io.Launch_Source_from_other_pop(grid, settings), 0);
    EXPECT_TRUE(hasLine(log(),
                        " ERROR: {ImportExportUtils::readGeoPopDensity(...)} [the population "
                        "'Far' is out of World coordinates!]"));
    EXPECT_EQ(io.populations.launchPosition(), 1);
    EXPECT_EQ(occupiedCells(1), 0);
}

TEST_F(LaunchTest, SourcesWithoutALayerSlotAreRefused) {
    build(1);
    io.populations.replaceSources({makeSource("Neg", 5, 11.5f, 21.5f, -1),
                                   makeSource("Later", 5, 11.5f, 21.5f, 1, 4),
                                   makeSource("OneLayer", 5, 11.5f, 21.5f, 0, 4)});
    EXPECT_EQ(io.Launch_Source(grid, settings, false), 0);
    EXPECT_TRUE(hasLine(log(), "****ERROR: Population Neg has a wrong deme number!"));
    EXPECT_EQ(io.Launch_Source_from_other_pop(grid, settings), 0);
    EXPECT_TRUE(hasLine(log(), "****ERROR: Population Later has a wrong deme number!"));
    // Taking from the other layer needs a second layer.
    EXPECT_EQ(io.Launch_Source_from_other_pop(grid, settings), 0);
    EXPECT_TRUE(hasLine(log(), "****ERROR: Population OneLayer has a wrong deme number!"));
    EXPECT_EQ(occupiedCells(0), 0);
    // Every source has been launched: a further launch is a caller's bug.
    EXPECT_THROW(io.Launch_Source(grid, settings, false), TException);
}

// ---------------------------------------------------------------------------
// Reading at the start of a simulation

TEST_F(PopulationTest, WorldReadsThePopulationFileAndCountsItsSources) {
    World world;
    const std::string path = kFixtures + "three_sources.txt";
    world.Settings.readParameters(
        dir.write("world.txt",
                  "DoublePopulationMode=1\nEndTime=10\nTauValue=50\nPopDensityFile=" + path + "\n")
            .c_str(),
        0, nullptr, 0);
    EXPECT_EQ(world.ReadInitialDensityDataset_Multideme(), 1);
    EXPECT_EQ(world.Settings.numberOfPopulationSources, 3);
    EXPECT_EQ(world.io.populations.count(), 3);

    // A failed read leaves nothing to launch.
    world.Settings["TauValue"] = "10";
    EXPECT_EQ(world.ReadInitialDensityDataset_Multideme(), 0);
    EXPECT_EQ(world.Settings.numberOfPopulationSources, 0);
    EXPECT_TRUE(hasLine(log(),
                        "****ERROR: Duration of the bottleneck is too long compared to the tau "
                        "value for source Beta"));
}

}  // namespace
