// The settings file: read it, then ask for a few keys the way the run does.

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz_support::writeFile("settings.txt", data, size);
    TSettings settings;
    settings.fileName = path.c_str();
    try {
        settings.readParameters(path.c_str(), 0, nullptr, 0);
        for (const char* key : {"EndTime", "DoublePopulationMode", "ChosenDemographicModel"}) {
            try {
                settings.getIntParameter(key, true);
            } catch (const TException&) {
            }
        }
        try {
            settings.getdoubleParameter("GrowthRate", false);
        } catch (const TException&) {
        }
        settings.getParameter("PresVegetationFile", false);
    } catch (const TException&) {
    }
    NbDemePerCell = 1;
    return 0;
}
