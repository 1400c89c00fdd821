// Steps of the run whose subsystems are not part of this version yet. Each
// stops the run with a clear message instead of pretending to have done the work.

#include "app/world.h"
#include "foundations/exception.h"

namespace {
[[noreturn]] void notAvailable(const char* step) {
    throw TException(my_string(step) + " is not available yet in this version of vastrid2.");
}
}  // namespace

int World::SimulateGeneticData() { notAvailable("The genetic simulation"); }
