// The population-source file, read and checked against the small world's
// settings (two layers, so both layers' rules are reached).

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TSettings* settings = [] {
        fuzz_support::scratchFolder();
        auto* made = new TSettings();
        (*made)["EndTime"] = "50";
        (*made)["TauValue"] = "10";
        return made;
    }();
    NbDemePerCell = 2;
    const std::string path = fuzz_support::writeFile("population.txt", data, size);
    PopulationVector sources;
    try {
        const int read = sources.ReadPopDensityAndCoordinates_Multideme(path.c_str(), *settings);
        if (read != sources.count()) std::abort();
        for (int i = 0; i < sources.count(); ++i) {
            const PopulationSource& s = sources.at(i);
            if (s.layer < 0 || s.layer >= NbDemePerCell) std::abort();
        }
    } catch (const TException&) {
    }
    NbDemePerCell = 1;
    return 0;
}
