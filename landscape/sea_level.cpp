// The sea-level series and the land it leaves above the sea.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/log.h"
#include "landscape/climate.h"

namespace {

void report(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

}  // namespace

bool World::load_SeaLevelData() {
    const my_string path = Settings.getParameter("SeaLevelFile", false);
    const std::string file = std::string("the sea-level file '") + path.c_str() + "' (SeaLevelFile)";
    std::ifstream in(path.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        report("ERROR: " + file + " cannot be opened");
        reportWindowsLineEndInName(path);
        return false;
    }
    std::vector<TTimedValue> pairs;
    return loadTimedValues(in, file, pairs, seaLevelSeries);
}

int World::ComputeSeaLevelChanges() {
    const float level = seaLevelSeries[cell::_Current_RealBP_time];
    // A cell whose altitude or level is not a number stays above the sea.
    for (cell* land : grid.landCells) land->aboveSea = !(land->altitude < level);
    AssignIsCoastToCells();
    return 1;
}
