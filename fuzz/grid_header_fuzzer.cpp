// The grid header, read as the first map of a run (which sizes the world) and
// then compared with itself as a later map's header is.

#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz_support::writeFile("header.asc", data, size);
    NO_LAND = -9999;
    TGridHeader header;
    try {
        std::ifstream first(path);
        if (header.readGridHeader(first, true, path.c_str())) {
            // An accepted header describes a grid the world's counters can hold.
            if (header.nrows < 1 || header.ncols < 1 ||
                int64_t(header.nrows) * header.ncols > TGridHeader::kMaxCells) {
                std::abort();
            }
            int row = 0;
            int column = 0;
            if (header.pointToCell(header.xurcorner, header.yurcorner, row, column) &&
                (row < 0 || column < 0 || row >= header.nrows || column >= header.ncols)) {
                std::abort();
            }
            std::ifstream again(path);
            header.readGridHeader(again, false, path.c_str());
        }
    } catch (const TException&) {
    }
    return 0;
}
