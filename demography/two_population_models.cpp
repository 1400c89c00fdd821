// Demographic models 21, 22 and 23: two populations (layers 0 and 1, P1 and P2)
// in every cell. The layer-0 call of a cell exchanges migrants between its two
// populations (intermarriage), grows both of them in one step, with (22, 23)
// or without (21) competition, and sends the emigrants of P1; the layer-1 call
// sends those of P2. Emigrants go into the BilanMigr balances, as with one
// layer, and never exceed the population that sends them.
//
// The float/double mix of each formula and the order north, west, south, east
// are part of the results: a rewritten formula that changes the last bit
// changes the runs.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <ostream>

#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "demography/model_steps.h"
#include "foundations/log.h"

namespace {

using model_steps::findOpenNeighbours;
using model_steps::kCountLimit;
using model_steps::kEast;
using model_steps::kNorth;
using model_steps::kSouth;
using model_steps::kWest;
using model_steps::OpenNeighbours;
using model_steps::recordMigrants;
using model_steps::recordNoMigrants;
using model_steps::saturateToInt;
using model_steps::truncateToCount;

// A double rounded to float; beyond the float range it becomes an infinity
// (what the hardware gives, but defined).
inline float roundToFloat(double value) {
    if (value > FLT_MAX) return INFINITY;
    if (value < -FLT_MAX) return -INFINITY;
    return static_cast<float>(value);
}

// v = 2 N0 N1 / (N0 + N1)^2 for N0, N1 >= 1, numerator and denominator each
// rounded to float and divided in float. They are exact in 64 bits for any two
// int sizes (the denominator needs the unsigned range); below 46341 individuals
// in all this is the 32-bit integer computation to the last bit. Rounding is
// monotone and halving exact, so v stays within [0, 0.5].
inline float intermarriageProbability(int n0, int n1) {
    const uint64_t a = static_cast<uint64_t>(n0);
    const uint64_t b = static_cast<uint64_t>(n1);
    const uint64_t numerator = 2 * a * b;
    const uint64_t denominator = (a + b) * (a + b);
    return static_cast<float>(numerator) / static_cast<float>(denominator);
}

// Migrants between the layers of a cell: x = (N v) in float, times the rate in
// double, rounded to float.
inline float expectedInterdemeMigrants(int n, float v, float rate) {
    return roundToFloat(static_cast<double>(static_cast<float>(n) * v) *
                        static_cast<double>(rate));
}

// Intermarriage: the two populations of the cell exchange migrants, the
// fractions of a migrant carried over in the layer-0 State.
void exchangeBetweenLayers(cell& c, const TModelParameters& parameters) {
    State& s0 = c.states[0];
    State& s1 = c.states[1];
    const int n0 = s0._N_POP;
    const int n1 = s1._N_POP;
    if (n0 < 1 || n1 < 1) return;

    const float v = intermarriageProbability(n0, n1);
    if (v < 0.0f || v > 0.5f) {  // cannot happen with the exact sums; the check stays
        AOS << "ERROR:[cell::iterateDensity_competition_density_dependant]: Probality of "
               "intermariage has a wrong value: "
            << v << ", new_density_P0: " << n0 << ", new_density_P1: " << n1 << std::endl;
    }
    const float x12 = expectedInterdemeMigrants(n0, v, parameters.migrationRateP1ToP2);
    const float x21 = expectedInterdemeMigrants(n1, v, parameters.migrationRateP2ToP1);
    const float whole12 = std::floor(x12);
    const float whole21 = std::floor(x21);
    int c12 = truncateToCount(whole12);
    int c21 = truncateToCount(whole21);
    s0.updateFractionalMigrIntedeme(x12 - whole12, c12, x21 - whole21, c21);
    if (c12 > n0) c12 = n0;
    if (c21 > n1) c21 = n1;

    s0._N_POP = saturateToInt(static_cast<int64_t>(n0) - c12 + c21);
    s1._N_POP = saturateToInt(static_cast<int64_t>(n1) + c12 - c21);
    cell::_States->setMigrationRArrive_BetweenDemes(cell::_Current_time, &c, 0, 1, c12);
    cell::_States->setMigrationRArrive_BetweenDemes(cell::_Current_time, &c, 1, 0, c21);
}

// g = x (1 + r (K - x - c y) / K), y the other population's x and c 1 when it
// competes: the product by r and the division by K in float, the "+ 1" and the
// product by x in double.
inline double logisticWithCompetitor(float x, float competitor, int k, float r) {
    const float room = static_cast<float>(k) - x - competitor;
    const float relativeGrowth = r * room / static_cast<float>(k);
    return static_cast<double>(x) * (1.0 + static_cast<double>(relativeGrowth));
}

// The grown size g rounded to float: N = g truncated, the remainder its
// fraction. A negative g (or a NaN) leaves nobody; a g beyond the int range
// saturates without a remainder.
inline void settleGrowth(double grown, State& s) {
    if (!(grown > 0.0)) {
        s._N_POP = 0;
        s.growthRemainder = 0.0f;
        return;
    }
    const float g = roundToFloat(grown);
    if (static_cast<double>(g) < kCountLimit) {
        s._N_POP = static_cast<int>(g);
        s.growthRemainder = g - static_cast<float>(s._N_POP);
        return;
    }
    s._N_POP = kCountLimit;
    s.growthRemainder = 0.0f;
}

// Growth of both layers from the sizes after intermarriage. A layer grows when
// it holds at least one individual and has K >= 1; otherwise it ends empty (the
// formula would divide by a K of 0 or -1). Nothing changes when both K are 0.
void growBothLayers(cell& c, bool competition, const TModelParameters& parameters) {
    State& s0 = c.states[0];
    State& s1 = c.states[1];
    if (s0.K == 0 && s1.K == 0) return;

    const int n0 = s0._N_POP;
    const int n1 = s1._N_POP;
    const float x0 = n0 >= 1 ? static_cast<float>(n0) + s0.growthRemainder : 0.0f;
    const float x1 = n1 >= 1 ? static_cast<float>(n1) + s1.growthRemainder : 0.0f;
    // Under competition each layer also counts the other's individuals (x is 0
    // for an empty layer).
    const float competitorOf0 = competition && n1 >= 1 ? x1 : 0.0f;
    const float competitorOf1 = competition && n1 >= 1 ? x0 : 0.0f;

    const double g0 = n0 >= 1 && s0.K >= 1
                          ? logisticWithCompetitor(x0, competitorOf0, s0.K, parameters.growthRate)
                          : 0.0;
    const double g1 = n1 >= 1 && s1.K >= 1
                          ? logisticWithCompetitor(x1, competitorOf1, s1.K, parameters.growthRateP2)
                          : 0.0;
    settleGrowth(g0, s0);
    settleGrowth(g1, s1);
}

// Emigration of one layer: J = N m (float) truncated, shared among the open
// neighbours by 1/F with fractional accumulators, then capped at N. Returns 0
// when no neighbour can be entered.
int emigrate(cell& c, int layer, float migrationRate) {
    const OpenNeighbours open = findOpenNeighbours(c, layer, false);
    if (open.count == 0) {
        recordNoMigrants(c, layer);
        return 0;
    }
    State& s = c.states[layer];
    const int population = s._N_POP;
    const int emigrants = truncateToCount(static_cast<float>(population) * migrationRate);

    int counts[4] = {0, 0, 0, 0};
    if (emigrants >= 1) {
        for (int d = 0; d < 4; ++d) {
            if (open.target[d] == nullptr) continue;
            const float share = static_cast<float>(emigrants) * open.p[d];
            const float whole = std::floor(share);
            counts[d] = truncateToCount(whole);
            model_steps::accumulateTowards(s, d, counts[d], share - whole);
        }
    }

    // Nobody sends more emigrants than it has: the excess is taken back from
    // east first, then west, north and south.
    int64_t excess = static_cast<int64_t>(counts[kNorth]) + counts[kWest] + counts[kSouth] +
                     counts[kEast] - population;
    for (const int d : {kEast, kWest, kNorth, kSouth}) {
        if (excess <= 0) break;
        const int64_t takenBack = counts[d] < excess ? counts[d] : excess;
        if (takenBack <= 0) continue;
        counts[d] -= static_cast<int>(takenBack);
        excess -= takenBack;
    }
    recordMigrants(c, layer, open, counts);
    return 1;
}

int twoLayerModel(cell& c, int layer, bool competition, const TModelParameters& parameters) {
    if (c.states[layer].K < 0) {
        recordNoMigrants(c, layer);
        return 0;
    }
    if (layer == 0) {
        exchangeBetweenLayers(c, parameters);
        growBothLayers(c, competition, parameters);
        return emigrate(c, 0, parameters.migrationRate);
    }
    return emigrate(c, layer, parameters.migrationRateP2);
}

}  // namespace

int cell::iterateDensity_Nocompetition_Fast(const int& layer, const TModelParameters& parameters) {
    return twoLayerModel(*this, layer, false, parameters);
}

int cell::iterateDensity_competition_density_dependant_Fast(const int& layer,
                                                            const bool& /*stochastic*/,
                                                            const bool& /*binomialSplit*/,
                                                            const TModelParameters& parameters) {
    return twoLayerModel(*this, layer, true, parameters);
}

int cell::iterateDensity_competition_density_independant_Fast(const int& layer,
                                                              const TModelParameters& parameters) {
    return twoLayerModel(*this, layer, true, parameters);
}
