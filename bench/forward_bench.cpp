// Forward benchmark: the demographic simulation on the shared landscapes, each
// case in a child process of its own so that its peak resident memory and its
// processor time are its own. Prints one table row per case.
//
//   build/bench/forward_bench [--landscapes DIR] [--case PATTERN]... [--all] [--growth]
//                             [--end-time N] [--list]
//
// A case is named grid.model.layers.EndTime, e.g. europe_15min.m1.L1.T2000
// (".s16" appended when the history is kept in 16 bits). --case keeps the cases
// whose name contains PATTERN (repeatable); --all adds the long ones (0.1 degree,
// EndTime 4000); --growth runs the grid-size x EndTime table instead.
//
// Besides the run, each child times the memory floor of its history: a fresh
// buffer of 20 bytes per land-cell-layer-generation (the dense 32-bit history),
// 2 MiB aligned and advised for huge pages, filled with 4-byte stores, best of
// three. The machines are shared and often loaded: the processor time (user +
// system) of the run and of that write are printed beside the wall time, and
// "cpu run/write" is the run's processor time over the write's.

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

constexpr double kDenseBytesPerValue = 20.0;  // 5 series x 4 bytes
constexpr size_t kHugePage = size_t{2} << 20;

struct BenchCase {
    std::string grid;  // europe_30min, afroeurasia_1deg, ...
    int model;
    int layers;
    int endTime;
    bool shortHistory;

    std::string name() const {
        return grid + ".m" + std::to_string(model) + ".L" + std::to_string(layers) + ".T" +
               std::to_string(endTime) + (shortHistory ? ".s16" : "");
    }
    std::string region() const {
        return grid.rfind("afroeurasia", 0) == 0 ? "afroeurasia" : "europe";
    }
};

struct BenchResult {
    bool ok = false;
    long landCells = 0;
    int generations = 0;
    int layers = 1;
    double buildSeconds = 0.0;
    double simulationSeconds = 0.0;
    double simulationCpuSeconds = 0.0;
    double historyBytesPerValue = 0.0;
    long peakKiB = 0;
    double denseWriteSeconds = 0.0;     // wall, best of three
    double denseWriteCpuSeconds = 0.0;  // processor time, best of three
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

double cpuSecondsOfThisProcess() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Plain 4-byte stores, one after the other (not vectorised: the history is
// written value by value too).
__attribute__((noinline, optimize("no-tree-vectorize"))) void fillWithWords(int32_t* words,
                                                                            size_t count) {
    for (size_t i = 0; i < count; ++i) words[i] = static_cast<int32_t>(i);
    asm volatile("" : : "r"(words) : "memory");
}

// Best of three (wall and processor time apart): allocate a fresh huge-page
// buffer of the given size and fill it.
void timeDenseWrite(uint64_t bytes, double& bestWall, double& bestCpu) {
    bestWall = bestCpu = 0.0;
    if (bytes == 0) return;
    const size_t size = (static_cast<size_t>(bytes) + kHugePage - 1) / kHugePage * kHugePage;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double cpuStart = cpuSecondsOfThisProcess();
        const auto start = std::chrono::steady_clock::now();
        void* memory = nullptr;
        if (posix_memalign(&memory, kHugePage, size) != 0) return;
        madvise(memory, size, MADV_HUGEPAGE);
        fillWithWords(static_cast<int32_t*>(memory), size / sizeof(int32_t));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpuSecondsOfThisProcess() - cpuStart;
        std::free(memory);
        if (attempt == 0 || wall < bestWall) bestWall = wall;
        if (attempt == 0 || cpu < bestCpu) bestCpu = cpu;
    }
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

// The first "name latitude longitude" line of a landscape's source file.
std::string sourceLine(const fs::path& landscapes, const std::string& region, int layer) {
    std::ifstream in(landscapes / (region + "_source.txt"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, latitude, longitude;
        if (fields >> name >> latitude >> longitude) {
            return name + (layer == 0 ? "" : "_P2") + " 500 " + latitude + " " + longitude +
                   " 0 0 0 0 " + std::to_string(layer) + " 0\n";
        }
    }
    std::cerr << "no source in " << (landscapes / (region + "_source.txt")).string() << std::endl;
    std::exit(1);
}

// The inputs of one case in folder: settings, source and table lists.
fs::path writeInputs(const BenchCase& c, const fs::path& maps, const fs::path& landscapes,
                     const fs::path& folder) {
    const std::string region = c.region();
    writeText(folder / "k_list.txt",
              "1\n0 " + (landscapes / (region + "_veg2k.txt")).string() + "\n");
    writeText(folder / "f_list.txt",
              "1\n0 " + (landscapes / (region + "_veg2f.txt")).string() + "\n");
    std::string sources = std::to_string(c.layers) + "\n";
    for (int layer = 0; layer < c.layers; ++layer) sources += sourceLine(landscapes, region, layer);
    writeText(folder / "population.txt", sources);
    std::ostringstream settings;
    settings << "PresVegetationFile=" << (maps / (c.grid + "_veg_present.asc")).string() << "\n"
             << "HydroFile=" << (maps / (c.grid + "_rivers.asc")).string() << "\n"
             << "Veg2KFile=" << (folder / "k_list.txt").string() << "\n"
             << "Veg2FFile=" << (folder / "f_list.txt").string() << "\n"
             << "FrictionChoice=0\nRiverFrictionChangeFactor=0.8\nRiverCarCapChangeFactor=1.5\n"
             << "DoublePopulationMode=" << (c.layers == 2 ? 1 : 0) << "\n"
             << "ChosenDemographicModel=" << c.model << "\n"
             << "GrowthRate=0.5\nMigrationRate=0.3\nEndTime=" << c.endTime
             << "\nGenerationTime=25\n"
             << "AllowShortIntForNumberOfIndividuals=" << (c.shortHistory ? 1 : 0) << "\n"
             << "PopDensityFile=" << (folder / "population.txt").string() << "\n"
             << "TauValue=100\nArrivalCellFile=" << (folder / "none.col").string() << "\n"
             << "NumGeneticSimulations=0\nRandomSeed=20261211\n";
    if (c.layers == 2) {
        settings << "Veg2K_P2_File=" << (folder / "k_list.txt").string() << "\n"
                 << "Veg2F_P2_File=" << (folder / "f_list.txt").string() << "\n"
                 << "GrowthRate_P2=0.5\nMigrationRate_P2=0.3\n"
                 << "MigrRate_P1_to_P2=0.1\nMigrRate_P2_to_P1=0.02\n";
    }
    writeText(folder / "settings.txt", settings.str());
    return folder / "settings.txt";
}

// Runs one case in this process (the child): build, then the forward run, then
// (with the world gone) the dense-write floor of the same size.
BenchResult runCase(const fs::path& settingsPath, const fs::path& folder) {
    BenchResult result;
    // The library's log and console lines go to the case's folder, not the table.
    AOS.close();
    AOS.open((folder / "vastrid2.log").string());
    std::ofstream console((folder / "console.txt").string());
    std::cout.rdbuf(console.rdbuf());
    try {
        {
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
            const double cpuStart = cpuSecondsOfThisProcess();
            const auto runStart = std::chrono::steady_clock::now();
            const int simulated = world.SimulateWorld();
            const auto runEnd = std::chrono::steady_clock::now();
            result.simulationCpuSeconds = cpuSecondsOfThisProcess() - cpuStart;
            if (!simulated) {
                result.error = "the simulation failed";
                return result;
            }
            result.landCells = static_cast<long>(world.grid.landCells.size());
            result.generations = world.history->endTime();
            result.layers = world.history->layers();
            result.buildSeconds = std::chrono::duration<double>(runStart - buildStart).count();
            result.simulationSeconds = std::chrono::duration<double>(runEnd - runStart).count();
            const uint64_t values = static_cast<uint64_t>(result.landCells) *
                                    static_cast<uint64_t>(result.layers) *
                                    static_cast<uint64_t>(result.generations + 1);
            result.historyBytesPerValue =
                static_cast<double>(StateDB::historyBytes(static_cast<uint64_t>(result.landCells),
                                                          result.layers, result.generations,
                                                          world.history->shortMode())) /
                static_cast<double>(values);
            result.peakKiB = peakResidentKiB();
        }
        const uint64_t denseBytes =
            static_cast<uint64_t>(kDenseBytesPerValue * static_cast<double>(result.landCells) *
                                  result.layers * (result.generations + 1));
        timeDenseWrite(denseBytes, result.denseWriteSeconds, result.denseWriteCpuSeconds);
        result.ok = true;
    } catch (const TException& e) {
        result.error = e.message().c_str();
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

// Runs the case in a child process and reads its result through a pipe.
BenchResult runInChild(const BenchCase& c, const fs::path& maps, const fs::path& landscapes) {
    const fs::path folder = makeTempFolder();
    const fs::path settings = writeInputs(c, maps, landscapes, folder);
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
             << r.layers << ' ' << r.buildSeconds << ' ' << r.simulationSeconds << ' '
             << r.simulationCpuSeconds << ' ' << r.historyBytesPerValue << ' ' << r.peakKiB << ' '
             << r.denseWriteSeconds << ' ' << r.denseWriteCpuSeconds << ' ' << r.error;
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
    if (!(fields >> r.ok >> r.landCells >> r.generations >> r.layers >> r.buildSeconds >>
          r.simulationSeconds >> r.simulationCpuSeconds >> r.historyBytesPerValue >> r.peakKiB >>
          r.denseWriteSeconds >> r.denseWriteCpuSeconds)) {
        r.ok = false;
        r.error =
            "the child process ended without a result (status " + std::to_string(status) + ")";
        return r;
    }
    std::getline(fields >> std::ws, r.error);
    return r;
}

void printHeader() {
    std::cout << std::left << std::setw(34) << "case" << std::right << std::setw(9) << "cells"
              << std::setw(6) << "gens" << std::setw(8) << "build s" << std::setw(8) << "run s"
              << std::setw(8) << "cpu s" << std::setw(12) << "c-g/s wall" << std::setw(11)
              << "c-g/s cpu" << std::setw(11) << "B/value" << std::setw(10) << "peak MiB"
              << std::setw(9) << "write s" << std::setw(8) << "w cpu s" << std::setw(9) << "cpu r/w"
              << "\n";
}

void printRow(const BenchCase& c, const BenchResult& r) {
    std::cout << std::left << std::setw(34) << c.name() << std::right;
    if (!r.ok) {
        std::cout << "  FAILED: " << r.error << std::endl;
        return;
    }
    const double cellGenerations = static_cast<double>(r.landCells) * r.generations;
    std::cout << std::setw(9) << r.landCells << std::setw(6) << r.generations << std::fixed
              << std::setprecision(2) << std::setw(8) << r.buildSeconds << std::setw(8)
              << r.simulationSeconds << std::setw(8) << r.simulationCpuSeconds << std::scientific
              << std::setprecision(2) << std::setw(12) << cellGenerations / r.simulationSeconds
              << std::setw(11)
              << (r.simulationCpuSeconds > 0 ? cellGenerations / r.simulationCpuSeconds : 0.0)
              << std::fixed << std::setprecision(1) << std::setw(6) << r.historyBytesPerValue
              << " /20" << std::setw(10) << static_cast<double>(r.peakKiB) / 1024.0
              << std::setprecision(3) << std::setw(9) << r.denseWriteSeconds << std::setw(8)
              << r.denseWriteCpuSeconds << std::setprecision(1) << std::setw(9)
              << (r.denseWriteCpuSeconds > 0 ? r.simulationCpuSeconds / r.denseWriteCpuSeconds
                                             : 0.0)
              << std::defaultfloat << std::endl;
}

std::vector<BenchCase> standardCases(bool all) {
    std::vector<BenchCase> cases;
    const std::vector<int> endTimes = all ? std::vector<int>{2000, 4000} : std::vector<int>{2000};
    for (int endTime : endTimes) {
        for (const char* grid : {"europe_30min", "europe_15min", "afroeurasia_1deg"}) {
            for (int layers : {1, 2}) {
                for (int model : {1, 3}) cases.push_back({grid, model, layers, endTime, false});
            }
        }
        cases.push_back({"europe_15min", 1, 1, endTime, true});
    }
    // 0.1 degree: 137,236 land cells; the 16-bit history keeps it within memory.
    for (int endTime : endTimes) {
        for (int model : {1, 3}) cases.push_back({"europe_6min", model, 1, endTime, true});
    }
    if (!all) {
        cases.erase(std::remove_if(cases.begin(), cases.end(),
                                   [](const BenchCase& c) { return c.grid == "europe_6min"; }),
                    cases.end());
    }
    return cases;
}

// Cost against land cells x generations: three grids, two EndTimes, model 1.
std::vector<BenchCase> growthCases() {
    std::vector<BenchCase> cases;
    for (int endTime : {1000, 2000}) {
        for (const char* grid : {"europe_1deg", "europe_30min", "europe_15min"}) {
            cases.push_back({grid, 1, 1, endTime, false});
        }
    }
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path landscapes = fs::path(VASTRID2_SOURCE_DIR).parent_path() / "shared" / "landscapes";
    bool all = false;
    bool growth = false;
    bool list = false;
    int endTimeOverride = -1;
    std::vector<std::string> patterns;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--landscapes" && i + 1 < argc) {
            landscapes = argv[++i];
        } else if (argument == "--case" && i + 1 < argc) {
            patterns.push_back(argv[++i]);
        } else if (argument == "--end-time" && i + 1 < argc) {
            endTimeOverride = std::atoi(argv[++i]);
        } else if (argument == "--all") {
            all = true;
        } else if (argument == "--growth") {
            growth = true;
        } else if (argument == "--list") {
            list = true;
        } else {
            std::cerr << "usage: forward_bench [--landscapes DIR] [--case PATTERN]... [--all] "
                         "[--growth] [--end-time N] [--list]"
                      << std::endl;
            return 1;
        }
    }
    if (!fs::exists(landscapes / "europe_30min_veg_present.asc")) {
        std::cerr << "no Europe landscapes in '" << landscapes.string()
                  << "'; give their folder with --landscapes" << std::endl;
        return 1;
    }

    // --case selects among every case, the long ones included.
    std::vector<BenchCase> cases = growth ? growthCases() : standardCases(all || !patterns.empty());
    if (endTimeOverride >= 0) {
        for (BenchCase& c : cases) c.endTime = endTimeOverride;
        std::vector<BenchCase> distinct;  // the 2000 and 4000 cases are now the same
        for (const BenchCase& c : cases) {
            if (std::none_of(distinct.begin(), distinct.end(),
                             [&c](const BenchCase& d) { return d.name() == c.name(); })) {
                distinct.push_back(c);
            }
        }
        cases = distinct;
    }
    if (!patterns.empty()) {
        std::vector<BenchCase> chosen;
        for (const BenchCase& c : cases) {
            for (const std::string& pattern : patterns) {
                if (c.name().find(pattern) != std::string::npos) {
                    chosen.push_back(c);
                    break;
                }
            }
        }
        cases = chosen;
    }
    if (list) {
        for (const BenchCase& c : cases) std::cout << c.name() << "\n";
        return 0;
    }
    if (cases.empty()) {
        std::cerr << "no case matches; see --list" << std::endl;
        return 1;
    }

    fs::path unzipped;
    for (const BenchCase& c : cases) {
        if (c.grid != "europe_6min" || !unzipped.empty()) continue;
        unzipped = makeTempFolder();
        for (const char* map : {"europe_6min_veg_present.asc", "europe_6min_rivers.asc"}) {
            const std::string command = "gunzip -c '" + (landscapes / map).string() + ".gz' > '" +
                                        (unzipped / map).string() + "'";
            if (std::system(command.c_str()) != 0) {
                std::cerr << "cannot gunzip " << map << std::endl;
                return 1;
            }
        }
    }

    std::cout
        << "Forward demographic simulation, source of each landscape's source file ("
        << landscapes.string() << ")\n"
        << "cell-gens/s = land cells x generations / run s (wall); B/value = history bytes "
           "per land-cell-layer-generation against the dense 20;\n"
        << "write s = filling a fresh huge-page buffer of 20 B per land-cell-layer-generation "
           "(best of 3, same process); cpu r/w = cpu s / w cpu s (processor times)\n";
    printHeader();
    int failures = 0;
    for (const BenchCase& c : cases) {
        const fs::path maps = c.grid == "europe_6min" ? unzipped : landscapes;
        const BenchResult r = runInChild(c, maps, landscapes);
        printRow(c, r);
        if (!r.ok) ++failures;
    }
    if (!unzipped.empty()) {
        std::error_code ignored;
        fs::remove_all(unzipped, ignored);
    }
    return failures == 0 ? 0 : 1;
}
