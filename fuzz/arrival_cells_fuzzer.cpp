// The arrival-cell list on the small world (two layers, with a history), whose
// first row is sea (no cell), so positions on land, off land and outside the
// world are all reached.

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz_support::writeFile("cells.col", data, size);
    auto world = fuzz_support::smallWorld(2, false);
    std::vector<char> land(fuzz_support::kRows * fuzz_support::kColumns, 1);
    for (int column = 0; column < fuzz_support::kColumns; ++column) land[column] = 0;
    world->grid.keepLand(land);
    world->AssignNeighborCells();
    world->history->buildFor(world->grid.landCells, 2, 5, false);
    cell::_States = world->history;
    world->Settings["ArrivalCellFile"] = path.c_str();
    try {
        world->ReadAndWriteArrivalCell();
    } catch (const TException&) {
    }
    world.reset();
    cell::_States = nullptr;
    NbDemePerCell = 1;
    return 0;
}
