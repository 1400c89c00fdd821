#pragma once
// The header of an ESRI ASCII grid. The world grid header (the present-vegetation
// map's) fixes the grid of a run and maps positions to cells.

#include <cstdint>
#include <iosfwd>

#include "foundations/my_string.h"

// The integer no-data value: -9999 until a map is read, then the NODATA value of
// the last map header read (the land test compares with it).
extern int32_t NO_LAND;

class TGridHeader {
  public:
    // The cell counts must fit the 32-bit cell counters of the world.
    static constexpr int64_t kMaxCells = INT32_MAX;

    TGridHeader() = default;
    virtual ~TGridHeader() = default;

    // Reads the six header lines (by position: ncols, nrows, xllcorner, yllcorner,
    // cellsize, NODATA into NO_LAND). Unless first, the new header must equal the
    // one held before, field by field; the first difference is logged. A header
    // whose values cannot be read, or (when first) that describes no usable grid,
    // is rejected with a message naming fileName, on the console and in the log.
    bool readGridHeader(std::ifstream& in, bool first, const my_string& fileName = my_string());

    // True when (x, y) lies in the world, bounds included.
    bool containsPoint(double x, double y) const;
    // The cell of a point of the world. A point on the upper edge belongs to the
    // first row and one on the right edge to the last column, so the result is
    // always inside the matrix for a point that containsPoint accepts. Returns
    // false (row and column -1) for a point outside the world.
    bool pointToCell(double x, double y, int& row, int& column) const;

    double cellsize = 0.0;
    double xllcorner = 0.0;
    double yllcorner = 0.0;
    double xurcorner = 0.0;
    double yurcorner = 0.0;
    int32_t nrows = 0;
    int32_t ncols = 0;
};
