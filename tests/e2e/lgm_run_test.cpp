// Runs in the glacial-vegetation mode through the built program: K and F
// following the climate series, the update schedule, the sea level at the end
// refusing a sample, and the refusal of bad series files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunResult;
using test_support::ScratchDir;

const std::string kLgmRun = std::string(VASTRID2_FIXTURES) + "/e2e/lgm";
const char* const kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The strip of tests/fixtures/e2e/lgm, without the settings line of one key.
RunResult runStrip(const ScratchDir& dir, const std::string& droppedKey) {
    fs::copy(kLgmRun, dir.path(), fs::copy_options::recursive);
    std::string settings;
    for (const std::string& line : test_support::splitLines(dir.read("settings.txt"))) {
        if (!droppedKey.empty() && line.rfind(droppedKey + "=", 0) == 0) continue;
        settings += line + "\n";
    }
    dir.write("settings.txt", settings);
    return test_support::runProgram(dir.path(), {"settings.txt"});
}

struct ScheduleCase {
    const char* name;
    const char* droppedKey;
    const char* arrivals;  // from reference_lgm.py
};

class LgmStripRunTest : public ::testing::TestWithParam<ScheduleCase> {};

// Cells 3-5 open when an update sees the warmer climate of 150 years BP:
// at generation 20 when updates come every 100 years, at 18 when they come
// every generation. The sea covers cell 5 at the end, so its sample is refused.
TEST_P(LgmStripRunTest, MatchesTheIndependentReference) {
    const ScheduleCase& c = GetParam();
    ScratchDir dir;
    const RunResult run = runStrip(dir, c.droppedKey);
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
    EXPECT_EQ(dir.read("arrival_output.txt"), c.arrivals);

    const std::string log = dir.read("vastrid2.log");
    EXPECT_TRUE(contains(log,
                         "Input file has been sucessfully read!\n"
                         " GenerateVostok (before) at time-600\n"
                         " GenerateVostok (after)\n"
                         "world simulating now over, printing report... \n"))
        << log;
    const std::string refusal =
        "\nOne or more samples can not be used, see Friction.log for more details.\n"
        " WARNING: [the population 'Flooded' is on the water!]\n"
        "WARNING: [the population 'Flooded' is on the water!]\n";
    EXPECT_TRUE(contains(run.console, refusal)) << run.console;
    EXPECT_FALSE(contains(run.console, "'Inland' is on the water")) << run.console;
    EXPECT_TRUE(dir.exists("GeneticsOutput/settings_samples_1.qdx"));
}

INSTANTIATE_TEST_SUITE_P(
    Schedules, LgmStripRunTest,
    ::testing::Values(
        ScheduleCase{"EveryFourthGeneration", "",
                     "TIMES OF ARRIVAL\nCell0 : 0\nCell1 : 1\nCell2 : 2\nCell3 : 20\nCell4 : 21\n"
                     "Cell5 : 23\n"},
        ScheduleCase{"EveryGeneration", "DynamicVegetationChangeTime",
                     "TIMES OF ARRIVAL\nCell0 : 0\nCell1 : 1\nCell2 : 2\nCell3 : 18\nCell4 : 19\n"
                     "Cell5 : 21\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct BadSeriesCase {
    const char* name;
    const char* file;  // replaced in the strip's folder
    const char* text;
    const char* message;  // on the console and in the log
};

class LgmBadSeriesTest : public ::testing::TestWithParam<BadSeriesCase> {};

TEST_P(LgmBadSeriesTest, StopsTheBuildNamingTheFile) {
    const BadSeriesCase& c = GetParam();
    ScratchDir dir;
    fs::copy(kLgmRun, dir.path(), fs::copy_options::recursive);
    if (c.text == nullptr) {
        fs::remove(dir.file(c.file));
    } else {
        dir.write(c.file, c.text);
    }
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1) << run.console;
    EXPECT_FALSE(contains(run.console, kSuccessLine));
    EXPECT_TRUE(contains(run.console, c.message)) << run.console;
    EXPECT_TRUE(contains(run.console, "\nERROR: Problem when constructing a World")) << run.console;
    EXPECT_TRUE(contains(dir.read("vastrid2.log"), c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Files, LgmBadSeriesTest,
    ::testing::Values(
        BadSeriesCase{"ClimateMissing", "climate.txt", nullptr,
                      "ERROR: {World::load_VostokTimeData()} [cannot open Vostok File]\n"
                      "  the climate file 'climate.txt' (VostokFile) cannot be opened\n"},
        BadSeriesCase{"ClimateWithoutPair", "climate.txt", " \n",
                      "ERROR: the climate file 'climate.txt' (VostokFile) holds no pair of a "
                      "time and a value\n"},
        BadSeriesCase{"ClimateZeroAtReference", "climate.txt", "-70000 0\n-150 1\n",
                      "ERROR: the climate file 'climate.txt' (VostokFile) gives the value 0 at "
                      "66600 years BP (time -66600)"},
        BadSeriesCase{"SeaLevelMissing", "sea_level.txt", nullptr,
                      "ERROR: the sea-level file 'sea_level.txt' (SeaLevelFile) cannot be "
                      "opened\n"},
        BadSeriesCase{"SeaLevelWithoutPair", "sea_level.txt", "",
                      "ERROR: the sea-level file 'sea_level.txt' (SeaLevelFile) holds no pair of "
                      "a time and a value\n"},
        BadSeriesCase{"SeaLevelDecreasingTimes", "sea_level.txt", "-70000 -100\n-80000 5\n",
                      "ERROR: the sea-level file 'sea_level.txt' (SeaLevelFile) gives the time "
                      "-80000 at line 2 after the time -70000 at line 1: the times must not "
                      "decrease\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The bundled glacial example, run the way its README runs it.
TEST(LgmExampleTest, BundledEuropeLgmExampleRuns) {
    ScratchDir dir;
    fs::copy(std::string(VASTRID2_SOURCE_DIR) + "/examples/europe_lgm", dir.path(),
             fs::copy_options::recursive);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
    EXPECT_FALSE(contains(run.console, "is on the water")) << run.console;
    const std::vector<std::string> lines =
        test_support::splitLines(dir.read("arrival_cells_output.txt"));
    ASSERT_EQ(lines.size(), 20u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_FALSE(contains(lines[i], " : -1")) << "never reached: " << lines[i];
    }
    EXPECT_TRUE(contains(dir.read("vastrid2.log"), " GenerateVostok (before) at time-50000\n"));
}

}  // namespace
