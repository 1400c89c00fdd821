// The map readers through World::ReadGridDataSets on a World whose grid was
// sized from the present-vegetation header, as the world build does.

#include <gtest/gtest.h>

#include <fstream>
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
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

using test_support::CapturedOutput;

const auto caseName = [](const auto& testCase) { return std::string(testCase.param.name); };

const std::string kFixtures = VASTRID2_FIXTURES "/landscape/";
const std::string kVegetation = kFixtures + "veg_4x3.asc";

// A grid file of the fixture world (4 rows, 3 columns of 0.5 from (10, 45)).
std::string worldGrid(const std::string& data, const char* noData = "-9999") {
    return std::string(
               "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.5\n"
               "NODATA_value ") +
           noData + "\n" + data;
}

std::string withCrLf(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.replace(at, 1, "\r\n");
    }
    return text;
}

class MapReadersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        NbDemePerCell = 1;
        output = std::make_unique<CapturedOutput>();
        world = std::make_unique<World>();
    }
    void TearDown() override {
        world.reset();
        output.reset();
        NO_LAND = -9999;
    }

    // The start of the build: the vegetation header sizes the grid.
    void startBuild(const std::string& vegetationPath) {
        world->Settings["PresVegetationFile"] = vegetationPath.c_str();
        std::ifstream in(vegetationPath);
        ASSERT_TRUE(
            world->Settings.worldGridHeader.readGridHeader(in, true, vegetationPath.c_str()));
        world->nrows = world->Settings.worldGridHeader.nrows;
        world->ncols = world->Settings.worldGridHeader.ncols;
        ASSERT_EQ(world->AllocateCells(), 1);
        logMark = output->log().size();
    }

    // What the log received after the grid was allocated.
    std::string logSinceStart() const { return output->log().substr(logMark); }

    void set(const char* key, const std::string& value) { world->Settings[key] = value.c_str(); }

    cell& at(int row, int column) { return *world->grid.at(row, column); }

    std::vector<int> presentVegetation() {
        std::vector<int> values;
        for (int r = 0; r < world->nrows; ++r) {
            for (int c = 0; c < world->ncols; ++c) values.push_back(at(r, c).presentVegetation);
        }
        return values;
    }

    ScratchDir dir;
    size_t logMark = 0;
    std::unique_ptr<CapturedOutput> output;
    std::unique_ptr<World> world;
};

// ---------------------------------------------------------------------------
// Reading

struct LayoutCase {
    const char* name;
    const char* fixture;
    bool windowsLineEnds;
};

class DataLayoutTest : public MapReadersTest, public ::testing::WithParamInterface<LayoutCase> {};

// Line breaks inside the data carry no meaning: the values run along row 0
// (the northern row) first.
TEST_P(DataLayoutTest, ValuesFillTheRowsFromTheNorth) {
    std::string text = test_support::readFile(kFixtures + GetParam().fixture);
    if (GetParam().windowsLineEnds) text = withCrLf(text);
    startBuild(dir.write("vegetation.asc", text));
    ASSERT_EQ(world->ReadGridDataSets(), 1);
    EXPECT_EQ(presentVegetation(), (std::vector<int>{1, 2, 3, 4, 5, -9999, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(logSinceStart(), "reading grid dataset...\n");
}

INSTANTIATE_TEST_SUITE_P(Layouts, DataLayoutTest,
                         ::testing::Values(LayoutCase{"OneRowPerLine", "veg_4x3.asc", false},
                                           LayoutCase{"SingleLine", "veg_4x3_one_line.asc", false},
                                           LayoutCase{"WindowsLineEnds", "veg_4x3.asc", true}),
                         caseName);

TEST_F(MapReadersTest, EveryNamedMapFillsItsOwnField) {
    startBuild(kVegetation);
    set("AltitudeTopoFile", kFixtures + "alt_4x3.asc");
    set("LGMVegetationFile",
        dir.write("lgm.asc", worldGrid("21 22 23\n24 25 26\n27 28 29\n30 31 -9999\n")));
    set("mMapFile", dir.write("m.asc", worldGrid("0 1 2 3 4 5 6 7 8 9 10 11", "-7")));
    ASSERT_EQ(world->ReadGridDataSets(), 1);

    EXPECT_FLOAT_EQ(at(0, 0).altitude, 120.5f);
    EXPECT_FLOAT_EQ(at(0, 2).altitude, -9999.0f);
    EXPECT_FLOAT_EQ(at(3, 1).altitude, 210.75f);
    EXPECT_EQ(at(1, 1).presentVegetation, 5);
    EXPECT_EQ(at(1, 1).lgmVegetation, 25);
    EXPECT_EQ(at(3, 2).lgmVegetation, -9999);
    EXPECT_EQ(at(2, 1).mMapValue, 7);
    // Maps that are not named leave their fields as the cells were created.
    EXPECT_FLOAT_EQ(at(1, 1).roughness, 0.0f);
    EXPECT_EQ(at(1, 1).river, 0);
    // The last map read decides the no-data value of the land test.
    EXPECT_EQ(NO_LAND, -7);
}

// Any value but the river map's own no-data value marks a river, 0 included,
// and the vegetation map's no-data value too when the river map uses another.
TEST_F(MapReadersTest, RiverMapMarksEveryValueButItsOwnNoData) {
    startBuild(kVegetation);
    set("HydroFile", kFixtures + "hydro_4x3_own_nodata.asc");
    ASSERT_EQ(world->ReadGridDataSets(), 1);
    std::vector<int> rivers;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) rivers.push_back(at(r, c).river);
    }
    EXPECT_EQ(rivers, (std::vector<int>{1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(NO_LAND, -1);
}

// Altitude and roughness come before the vegetation map and are compared with
// the header read at the start of the build: the altitude map is accepted, the
// roughness map, off in the last decimal of xllcorner, is not.
TEST_F(MapReadersTest, RoughnessOffInTheLastDecimalIsRejectedAfterTheAltitude) {
    startBuild(kVegetation);
    const std::string roughness = kFixtures + "rough_4x3_xll_last_decimal.asc";
    set("AltitudeTopoFile", kFixtures + "alt_4x3.asc");
    set("RoughnessTopoFile", roughness);
    try {
        world->ReadGridDataSets();
        FAIL() << "a roughness map with another corner was accepted";
    } catch (const TException& e) {
        EXPECT_STREQ(e.message().c_str(), "Cannot read the RoughnessTopoFile grid header");
    }
    EXPECT_FLOAT_EQ(at(3, 1).altitude, 210.75f);
    EXPECT_EQ(logSinceStart(),
              "reading grid dataset...\n"
              "      ERROR: the lower left x coordinate is not equal among all input maps}\n"
              "  in file '" +
                  roughness + "'\n");
}

// ---------------------------------------------------------------------------
// Failures

enum class FileKind { missing, emptyName, biggerGrid, shortData };

struct FailureCase {
    const char* name;
    const char* key;
    FileKind kind;
    const char* thrown;  // the fatal error, or null when the reader returns 0
    // What the reader writes to the log after "reading grid dataset..."; <path>
    // stands for the file's path.
    const char* log;
};

class ReaderFailureTest : public MapReadersTest,
                          public ::testing::WithParamInterface<FailureCase> {};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Each reader fails as its own rules say; the maps after it are not read, and
// the file at fault is named.
TEST_P(ReaderFailureTest, FailsTheBuildNamingTheFile) {
    const FailureCase& c = GetParam();
    startBuild(kVegetation);
    std::string path;
    switch (c.kind) {
        case FileKind::missing:
            path = dir.file("absent.asc");
            break;
        case FileKind::emptyName:
            break;
        case FileKind::biggerGrid:
            path = kFixtures + "map_5x4.asc";
            break;
        case FileKind::shortData:
            path = dir.write("short.asc", worldGrid("1 2 3\n4 5\n"));
            break;
    }
    set(c.key, path);
    // Named after every reader, so it would be read if the build went on.
    set("mMapFile", std::string(c.key) == "mMapFile" ? path : dir.file("never-read.asc"));

    if (c.thrown != nullptr) {
        try {
            world->ReadGridDataSets();
            FAIL() << "no fatal error";
        } catch (const TException& e) {
            EXPECT_STREQ(e.message().c_str(), replaceAll(c.thrown, "<path>", path).c_str());
        }
    } else {
        EXPECT_EQ(world->ReadGridDataSets(), 0);
    }
    EXPECT_EQ(logSinceStart(), "reading grid dataset...\n" + replaceAll(c.log, "<path>", path));
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderFailureTest,
    ::testing::Values(
        FailureCase{"VegetationMissing", "PresVegetationFile", FileKind::missing, nullptr,
                    "ERROR: cannot open the grid file '<path>' named by PresVegetationFile\n"},
        FailureCase{"VegetationShort", "PresVegetationFile", FileKind::shortData, nullptr,
                    " ERROR: {ImportExportUtils::readPresentVegetation(...)} [unable to read "
                    "Present Vegetation file\n"
                    "ERROR: the grid file '<path>' ends after 5 of 12 values, at row 1, column 2 "
                    "(counted from 0; nrows=4, ncols=3)\n"},
        FailureCase{"GlacialMissing", "LGMVegetationFile", FileKind::missing, nullptr,
                    "ImportExportUtils::readLGMVegetation() : Cannot read the LGMveg file\n"
                    "  in file '<path>'\n"},
        FailureCase{"GlacialEmptyName", "LGMVegetationFile", FileKind::emptyName, nullptr,
                    "ImportExportUtils::readLGMVegetation() : Cannot read the LGMveg file\n"
                    "  in file ''\n"},
        FailureCase{"GlacialBiggerGrid", "LGMVegetationFile", FileKind::biggerGrid, nullptr,
                    "      ERROR: the number of columns is not equal among all input maps}\n"
                    "  in file '<path>'\n"
                    "A problem occurs with the reading of the input maps, please see "
                    "tervalen.log for more details\n"},
        FailureCase{"RiversMissing", "HydroFile", FileKind::missing, nullptr,
                    "ImportExportUtils::readHydro() : Cannot read the Hydro file\n"
                    "  in file '<path>'\n"},
        FailureCase{"RiversBiggerGrid", "HydroFile", FileKind::biggerGrid, nullptr,
                    "      ERROR: the number of columns is not equal among all input maps}\n"
                    "  in file '<path>'\n"
                    "A problem occurs with the reading of the input maps, please see "
                    "tervalen.log for more details\n"},
        FailureCase{"RiversShort", "HydroFile", FileKind::shortData, nullptr,
                    " ERROR: {ImportExportUtils::readHydro(...)} [unable to read Hydro file]\n"
                    "ERROR: the grid file '<path>' ends after 5 of 12 values, at row 1, column 2 "
                    "(counted from 0; nrows=4, ncols=3)\n"},
        FailureCase{"AltitudeMissing", "AltitudeTopoFile", FileKind::missing,
                    "Cannot read the altitude topo file",
                    "ERROR: cannot open the grid file '<path>' named by AltitudeTopoFile\n"},
        FailureCase{"AltitudeEmptyName", "AltitudeTopoFile", FileKind::emptyName,
                    "Cannot read the altitude topo file",
                    "ERROR: cannot open the grid file '' named by AltitudeTopoFile\n"},
        FailureCase{"AltitudeBiggerGrid", "AltitudeTopoFile", FileKind::biggerGrid,
                    "Cannot read the altitude topo file grid header",
                    "      ERROR: the number of columns is not equal among all input maps}\n"
                    "  in file '<path>'\n"},
        FailureCase{"AltitudeShort", "AltitudeTopoFile", FileKind::shortData,
                    "ERROR: the grid file '<path>' ends after 5 of 12 values, at row 1, column 2 "
                    "(counted from 0; nrows=4, ncols=3)",
                    ""},
        FailureCase{"RoughnessMissing", "RoughnessTopoFile", FileKind::missing,
                    "Cannot read the RoughnessTopoFile",
                    "ERROR: cannot open the grid file '<path>' named by RoughnessTopoFile\n"},
        FailureCase{"MigrationMissing", "mMapFile", FileKind::missing, "Cannot read the m_MapFile",
                    "ERROR: cannot open the grid file '<path>' named by mMapFile\n"},
        FailureCase{"MigrationBiggerGrid", "mMapFile", FileKind::biggerGrid,
                    "Cannot read the m_MapFile grid header",
                    "      ERROR: the number of columns is not equal among all input maps}\n"
                    "  in file '<path>'\n"}),
    caseName);

struct BadValueCase {
    const char* name;
    const char* key;
    const char* data;
    const char* problem;  // after "ERROR: the grid file '<path>' "
};

class BadValueTest : public MapReadersTest, public ::testing::WithParamInterface<BadValueCase> {};

// A value that is not a number stops the reading at its cell: the message names
// the file, the value, the row and the column, and no later cell is written.
TEST_P(BadValueTest, StopsAtTheCellNamingIt) {
    const BadValueCase& c = GetParam();
    startBuild(kVegetation);
    const std::string path = dir.write("bad.asc", worldGrid(c.data));
    set(c.key, path);
    const std::string expected = "ERROR: the grid file '" + path + "' " + c.problem;
    if (std::string(c.key) == "PresVegetationFile") {
        EXPECT_EQ(world->ReadGridDataSets(), 0);
        EXPECT_NE(output->log().find(expected + "\n"), std::string::npos) << output->log();
        EXPECT_NE(output->console().find(expected + "\n"), std::string::npos);
        EXPECT_EQ(at(3, 2).presentVegetation, 0);  // never reached
    } else {
        try {
            world->ReadGridDataSets();
            FAIL() << "no fatal error";
        } catch (const TException& e) {
            EXPECT_EQ(std::string(e.message().c_str()), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadValueTest,
    ::testing::Values(
        BadValueCase{"Word", "PresVegetationFile", "1 abc 3 4 5 6 7 8 9 10 11 12",
                     "holds 'abc' where an integer is due, at row 0, column 1 (counted from 0; "
                     "nrows=4, ncols=3)"},
        BadValueCase{"RealInAnIntegerMap", "PresVegetationFile", "1 2 3\n4 5 6\n7 12.5 9\n1 1 1\n",
                     "holds '12.5' where an integer is due, at row 2, column 1 (counted from 0; "
                     "nrows=4, ncols=3)"},
        BadValueCase{"TooLargeForAnInteger", "PresVegetationFile",
                     "1 2 3\n4 99999999999 6\n7 8 9\n10 11 12\n",
                     "holds a number out of range where an integer is due, at row 1, column 1 "
                     "(counted from 0; nrows=4, ncols=3)"},
        BadValueCase{"NothingAfterTheHeader", "PresVegetationFile", "",
                     "ends after 0 of 12 values, at row 0, column 0 (counted from 0; nrows=4, "
                     "ncols=3)"},
        BadValueCase{"TrailingLettersInAFloatMap", "AltitudeTopoFile",
                     "1 2 3\n4 5 6\n7 8 9\n10 11 1.5x\n",
                     "holds '1.5x' where a number is due, at row 3, column 2 (counted from 0; "
                     "nrows=4, ncols=3)"},
        BadValueCase{"WordInTheMigrationMap", "mMapFile", "1 2 3\n4 5 6\nNaN 8 9\n10 11 12\n",
                     "holds 'NaN' where an integer is due, at row 2, column 0 (counted from 0; "
                     "nrows=4, ncols=3)"}),
    caseName);

TEST_F(MapReadersTest, ValuesAfterTheLastCellAreIgnored) {
    const std::string path =
        dir.write("long.asc", worldGrid("1 2 3\n4 5 6\n7 8 9\n10 11 12\n13 14 15\n"));
    startBuild(path);
    ASSERT_EQ(world->ReadGridDataSets(), 1);
    EXPECT_EQ(at(3, 2).presentVegetation, 12);
}

}  // namespace
