// Genealogy benchmark: grows the demographic history of an example landscape
// (the forward run), samples 10 demes of 20 genes spread over the colonised
// cells, and times 100 genealogies per case. Prints lineage-generations per
// second: the generations that the lineages spent in the stored history,
// summed over every branch, per second of tree building.
//
//   cmake --build build --target genealogy_bench
//   build/bench/genealogy_bench [EXAMPLE_FOLDER] [--genealogies N] [--genes-per-sample G]
//
// EXAMPLE_FOLDER defaults to examples/europe_15min next to the source tree.
//
// In a build configured with -DVASTRID2_COUNT_RANDOM_DRAWS=ON the draws of the
// main stream are counted: each case then also times as many ran3 draws (from
// a copy of the stream state, restored afterwards) and prints the ratio of the
// tree-building time to that draw floor.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/world.h"
#include "bench/bench_world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSamples = 10;
int genesPerSample = 20;

// Seconds taken by `draws` ran3 draws; the stream is left as it was.
double drawFloorSeconds(uint64_t draws) {
    const ran3_detail::MainStream saved = ran3_detail::mainStream;
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
    const uint64_t savedCount = ran3_detail::drawCount;
#endif
    int64_t idum = 1;
    double sum = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < draws; ++i) sum += ran3(&idum);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    asm volatile("" : : "x"(sum));
    ran3_detail::mainStream = saved;
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
    ran3_detail::drawCount = savedCount;
#endif
    return seconds;
}

struct GeneticCase {
    const char* name;
    const char* blocks;  // block lines of the one chromosome
    int blockCount;
};

// Generations the lineages spent in the history (steps 1 .. endTime): each
// node lives from its own time up to its ancestor's.
int64_t lineageGenerations(const TTree& tree, int64_t endTime) {
    int64_t total = 0;
    for (int64_t k = 0; k < tree.numNodes(); ++k) {
        const TNode* node = tree.nodeAt(k);
        const TNode* up = node->ancestor;
        if (up == nullptr) continue;
        const int64_t to = std::min<int64_t>(up->time, endTime);
        if (to > node->time) total += to - node->time;
    }
    return total;
}

// The sample file: kSamples colonised cells evenly spread over the land list.
bool writeSamples(World& world, const fs::path& file) {
    const int endTime = world.Settings.getIntParameter("EndTime", true);
    std::vector<cell*> candidates;
    for (cell* c : world.grid.landCells) {
        if (c->aboveSea && c->getN(endTime, 0) >= genesPerSample) candidates.push_back(c);
    }
    if (static_cast<int>(candidates.size()) < kSamples) return false;
    const TGridHeader& h = world.Settings.worldGridHeader;
    std::ofstream out(file);
    out << kSamples << "\n";
    for (int i = 0; i < kSamples; ++i) {
        const cell* c = candidates[candidates.size() * static_cast<size_t>(i) / kSamples];
        const double x = h.xllcorner + (c->column + 0.5) * h.cellsize;
        const double y = h.yllcorner + (h.nrows - 1 - c->row + 0.5) * h.cellsize;
        out << "sample" << i + 1 << " " << genesPerSample << " 0 " << std::setprecision(10) << y
            << " " << x << "\n";
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path example = fs::path(VASTRID2_SOURCE_DIR) / "examples" / "europe_15min";
    int genealogies = 100;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--genealogies" && i + 1 < argc) {
            genealogies = std::atoi(argv[++i]);
        } else if (arg == "--genes-per-sample" && i + 1 < argc) {
            genesPerSample = std::atoi(argv[++i]);
        } else {
            example = arg;
        }
    }
    const fs::path scratch =
        fs::temp_directory_path() / ("vastrid2-genealogy-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    AOS.close();
    AOS.open((scratch / "vastrid2.log").string());
    std::ofstream console((scratch / "console.txt").string());
    std::streambuf* terminal = std::cout.rdbuf(console.rdbuf());
    std::ostream report(terminal);

    int status = 0;
    try {
        fs::current_path(example);
        World world;
        const double forwardSeconds = bench::buildAndGrowWorld(world);
        const int endTime = world.Settings.getIntParameter("EndTime", true);
        report << "landscape " << example.filename().string() << ": " << world.grid.landCells.size()
               << " land cells, " << endTime << " generations, forward run " << std::fixed
               << std::setprecision(1) << forwardSeconds << " s\n";
        report << kSamples << " samples of " << genesPerSample << " genes, " << genealogies
               << " genealogies per case\n\n";
        report << std::left << std::setw(34) << "case" << std::right << std::setw(12) << "seconds"
               << std::setw(18) << "lineage-gens" << std::setw(16) << "per second" << std::setw(14)
               << "nodes/tree" << std::setw(14) << "ran3 draws" << std::setw(12) << "draws s"
               << std::setw(12) << "time/draws"
               << "\n";

        const fs::path samples = scratch / "bench.sam";
        if (!writeSamples(world, samples)) throw TException("too few colonised cells to sample");
        world.Settings["SampleFile"] = samples.string().c_str();
        world.Settings["GenotypicData"] = "0";
        world.Settings["MaxNumGenerations"] = "1000000";
        world.Settings["PropFile"] = "0";
        world.Settings["AncestralSize"] = "0";
        world.Settings["NumIndeLoci"] = "1";

        const GeneticCase cases[] = {
            {"1 DNA site, no recombination", "DNA 1 0 0.0001 0.5\n", 1},
            {"100 DNA sites, no recombination", "DNA 100 0 0.0001 0.5\n", 1},
            {"20 linked loci, r = 1e-5", "MICROSAT 20 0.00001 0.0005 0 0\n", 1},
        };
        TDemeCollection& demes = world.demes;
        demes.owner = &world;
        demes.createDemesFromWorld();
        if (demes.readCoalSimParams() != 1 || demes.numDemes != kSamples) {
            throw TException("the benchmark samples were not accepted");
        }
        demes.createInitialDemeList();
        bool tipsMade = false;
        for (const GeneticCase& c : cases) {
            const fs::path parameters = scratch / "bench.par";
            std::ofstream(parameters) << "1\n#chromosome\n" << c.blockCount << "\n" << c.blocks;
            world.Settings["GeneticFile"] = parameters.string().c_str();
            demes.set_num_linkage_blocks_perchrom();
            demes.set_tot_recomb_perchrom();
            demes.initializeNumLinkedLociPerBlock(1);
            demes.readRecombParams(0);
            if (!tipsMade) {
                TNode::node_count = 0;
                if (!demes.createLineages()) throw TException("no tips");
                tipsMade = true;
            } else {
                demes.tree.ResetNodeFlags();
            }
            int64_t steps = 0;
            int64_t nodes = 0;
            int built = 0;
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
            const uint64_t drawsBefore = ran3_detail::drawCount;
#endif
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < genealogies; ++i) {
                if (demes.buildTreeOneOriginOneLayerRecombination(i + 1)) {
                    ++built;
                    steps += lineageGenerations(demes.tree, endTime);
                    nodes += demes.tree.numNodes();
                }
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            uint64_t draws = 0;
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
            draws = ran3_detail::drawCount - drawsBefore;
#endif
            report << std::left << std::setw(34) << c.name << std::right << std::setw(12)
                   << std::setprecision(3) << seconds << std::setw(18) << steps << std::setw(16)
                   << std::setprecision(0) << steps / seconds << std::setw(14)
                   << std::setprecision(1) << (built > 0 ? double(nodes) / built : 0.0);
            if (draws > 0) {
                double floor = drawFloorSeconds(draws);
                for (int again = 0; again < 2; ++again)
                    floor = std::min(floor, drawFloorSeconds(draws));
                report << std::setw(14) << draws << std::setw(12) << std::setprecision(3) << floor
                       << std::setw(12) << std::setprecision(1) << seconds / floor;
            } else {
                report << std::setw(14) << "(not counted)";
            }
            if (built != genealogies) report << "  (" << genealogies - built << " not built)";
            report << "\n";
        }
    } catch (const TException& e) {
        report << "benchmark failed: " << e.message().c_str() << "\n";
        status = 1;
    } catch (const std::exception& e) {
        report << "benchmark failed: " << e.what() << "\n";
        status = 1;
    }
    std::cout.rdbuf(terminal);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return status;
}
