// The map readers on the small world: the first byte picks the map (present or
// glacial vegetation, altitude, roughness, rivers, migration), the rest is the
// grid file, header included.

#include "fuzz_support.h"

namespace {

struct MapKind {
    const char* key;
    int (ImportExportUtils::*read)(TWorldGrid&, TSettings&);
};

const MapKind kKinds[] = {
    {"PresVegetationFile", &ImportExportUtils::readPresentVegetation},
    {"LGMVegetationFile", &ImportExportUtils::readLGMVegetation},
    {"AltitudeTopoFile", &ImportExportUtils::readAltitudeTopoFile},
    {"RoughnessTopoFile", &ImportExportUtils::readRoughnessTopoFile},
    {"HydroFile", &ImportExportUtils::readHydro},
    {"mMapFile", &ImportExportUtils::readmMap},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const unsigned selector = fuzz_support::takeSelector(data, size);
    const MapKind& kind = kKinds[selector % (sizeof kKinds / sizeof kKinds[0])];
    auto world = fuzz_support::smallWorld(1, false);
    const std::string path = fuzz_support::writeFile("map.asc", data, size);
    world->Settings[kind.key] = path.c_str();
    try {
        (world->io.*kind.read)(world->grid, world->Settings);
    } catch (const TException&) {
    }
    world.reset();
    cell::delete_m_vector();
    NO_LAND = -9999;
    return 0;
}
