#pragma once
// The demographic half of a run, as the genetic benchmarks need it before they
// time the genetic half: the example's settings file of the working directory
// read and seeded, the world built and the history grown.

#include <chrono>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "random/ran3.h"

namespace bench {

// Returns the seconds of the forward simulation; a failed step throws.
inline double buildAndGrowWorld(World& world) {
    world.Settings.fileName = "settings.txt";
    world.Settings.readParameters("settings.txt", 0, nullptr, 0);
    initialize_ran3_from_setting(world.Settings.getIntParameter("RandomSeed", true));
    if (!world.BuildWorld()) throw TException("the world build failed");
    cell::_Settings = &world.Settings;
    const auto forwardStart = std::chrono::steady_clock::now();
    if (!world.SimulateWorld()) throw TException("the forward simulation failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - forwardStart).count();
}

}  // namespace bench
