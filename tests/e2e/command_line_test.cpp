// The program as a user meets it: help, command-line errors and settings errors,
// with the exact console and log lines and the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using test_support::RunResult;
using test_support::ScratchDir;

const char* const kHelpScreen =
    "\n***************************************************************\n"
    "\n"
    "\n\n"
    "Syntax for the command line VASTRID2 program :\n\n"
    "1)\tvastrid2 [-h]\n"
    "\toutputs this message.\n\n"
    "2)\tvastrid2 [SettingsFilename.txt]\n"
    "\tSettingsFilename.txt targets a SETTINGS text file listing\n"
    "\tall settings for the program. See VASTRID2 User Guide\n"
    "\tfor the list of available settings.\n"
    "\n***************************************************************\n\n"
    "\n";

TEST(CommandLineTest, HelpScreenForNoArgumentOrDashH) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"-h"}, {"-H"}}) {
        ScratchDir dir;
        RunResult run = test_support::runProgram(dir.path(), arguments);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.console, kHelpScreen);
    }
}

struct CommandLineErrorCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* message;
};

class CommandLineErrorTest : public ::testing::TestWithParam<CommandLineErrorCase> {};

TEST_P(CommandLineErrorTest, ReportsFatalErrorOnConsoleAndLog) {
    const CommandLineErrorCase& c = GetParam();
    ScratchDir dir;
    RunResult run = test_support::runProgram(dir.path(), c.arguments);
    const std::string expected = std::string("\nFATAL ERROR: ") + c.message + "\n";
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.console, expected);
    EXPECT_EQ(dir.read("vastrid2.log"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CommandLineErrorTest,
    ::testing::Values(
        CommandLineErrorCase{"TwoArguments", {"a.txt", "b.txt"},
                             "Wrong number of parameters. Type vastrid2 -h for usage."},
        CommandLineErrorCase{"MissingSettingsFile", {"absent.txt"},
                             "Unable to open setting file. Check its name and retry."},
        CommandLineErrorCase{"HyphenArgumentIsAFileName", {"-x"},
                             "Unable to open setting file. Check its name and retry."}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The log starts with the title and seed lines; the console shows the seed too.
void expectSeededStart(const std::vector<std::string>& log, const std::string& console) {
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "VASTRID2 Logfile");
    EXPECT_EQ(log[1], "*******************");
    EXPECT_EQ(log[2].rfind("Random generator initialized with lidum=", 0), 0u) << log[2];
    const std::string lidum = log[2].substr(std::string("Random generator initialized with lidum=").size());
    EXPECT_NE(console.find("Random generator initialized with seed=" + lidum + "\n"), std::string::npos);
}

TEST(CommandLineTest, MissingRequiredKeyStopsTheBuild) {
    ScratchDir dir;
    dir.write("settings.txt", "DoublePopulationMode=0\nEndTime=10\n");
    RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1);
    const std::string fatal =
        "\nFATAL ERROR: The parameter 'PresVegetationFile' is not defined in the inputfile!\n";
    EXPECT_NE(run.console.find("Reading inputfile 'settings.txt' .....\n"), std::string::npos);
    EXPECT_NE(run.console.find("Building World ... " + fatal), std::string::npos) << run.console;
    const std::string log = dir.read("vastrid2.log");
    expectSeededStart(test_support::splitLines(log), run.console);
    EXPECT_NE(log.find(fatal), std::string::npos) << log;
    EXPECT_EQ(run.console.find("SUCCESSFULLY"), std::string::npos);
}

TEST(CommandLineTest, MissingDoublePopulationModeIsFatal) {
    ScratchDir dir;
    dir.write("settings.txt", "EndTime=10\n");
    RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.console.find(
                  "\nFATAL ERROR: The parameter 'DoublePopulationMode' is not defined in the inputfile!\n"),
              std::string::npos)
        << run.console;
}

TEST(CommandLineTest, RandomSeedReinitialisesTheStreamAndSaysSo) {
    ScratchDir dir;
    dir.write("settings.txt", "DoublePopulationMode=0\nRandomSeed=-12345\n");
    RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    const std::string line = "Random generator re-initialized from RandomSeed with lidum=-12345\n";
    EXPECT_NE(run.console.find(line), std::string::npos) << run.console;
    EXPECT_NE(dir.read("vastrid2.log").find(line), std::string::npos);
}

}  // namespace
