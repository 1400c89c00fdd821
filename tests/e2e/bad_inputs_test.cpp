// Bad input files run through the built program, one table row per kind of
// fault and file (docs/bad-inputs.md lists the same rows): the exit status, the
// message on the console and in the log, and never a sanitizer report. A fault
// the program reads through (Windows line ends, no final newline, a long
// comment) must give the very outputs of the untouched input.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunResult;
using test_support::ScratchDir;

using Mutation = std::function<void(const ScratchDir&)>;

// The small valid inputs that the cases mutate, and the settings file of each.
struct Fixture {
    const char* folder;  // under tests/fixtures/e2e
    const char* settings;
};
const Fixture kTiny{"tiny_model1", "settings.txt"};   // one layer, no genetics
const Fixture kGenetic{"genetic/input", "run1.txt"};  // with samples and .par
const Fixture kLgm{"lgm", "settings.txt"};            // climate, sea level, altitude

struct BadInputCase {
    const char* name;
    Fixture fixture;
    Mutation mutate;
    int exitStatus;
    // Expected on the console and in the log; empty: the outputs of the untouched input.
    std::string message;
};

// ---------------------------------------------------------------------------
// Mutations

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
    return text.replace(at, from.size(), to);
}

Mutation edit(const std::string& file, const std::string& from, const std::string& to) {
    return [=](const ScratchDir& dir) { dir.write(file, replaced(dir.read(file), from, to)); };
}
Mutation write(const std::string& file, const std::string& text) {
    return [=](const ScratchDir& dir) { dir.write(file, text); };
}
Mutation append(const std::string& file, const std::string& text) {
    return [=](const ScratchDir& dir) { dir.write(file, dir.read(file) + text); };
}
Mutation remove(const std::string& file) {
    return [=](const ScratchDir& dir) { fs::remove(dir.file(file)); };
}
Mutation windowsLineEnds(const std::string& file) {
    return [=](const ScratchDir& dir) {
        std::string text;
        for (char c : dir.read(file)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        dir.write(file, text);
    };
}
Mutation noFinalNewline(const std::string& file) {
    return [=](const ScratchDir& dir) {
        std::string text = dir.read(file);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        dir.write(file, text);
    };
}
// The first n lines only.
Mutation truncated(const std::string& file, size_t n) {
    return [=](const ScratchDir& dir) {
        std::string text;
        const std::vector<std::string> lines = test_support::splitLines(dir.read(file));
        for (size_t i = 0; i < n && i < lines.size(); ++i) text += lines[i] + "\n";
        dir.write(file, text);
    };
}
// The value of a key of the settings file (the last line for a key counts).
Mutation setting(const Fixture& fixture, const std::string& key, const std::string& value) {
    return append(fixture.settings, key + "=" + value + "\n");
}
Mutation both(Mutation first, Mutation second) {
    return [=](const ScratchDir& dir) {
        first(dir);
        second(dir);
    };
}

const std::string kLong(20000, 'x');

// ---------------------------------------------------------------------------
// Running a case

std::set<std::string> filesUnder(const std::string& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    }
    return files;
}

struct Outcome {
    RunResult run;
    std::string log;
    std::map<std::string, std::string> outputs;  // files the run made, but the log
};

Outcome runMutated(const Fixture& fixture, const Mutation& mutate) {
    ScratchDir dir;
    fs::copy(std::string(VASTRID2_FIXTURES) + "/e2e/" + fixture.folder, dir.path(),
             fs::copy_options::recursive);
    if (mutate) mutate(dir);
    const std::set<std::string> inputs = filesUnder(dir.path());
    Outcome outcome;
    outcome.run = test_support::runProgram(dir.path(), {fixture.settings});
    outcome.log = dir.read("vastrid2.log");
    for (const std::string& file : filesUnder(dir.path())) {
        if (inputs.count(file) == 0 && file != "vastrid2.log") {
            outcome.outputs[file] = dir.read(file);
        }
    }
    return outcome;
}

const Outcome& untouchedRun(const Fixture& fixture) {
    static std::map<std::string, Outcome> runs;
    auto it = runs.find(fixture.folder);
    if (it == runs.end()) it = runs.emplace(fixture.folder, runMutated(fixture, nullptr)).first;
    return it->second;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void PrintTo(const BadInputCase& c, std::ostream* out) {
    *out << c.name;
}

class BadInputTest : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadInputTest, ReportsOrReadsThrough) {
    const BadInputCase& c = GetParam();
    const Outcome outcome = runMutated(c.fixture, c.mutate);
    const std::string& console = outcome.run.console;
    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error:"}) {
        EXPECT_FALSE(contains(console, report)) << console;
    }
    EXPECT_EQ(outcome.run.exitStatus, c.exitStatus) << console;
    if (c.message.empty()) {
        const Outcome& untouched = untouchedRun(c.fixture);
        ASSERT_EQ(untouched.run.exitStatus, 0) << untouched.run.console;
        EXPECT_EQ(outcome.outputs, untouched.outputs);
    } else {
        EXPECT_TRUE(contains(console, c.message)) << console;
        EXPECT_TRUE(contains(outcome.log, c.message)) << outcome.log;
    }
}

std::string caseName(const ::testing::TestParamInfo<BadInputCase>& info) {
    return info.param.name;
}

const char* const kCarriageReturnNote =
    "  (the name ends with a carriage return: the settings file has Windows line ends; convert "
    "it with dos2unix or sed -i 's/\\r$//')";

// ---------------------------------------------------------------------------
// The settings file

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kTiny, remove("settings.txt"), 1,
                     "Unable to open setting file. Check its name and retry."},
        BadInputCase{"Empty", kTiny, write("settings.txt", ""), 1,
                     "The parameter 'DoublePopulationMode' is not defined in the inputfile!"},
        BadInputCase{"Truncated", kTiny, truncated("settings.txt", 7), 1,
                     "The parameter 'GenerationTime' is not defined in the inputfile!"},
        BadInputCase{"IntegerWithoutDigits", kTiny, setting(kTiny, "EndTime", "abc"), 1,
                     "EndTime = -1 in the settings file 'settings.txt' cannot size the "
                     "demographic history"},
        BadInputCase{"NegativeEndTime", kTiny, setting(kTiny, "EndTime", "-5"), 1,
                     "EndTime = -5 in the settings file 'settings.txt'"},
        BadInputCase{
            "HistoryTooLargeForMemory", kTiny,
            both(setting(kTiny, "GenerationTime", "1"), setting(kTiny, "EndTime", "2000000000")), 2,
            "The demographic history needs 596.05 GiB"},
        BadInputCase{"YearsOverflow", kTiny, setting(kTiny, "GenerationTime", "1000000000"), 1,
                     "GenerationTime = 1000000000 and EndTime = 20 in the settings file "
                     "'settings.txt' make a run of 20000000000 years"},
        BadInputCase{"NaNRate", kTiny, setting(kTiny, "GrowthRate", "nan"), 1,
                     "The value 'nan' of the parameter 'GrowthRate' in the settings file "
                     "'settings.txt' is not a finite number."},
        BadInputCase{"InfiniteRate", kTiny, setting(kTiny, "MigrationRate", "-inf"), 1,
                     "The value '-inf' of the parameter 'MigrationRate'"},
        BadInputCase{"UnknownModel", kTiny, setting(kTiny, "ChosenDemographicModel", "9"), 1,
                     "ERROR: [SimulateWorldBatch]: error in SimulateWorld(). Run 1"},
        BadInputCase{"WindowsLineEnds", kTiny, windowsLineEnds("settings.txt"), 1,
                     kCarriageReturnNote},
        BadInputCase{"CarriageReturnInPopulationFileName", kTiny,
                     setting(kTiny, "PopDensityFile", "population.txt\r"), 1,
                     std::string("the population file 'population.txt\r' cannot be opened\n") +
                         kCarriageReturnNote},
        BadInputCase{"CarriageReturnInListFileName", kTiny,
                     setting(kTiny, "Veg2FFile", "veg2f_list.txt\r"), 1,
                     std::string("named by Veg2FFile\n") + kCarriageReturnNote},
        BadInputCase{"CarriageReturnInArrivalFileName", kTiny,
                     setting(kTiny, "ArrivalCellFile", "arrival.col\r"), 0, kCarriageReturnNote},
        BadInputCase{"CarriageReturnInSampleFileName", kGenetic,
                     setting(kGenetic, "SampleFile", "samples/pop.sam\r"), 1,
                     std::string("the file cannot be opened)\n") + kCarriageReturnNote},
        BadInputCase{"CarriageReturnInClimateFileName", kLgm,
                     setting(kLgm, "VostokFile", "climate.txt\r"), 1,
                     std::string("(VostokFile) cannot be opened\n") + kCarriageReturnNote},
        BadInputCase{"NoFinalNewline", kTiny, noFinalNewline("settings.txt"), 0, ""},
        BadInputCase{"LineOver10000Characters", kTiny, append("settings.txt", "# " + kLong + "\n"),
                     0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// Grid files

INSTANTIATE_TEST_SUITE_P(
    GridFiles, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kTiny, remove("veg.asc"), 1,
                     "unable to open the present vegetation file 'veg.asc'"},
        BadInputCase{"Empty", kTiny, write("veg.asc", ""), 1,
                     "the header of the grid file 'veg.asc' cannot be read"},
        BadInputCase{"HeaderOnly", kTiny, truncated("veg.asc", 6), 1,
                     "the grid file 'veg.asc' ends after 0 of 20 values, at row 0, column 0"},
        BadInputCase{"TruncatedData", kTiny, truncated("veg.asc", 8), 1,
                     "the grid file 'veg.asc' ends after 10 of 20 values, at row 2, column 0"},
        BadInputCase{"TextInHeader", kTiny, edit("veg.asc", "ncols 5", "ncols five"), 1,
                     "where the value of line 1 (ncols) is due"},
        BadInputCase{"TextInData", kTiny, edit("veg.asc", "1 1 2 -9999 1", "1 x 2 -9999 1"), 1,
                     "holds 'x' where an integer is due, at row 0, column 1"},
        BadInputCase{"RealInIntegerMap", kTiny, edit("veg.asc", "1 1 2 -9999 1", "1 1.5 2 -9999 1"),
                     1, "holds '1.5' where an integer is due, at row 0, column 1"},
        BadInputCase{"ValueOutOfRange", kTiny,
                     edit("veg.asc", "1 1 2 -9999 1", "1 99999999999 2 -9999 1"), 1,
                     "holds a number out of range where an integer is due, at row 0, column 1"},
        BadInputCase{"NegativeColumns", kTiny, edit("veg.asc", "ncols 5", "ncols -5"), 1,
                     "ncols must be at least 1, found -5"},
        BadInputCase{"HugeGrid", kTiny,
                     both(edit("veg.asc", "ncols 5", "ncols 2000000000"),
                          edit("veg.asc", "nrows 4", "nrows 2000000000")),
                     1, "more than the 2147483647 cells a world can hold"},
        BadInputCase{"CellsBeyondMemory", kTiny,
                     both(edit("veg.asc", "ncols 5", "ncols 2000000000"),
                          edit("veg.asc", "nrows 4", "nrows 1")),
                     1, "(PresVegetationFile) has 1 rows and 2000000000 columns"},
        BadInputCase{"ZeroCellSize", kTiny, edit("veg.asc", "cellsize 1", "cellsize 0"), 1,
                     "cellsize must be a positive number, found 0"},
        BadInputCase{"NaNCellSize", kTiny, edit("veg.asc", "cellsize 1", "cellsize nan"), 1,
                     "where the value of line 5 (cellsize) is due"},
        BadInputCase{"ClassAboveTables", kTiny,
                     edit("veg.asc", "1 1 2 -9999 1", "1 10001 2 -9999 1"), 1,
                     "The vegetation class 10001 of the land cell at row 0, column 1"},
        BadInputCase{"NegativeClass", kTiny, edit("veg.asc", "1 1 2 -9999 1", "1 -3 2 -9999 1"), 1,
                     "The vegetation class -3 of the land cell at row 0, column 1"},
        BadInputCase{"NaNAltitude", kLgm, edit("altitude.asc", "10 10 10", "nan 10 10"), 1,
                     "the grid file 'altitude.asc' holds 'nan' where a number is due, at row 0, "
                     "column 0"},
        BadInputCase{"AltitudeMissing", kLgm, remove("altitude.asc"), 1,
                     "Cannot read the altitude topo file"},
        BadInputCase{"AltitudeHeaderMismatch", kLgm,
                     edit("altitude.asc", "xllcorner 0", "xllcorner 0.0001"), 1,
                     "      ERROR: the lower left x coordinate is not equal among all input maps}\n"
                     "  in file 'altitude.asc'"},
        BadInputCase{"GlacialMapMissing", kLgm, remove("veg_lgm.asc"), 1,
                     "ImportExportUtils::readLGMVegetation() : Cannot read the LGMveg file"},
        BadInputCase{"GlacialMapRowsMismatch", kLgm, edit("veg_lgm.asc", "nrows 1", "nrows 2"), 1,
                     "      ERROR: the number of rows is not equal among all input maps}"},
        BadInputCase{"RiverMapMissing", kTiny, setting(kTiny, "HydroFile", "rivers.asc"), 1,
                     "ImportExportUtils::readHydro() : Cannot read the Hydro file"},
        BadInputCase{"RiverMapCellSizeMismatch", kTiny,
                     both(setting(kTiny, "HydroFile", "veg2.asc"),
                          [](const ScratchDir& dir) {
                              dir.write("veg2.asc",
                                        replaced(dir.read("veg.asc"), "cellsize 1", "cellsize 2"));
                          }),
                     1, "      ERROR: the cell size is not equal among all input maps}"},
        BadInputCase{"MigrationMapHeaderTruncated", kTiny,
                     both(setting(kTiny, "mMapFile", "m.asc"), write("m.asc", "ncols 5\n")), 1,
                     "Cannot read the m_MapFile grid header"},
        BadInputCase{"WindowsLineEnds", kTiny, windowsLineEnds("veg.asc"), 0, ""},
        BadInputCase{"NoFinalNewline", kTiny, noFinalNewline("veg.asc"), 0, ""},
        BadInputCase{"HeaderLineOver10000Characters", kTiny,
                     edit("veg.asc", "ncols 5", "ncols 5 " + kLong), 0, ""},
        BadInputCase{"NoDataWrittenAsReal", kTiny,
                     edit("veg.asc", "NODATA_value -9999", "NODATA_value -9999.0"), 0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// Conversion tables and their lists

INSTANTIATE_TEST_SUITE_P(
    ConversionTables, BadInputTest,
    ::testing::Values(
        BadInputCase{
            "ListMissing", kTiny, remove("veg2k_list.txt"), 1,
            "Unable to open the dynamic conversion table Veg2K file. Check its name in the "
            "settings file and retry."},
        BadInputCase{"ListEmpty", kTiny, write("veg2k_list.txt", ""), 1,
                     "named by Veg2KFile does not start with its number of entries"},
        BadInputCase{"ListCountNegative", kTiny, write("veg2k_list.txt", "-1\n0 veg2k.txt\n"), 1,
                     "announces -1 entries; a list holds 0 to 200"},
        BadInputCase{"ListCountTooLarge", kTiny, write("veg2k_list.txt", "201\n0 veg2k.txt\n"), 1,
                     "announces 201 entries; a list holds 0 to 200"},
        BadInputCase{"ListTruncated", kTiny, write("veg2k_list.txt", "3\n0 veg2k.txt\n"), 1,
                     "ends before entry 2 of 3"},
        BadInputCase{"ListGenerationNotANumber", kTiny,
                     write("veg2k_list.txt", "2\n0 veg2k.txt\nten veg2k.txt\n"), 1,
                     "holds no generation number at entry 2 of 2 (line 3)"},
        BadInputCase{"ListGenerationsNotIncreasing", kTiny,
                     write("veg2f_list.txt", "3\n0 veg2f.txt\n10 veg2f.txt\n10 veg2f.txt\n"), 1,
                     "Error: the generations in the corresponding table for F are not in an "
                     "increasing order!"},
        BadInputCase{"ListNamesMissingTable", kTiny, write("veg2k_list.txt", "1\n0 absent.txt\n"),
                     1,
                     "ImportExportUtils::readConversionTable_for_K() : Cannot read the "
                     "conversion Table for K\n  in file 'absent.txt'"},
        BadInputCase{"MigrationListMissing", kTiny, setting(kTiny, "Veg2mFile", "m_list.txt"), 1,
                     "Unable to open the dynamic conversion table Veg2m file."},
        BadInputCase{"FrictionTableMissing", kTiny, remove("veg2f.txt"), 1,
                     "ImportExportUtils::readConversionTable_for_F() : Cannot read one of the "
                     "conversion Tables"},
        BadInputCase{"CarryingCapacityClassAbove10000", kTiny, append("veg2k.txt", "10001 5 x\n"),
                     1,
                     "one of the vegetation ID is greater than 10000\n  in file 'veg2k.txt', "
                     "line 3, vegetation ID 10001"},
        BadInputCase{"CarryingCapacityClassNegative", kTiny, append("veg2k.txt", "-1 5 x\n"), 1,
                     "one of the vegetation ID is below 0"},
        BadInputCase{"FrictionClassAbove10000IsSkipped", kTiny,
                     append("veg2f.txt", "10001 0.5 x\n"), 0,
                     "WARNING: one of the vegetation ID is greater than 10000"},
        BadInputCase{"FrictionClassNegative", kTiny, append("veg2f.txt", "-1 0.5 x\n"), 1,
                     "Problems with adding F values in vector"},
        BadInputCase{"ListWindowsLineEnds", kTiny, windowsLineEnds("veg2k_list.txt"), 0, ""},
        BadInputCase{"TablesWindowsLineEnds", kTiny,
                     both(windowsLineEnds("veg2k.txt"), windowsLineEnds("veg2f.txt")), 0, ""},
        BadInputCase{"TablesNoFinalNewline", kTiny,
                     both(noFinalNewline("veg2k.txt"), noFinalNewline("veg2f.txt")), 0, ""},
        BadInputCase{"TableLineOver10000Characters", kTiny,
                     edit("veg2k.txt", "200 open", "200 open " + kLong), 0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// The population-source file

INSTANTIATE_TEST_SUITE_P(
    PopulationFile, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kTiny, remove("population.txt"), 1,
                     "****ERROR: the population file 'population.txt' cannot be opened"},
        BadInputCase{"Empty", kTiny, write("population.txt", ""), 1,
                     "does not begin with the number of population sources (the file ends)"},
        BadInputCase{"CountNotANumber", kTiny, write("population.txt", "one\n"), 1,
                     "does not begin with the number of population sources ('one' was found)"},
        BadInputCase{"CountNegative", kTiny,
                     write("population.txt", "-2\nStart 20 3.5 0.5 0 0 0 0 0 0\n"), 1,
                     "gives a negative number of population sources"},
        BadInputCase{"CountHuge", kTiny,
                     write("population.txt", "2000000000\nStart 20 3.5 0.5 0 0 0 0 0 0\n"), 1,
                     "record 2 of 2000000000 cannot be read: the name of the source is due but "
                     "the file ends"},
        BadInputCase{"Truncated", kTiny, write("population.txt", "1\nStart 20 3.5 0.5 0 0\n"), 1,
                     "secondResize is due, an integer, but the file ends"},
        BadInputCase{"SizeNotANumber", kTiny,
                     write("population.txt", "1\nStart twenty 3.5 0.5 0 0 0 0 0 0\n"), 1,
                     "initialSize is due, an integer, but 'twenty' was found"},
        BadInputCase{"SizeBeyond32Bits", kTiny,
                     write("population.txt", "1\nStart 99999999999 3.5 0.5 0 0 0 0 0 0\n"), 1,
                     "initialSize is due, an integer, but '99999999999' was found"},
        BadInputCase{"SizeZero", kTiny, write("population.txt", "1\nStart 0 3.5 0.5 0 0 0 0 0 0\n"),
                     1,
                     "****ERROR: Population Start has an initial size of 0 individuals or less!"},
        BadInputCase{"NaNLatitude", kTiny,
                     write("population.txt", "1\nStart 20 nan 0.5 0 0 0 0 0 0\n"), 1,
                     "latitude is due, a real number, but 'nan' was found"},
        BadInputCase{"LayerTooLarge", kTiny,
                     write("population.txt", "1\nStart 20 3.5 0.5 0 0 0 0 1 0\n"), 1,
                     "****ERROR: Population Start has a wrong deme number!"},
        BadInputCase{"LayerNegative", kTiny,
                     write("population.txt", "1\nStart 20 3.5 0.5 0 0 0 0 -1 0\n"), 1,
                     "record 1 of 1: layer = -1, the layers of this run are 0 to 0"},
        BadInputCase{"ExpansionTimeAtEnd", kTiny,
                     write("population.txt", "1\nStart 20 3.5 0.5 0 0 0 0 0 20\n"), 1,
                     "has an expansion time outside the range of the number of generations "
                     "simulated!"},
        BadInputCase{
            "NameOver99Characters", kTiny,
            write("population.txt", "1\n" + std::string(120, 'N') + " 20 3.5 0.5 0 0 0 0 0 0\n"), 1,
            "the name of the source has 120 characters, more than the 99 allowed"},
        BadInputCase{"OutOfWorld", kTiny,
                     write("population.txt", "1\nStart 20 9.5 0.5 0 0 0 0 0 0\n"), 0,
                     "[the population 'Start' is out of World coordinates!]"},
        BadInputCase{"OnWater", kTiny, write("population.txt", "1\nStart 20 3.5 3.5 0 0 0 0 0 0\n"),
                     0, "[the population 'Start' is on water!]"},
        // The north-west corner of the world is the source's cell (row 0, column 0).
        BadInputCase{"OnTheUpperLeftCorner", kTiny,
                     write("population.txt", "1\nStart 20 4 0 0 0 0 0 0 0\n"), 0, ""},
        BadInputCase{"WindowsLineEnds", kTiny, windowsLineEnds("population.txt"), 0, ""},
        BadInputCase{"NoFinalNewline", kTiny, noFinalNewline("population.txt"), 0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// The arrival-cell list

INSTANTIATE_TEST_SUITE_P(
    ArrivalCells, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kTiny, remove("arrival.col"), 0,
                     "the arrival-cell file 'arrival.col' (ArrivalCellFile) cannot be opened; "
                     "'arrival_output.txt' holds only its title"},
        BadInputCase{"Empty", kTiny, write("arrival.col", ""), 1,
                     "ERROR: the number of arrival cells cannot be read: ''"},
        BadInputCase{"CountNotANumber", kTiny, write("arrival.col", "x\n"), 1,
                     "ERROR: the number of arrival cells cannot be read: 'x'"},
        BadInputCase{"Truncated", kTiny, write("arrival.col", "3\nSource 0 3.5 0.5 0\n"), 1,
                     "ERROR: the arrival-cell file ends after 1 of the 3 cells its first line "
                     "announces"},
        BadInputCase{"LayerNotANumber", kTiny, write("arrival.col", "1\nSource zero 3.5 0.5 0\n"),
                     1, "found 'Source zero 3.5 0.5 0'\n  line 2 of the arrival-cell file"},
        BadInputCase{"NaNLatitude", kTiny, write("arrival.col", "1\nSource 0 nan 0.5 0\n"), 1,
                     "an arrival cell must be given as: name layer latitude longitude value"},
        BadInputCase{"LayerTooLarge", kTiny, write("arrival.col", "1\nSource 1 3.5 0.5 0\n"), 1,
                     "[the no of deme # Source does not exist!]"},
        BadInputCase{"LayerNegative", kTiny, write("arrival.col", "1\nSource -1 3.5 0.5 0\n"), 1,
                     "layer -1, latitude (y) 3.5, longitude (x) 0.5; the layers of this run are 0 "
                     "to 0"},
        BadInputCase{"OnWater", kTiny, write("arrival.col", "1\nSea 0 3.5 3.5 0\n"), 1,
                     "[the cell named Sea' falls on a uninstanciated cell!]"},
        BadInputCase{"OutOfWorld", kTiny, write("arrival.col", "1\nFar 0 9.5 0.5 0\n"), 0,
                     "[the cell 'Far' is out of World coordinates!]"},
        BadInputCase{"LineOver10000Characters", kTiny,
                     write("arrival.col", "1\n" + kLong + " 0 3.5 0.5 0\n"), 1,
                     "an arrival cell must be given as"},
        BadInputCase{"WindowsLineEnds", kTiny, windowsLineEnds("arrival.col"), 0, ""},
        BadInputCase{"NoFinalNewline", kTiny, noFinalNewline("arrival.col"), 0, ""}),
    caseName);

// Points on every edge and corner of the world belong to the cells along it.
TEST(BadInputEdgesTest, ArrivalCellsOnEveryEdgeOfTheWorld) {
    const Outcome outcome = runMutated(
        kTiny,
        write("arrival.col",
              "8\nLowerLeft 0 0 0 0\nUpperRight 0 4 5 0\nUpperLeft 0 4 0 0\nLowerRight 0 0 5 "
              "0\nWest 0 3.5 0 0\nEast 0 3.5 5 0\nNorth 0 4 0.5 0\nSouth 0 0 4.5 0\n"));
    EXPECT_EQ(outcome.run.exitStatus, 0) << outcome.run.console;
    // Rows from the north; the source is at row 0, column 0 (see tiny_model1's arrival.col).
    EXPECT_EQ(outcome.outputs.at("arrival_output.txt"),
              "TIMES OF ARRIVAL\nLowerLeft : -1\nUpperRight : 15\nUpperLeft : 0\nLowerRight : 16\n"
              "West : 0\nEast : 15\nNorth : 0\nSouth : 16\n");
}

// ---------------------------------------------------------------------------
// The sample file

const std::string kSam = "samples/pop.sam";

INSTANTIATE_TEST_SUITE_P(
    SampleFile, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kGenetic, remove(kSam), 1,
                     "(in sample file 'samples/pop.sam': the file cannot be opened)"},
        BadInputCase{"Empty", kGenetic, write(kSam, ""), 1,
                     "line 1: the first line must give the number of samples (\"\")"},
        BadInputCase{"CountNegative", kGenetic, write(kSam, "-1\n"), 1,
                     "the first line must give the number of samples (\"-1\")"},
        BadInputCase{"CountHuge", kGenetic, write(kSam, "2000000000\nCorner 4 0 3.5 0.5\n"), 1,
                     "the file ends after 1 of its 2000000000 samples"},
        BadInputCase{"Truncated", kGenetic, truncated(kSam, 2), 1,
                     "the file ends after 1 of its 3 samples"},
        BadInputCase{"SizeNotANumber", kGenetic, write(kSam, "1\nCorner four 0 3.5 0.5\n"), 1,
                     "line 2: a sample line needs a name"},
        BadInputCase{"SizeNegative", kGenetic, write(kSam, "1\nCorner -4 0 3.5 0.5\n"), 1,
                     "(\"Corner -4 0 3.5 0.5\")"},
        BadInputCase{"SizeHuge", kGenetic, write(kSam, "1\nCorner 2000000000 0 3.5 0.5\n"), 1,
                     "is smaller than the sample size (2000000000)!]"},
        BadInputCase{"OddSizeInGenotypicMode", kGenetic, setting(kGenetic, "GenotypicData", "1"), 1,
                     " ERROR: When simulating genotypic data, each (haploid) sample size\n"
                     " must be an even number. Please correct your sample file (*.sam)."},
        BadInputCase{"LayerTooLarge", kGenetic, write(kSam, "1\nCorner 4 1 3.5 0.5\n"), 1,
                     "ERROR:[the no of deme # Corner does not exist!]"},
        BadInputCase{"LayerNegative", kGenetic, write(kSam, "1\nCorner 4 -1 3.5 0.5\n"), 1,
                     "line 2: layer -1; this sample and the ones after it are not used"},
        BadInputCase{"OutOfWorld", kGenetic,
                     write(kSam, "2\nFar 4 0 9.5 0.5\nCorner 4 0 3.5 0.5\n"), 0,
                     " ERROR: [the population 'Far' is out of World coordinates!]"},
        BadInputCase{"OnWater", kGenetic, write(kSam, "2\nSea 4 0 3.5 3.5\nCorner 4 0 3.5 0.5\n"),
                     0, " WARNING: [the population 'Sea' is on the water!]"},
        BadInputCase{"OnEveryEdge", kGenetic,
                     write(kSam, "4\nUL 2 0 4 0\nUR 2 0 4 5\nLR 2 0 0 5\nLL 2 0 0 0\n"), 0,
                     "[the population 'LL' has not been colonised or it's density (0)"},
        BadInputCase{"NaNLatitude", kGenetic, write(kSam, "1\nCorner 4 0 nan 0.5\n"), 1,
                     "(\"Corner 4 0 nan 0.5\")"},
        BadInputCase{"NameOf10000Characters", kGenetic,
                     write(kSam, "1\n" + std::string(10000, 'n') + " 4 0 3.5 0.5\n"), 1,
                     "a sample line needs a name (under 10000 characters)"},
        BadInputCase{"WindowsLineEnds", kGenetic, windowsLineEnds(kSam), 0, ""},
        BadInputCase{"NoFinalNewline", kGenetic, noFinalNewline(kSam), 0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// The genetic parameter file

const std::string kPar = "dna_microsat.par";

INSTANTIATE_TEST_SUITE_P(
    GeneticParameterFile, BadInputTest,
    ::testing::Values(
        BadInputCase{"Missing", kGenetic, remove(kPar), 1,
                     "****ERROR:{World::SimulateGeneticData()} [Number of chromosome < 1!]"},
        BadInputCase{"Empty", kGenetic, write(kPar, ""), 1,
                     "the first line must give the number of chromosomes, 1 or more"},
        BadInputCase{"CountHuge", kGenetic,
                     edit(kPar, "2\n#chromosome 1", "2000000000\n#chromosome 1"), 1,
                     "ends at line 7 before the \"#chromosome\" line of chromosome 3 of "
                     "2000000000"},
        BadInputCase{"Truncated", kGenetic, write(kPar, "1\n#chromosome 1\n1\n"), 1,
                     "the file ends after 0 of the 1 blocks of chromosome 1"},
        BadInputCase{"BlocksNotANumber", kGenetic,
                     edit(kPar, "DNA sequence\n1\n", "DNA sequence\none\n"), 1,
                     "line 3: the number of linkage blocks of chromosome 1 cannot be read"},
        BadInputCase{"LociNegative", kGenetic, edit(kPar, "DNA 12", "DNA -12"), 1,
                     "line 4: a block line needs a data type, a number of loci (0 or more)"},
        BadInputCase{"LociHuge", kGenetic, edit(kPar, "DNA 12", "DNA 2000000000"), 1,
                     "chromosome 1 would hold more than 10000000 loci"},
        BadInputCase{"FirstBlockWithoutDataType", kGenetic, edit(kPar, "DNA 12", "STANDARD 12"), 1,
                     "the first block of chromosome 1 names no data type"},
        BadInputCase{"NaNMutationRate", kGenetic, edit(kPar, "DNA 12 0 0.002", "DNA 12 0 nan"), 1,
                     "the values of a DNA block cannot be read"},
        BadInputCase{"NaNRecombinationRate", kGenetic,
                     edit(kPar, "MICROSAT 4 0.01", "MICROSAT 4 nan"), 1,
                     "line 7: a block line needs a data type"},
        BadInputCase{"MutationRateAboveOne", kGenetic,
                     edit(kPar, "DNA 12 0 0.002", "DNA 12 0 1e30"), 1,
                     "line 4: the mutation rate of a DNA block must lie between 0 and 1"},
        BadInputCase{"MutationRateNegative", kGenetic,
                     edit(kPar, "MICROSAT 4 0.01 0.001", "MICROSAT 4 0.01 -0.001"), 1,
                     "the mutation rate of a MICROSAT block must lie between 0 and 1"},
        BadInputCase{"RecombinationRateNegative", kGenetic,
                     edit(kPar, "MICROSAT 4 0.01", "MICROSAT 4 -0.5"), 1,
                     "line 7: the recombination rate must not be negative"},
        BadInputCase{"WindowsLineEnds", kGenetic, windowsLineEnds(kPar), 0, ""},
        BadInputCase{"NoFinalNewline", kGenetic, noFinalNewline(kPar), 0, ""}),
    caseName);

// ---------------------------------------------------------------------------
// The climate and sea-level series

INSTANTIATE_TEST_SUITE_P(
    ClimateAndSeaLevel, BadInputTest,
    ::testing::Values(
        BadInputCase{"ClimateMissing", kLgm, remove("climate.txt"), 1,
                     "ERROR: {World::load_VostokTimeData()} [cannot open Vostok File]"},
        BadInputCase{"ClimateEmpty", kLgm, write("climate.txt", ""), 1,
                     "the climate file 'climate.txt' (VostokFile) holds no pair of a time and a "
                     "value"},
        BadInputCase{"ClimateTruncated", kLgm, append("climate.txt", "-5\n"), 1,
                     "ends after the time -5 at line 3, which has no value"},
        BadInputCase{"ClimateNotANumber", kLgm, append("climate.txt", "-5 abc\n"), 1,
                     "holds 'abc' at line 3 where the value of the time -5 is due"},
        BadInputCase{"ClimateTimesDecrease", kLgm, append("climate.txt", "-100000 3\n"), 1,
                     "the times must not decrease"},
        BadInputCase{"ClimateNaN", kLgm, append("climate.txt", "10 nan\n"), 1,
                     "holds the value nan at line 3 (time 10): values must be finite numbers"},
        BadInputCase{"ClimateInfinity", kLgm, append("climate.txt", "10 inf\n"), 1,
                     "holds the value inf at line 3 (time 10)"},
        BadInputCase{"ClimateTimeBeyond32Bits", kLgm, append("climate.txt", "1e20 3\n"), 1,
                     "holds the time 1e20 at line 3: times are whole years"},
        BadInputCase{"ClimateReferenceZero", kLgm, write("climate.txt", "-70000 0\n0 0\n"), 1,
                     "gives the value 0 at 66600 years BP"},
        BadInputCase{"SeaLevelMissing", kLgm, remove("sea_level.txt"), 1,
                     "ERROR: the sea-level file 'sea_level.txt' (SeaLevelFile) cannot be opened"},
        BadInputCase{"SeaLevelEmpty", kLgm, write("sea_level.txt", ""), 1,
                     "(SeaLevelFile) holds no pair of a time and a value"},
        BadInputCase{"SeaLevelNaN", kLgm, append("sea_level.txt", "10 nan\n"), 1,
                     "(SeaLevelFile) holds the value nan at line 3"},
        BadInputCase{"SeaLevelNotANumber", kLgm, append("sea_level.txt", "x 1\n"), 1,
                     "holds 'x' at line 3 where a time is due"},
        BadInputCase{"WindowsLineEnds", kLgm,
                     both(windowsLineEnds("climate.txt"), windowsLineEnds("sea_level.txt")), 0, ""},
        BadInputCase{"NoFinalNewline", kLgm,
                     both(noFinalNewline("climate.txt"), noFinalNewline("sea_level.txt")), 0, ""}),
    caseName);

}  // namespace
