// The expansion maps of a whole run, read back by GDAL as a GIS tool would.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "e2e/external_tools.h"
#include "support/test_support.h"

namespace {

using e2e_tools::contains;
using e2e_tools::quote;
using test_support::ScratchDir;

const char* const kMapLines =
    "NumGeneticSimulations=0\nArrivalMapFile=maps/arrival.asc\n"
    "FinalDensityMapFile=maps/density.asc\n";

// The value of "NAME=value" in gdalinfo's metadata, or of "Name : value" in the log.
std::string valueAfter(const std::string& text, const std::string& prefix) {
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return "";
    const size_t start = at + prefix.size();
    return text.substr(start, text.find('\n', start) - start);
}

TEST(ExpansionMapsRunTest, MapsOfTheSmallExampleOpenInGdal) {
    if (!e2e_tools::hasCommand("gdalinfo")) GTEST_SKIP() << "gdalinfo (gdal-bin) is not installed";
    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath("examples/small"), dir);
    dir.write("maps/.keep", "");
    dir.write("settings.txt", dir.read("settings.txt") + kMapLines);
    const test_support::RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    const std::string log = dir.read("vastrid2.log");

    for (const char* map : {"maps/arrival.asc", "maps/density.asc"}) {
        SCOPED_TRACE(map);
        const test_support::RunResult info =
            e2e_tools::runShell("gdalinfo -stats " + quote(dir.file(map)));
        ASSERT_EQ(info.exitStatus, 0) << info.console;
        const std::string& text = info.console;
        EXPECT_TRUE(contains(text, "Driver: AAIGrid/Arc/Info ASCII Grid")) << text;
        EXPECT_TRUE(contains(text, "Size is 57, 42")) << text;
        EXPECT_TRUE(contains(text, "Origin = (-12.000000000000000,72.000000000000000)")) << text;
        EXPECT_TRUE(contains(text, "Pixel Size = (1.000000000000000,-1.000000000000000)")) << text;
        EXPECT_TRUE(contains(text, "Type=Int32")) << text;
        EXPECT_TRUE(contains(text, "NoData Value=-9999")) << text;
        // Valid pixels are the land cells: 1386 of 57 x 42.
        EXPECT_EQ(valueAfter(text, "STATISTICS_VALID_PERCENT="), "57.89") << text;
    }
    const std::string arrival =
        e2e_tools::runShell("gdalinfo -stats " + quote(dir.file("maps/arrival.asc"))).console;
    // The last land cell reached is the date of entire colonisation of the log;
    // the islands are never reached.
    EXPECT_EQ(valueAfter(arrival, "STATISTICS_MAXIMUM="),
              valueAfter(log, "Date of entire colonization, layer 0 : "));
    EXPECT_EQ(valueAfter(arrival, "STATISTICS_MINIMUM="), "-1");
    const std::string density =
        e2e_tools::runShell("gdalinfo -stats " + quote(dir.file("maps/density.asc"))).console;
    EXPECT_EQ(valueAfter(density, "STATISTICS_MINIMUM="), "0");
    EXPECT_GT(std::stod(valueAfter(density, "STATISTICS_MEAN=")), 100.0) << density;
}

TEST(ExpansionMapsRunTest, MapThatCannotBeCreatedFailsTheRun) {
    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath("examples/small"), dir);
    dir.write("settings.txt", dir.read("settings.txt") + kMapLines);  // no maps/ folder
    const test_support::RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 1) << run.console;
    const std::string message =
        "ERROR: cannot create the expansion map file 'maps/arrival.asc' (ArrivalMapFile): No "
        "such file or directory";
    EXPECT_TRUE(contains(run.console, message)) << run.console;
    EXPECT_TRUE(contains(dir.read("vastrid2.log"), message));
    EXPECT_TRUE(contains(run.console, "THE RUN FAILED")) << run.console;
}

}  // namespace
