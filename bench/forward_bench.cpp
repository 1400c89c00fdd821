// Forward benchmark: the demographic simulation (models 1 and 3) on the Europe
// landscapes, each case in a child process of its own so that its peak
// resident memory is its own. Prints one table row per case.
//
//   cmake --build build --target vastrid2_bench
//   build/bench/vastrid2_bench [--landscapes DIR] [--end-time N] [--with-6min]
//
// DIR defaults to the shared landscapes folder next to the source tree
// (../shared/landscapes from the repository root). --with-6min adds the
// 0.1-degree grid (gunzipped into a temporary folder; several minutes).

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/world.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/distributions.h"
#include "random/ran3.h"

namespace fs = std::filesystem;

namespace {

struct BenchCase {
    std::string grid;  // europe_30min, ...
    int model;
    bool shortHistory;
};

struct BenchResult {
    bool ok = false;
    long landCells = 0;
    int generations = 0;
    double buildSeconds = 0.0;
    double simulationSeconds = 0.0;
    double historyBytesPerValue = 0.0;
    long peakKiB = 0;
    std::string error;
};

// VmHWM of this process, in KiB (0 when the system does not say).
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

fs::path makeTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vastrid2-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        std::cerr << "cannot create a temporary folder" << std::endl;
        std::exit(1);
    }
    return fs::path(buffer.data());
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

// The inputs of one case in folder: settings, source and table lists.
fs::path writeInputs(const BenchCase& c, const fs::path& maps, const fs::path& landscapes,
                     const fs::path& folder, int endTime) {
    writeText(folder / "k_list.txt", "1\n0 " + (landscapes / "europe_veg2k.txt").string() + "\n");
    writeText(folder / "f_list.txt", "1\n0 " + (landscapes / "europe_veg2f.txt").string() + "\n");
    writeText(folder / "population.txt", "1\nLevant_Damascus 500 33.51 36.29 0 0 0 0 0 0\n");
    std::ostringstream settings;
    settings << "PresVegetationFile=" << (maps / (c.grid + "_veg_present.asc")).string() << "\n"
             << "HydroFile=" << (maps / (c.grid + "_rivers.asc")).string() << "\n"
             << "Veg2KFile=" << (folder / "k_list.txt").string() << "\n"
             << "Veg2FFile=" << (folder / "f_list.txt").string() << "\n"
             << "FrictionChoice=0\nRiverFrictionChangeFactor=0.8\nRiverCarCapChangeFactor=1.5\n"
             << "DoublePopulationMode=0\nChosenDemographicModel=" << c.model << "\n"
             << "GrowthRate=0.5\nMigrationRate=0.3\nEndTime=" << endTime << "\nGenerationTime=25\n"
             << "AllowShortIntForNumberOfIndividuals=" << (c.shortHistory ? 1 : 0) << "\n"
             << "PopDensityFile=" << (folder / "population.txt").string() << "\n"
             << "TauValue=100\nArrivalCellFile=" << (folder / "none.col").string() << "\n"
             << "NumGeneticSimulations=0\nRandomSeed=20261211\n";
    writeText(folder / "settings.txt", settings.str());
    return folder / "settings.txt";
}

// Runs one case in this process (the child): build, then the forward run.
BenchResult runCase(const fs::path& settingsPath, const fs::path& folder) {
    BenchResult result;
    // The library's log and console lines go to the case's folder, not the table.
    AOS.close();
    AOS.open((folder / "vastrid2.log").string());
    std::ofstream console((folder / "console.txt").string());
    std::cout.rdbuf(console.rdbuf());
    try {
        World world;
        world.Settings.fileName = settingsPath.string().c_str();
        world.Settings.readParameters(settingsPath.string().c_str(), 0, nullptr, 0);
        initialize_ran3_from_setting(world.Settings.getIntParameter("RandomSeed", true));
        const auto buildStart = std::chrono::steady_clock::now();
        if (!world.BuildWorld()) {
            result.error = "the world build failed";
            return result;
        }
        cell::_Settings = &world.Settings;
        const auto runStart = std::chrono::steady_clock::now();
        const int simulated = world.SimulateWorld();
        const auto runEnd = std::chrono::steady_clock::now();
        if (!simulated) {
            result.error = "the simulation failed";
            return result;
        }
        result.landCells = static_cast<long>(world.grid.landCells.size());
        result.generations = world.history->endTime();
        result.buildSeconds = std::chrono::duration<double>(runStart - buildStart).count();
        result.simulationSeconds = std::chrono::duration<double>(runEnd - runStart).count();
        const uint64_t values = static_cast<uint64_t>(result.landCells) *
                                static_cast<uint64_t>(world.history->layers()) *
                                static_cast<uint64_t>(result.generations + 1);
        result.historyBytesPerValue =
            static_cast<double>(StateDB::historyBytes(static_cast<uint64_t>(result.landCells),
                                                      world.history->layers(), result.generations,
                                                      world.history->shortMode())) /
            static_cast<double>(values);
        result.peakKiB = peakResidentKiB();
        result.ok = true;
    } catch (const TException& e) {
        result.error = e.message().c_str();
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

// Runs the case in a child process and reads its result through a pipe.
BenchResult runInChild(const BenchCase& c, const fs::path& maps, const fs::path& landscapes,
                       int endTime) {
    const fs::path folder = makeTempFolder();
    const fs::path settings = writeInputs(c, maps, landscapes, folder, endTime);
    int channel[2];
    if (pipe(channel) != 0) {
        BenchResult failed;
        failed.error = "pipe failed";
        return failed;
    }
    std::cout.flush();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const BenchResult r = runCase(settings, folder);
        std::ostringstream line;
        line << std::setprecision(17) << r.ok << ' ' << r.landCells << ' ' << r.generations << ' '
             << r.buildSeconds << ' ' << r.simulationSeconds << ' ' << r.historyBytesPerValue << ' '
             << r.peakKiB << ' ' << r.error;
        const std::string text = line.str();
        const ssize_t written = write(channel[1], text.data(), text.size());
        close(channel[1]);
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string text;
    char chunk[512];
    ssize_t got = 0;
    while ((got = read(channel[0], chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::error_code ignored;
    fs::remove_all(folder, ignored);

    BenchResult r;
    std::istringstream fields(text);
    if (!(fields >> r.ok >> r.landCells >> r.generations >> r.buildSeconds >> r.simulationSeconds >>
          r.historyBytesPerValue >> r.peakKiB)) {
        r.ok = false;
        r.error =
            "the child process ended without a result (status " + std::to_string(status) + ")";
        return r;
    }
    std::getline(fields >> std::ws, r.error);
    return r;
}

void printHeader() {
    std::cout << std::left << std::setw(14) << "grid" << std::setw(7) << "model" << std::setw(9)
              << "history" << std::right << std::setw(11) << "land cells" << std::setw(8) << "gens"
              << std::setw(10) << "build s" << std::setw(10) << "run s" << std::setw(16)
              << "cell-gens/s" << std::setw(12) << "bytes/val" << std::setw(12) << "peak MiB"
              << "\n";
}

void printRow(const BenchCase& c, const BenchResult& r) {
    std::cout << std::left << std::setw(14) << c.grid << std::setw(7) << c.model << std::setw(9)
              << (c.shortHistory ? "16-bit" : "32-bit") << std::right;
    if (!r.ok) {
        std::cout << "  FAILED: " << r.error << std::endl;
        return;
    }
    const double cellGenerations = static_cast<double>(r.landCells) * r.generations;
    std::cout << std::setw(11) << r.landCells << std::setw(8) << r.generations << std::fixed
              << std::setprecision(2) << std::setw(10) << r.buildSeconds << std::setw(10)
              << r.simulationSeconds << std::setprecision(0) << std::setw(16)
              << cellGenerations / r.simulationSeconds << std::setprecision(1) << std::setw(12)
              << r.historyBytesPerValue << std::setw(12) << static_cast<double>(r.peakKiB) / 1024.0
              << std::defaultfloat << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path landscapes =
        fs::path(__FILE__).parent_path().parent_path().parent_path() / "shared" / "landscapes";
    int endTime = 2000;
    bool with6min = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--landscapes" && i + 1 < argc) {
            landscapes = argv[++i];
        } else if (argument == "--end-time" && i + 1 < argc) {
            endTime = std::atoi(argv[++i]);
        } else if (argument == "--with-6min") {
            with6min = true;
        } else {
            std::cerr << "usage: vastrid2_bench [--landscapes DIR] [--end-time N] [--with-6min]"
                      << std::endl;
            return 1;
        }
    }
    if (!fs::exists(landscapes / "europe_30min_veg_present.asc")) {
        std::cerr << "no Europe landscapes in '" << landscapes.string()
                  << "'; give their folder with --landscapes" << std::endl;
        return 1;
    }

    std::vector<BenchCase> cases = {{"europe_30min", 1, false},
                                    {"europe_30min", 3, false},
                                    {"europe_15min", 1, false},
                                    {"europe_15min", 3, false},
                                    {"europe_15min", 1, true}};
    fs::path unzipped;
    if (with6min) {
        unzipped = makeTempFolder();
        for (const char* map : {"europe_6min_veg_present.asc", "europe_6min_rivers.asc"}) {
            const std::string command = "gunzip -c '" + (landscapes / map).string() + ".gz' > '" +
                                        (unzipped / map).string() + "'";
            if (std::system(command.c_str()) != 0) {
                std::cerr << "cannot gunzip " << map << std::endl;
                return 1;
            }
        }
        cases.push_back({"europe_6min", 1, true});
        cases.push_back({"europe_6min", 3, true});
    }

    std::cout << "Forward demographic simulation, EndTime " << endTime
              << ", one layer, source in the Levant (" << landscapes.string() << ")\n";
    printHeader();
    int failures = 0;
    for (const BenchCase& c : cases) {
        const fs::path maps = c.grid == "europe_6min" ? unzipped : landscapes;
        const BenchResult r = runInChild(c, maps, landscapes, endTime);
        printRow(c, r);
        if (!r.ok) ++failures;
    }
    if (!unzipped.empty()) {
        std::error_code ignored;
        fs::remove_all(unzipped, ignored);
    }
    return failures == 0 ? 0 : 1;
}
