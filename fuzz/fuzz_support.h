#pragma once
// What every fuzz harness shares: a private scratch folder for the input files,
// a log and console that swallow what the readers write, and a small world
// (4 rows x 3 columns of 0.5 degrees from (10, 45), every cell land) for the
// readers that place things into cells.

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/grid_header.h"

namespace fuzz_support {

// Discards everything written to it.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The folder of this process, emptied and removed at exit; created at the first call,
// which also silences the log and the console.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        static NullBuffer sink;
        static_cast<std::ostream&>(AOS).rdbuf(&sink);
        AOS.clear();
        std::cout.rdbuf(&sink);
        // A folder in memory when there is one: rewriting a file on disk tens of
        // thousands of times a second would make the disk the bottleneck.
        const char* tmp = std::getenv("TMPDIR");
        std::string base = tmp != nullptr ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/vastrid2-fuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) std::abort();
        static std::string removed;
        removed = pattern;
        std::atexit([] {
            if (DIR* folder = opendir(removed.c_str())) {
                while (dirent* entry = readdir(folder)) {
                    if (entry->d_name[0] != '.') unlink((removed + "/" + entry->d_name).c_str());
                }
                closedir(folder);
            }
            rmdir(removed.c_str());
        });
        return pattern;
    }();
    return folder;
}

// Writes bytes to a file of the scratch folder and returns its path.
inline std::string writeFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = scratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}
inline std::string writeFile(const std::string& name, const std::string& text) {
    return writeFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// The header of the small world, as a grid file starts.
constexpr const char* kWorldHeader =
    "ncols 3\nnrows 4\nxllcorner 10.0\nyllcorner 45.0\ncellsize 0.5\nNODATA_value -9999\n";
constexpr int kRows = 4;
constexpr int kColumns = 3;

// Takes the first byte of the input as a selector; the rest is the file.
inline unsigned takeSelector(const uint8_t*& data, size_t& size) {
    if (size == 0) return 0;
    const unsigned selector = data[0];
    ++data;
    --size;
    return selector;
}

// A world whose header was read from kWorldHeader and whose grid holds a cell
// at every position. With history, every land cell gets a history for
// generations 0 .. endTime (all sizes 0), as after a demographic simulation.
inline std::unique_ptr<World> smallWorld(int layers, bool withHistory, int endTime = 5) {
    NO_LAND = -9999;
    NbDemePerCell = layers;
    auto world = std::make_unique<World>();
    const std::string headerFile = writeFile("world_header.asc", kWorldHeader);
    {
        std::ifstream in(headerFile);
        if (!world->Settings.worldGridHeader.readGridHeader(in, true, headerFile.c_str())) {
            std::abort();
        }
    }
    world->nrows = kRows;
    world->ncols = kColumns;
    world->grid.allocateAll(kRows, kColumns);
    world->Settings["EndTime"] = my_string(std::to_string(endTime).c_str());
    if (withHistory) {
        world->grid.keepLand(std::vector<char>(kRows * kColumns, 1));
        world->AssignNeighborCells();
        world->history->buildFor(world->grid.landCells, layers, endTime, false);
        cell::_States = world->history;
    }
    return world;
}

}  // namespace fuzz_support
