// Whole demographic runs through the built program: settings file in, log,
// end-of-run report, arrival-time file and exit status out.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunResult;
using test_support::ScratchDir;
using test_support::splitLines;

const std::string kTinyRun = std::string(VASTRID2_FIXTURES) + "/e2e/tiny_model1";
const char* const kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";

void copyFolder(const std::string& from, const ScratchDir& to) {
    fs::copy(from, to.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// The log after its title, the clock seed and the RandomSeed lines.
std::vector<std::string> logAfterSeed(const ScratchDir& dir) {
    const std::vector<std::string> lines = splitLines(dir.read("vastrid2.log"));
    if (lines.size() < 4) return {};
    return std::vector<std::string>(lines.begin() + 4, lines.end());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The run of tests/fixtures/e2e/tiny_model1, whose expected outputs come from
// reference_model1.py, an independent implementation of model 1 in Python.
TEST(DemographyRunTest, TinyModelOneRunMatchesTheIndependentReference) {
    ScratchDir dir;
    copyFolder(kTinyRun, dir);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, "INFO: no genetic simulations")) << run.console;
    EXPECT_TRUE(contains(run.console, std::string("\n") + kSuccessLine + "\n")) << run.console;

    EXPECT_EQ(dir.read("arrival_output.txt"),
              "TIMES OF ARRIVAL\nSource : 0\nEast : 1\nCorner : 15\nMiddle : 6\nIsolated : -1\n"
              "Last : 16\n");
    const std::vector<std::string> expectedLog = {
        "num_row: 4",
        "reading grid dataset...",
        "Num. of instanciated cells: 16",
        "Simulating demography, iteration no. 1... ",
        "The number of population source is 1",
        "ID: Start, Initial density: 20, Lat: 3.5, Long: 0.5, Initial size: 20, Long: 0.5, No "
        "resize before the expansion: 0, No bottleneck: 0, Only one source, no migration before "
        "the expansion.",
        "Input file has been sucessfully read!",
        "world simulating now over, printing report... ",
        "end of Simulate world function",
        "INFO: no genetic simulations: we do not check if historical or sampled cell do "
        "correspond to the observed situation!",
        "Date of entire colonization, layer 0 : 16",
        "Date of edge colonization, layer 0 : 1",
        "Mean number of migrants, layer 0 : 26.9375",
        " ERROR: {TDemeCollection::ReadAndWriteArrivalCell()} [the cell 'Outside' is out of World "
        "coordinates!]",
        "  line 6 of the arrival-cell file 'arrival.col' (ArrivalCellFile): layer 0, latitude (y) "
        "9.5, longitude (x) 2.5; the world spans x 0 to 5 and y 0 to 4",
        "End of Program!!"};
    EXPECT_EQ(logAfterSeed(dir), expectedLog);
}

// Settings lines appended to the tiny run's, and what the run must show.
struct FailedRunCase {
    const char* name;
    const char* settings;
    const char* message;  // in the log and on the console
    const char* logLine;  // in the log
    const char* arrivalOutput = "arrival_output.txt";
};

void PrintTo(const FailedRunCase& c, std::ostream* out) { *out << c.name; }

class FailedDemographyRunTest : public ::testing::TestWithParam<FailedRunCase> {};

// A failed run still writes the report and the arrival file, then says it failed.
TEST_P(FailedDemographyRunTest, IsReportedAsAFailure) {
    const FailedRunCase& c = GetParam();
    ScratchDir dir;
    copyFolder(kTinyRun, dir);
    dir.write("settings.txt", test_support::readFile(kTinyRun + "/settings.txt") + c.settings);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1) << run.console;
    EXPECT_FALSE(contains(run.console, kSuccessLine)) << run.console;
    EXPECT_TRUE(contains(run.console, "THE RUN FAILED")) << run.console;
    EXPECT_TRUE(contains(run.console, c.message)) << run.console;
    const std::string log = dir.read("vastrid2.log");
    EXPECT_TRUE(contains(log, c.message)) << log;
    EXPECT_TRUE(contains(log, c.logLine)) << log;
    EXPECT_TRUE(contains(log, "Date of entire colonization, layer 0 : ")) << log;
    EXPECT_TRUE(dir.exists(c.arrivalOutput));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FailedDemographyRunTest,
    ::testing::Values(
        FailedRunCase{"UnknownModel", "ChosenDemographicModel=4\n",
                      "      ERROR: [SimulateWorldBatch]: error in SimulateWorld(). Run 1\n",
                      "\n Problems with the choice of the demographic model in "
                      "World::IterateCells() --> model 4 unknown!\n"},
        // No source can start before the end of a run without generations.
        FailedRunCase{"EndTimeZero", "EndTime=0\n",
                      "      ERROR: [SimulateWorldBatch]: error in SimulateWorld(). Run 1\n",
                      "****ERROR: Population Start has an expansion time outside the range of "
                      "the number of generations simulated!"},
        FailedRunCase{"ArrivalCellOffLand", "ArrivalCellFile=off_land.col\n",
                      "[the cell named Sea' falls on a uninstanciated cell!]",
                      "  line 2 of the arrival-cell file 'off_land.col'", "off_land_output.txt"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A one-layer settings file that names a two-layer model directly is refused
// when the simulation starts.
TEST(DemographyRunTest, TwoLayerModelWithOneLayerIsRefused) {
    ScratchDir dir;
    copyFolder(kTinyRun, dir);
    dir.write("settings.txt", test_support::readFile(kTinyRun + "/settings.txt") +
                                  "ChosenDemographicModel=22\n");
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_TRUE(contains(run.console,
                         "\nFATAL ERROR: The demographic model 22 (ChosenDemographicModel) is a "
                         "two-population model, but the settings file 'settings.txt' asks for "
                         "one population (DoublePopulationMode is not 1). Set "
                         "DoublePopulationMode=1 for two populations (ChosenDemographicModel 4, 5 "
                         "and 6 then select models 21, 22 and 23), or choose model 1, 2 or 3.\n"))
        << run.console;
    EXPECT_FALSE(contains(dir.read("vastrid2.log"), "The number of population source is"));
}

// Model 3 draws random numbers: the same RandomSeed repeats the run exactly.
TEST(DemographyRunTest, StochasticRunIsRepeatedByItsSeed) {
    std::string outputs[2];
    std::vector<std::string> logs[2];
    for (int i = 0; i < 2; ++i) {
        ScratchDir dir;
        copyFolder(kTinyRun, dir);
        dir.write("settings.txt", test_support::readFile(kTinyRun + "/settings.txt") +
                                      "ChosenDemographicModel=3\n");
        const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
        ASSERT_EQ(run.exitStatus, 0) << run.console;
        outputs[i] = dir.read("arrival_output.txt");
        logs[i] = logAfterSeed(dir);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(logs[0], logs[1]);
    EXPECT_TRUE(contains(outputs[0], "Source : 0\n"));
}

// The bundled example, run the way the README runs it: from its own folder.
TEST(DemographyRunTest, BundledSmallExampleRuns) {
    ScratchDir dir;
    copyFolder(std::string(VASTRID2_SOURCE_DIR) + "/examples/small", dir);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
    ASSERT_TRUE(dir.exists("arrival_cells_output.txt"));
    const std::vector<std::string> lines = splitLines(dir.read("arrival_cells_output.txt"));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], "TIMES OF ARRIVAL");
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_FALSE(contains(lines[i], " : -1")) << "never reached: " << lines[i];
    }
}

}  // namespace
