// The sample file (.sam) on the small world with two layers and a history in
// which the cells of the first row hold 10 individuals at the last generation.

#include "coalescent/deme_collection.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz_support::writeFile("samples.sam", data, size);
    constexpr int kEndTime = 5;
    auto world = fuzz_support::smallWorld(2, true, kEndTime);
    for (int column = 0; column < fuzz_support::kColumns; ++column) {
        cell* c = world->grid.at(0, column);
        world->history->store(StateDB::seriesBlock(0, kSeriesN), kEndTime, c->dbIndex, 10);
    }
    world->Settings["SampleFile"] = path.c_str();
    world->Settings["GenotypicData"] = size % 2 == 0 ? "0" : "1";
    world->Settings["ImmigDistrFile"] = "0";
    world->demes.owner = world.get();
    try {
        world->demes.createDemesFromWorld();
        world->demes.readCoalSimParams();
    } catch (const TException&) {
    }
    world.reset();
    cell::_States = nullptr;
    NbDemePerCell = 1;
    return 0;
}
