// Demographic models 1, 2 and 3: logistic growth of one layer of a cell, then
// emigration to the open orthogonal neighbours.
//
// Emigrants are not moved here: they go into the BilanMigr balances of the cell
// and of its neighbours, which the generation loop adds to the populations once
// every cell has been processed. The models never read a neighbour's N.
//
// The float/double mix of the growth step, the order north, west, south, east
// of every per-direction step and the order of the random draws are part of the
// results: a rewritten formula that changes the last bit changes the runs.

#include <cmath>
#include <cstdint>

#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "demography/model_steps.h"
#include "random/distributions.h"

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
using model_steps::truncateToCount;

// Logistic growth of x = N + remainder toward K (K >= 1):
// B = ((1 + r) x) / ((r / K) x + 1), with the products and r / K in float and
// the "+ 1" and the division in double, B rounded to float. Returns B truncated
// and keeps its fractional part as the next remainder (0 when B saturates).
inline int growthStep(State& s, float growthRate) {
    const float x = static_cast<float>(s._N_POP) + s.growthRemainder;
    const float numerator = (1 + growthRate) * x;
    const double denominator = (growthRate / s.K) * x + 1.0;
    if (denominator == 0.0) {  // (r / K) x = -1 (a negative rate): no finite size to keep
        s.growthRemainder = 0.0f;
        return numerator > 0.0f ? kCountLimit : numerator < 0.0f ? -kCountLimit : 0;
    }
    const float grown = static_cast<float>(numerator / denominator);
    if (static_cast<double>(grown) > -kCountLimit && static_cast<double>(grown) < kCountLimit) {
        const int n = static_cast<int>(grown);
        s.growthRemainder = grown - static_cast<float>(n);
        return n;
    }
    s.growthRemainder = 0.0f;
    return truncateToCount(grown);
}

}  // namespace

int cell::iterateDensity_BaseModel_MigrMax_fast(int layer, const TModelParameters& parameters) {
    State& s = states[layer];
    if (s.K < 1) {
        recordNoMigrants(*this, layer);
        return 0;
    }
    const int n = growthStep(s, parameters.growthRate);
    s._N_POP = n;

    const OpenNeighbours open = findOpenNeighbours(*this, layer, true);
    if (open.count == 0) {
        recordNoMigrants(*this, layer);
        return 0;
    }
    const float emigrants = static_cast<float>(n) * parameters.migrationRate;
    if (!(emigrants >= 1.0f)) {  // truncated below 1 (or NaN): the accumulators wait
        recordNoMigrants(*this, layer);
        return 1;
    }

    int counts[4] = {0, 0, 0, 0};
    for (int d = 0; d < 4; ++d) {
        if (open.target[d] == nullptr) continue;
        const float share = open.p[d] * emigrants;
        const float whole = std::floor(share);
        counts[d] = truncateToCount(whole);
        const float fraction = share - whole;  // share - count, also when the count saturates
        model_steps::accumulateTowards(s, d, counts[d], fraction);
    }
    recordMigrants(*this, layer, open, counts);
    return 1;
}

bool cell::iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(
    int layer, const bool& stochastic, const bool& /*binomialSplit*/,
    const TModelParameters& parameters) {
    State& s = states[layer];
    if (s.K < 1) {
        recordNoMigrants(*this, layer);
        return false;
    }
    int n = growthStep(s, parameters.growthRate);
    if (stochastic) n = truncateToCount(poidev(static_cast<float>(n), &cell::_lidum));
    s._N_POP = n;

    const OpenNeighbours open = findOpenNeighbours(*this, layer, false);
    if (open.count == 0) {
        recordNoMigrants(*this, layer);
        return false;
    }
    const float expected = static_cast<float>(n) * parameters.migrationRate;
    int emigrants = 0;
    if (stochastic) {
        const int drawn = truncateToCount(poidev(expected, &cell::_lidum));
        emigrants = drawn < n ? drawn : n;
    } else {
        emigrants = truncateToCount(expected);
    }
    if (emigrants < 1) {
        recordNoMigrants(*this, layer);
        return true;
    }

    // Successive binomial draws over the directions still to serve; closed
    // directions draw nothing and their p (0) drops out of the sums. East takes
    // what is left; without an open east it stays in the cell.
    const float* p = open.p;
    int left = emigrants;
    int counts[4] = {0, 0, 0, 0};
    if (open.target[kNorth] != nullptr) {
        counts[kNorth] = truncateToCount(bnldev(p[kNorth], left));
        left -= counts[kNorth];
    }
    if (open.target[kWest] != nullptr) {
        counts[kWest] = truncateToCount(bnldev(p[kWest] / (p[kWest] + p[kSouth] + p[kEast]), left));
        left -= counts[kWest];
    }
    if (open.target[kSouth] != nullptr) {
        counts[kSouth] = truncateToCount(bnldev(p[kSouth] / (p[kSouth] + p[kEast]), left));
        left -= counts[kSouth];
    }
    if (open.target[kEast] != nullptr) counts[kEast] = left;
    recordMigrants(*this, layer, open, counts);
    return true;
}
