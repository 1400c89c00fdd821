// Reading every map named in the settings into the cells, in a fixed order.

#include "app/world.h"
#include "foundations/log.h"

// Altitude and roughness come before the vegetation map, so they are compared
// with the vegetation header read at the start of the build; the maps after it
// with its re-read header. Every map must therefore match the vegetation map.
int World::ReadGridDataSets() {
    AOS << "reading grid dataset..." << std::endl;
    if (Settings.parameterExists("AltitudeTopoFile") && !io.readAltitudeTopoFile(grid, Settings)) {
        return 0;
    }
    if (Settings.parameterExists("RoughnessTopoFile") &&
        !io.readRoughnessTopoFile(grid, Settings)) {
        return 0;
    }
    if (!io.readPresentVegetation(grid, Settings)) return 0;
    if (Settings.parameterExists("LGMVegetationFile") && !io.readLGMVegetation(grid, Settings)) {
        return 0;
    }
    if (Settings.parameterExists("HydroFile") && !io.readHydro(grid, Settings)) return 0;
    if (Settings.parameterExists("mMapFile")) return io.readmMap(grid, Settings);
    return 1;
}
