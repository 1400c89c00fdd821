#include "landscape/grid_header.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

#include "foundations/log.h"

int32_t NO_LAND = -9999;

namespace {

// Both the log and the console get every report about a bad grid file.
void report(const my_string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

my_string quoted(const my_string& fileName) {
    return fileName.empty() ? my_string("(unnamed)") : my_string("'") + fileName + "'";
}

my_string inFileLine(const my_string& fileName) {
    return my_string("  in file ") + quoted(fileName);
}

// The keyword is one word and not examined; the value follows with the stream's
// numeric extraction; the rest of the line is dropped. Only the value counts:
// a header line that ends the file is still read.
template <typename Value>
bool readHeaderLine(std::ifstream& in, Value& value) {
    my_string keyword;
    in >> keyword;
    in >> value;
    if (in.fail()) return false;
    my_string rest;
    rest.read_line(in);
    return true;
}

}  // namespace

bool TGridHeader::readGridHeader(std::ifstream& in, bool first, const my_string& fileName) {
    if (in.fail()) return false;

    const int32_t previousColumns = ncols;
    const int32_t previousRows = nrows;
    const double previousXll = xllcorner;
    const double previousYll = yllcorner;
    const double previousCellsize = cellsize;

    // Fields are overwritten as they are read, even when the header is then refused.
    const char* unreadable = nullptr;
    if (!readHeaderLine(in, ncols)) {
        unreadable = "line 1 (ncols)";
    } else if (!readHeaderLine(in, nrows)) {
        unreadable = "line 2 (nrows)";
    } else if (!readHeaderLine(in, xllcorner)) {
        unreadable = "line 3 (xllcorner)";
    } else if (!readHeaderLine(in, yllcorner)) {
        unreadable = "line 4 (yllcorner)";
    } else if (!readHeaderLine(in, cellsize)) {
        unreadable = "line 5 (cellsize)";
    } else if (!readHeaderLine(in, NO_LAND)) {
        unreadable = "line 6 (NODATA_value)";
    }
    if (unreadable != nullptr) {
        report(my_string("ERROR: the header of the grid file ") + quoted(fileName) +
               " cannot be read: the file ends or holds no number where the value of " +
               unreadable + " is due");
        return false;
    }

    if (first) {
        // The maps read later are compared with this header, so only it needs
        // to describe a usable grid.
        std::ostringstream problem;
        if (ncols <= 0) {
            problem << "ncols must be at least 1, found " << ncols;
        } else if (nrows <= 0) {
            problem << "nrows must be at least 1, found " << nrows;
        } else if (!(cellsize > 0.0) || !std::isfinite(cellsize)) {
            problem << "cellsize must be a positive number, found " << cellsize;
        } else if (!std::isfinite(xllcorner) || !std::isfinite(yllcorner)) {
            problem << "the lower left corner must be finite, found (" << xllcorner << ", "
                    << yllcorner << ")";
        } else if (!std::isfinite(xllcorner + ncols * cellsize) ||
                   !std::isfinite(yllcorner + nrows * cellsize)) {
            // The cell of a point is found from its distance to the corners.
            problem << "the upper right corner must be finite, found ("
                    << xllcorner + ncols * cellsize << ", " << yllcorner + nrows * cellsize
                    << ")";
        } else if (static_cast<int64_t>(nrows) * ncols > kMaxCells) {
            problem << "nrows x ncols = " << static_cast<int64_t>(nrows) * ncols
                    << " cells, more than the " << kMaxCells << " cells a world can hold";
        }
        if (!problem.str().empty()) {
            report(my_string("ERROR: the header of the grid file ") + quoted(fileName) +
                   " is refused: " + problem.str().c_str());
            return false;
        }
    } else {
        const char* difference = nullptr;
        if (ncols != previousColumns) {
            difference = "      ERROR: the number of columns is not equal among all input maps}";
        } else if (nrows != previousRows) {
            difference = "      ERROR: the number of rows is not equal among all input maps}";
        } else if (xllcorner != previousXll) {
            difference =
                "      ERROR: the lower left x coordinate is not equal among all input maps}";
        } else if (yllcorner != previousYll) {
            difference =
                "      ERROR: the lower left y coordinate is not equal among all input maps}";
        } else if (cellsize != previousCellsize) {
            difference = "      ERROR: the cell size is not equal among all input maps}";
        }
        if (difference != nullptr) {
            report(difference);
            report(inFileLine(fileName));
            return false;
        }
    }

    xurcorner = xllcorner + ncols * cellsize;
    yurcorner = yllcorner + nrows * cellsize;
    return true;
}

bool TGridHeader::containsPoint(double x, double y) const {
    return xllcorner <= x && x <= xurcorner && yllcorner <= y && y <= yurcorner;
}

bool TGridHeader::pointToCell(double x, double y, int& row, int& column) const {
    if (!containsPoint(x, y) || nrows <= 0 || ncols <= 0) {
        row = -1;
        column = -1;
        return false;
    }
    // In the world the quotients lie in [0, nrows] and [0, ncols] (up to rounding),
    // so the truncated values fit an int; the upper and right edges, and any
    // rounding past them, fold onto the first row and the last column.
    row = nrows - 1 - static_cast<int>(std::fabs(yllcorner - y) / cellsize);
    column = static_cast<int>(std::fabs(xllcorner - x) / cellsize);
    if (row < 0) row = 0;
    if (column > ncols - 1) column = ncols - 1;
    return true;
}
