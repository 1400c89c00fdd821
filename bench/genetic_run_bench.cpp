// Genetic-run benchmark: the whole genetic run of an example (genealogies,
// mutations and every output file) after its demographic simulation. The
// example is copied to a scratch folder and its history grown once; each case
// then runs World::SimulateGeneticData in a child process of its own (a run
// owns its genealogy for good), with the example's samples and genetic
// parameters. Prints simulations per second per case.
//
//   cmake --build build --target genetic_run_bench
//   build/bench/genetic_run_bench [EXAMPLE_FOLDER] [--simulations N]
//
// EXAMPLE_FOLDER defaults to examples/europe_15min next to the source tree.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include "app/world.h"
#include "bench/bench_world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace fs = std::filesystem;

namespace {

struct RunCase {
    const char* name;
    int nexus;  // NexusFile
};

struct RunResult {
    bool ok = false;
    double seconds = 0.0;
    uintmax_t outputBytes = 0;
};

uintmax_t bytesIn(const fs::path& folder) {
    uintmax_t total = 0;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (entry.is_regular_file()) total += entry.file_size();
    }
    return total;
}

// The genetic run of one case, in a child process; the result comes back
// through a pipe.
RunResult runCase(World& world, const RunCase& c, int simulations, const fs::path& output) {
    int channel[2];
    if (pipe(channel) != 0) return RunResult{};
    std::cout.flush();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        world.Settings["NumGeneticSimulations"] = std::to_string(simulations).c_str();
        world.Settings["NexusFile"] = std::to_string(c.nexus).c_str();
        RunResult r;
        try {
            const auto start = std::chrono::steady_clock::now();
            r.ok = world.SimulateGeneticData() == 1;
            r.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } catch (const TException&) {
            r.ok = false;
        }
        r.outputBytes = bytesIn(output);
        std::ostringstream line;
        line << std::setprecision(17) << r.ok << ' ' << r.seconds << ' ' << r.outputBytes;
        const std::string text = line.str();
        const ssize_t written = write(channel[1], text.data(), text.size());
        close(channel[1]);
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string text;
    char chunk[256];
    for (ssize_t got = 0; (got = read(channel[0], chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    RunResult r;
    std::istringstream fields(text);
    if (!(fields >> r.ok >> r.seconds >> r.outputBytes)) r.ok = false;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path example = fs::path(VASTRID2_SOURCE_DIR) / "examples" / "europe_15min";
    int simulations = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulations" && i + 1 < argc) {
            simulations = std::atoi(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-') {
            example = arg;
        } else {
            std::cerr << "usage: genetic_run_bench [EXAMPLE_FOLDER] [--simulations N]" << std::endl;
            return 1;
        }
    }
    if (!fs::exists(example / "settings.txt")) {
        std::cerr << "no settings.txt in '" << example.string() << "'" << std::endl;
        return 1;
    }
    const fs::path scratch =
        fs::temp_directory_path() / ("vastrid2-genetic-run-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::copy(example, scratch, fs::copy_options::recursive);
    AOS.close();
    AOS.open((scratch / "vastrid2.log").string());
    std::ofstream console((scratch / "console.txt").string());
    std::streambuf* terminal = std::cout.rdbuf(console.rdbuf());
    std::ostream report(terminal);

    int status = 0;
    try {
        fs::current_path(scratch);
        World world;
        const double forwardSeconds = bench::buildAndGrowWorld(world);
        report << "example " << example.filename().string() << ": " << world.grid.landCells.size()
               << " land cells, " << world.Settings.getIntParameter("EndTime", true)
               << " generations (forward run " << std::fixed << std::setprecision(1)
               << forwardSeconds << " s); samples "
               << world.Settings.getParameter("SampleFile", true).c_str() << ", genetic file "
               << world.Settings.getParameter("GeneticFile", true).c_str() << "; " << simulations
               << " simulations per case\n\n";
        report << std::left << std::setw(40) << "case" << std::right << std::setw(10) << "seconds"
               << std::setw(12) << "sims/s" << std::setw(14) << "output MB"
               << "\n";
        const RunCase cases[] = {{"project files and dumps (NexusFile=0)", 0},
                                 {"every output (NexusFile=1)", 1}};
        for (const RunCase& c : cases) {
            const fs::path output = scratch / ("output_" + std::to_string(c.nexus));
            // Each case writes its files into a folder of its own.
            fs::create_directories(output);
            std::ifstream samples(world.Settings.getParameter("SampleFile", true).c_str());
            const std::string sampleName = "output_" + std::to_string(c.nexus) + "/samples.sam";
            std::ofstream(sampleName) << samples.rdbuf();
            world.Settings["SampleFile"] = sampleName.c_str();
            const RunResult r = runCase(world, c, simulations, output);
            report << std::left << std::setw(40) << c.name << std::right;
            if (!r.ok) {
                report << "  FAILED (see the log)\n";
                status = 1;
                continue;
            }
            report << std::setw(10) << std::setprecision(2) << r.seconds << std::setw(12)
                   << std::setprecision(2) << simulations / r.seconds << std::setw(14)
                   << std::setprecision(1) << static_cast<double>(r.outputBytes) / 1e6 << "\n";
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
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(scratch, ignored);
    return status;
}
