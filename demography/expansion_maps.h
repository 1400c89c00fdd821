#pragma once
// Maps of the expansion, written at the end of the demographic simulation as
// ESRI ASCII grids on the world grid (the present-vegetation map's header), so
// they open directly in GIS tools:
//   ArrivalMapFile       the generation of first arrival in every land cell
//                        (-1 where the layer never held anyone);
//   FinalDensityMapFile  the population size of every land cell at EndTime.
// Positions that are not land hold the NODATA value. With two layers each map
// is written once per layer, "_P1" (layer 0) or "_P2" (layer 1) inserted
// before the file name's extension. Without either key nothing is written.
//
// Every file is written under a temporary name ("partial_" before its file
// name, in its folder); the maps are renamed into place only once all of them
// are complete, so a run that fails or is killed leaves no truncated map.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class TGridHeader;
class World;

// Writes the maps the settings ask for after a successful SimulateWorld.
// Returns 1 when every requested map was written (or none was asked for), 0
// after reporting, on the console and in the log, the file that could not be
// made (its temporary files are removed).
int writeExpansionMaps(World& world);

// The file of one layer: name itself with one layer; with two, "_P1" or "_P2"
// before the extension of the file-name part ("maps/arrival.asc" gives
// "maps/arrival_P2.asc" for layer 1, "arrival" gives "arrival_P2").
std::string expansionMapFileName(const std::string& name, int layer, int layers);

// The NODATA value of the maps: the input maps' NODATA value when no map value
// can take it (below -1), else -9999.
int32_t expansionMapNoData(int32_t inputNoData);

// Per land cell of the world's land list, in its order: the first generation
// 0..EndTime at which the layer held individuals, or -1.
std::vector<int32_t> arrivalGenerations(const World& world, int layer);

// Writes an ESRI ASCII grid with the header's size, corner and cell size:
// values are row-major, nrows x ncols.
void writeAsciiGrid(std::ostream& out, const TGridHeader& header, int32_t noData,
                    const std::vector<int32_t>& values);
