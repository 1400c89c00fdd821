// The climate and sea-level series: the first byte picks the climate file
// (read into the climate series, which checks its reference value) or the
// sea-level file; the series read is then looked up across its range.

#include "fuzz_support.h"
#include "landscape/climate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = [] {
        fuzz_support::scratchFolder();
        NbDemePerCell = 1;
        return new World();
    }();
    const bool climate = fuzz_support::takeSelector(data, size) % 2 == 0;
    const std::string path = fuzz_support::writeFile("series.txt", data, size);
    TimeStoInt<float>& series = climate ? world->climateSeries : world->seaLevelSeries;
    series.clear();
    try {
        bool loaded = false;
        if (climate) {
            world->Settings["VostokFile"] = path.c_str();
            loaded = world->load_VostokTimeData(series);
        } else {
            world->Settings["SeaLevelFile"] = path.c_str();
            loaded = world->load_SeaLevelData();
        }
        if (loaded && series.count() > 0) {
            const int32_t first = series.times[0];
            const int32_t last = series.times[series.count() - 1];
            const int64_t step = (int64_t(last) - first) / 16 + 1;
            for (int64_t t = int64_t(first) - 1; t <= int64_t(last) + 1; t += step) {
                series[static_cast<int32_t>(t)];
            }
        }
    } catch (const TException&) {
    }
    return 0;
}
