#include "demography/model_parameters.h"

#include "app/settings.h"
#include "demography/baird_lattice.h"
#include "demography/cell.h"

namespace {
float rateOf(TSettings& settings, const char* key) {
    return static_cast<float>(settings.getdoubleParameter(key, true));
}
}  // namespace

TModelParameters readModelParameters(TSettings& settings, bool secondLayer) {
    TModelParameters parameters;
    parameters.migrationRate = rateOf(settings, "MigrationRate");
    if (secondLayer) {
        parameters.migrationRateP1ToP2 = rateOf(settings, "MigrRate_P1_to_P2");
        parameters.migrationRateP2ToP1 = rateOf(settings, "MigrRate_P2_to_P1");
    }
    parameters.growthRate = rateOf(settings, "GrowthRate");
    if (secondLayer) {
        parameters.growthRateP2 = rateOf(settings, "GrowthRate_P2");
        parameters.migrationRateP2 = rateOf(settings, "MigrationRate_P2");
    }
    if (UsingBairdLattice) {
        parameters.migrationRate = bairdMigrationRate(cell::_Current_time);
        parameters.migrationRateP2 = parameters.migrationRate;
    }
    return parameters;
}
