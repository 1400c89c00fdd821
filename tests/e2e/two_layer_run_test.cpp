// Two-layer demographic runs through the built program: settings file in,
// end-of-run report and arrival-time file out.

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

const std::string kTwoLayerRun = std::string(VASTRID2_FIXTURES) + "/e2e/two_layers";
const char* const kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";

void copyFolder(const std::string& from, const ScratchDir& to) {
    fs::copy(from, to.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The log lines of the end-of-run report.
std::vector<std::string> reportLines(const std::string& log) {
    std::vector<std::string> report;
    for (const std::string& line : splitLines(log)) {
        if (line.rfind("Date of ", 0) == 0 || line.rfind("Mean ", 0) == 0) {
            report.push_back(line);
        }
    }
    return report;
}

struct TwoLayerRunCase {
    const char* name;
    const char* model;  // ChosenDemographicModel of the settings file
    const char* arrivals;
    std::vector<std::string> report;
};

void PrintTo(const TwoLayerRunCase& c, std::ostream* out) { *out << c.name; }

class TwoLayerRunTest : public ::testing::TestWithParam<TwoLayerRunCase> {};

// The run of tests/fixtures/e2e/two_layers, whose expected outputs come from
// reference_two_layers.py, an independent implementation in Python.
TEST_P(TwoLayerRunTest, MatchesTheIndependentReference) {
    const TwoLayerRunCase& c = GetParam();
    ScratchDir dir;
    copyFolder(kTwoLayerRun, dir);
    dir.write("settings.txt", test_support::readFile(kTwoLayerRun + "/settings.txt") +
                                  "ChosenDemographicModel=" + c.model + "\n");
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
    EXPECT_EQ(dir.read("arrival_output.txt"), c.arrivals);
    const std::string log = dir.read("vastrid2.log");
    EXPECT_EQ(reportLines(log), c.report) << log;
    EXPECT_TRUE(contains(log,
                         "New source Second is generated from 20 individuals from layer 0 at time "
                         "4 (Ancestral density before: 29, after: 9 )\n"))
        << log;
}

INSTANTIATE_TEST_SUITE_P(
    Models, TwoLayerRunTest,
    ::testing::Values(
        TwoLayerRunCase{"Model4RunsModel21",
                        "4",
                        "TIMES OF ARRIVAL\nSource : 0\nSourceP2 : 4\nBarren : -1\nBarrenP2 : 6\n"
                        "FarCorner : 18\nFarCornerP2 : 14\n",
                        {"Date of entire colonization, layer 0 : 18",
                         "Date of edge colonization, layer 0 : 1",
                         "Mean number of migrants, layer 0 : 22.0769",
                         "Date of entire colonization, layer 1 : 14",
                         "Date of edge colonization, layer 1 : 4",
                         "Mean number of migrants, layer 1 : 74.1154",
                         "Mean number of migrants interdeme : 41.3846",
                         "Mean cohabitation time : 14.8462"}},
        TwoLayerRunCase{"Model5RunsModel22",
                        "5",
                        "TIMES OF ARRIVAL\nSource : 0\nSourceP2 : 4\nBarren : -1\nBarrenP2 : 6\n"
                        "FarCorner : 19\nFarCornerP2 : 15\n",
                        {"Date of entire colonization, layer 0 : 19",
                         "Date of edge colonization, layer 0 : 1",
                         "Mean number of migrants, layer 0 : 7.96154",
                         "Date of entire colonization, layer 1 : 15",
                         "Date of edge colonization, layer 1 : 4",
                         "Mean number of migrants, layer 1 : 55.9231",
                         "Mean number of migrants interdeme : 18.4615",
                         "Mean cohabitation time : 14.5385"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The bundled two-layer example, run from its own folder.
TEST(TwoLayerExampleTest, BundledTwoLayerExampleRuns) {
    ScratchDir dir;
    copyFolder(std::string(VASTRID2_SOURCE_DIR) + "/examples/two_layers", dir);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
    const std::string log = dir.read("vastrid2.log");
    EXPECT_TRUE(contains(log, "New source Farmers is generated from ")) << log;
    ASSERT_EQ(reportLines(log).size(), 8u) << log;
    ASSERT_TRUE(dir.exists("arrival_cells_output.txt"));
    const std::vector<std::string> lines = splitLines(dir.read("arrival_cells_output.txt"));
    ASSERT_GT(lines.size(), 1u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_FALSE(contains(lines[i], " : -1")) << "never reached: " << lines[i];
    }
}

}  // namespace
