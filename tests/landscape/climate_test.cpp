// The climate series: the step function and its files, the loading in the
// world build, K and F between their present and glacial values, and the two
// climate steps of the generation loop.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/world.h"
#include "foundations/exception.h"
#include "landscape/climate.h"
#include "landscape/climate_world.h"
#include "support/captured_output.h"

namespace {

using climate_test::ClimateWorldTest;
using climate_test::kClimateFixtures;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TimeStoInt<float> exampleSeries() {
    TimeStoInt<float> series;
    series.addPoint(-100000, 5);
    series.addPoint(-50000, 5);
    series.addPoint(-20000, 8);
    series.addPoint(0, 0);
    return series;
}

// ---------------------------------------------------------------------------
// TimeStoInt

TEST(TimeStoIntTest, RepeatedValuesKeepTheirFirstTimeAndLookupsFindTheirStep) {
    TimeStoInt<float> series = exampleSeries();
    ASSERT_EQ(series.count(), 3);
    EXPECT_EQ(series.times[1], -20000);
    EXPECT_EQ(series.values[1], 8.0f);
    EXPECT_EQ(series.values.initialSize(), 11);
    EXPECT_EQ(series.values.growthStep(), 200);

    const struct {
        int time;
        float value;
        bool found;
    } cases[] = {{-30000, 5, true}, {-20000, 8, true}, {-1, 8, true},
                 {0, 0, true},      {-200000, 0, false}, {100, 0, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(series[c.time], c.value) << "time " << c.time;
        EXPECT_EQ(series.found, c.found) << "time " << c.time;
    }
}

// The remembered interval must never change an answer: lookups going forward,
// backward or jumping, and a series holding the file twice (two layers) give
// the values of a fresh series.
TEST(TimeStoIntTest, AnswersDoNotDependOnEarlierLookupsOrOnAnAppendedCopy) {
    std::vector<int> times;
    for (int t = -210000; t <= 10000; t += 2500) times.push_back(t);
    for (int t : {-100001, -100000, -99999, -50000, -20001, -20000, -19999, -1, 0, 1}) {
        times.push_back(t);
    }
    std::vector<int> order = times;
    order.insert(order.end(), times.rbegin(), times.rend());
    for (size_t i = 0; i < times.size(); ++i) order.push_back(times[(i * 7) % times.size()]);

    TimeStoInt<float> remembering = exampleSeries();
    TimeStoInt<float> twice = exampleSeries();
    for (const auto& [time, value] : {std::pair<int, float>{-100000, 5}, {-50000, 5},
                                      {-20000, 8}, {0, 0}}) {
        twice.addPoint(time, value);
    }
    EXPECT_EQ(twice.count(), 6);
    for (int t : order) {
        TimeStoInt<float> fresh = exampleSeries();
        const float expected = fresh[t];
        EXPECT_EQ(remembering[t], expected) << "time " << t;
        EXPECT_EQ(twice[t], expected) << "time " << t;
    }
}

TEST(TimeStoIntTest, ShortSeriesAnswerWithoutReadingOutside) {
    TimeStoInt<float> empty;
    EXPECT_EQ(empty[0], 0.0f);
    TimeStoInt<float> one;
    one.addPoint(-500, 3);
    EXPECT_EQ(one[-1000], 3.0f);
    EXPECT_EQ(one[-500], 3.0f);
    EXPECT_FALSE(one.found);
    // Equal times: the later value holds at that time.
    TimeStoInt<float> step;
    step.addPoint(-100, 1);
    step.addPoint(-100, 2);
    EXPECT_EQ(step[-100], 2.0f);
}

// ---------------------------------------------------------------------------
// Series files

std::string readInto(const std::string& text, std::vector<TTimedValue>& pairs) {
    std::istringstream in(text);
    return readTimedValues(in, "the test file 'x.txt' (TestKey)", pairs);
}

TEST(TimedValuesFileTest, PairsSpanLinesAndTimesAreTruncatedTowardZero) {
    std::vector<TTimedValue> pairs;
    ASSERT_EQ(readInto("  -20000.9 8\r\n-19999.5\n\n 7 -0.7 1e2\n-0.2 3", pairs), "");
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0].time, -20000);
    EXPECT_EQ(pairs[0].value, 8.0f);
    EXPECT_EQ(pairs[1].time, -19999);
    EXPECT_EQ(pairs[1].value, 7.0f);
    EXPECT_EQ(pairs[1].line, 2);
    EXPECT_EQ(pairs[2].time, 0);
    EXPECT_EQ(pairs[2].value, 100.0f);
    EXPECT_EQ(pairs[3].time, 0);  // equal times are kept
}

TEST(TimedValuesFileTest, BadFilesAreRefusedNamingTheLineAndText) {
    const std::string file = "ERROR: the test file 'x.txt' (TestKey) ";
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "holds no pair of a time and a value"},
        {"\n \n", "holds no pair of a time and a value"},
        {"time value\n-100 5\n", "holds 'time' at line 1 where a time is due"},
        {"-100 5\n-50", "ends after the time -50 at line 2, which has no value"},
        {"-100 5\n-50\nabc", "holds 'abc' at line 3 where the value of the time -50 is due"},
        {"-100 5 -50 6x", "holds '6x' at line 1 where the value of the time -50 is due"},
        {"-100 5\n-50 nan\n", "holds the value nan at line 2 (time -50): values must be finite"},
        {"-100 1e39", "holds the value 1e39 at line 1 (time -100): values must be finite"},
        {"-100 5\n-200 6\n",
         "gives the time -200 at line 2 after the time -100 at line 1: the times must not "
         "decrease"},
        {"-3e9 5", "holds the time -3e9 at line 1: times are whole years from -2147483648 to "
                   "2147483647"},
        {"nan 5", "holds the time nan at line 1: times are whole years"},
    };
    for (const auto& c : cases) {
        std::vector<TTimedValue> pairs;
        const std::string message = readInto(c.text, pairs);
        EXPECT_TRUE(contains(message, file + c.message)) << c.text << "\n -> " << message;
    }
}

// ---------------------------------------------------------------------------
// Loading in the world build

TEST_F(ClimateWorldTest, BuildLoadsBothSeriesAndSizesTheMatrices) {
    ASSERT_EQ(build(), 1) << capture->console();
    EXPECT_EQ(world->climateSeries.count(), 3);
    EXPECT_EQ(world->seaLevelSeries.count(), 3);
    EXPECT_EQ(world->climateKMatrix.size(), 25u);
    EXPECT_EQ(world->climateFMatrix.size(), 25u);
    EXPECT_EQ(world->grid.instantiatedCells, 9);
    EXPECT_EQ(k(1, 1), 1000);  // the build takes the glacial class
    // A second build starts the series again.
    world->Settings["Veg2KFile"] = list("k_list.txt", kClimateFixtures + "veg2k.txt").c_str();
    world->Settings["Veg2FFile"] = list("f_list.txt", kClimateFixtures + "veg2f.txt").c_str();
    ASSERT_EQ(world->BuildWorld(), 1) << capture->console();
    EXPECT_EQ(world->climateSeries.count(), 3);
}

TEST_F(ClimateWorldTest, WithoutTheGlacialMapNoSeriesIsRead) {
    const std::string settings =
        "DoublePopulationMode=0\nGenerationTime=25\nEndTime=10\nPresVegetationFile=" +
        kClimateFixtures + "present_5x5.asc\nVeg2KFile=" +
        list("k_list.txt", kClimateFixtures + "veg2k.txt") + "\nVostokFile=" + dir.file("no") +
        "\nSeaLevelFile=" + dir.file("no") + "\n";
    const std::string path = dir.write("present_only.txt", settings);
    world = std::make_unique<World>();
    world->Settings.readParameters(path.c_str(), 0, nullptr, 0);
    ASSERT_EQ(world->BuildWorld(), 1) << capture->console();
    EXPECT_EQ(world->climateSeries.count(), 0);
    EXPECT_TRUE(world->climateKMatrix.empty());
}

struct LoadFailure {
    const char* name;
    const char* climate;  // file text, or null for a file that does not exist
    const char* sea;
    const char* message;  // on the console and in the log; "@" is the faulty file
};

TEST_F(ClimateWorldTest, BadSeriesFilesStopTheBuildNamingTheFile) {
    const LoadFailure cases[] = {
        {"ClimateMissing", nullptr, "0 0",
         "ERROR: {World::load_VostokTimeData()} [cannot open Vostok File]\n"
         "  the climate file '@' (VostokFile) cannot be opened\n"},
        {"ClimateWithoutPair", "\n", "0 0",
         "ERROR: the climate file '@' (VostokFile) holds no pair of a time and a value\n"},
        {"ClimateReferenceZero", "-70000 0\n-60000 1\n", "0 0",
         "ERROR: the climate file '@' (VostokFile) gives the value 0 at 66600 years BP (time "
         "-66600); every climate value is divided by it, so it must not be 0\n"},
        {"ClimateNotANumber", "-70000 1\n-60000 NaN\n", "0 0",
         "ERROR: the climate file '@' (VostokFile) holds the value NaN at line 2 (time -60000): "
         "values must be finite numbers\n"},
        {"ClimateRatioTooLarge", "-70000 1e-30\n-60000 1e30\n", "0 0",
         "ERROR: the climate file '@' (VostokFile) gives the value 1e+30 at line 2 (time "
         "-60000), too large to be divided by the value 1e-30 at 66600 years BP\n"},
        {"SeaLevelMissing", "-70000 1", nullptr,
         "ERROR: the sea-level file '@' (SeaLevelFile) cannot be opened\n"},
        {"SeaLevelComment", "-70000 1", "# no data",
         "ERROR: the sea-level file '@' (SeaLevelFile) holds '#' at line 1 where a time is due\n"},
        {"SeaLevelEmpty", "-70000 1", "",
         "ERROR: the sea-level file '@' (SeaLevelFile) holds no pair of a time and a value\n"},
    };
    for (const LoadFailure& c : cases) {
        SCOPED_TRACE(c.name);
        capture.reset();  // the old capture must give the streams back first
        capture = std::make_unique<test_support::CapturedOutput>();
        const std::string climate = dir.file(std::string(c.name) + "_climate.txt");
        const std::string sea = dir.file(std::string(c.name) + "_sea.txt");
        if (c.climate != nullptr) dir.write(std::string(c.name) + "_climate.txt", c.climate);
        if (c.sea != nullptr) dir.write(std::string(c.name) + "_sea.txt", c.sea);
        EXPECT_EQ(build("", climate, sea), 0);
        std::string message = c.message;
        const bool aboutSea = std::string(c.name).rfind("SeaLevel", 0) == 0;
        message.replace(message.find('@'), 1, aboutSea ? sea : climate);
        EXPECT_TRUE(contains(capture->console(), message)) << capture->console();
        EXPECT_TRUE(contains(capture->log(), message)) << capture->log();
    }
}

// Present classes are read by the climate update: a land cell's present class
// must be in the tables or be the no-data value.
TEST_F(ClimateWorldTest, PresentClassOutsideTheTablesIsRefused) {
    std::string present = test_support::readFile(kClimateFixtures + "present_5x5.asc");
    present.replace(present.find("-9999 1 1 -9999 -9999"), 21, "-9999 1 1 -1 -9999");
    const std::string path = dir.write("present.asc", present);
    EXPECT_EQ(build("PresVegetationFile=" + path + "\n"), 0);
    const std::string expected =
        "ERROR: the vegetation class -1 of the land cell at row 3, column 3 of the map '" + path +
        "' (PresVegetationFile) lies outside the classes 0 to 10000 of the conversion tables and "
        "is not the no-data value -9999";
    EXPECT_TRUE(contains(capture->console(), expected)) << capture->console();
    EXPECT_TRUE(contains(capture->log(), expected));
}

// ---------------------------------------------------------------------------
// K and F from the climate

TEST_F(ClimateWorldTest, KMovesFromPresentToGlacialWithTheClimateRatio) {
    ASSERT_EQ(build(), 1) << capture->console();
    const struct {
        int date;
        int k11, k13, k22, k33;  // p1/g3, p3/g1, p2/g3, glacial only (g2)
        float f11, f13, f33;
    } cases[] = {
        // The reference value: the glacial map in full.
        {-30000, 1000, 101, 1000, 300, 0.8f, 0.2f, 0.4f},
        // Climate value 0: the present map; F scales the glacial F, so it is 0.
        {0, 101, 1000, 300, 300, 0.0f, 0.0f, 0.4f},
        // Ratio 1.6: beyond the glacial values, truncated toward zero
        // (101 + 899 x 1.6 = 1539.4; 1000 - 899 x 1.6 = -438.4).
        {-1, 1539, -438, 1420, 300, 1.28f, 0.32f, 0.4f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        applyClimateAt(c.date);
        EXPECT_EQ(k(1, 1), c.k11);
        EXPECT_EQ(k(1, 3), c.k13);
        EXPECT_EQ(k(2, 2), c.k22);
        EXPECT_EQ(k(3, 3), c.k33);
        EXPECT_FLOAT_EQ(f(1, 1), c.f11);
        EXPECT_FLOAT_EQ(f(1, 3), c.f13);
        EXPECT_FLOAT_EQ(f(3, 3), c.f33);
    }
}

// Ratio 0.5 (value 1 against 2 at 66600 BP) under every friction rule.
TEST_F(ClimateWorldTest, FrictionFollowsTheGlacialValueUnderEachRule) {
    const std::string roughness = "RoughnessTopoFile=" + kClimateFixtures + "roughness_5x5.asc\n";
    const struct {
        const char* name;
        std::string settings;
        float f11, f22, f33;  // p1/g3 (roughness 0.2), p2/g3 (-0.6), glacial only g2 (0.2)
    } cases[] = {
        {"Table", "", 0.4f, 0.4f, 0.4f},  // 0.5 x 0.8 whatever the present friction
        {"Roughness", "FrictionChoice=1\n" + roughness, 0.2f, 0.6f, 0.2f},
        {"Both", "FrictionChoice=2\n" + roughness, 0.3f, 0.5f, 0.3f},
        // No friction rule: friction stays as the build set it, since there is
        // no friction table to follow.
        {"None", "", 0.5f, 0.5f, 0.5f},
    };
    const std::string climate = dir.write("half.txt", "-70000 2\n-10000 1\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        withFriction = std::string(c.name) != "None";
        ASSERT_EQ(build(c.settings, climate), 1) << capture->console();
        applyClimateAt(-5000);
        EXPECT_EQ(k(1, 1), 550);  // 101 + 899 x 0.5 = 550.5
        EXPECT_FLOAT_EQ(f(1, 1), c.f11);
        EXPECT_FLOAT_EQ(f(2, 2), c.f22);
        EXPECT_FLOAT_EQ(f(3, 3), c.f33);
    }
}

TEST_F(ClimateWorldTest, CapacityOutsideItsRangeStopsTheRun) {
    ASSERT_EQ(build("", dir.write("huge.txt", "-70000 1e-10\n-10000 1e10\n")), 1);
    cell::_Current_RealBP_time = -5000;
    try {
        world->GenerateVostokIntermediateData(0);
        ADD_FAILURE() << "a capacity of 1e22 went through";
    } catch (const TException& e) {
        const std::string message = e.message().c_str();
        EXPECT_TRUE(contains(message, "The climate of year -5000 (ratio 1e+20 to the value at "
                                      "66600 years BP in the climate file '"))
            << message;
        EXPECT_TRUE(contains(message, "gives the cell at row 1, column 1 the carrying capacity "))
            << message;
    }
}

// A table change sets K from the present class; a cell that is land only in
// the glacial map has none and keeps its K.
TEST_F(ClimateWorldTest, TableChangeKeepsTheCapacityOfGlacialOnlyLand) {
    const std::string later = dir.write("k_later.txt", "1 55 grass\n2 66 wood\n3 77 steppe\n");
    ASSERT_EQ(build(), 1) << capture->console();
    world->Settings["Veg2KFile"] =
        dir.write("k2_list.txt", "2\n0 " + kClimateFixtures + "veg2k.txt\n1 " + later + "\n")
            .c_str();
    ASSERT_EQ(world->readTimeAndPathArrays(), 1);
    applyClimateAt(-30000);
    ASSERT_EQ(world->ApplyConversionTableChanges(2), 1) << capture->console();
    EXPECT_EQ(k(1, 1), 55);
    EXPECT_EQ(k(2, 2), 66);
    EXPECT_EQ(k(1, 3), 77);
    EXPECT_EQ(k(3, 3), 300);
}

// ---------------------------------------------------------------------------
// The generation loop's climate steps

TEST_F(ClimateWorldTest, StartOfSimulationSetsKAndFWithoutTheCoastFactor) {
    ASSERT_EQ(build("CoastCarCapChangeFactor=0.5\n"), 1) << capture->console();
    EXPECT_TRUE(at(1, 1).isCoast);
    cell::_Current_RealBP_time = -30000;
    const size_t logMark = capture->log().size();
    world->applyClimateAtSimulationStart();
    EXPECT_EQ(capture->log().substr(logMark),
              " GenerateVostok (before) at time-30000\n GenerateVostok (after)\n");
    EXPECT_EQ(k(1, 1), 1000);

    int years = 0;
    world->applyClimateAndSeaLevelStep(years, 25);  // no DynamicVegetationChangeTime: every step
    EXPECT_EQ(k(1, 1), 500);
    EXPECT_EQ(k(2, 2), 1000);  // not a coast cell
}

TEST_F(ClimateWorldTest, UpdatesRunWhenTheYearsReachTheChangeTime) {
    const struct {
        const char* setting;
        std::vector<int> updatedSteps;
    } cases[] = {
        {"DynamicVegetationChangeTime=100\n", {4, 8}},
        {"DynamicVegetationChangeTime=60\n", {3, 6}},
        {"", {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        ASSERT_EQ(build(c.setting), 1) << capture->console();
        cell::_Current_RealBP_time = -30000;  // ratio 1, sea level -50
        int years = 0;
        std::vector<int> updated;
        for (int step = 1; step <= 8; ++step) {
            cell::_Current_RealBP_time += 25;
            at(1, 1).states[0].K = -7;  // overwritten by an update only
            at(1, 2).aboveSea = false;
            world->applyClimateAndSeaLevelStep(years, 25);
            if (k(1, 1) != -7) {
                updated.push_back(step);
                EXPECT_TRUE(at(1, 2).aboveSea);  // the sea level went with it
            }
        }
        EXPECT_EQ(updated, c.updatedSteps);
    }
}

// Matrices beyond what can be addressed are refused with their size before
// anything is allocated; the earlier matrices are released.
TEST(ClimateMatricesTest, MatricesThatCannotBeHadAreRefusedWithTheSize) {
    World world;
    test_support::CapturedOutput output;
    world.nrows = 2;
    world.ncols = 3;
    ASSERT_EQ(world.allocateVostokMatrix(), 1);
    EXPECT_EQ(world.climateKMatrix.size(), 6u);
    world.nrows = 1 << 30;
    world.ncols = 1 << 30;
    try {
        world.allocateVostokMatrix();
        FAIL() << "accepted";
    } catch (const TOutOfMemory& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "The climate matrices of 1073741824 x 1073741824 cells need 8589934592.00 GiB; "
                  "that memory cannot be had.");
    }
    EXPECT_EQ(output.log(),
              "ERROR: {World::allocateVostokMatrix()} [problem with matric allocation]\n");
    EXPECT_TRUE(world.climateKMatrix.empty());
    EXPECT_TRUE(world.climateFMatrix.empty());
    world.nrows = 0;
    world.ncols = 0;
}

}  // namespace
