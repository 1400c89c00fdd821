#include "landscape/grid_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "foundations/log.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

using test_support::CapturedOutput;

const char* const kStandardHeader =
    "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.5\nNODATA_value -9999\n";

// Names the generated tests after their cases.
const auto caseName = [](const auto& testCase) { return std::string(testCase.param.name); };

bool readHeader(const std::string& path, TGridHeader& header, bool first) {
    std::ifstream in(path);
    return header.readGridHeader(in, first, path.c_str());
}

TGridHeader firstHeader(const ScratchDir& dir) {
    TGridHeader header;
    EXPECT_TRUE(readHeader(dir.write("world.asc", kStandardHeader), header, true));
    return header;
}

std::string withCrLf(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.replace(at, 1, "\r\n");
    }
    return text;
}

struct HeaderTextCase {
    const char* name;
    std::string text;
};

class HeaderSpellingTest : public ::testing::TestWithParam<HeaderTextCase> {};

// The keywords are never examined and line ends may be CR LF: only the position
// of a line decides what its value is.
TEST_P(HeaderSpellingTest, ReadsValuesByPosition) {
    ScratchDir dir;
    NO_LAND = 0;
    TGridHeader header;
    ASSERT_TRUE(readHeader(dir.write("map.asc", GetParam().text + "1 2 3\n"), header, true));
    EXPECT_EQ(header.ncols, 3);
    EXPECT_EQ(header.nrows, 4);
    EXPECT_DOUBLE_EQ(header.xllcorner, 10.0);
    EXPECT_DOUBLE_EQ(header.yllcorner, 45.0);
    EXPECT_DOUBLE_EQ(header.cellsize, 0.5);
    EXPECT_DOUBLE_EQ(header.xurcorner, 11.5);
    EXPECT_DOUBLE_EQ(header.yurcorner, 47.0);
    EXPECT_EQ(NO_LAND, -9999);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, HeaderSpellingTest,
    ::testing::Values(
        HeaderTextCase{"Standard", kStandardHeader},
        HeaderTextCase{"Capitals",
                       "NCOLS 3\nNROWS 4\nXLLCORNER 10.0\nYLLCORNER 45.0\nCELLSIZE "
                       "0.5\nNODATA_VALUE -9999\n"},
        HeaderTextCase{"Misspelt", "nclos 3\nnrow 4\nxll 10.0\nyll 45.0\ncell 0.5\nnodata -9999\n"},
        HeaderTextCase{"BlanksAndTrailingText",
                       "ncols   3 columns\nnrows 4\n  xllcorner 10.0\nyllcorner 45.0\ncellsize "
                       "0.5 degrees\nNODATA_value -9999 (none)\n"},
        HeaderTextCase{"WindowsLineEnds", withCrLf(kStandardHeader)}),
    caseName);

TEST(GridHeaderTest, LinesInAnotherOrderAreMisread) {
    ScratchDir dir;
    TGridHeader header;
    ASSERT_TRUE(readHeader(dir.write("map.asc",
                                     "nrows 4\nncols 3\nxllcorner 10.0\nyllcorner 45.0\ncellsize "
                                     "0.5\nNODATA_value -9999\n"),
                           header, true));
    EXPECT_EQ(header.ncols, 4);
    EXPECT_EQ(header.nrows, 3);
}

TEST(GridHeaderTest, NoDataWrittenAsARealIsReadUpToItsDecimalPoint) {
    struct Case {
        const char* written;
        int32_t read;
    };
    for (const Case& c : {Case{"-9999.0", -9999}, Case{"-3.4028235e+38", -3}}) {
        ScratchDir dir;
        TGridHeader header;
        const std::string text = std::string(
                                     "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner "
                                     "45.0\ncellsize 0.5\nNODATA_value ") +
                                 c.written + "\n";
        ASSERT_TRUE(readHeader(dir.write("map.asc", text), header, true)) << c.written;
        EXPECT_EQ(NO_LAND, c.read) << c.written;
    }
}

struct MismatchCase {
    const char* name;
    const char* header;
    const char* logLine;
};

class HeaderMismatchTest : public ::testing::TestWithParam<MismatchCase> {};

// Only the first differing field is reported, on the log (and the console),
// followed by the file it was found in.
TEST_P(HeaderMismatchTest, ReportsTheFirstDifferenceOnly) {
    ScratchDir dir;
    TGridHeader header = firstHeader(dir);
    const std::string path = dir.write("other.asc", GetParam().header);
    CapturedOutput output;
    EXPECT_FALSE(readHeader(path, header, false));
    const std::string expected = std::string(GetParam().logLine) + "\n  in file '" + path + "'\n";
    EXPECT_EQ(output.log(), expected);
    EXPECT_EQ(output.console(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, HeaderMismatchTest,
    ::testing::Values(
        MismatchCase{
            "OneMoreColumnAndRow",
            "ncols 4\nnrows 5\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.5\nNODATA -9999\n",
            "      ERROR: the number of columns is not equal among all input maps}"},
        MismatchCase{"Rows",
                     "ncols 3\nnrows 5\nxllcorner 9\nyllcorner 45.0\ncellsize 0.5\nNODATA -9999\n",
                     "      ERROR: the number of rows is not equal among all input maps}"},
        MismatchCase{"LowerLeftXInTheLastDecimal",
                     "ncols 3\nnrows 4\nxllcorner 10.000000000001\nyllcorner 44\ncellsize "
                     "0.5\nNODATA -9999\n",
                     "      ERROR: the lower left x coordinate is not equal among all input maps}"},
        MismatchCase{"LowerLeftY",
                     "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.5\ncellsize 1\nNODATA -9999\n",
                     "      ERROR: the lower left y coordinate is not equal among all input maps}"},
        MismatchCase{"CellSize",
                     "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.25\nNODATA 0\n",
                     "      ERROR: the cell size is not equal among all input maps}"}),
    caseName);

TEST(GridHeaderTest, AnEqualHeaderIsAcceptedAndItsNoDataValueTakesOver) {
    ScratchDir dir;
    TGridHeader header = firstHeader(dir);
    CapturedOutput output;
    EXPECT_TRUE(readHeader(dir.write("same.asc",
                                     "ncols 3\nnrows 4\nxllcorner 10\nyllcorner 45\ncellsize "
                                     ".5\nNODATA_value -1\n"),
                           header, false));
    EXPECT_EQ(NO_LAND, -1);
    EXPECT_EQ(output.log(), "");
}

struct RefusedCase {
    const char* name;
    const char* text;
    const char* reason;  // part of the message after the file name
};

class RefusedHeaderTest : public ::testing::TestWithParam<RefusedCase> {};

// A header that cannot describe a grid stops the build, naming the file, rather
// than sizing the world from garbage.
TEST_P(RefusedHeaderTest, IsRejectedWithAMessageNamingTheFile) {
    ScratchDir dir;
    const std::string path = dir.write("bad.asc", GetParam().text);
    TGridHeader header;
    CapturedOutput output;
    EXPECT_FALSE(readHeader(path, header, true));
    const std::string expected =
        "ERROR: the header of the grid file '" + path + "' " + GetParam().reason + "\n";
    EXPECT_EQ(output.log(), expected);
    EXPECT_EQ(output.console(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, RefusedHeaderTest,
    ::testing::Values(
        RefusedCase{"EmptyFile", "",
                    "cannot be read: the file ends or holds no number where the value of line 1 "
                    "(ncols) is due"},
        RefusedCase{"WordForColumns", "ncols three\nnrows 4\n",
                    "cannot be read: the file ends or holds no number where the value of line 1 "
                    "(ncols) is due"},
        RefusedCase{"NoNoDataLine",
                    "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.5\n",
                    "cannot be read: the file ends or holds no number where the value of line 6 "
                    "(NODATA_value) is due"},
        RefusedCase{"ColumnsOverflow",
                    "ncols 99999999999\nnrows 4\nxllcorner 1\nyllcorner 1\ncellsize 1\nNODATA 0\n",
                    "cannot be read: the file ends or holds no number where the value of line 1 "
                    "(ncols) is due"},
        RefusedCase{"NoColumns",
                    "ncols 0\nnrows 4\nxllcorner 1\nyllcorner 1\ncellsize 1\nNODATA 0\n",
                    "is refused: ncols must be at least 1, found 0"},
        RefusedCase{"NegativeRows",
                    "ncols 3\nnrows -4\nxllcorner 1\nyllcorner 1\ncellsize 1\nNODATA 0\n",
                    "is refused: nrows must be at least 1, found -4"},
        RefusedCase{"ZeroCellSize",
                    "ncols 3\nnrows 4\nxllcorner 1\nyllcorner 1\ncellsize 0\nNODATA 0\n",
                    "is refused: cellsize must be a positive number, found 0"},
        RefusedCase{"NegativeCellSize",
                    "ncols 3\nnrows 4\nxllcorner 1\nyllcorner 1\ncellsize -0.5\nNODATA 0\n",
                    "is refused: cellsize must be a positive number, found -0.5"},
        RefusedCase{"TooManyCells",
                    "ncols 100000\nnrows 100000\nxllcorner 1\nyllcorner 1\ncellsize 1\nNODATA 0\n",
                    "is refused: nrows x ncols = 10000000000 cells, more than the 2147483647 "
                    "cells a world can hold"},
        // Found by fuzzing: the cell of a point near such a corner overflowed an int.
        RefusedCase{"CornerBeyondDoubles",
                    "ncols 3\nnrows 4\nxllcorner 1e308\nyllcorner 1\ncellsize 1e308\nNODATA 0\n",
                    "is refused: the upper right corner must be finite, found (inf, inf)"}),
    caseName);

TEST(GridHeaderTest, AFailedStreamIsRejectedSilently) {
    TGridHeader header;
    std::ifstream missing("/nonexistent/vastrid2/map.asc");
    CapturedOutput output;
    EXPECT_FALSE(header.readGridHeader(missing, true, "/nonexistent/vastrid2/map.asc"));
    EXPECT_EQ(output.log(), "");
}

// The world of veg_4x3.asc: 4 rows, 3 columns of 0.5 from (10, 45) to (11.5, 47).
TGridHeader fixtureWorld() {
    TGridHeader header;
    std::ifstream in(VASTRID2_FIXTURES "/landscape/veg_4x3.asc");
    EXPECT_TRUE(header.readGridHeader(in, true, "veg_4x3.asc"));
    return header;
}

struct PointCase {
    const char* name;
    double x;
    double y;
    bool inWorld;
    int row;
    int column;
};

class PointToCellTest : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointToCellTest, MapsPointsToRowsFromTheNorth) {
    const PointCase& c = GetParam();
    const TGridHeader header = fixtureWorld();
    int row = 99;
    int column = 99;
    EXPECT_EQ(header.containsPoint(c.x, c.y), c.inWorld);
    EXPECT_EQ(header.pointToCell(c.x, c.y, row, column), c.inWorld);
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(column, c.column);
}

INSTANTIATE_TEST_SUITE_P(Points, PointToCellTest,
                         ::testing::Values(PointCase{"LowerLeftCorner", 10.0, 45.0, true, 3, 0},
                                           PointCase{"OnTheLeftEdge", 10.0, 46.2, true, 1, 0},
                                           PointCase{"OnTheLowerEdge", 10.7, 45.0, true, 3, 1},
                                           PointCase{"Interior", 11.2, 46.7, true, 0, 2},
                                           PointCase{"OnAnInnerBoundary", 10.5, 46.0, true, 1, 1},
                                           PointCase{"OnTheUpperEdge", 10.2, 47.0, true, 0, 0},
                                           PointCase{"OnTheRightEdge", 11.5, 45.2, true, 3, 2},
                                           PointCase{"UpperRightCorner", 11.5, 47.0, true, 0, 2},
                                           PointCase{"WestOfTheWorld", 9.9, 46.0, false, -1, -1},
                                           PointCase{"NorthOfTheWorld", 10.2, 47.01, false, -1, -1},
                                           PointCase{"NotANumber", std::nan(""), 46.0, false, -1,
                                                     -1}),
                         caseName);

// Whatever the rounding of the corners, no point of the world maps outside the
// matrix: sweep a grid with an awkward cell size and points at and next to
// every edge.
TEST(GridHeaderTest, NoPointOfTheWorldMapsOutsideTheMatrix) {
    ScratchDir dir;
    TGridHeader header;
    ASSERT_TRUE(readHeader(dir.write("map.asc",
                                     "ncols 7\nnrows 6\nxllcorner -180.3\nyllcorner "
                                     "-0.7\ncellsize 0.1\nNODATA_value -9999\n"),
                           header, true));
    const double xs[] = {
        header.xllcorner, std::nextafter(header.xllcorner, 1e9),  -180.0,
        -179.9,           std::nextafter(header.xurcorner, -1e9), header.xurcorner};
    const double ys[] = {header.yllcorner,
                         std::nextafter(header.yllcorner, 1e9),
                         -0.5,
                         -0.4,
                         std::nextafter(header.yurcorner, -1e9),
                         header.yurcorner};
    for (double x : xs) {
        for (double y : ys) {
            int row = -1;
            int column = -1;
            ASSERT_TRUE(header.pointToCell(x, y, row, column)) << x << " " << y;
            EXPECT_GE(row, 0);
            EXPECT_LT(row, header.nrows);
            EXPECT_GE(column, 0);
            EXPECT_LT(column, header.ncols);
        }
    }
    int row = -1;
    int column = -1;
    ASSERT_TRUE(header.pointToCell(header.xurcorner, header.yurcorner, row, column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, header.ncols - 1);
    ASSERT_TRUE(header.pointToCell(header.xllcorner, header.yllcorner, row, column));
    EXPECT_EQ(row, header.nrows - 1);
    EXPECT_EQ(column, 0);
}

}  // namespace
