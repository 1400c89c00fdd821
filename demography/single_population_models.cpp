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
#include <limits>

#include "app/settings.h"
#include "demography/baird_lattice.h"
#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "random/distributions.h"

TModelParameters readModelParameters(TSettings& settings) {
    TModelParameters parameters;
    parameters.migrationRate =
        static_cast<float>(settings.getdoubleParameter("MigrationRate", true));
    parameters.growthRate = static_cast<float>(settings.getdoubleParameter("GrowthRate", true));
    if (UsingBairdLattice) parameters.migrationRate = bairdMigrationRate(cell::_Current_time);
    return parameters;
}

namespace {

// Counts come from truncating floats. Values beyond the int range (absurd rates
// or capacities) saturate, a NaN counts as 0; the limit leaves room for the one
// extra migrant a direction accumulator may add.
constexpr int kCountLimit = std::numeric_limits<int>::max() - 1;

inline int truncateToCount(double value) {
    if (value > -kCountLimit && value < kCountLimit) return static_cast<int>(value);
    if (value >= kCountLimit) return kCountLimit;
    if (value <= -kCountLimit) return -kCountLimit;
    return 0;  // NaN
}

inline int saturateToInt(int64_t value) {
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Directions in the order every per-direction step follows.
enum Direction { kNorth = 0, kWest = 1, kSouth = 2, kEast = 3 };

struct OpenNeighbours {
    cell* target[4];  // null when the direction cannot be entered
    float p[4];       // share of the emigrants, 0 when closed
    int count;
};

// A neighbour can be entered when it has room (K > 0) and a friction strictly
// between 0 and 1; model 1 also requires it to be adapted.
inline bool canEnter(const cell* neighbour, int layer, bool requireAdapted) {
    if (neighbour == nullptr) return false;
    const State& s = neighbour->states[layer];
    return s.K > 0 && s.F > 0.0f && s.F < 1.0f && (!requireAdapted || neighbour->adapted);
}

// p_d = 1 / (F_d * S) with S the float sum of 1 / F_d, summed north, west, south, east.
inline OpenNeighbours findOpenNeighbours(const cell& c, int layer, bool requireAdapted) {
    cell* const around[4] = {c.north, c.west, c.south, c.east};
    OpenNeighbours open;
    open.count = 0;
    float sumOfWeights = 0.0f;
    for (int d = 0; d < 4; ++d) {
        if (canEnter(around[d], layer, requireAdapted)) {
            open.target[d] = around[d];
            sumOfWeights += 1.0f / around[d]->states[layer].F;
            ++open.count;
        } else {
            open.target[d] = nullptr;
        }
    }
    for (int d = 0; d < 4; ++d) {
        open.p[d] = open.target[d] != nullptr
                        ? 1.0f / (open.target[d]->states[layer].F * sumOfWeights)
                        : 0.0f;
    }
    return open;
}

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

// Moves the counts (indexed by Direction) into the balances and writes them to
// the history.
inline void recordMigrants(cell& c, int layer, const OpenNeighbours& open, const int (&counts)[4]) {
    const int64_t total =
        static_cast<int64_t>(counts[kNorth]) + counts[kWest] + counts[kSouth] + counts[kEast];
    State& s = c.states[layer];
    s.BilanMigr = saturateToInt(s.BilanMigr - total);
    for (int d = 0; d < 4; ++d) {
        if (open.target[d] == nullptr) continue;
        int& balance = open.target[d]->states[layer].BilanMigr;
        balance = saturateToInt(static_cast<int64_t>(balance) + counts[d]);
    }
    cell::_States->setMigrationRArrive(cell::_Current_time, &c, layer, counts[kNorth],
                                       counts[kSouth], counts[kEast], counts[kWest]);
}

inline void recordNoMigrants(cell& c, int layer) {
    cell::_States->setMigrationRArrive(cell::_Current_time, &c, layer, 0, 0, 0, 0);
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
        switch (d) {
            case kNorth:
                s.updateFractionalMigr_N(counts[d], fraction);
                break;
            case kWest:
                s.updateFractionalMigr_W(counts[d], fraction);
                break;
            case kSouth:
                s.updateFractionalMigr_S(counts[d], fraction);
                break;
            default:
                s.updateFractionalMigr_E(counts[d], fraction);
                break;
        }
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
