#pragma once
// Steps shared by the demographic models of one and of two layers: the
// defined conversion of float results to counts, the open neighbours and the
// share of the emigrants each gets, and the recording of the emigrants in the
// balances and the history. Internal to the model files.

#include <cstdint>
#include <limits>

#include "demography/cell.h"
#include "demography/state.h"
#include "demography/state_db.h"

namespace model_steps {

// Counts come from truncating floats. Values beyond the int range (absurd rates
// or capacities) saturate, a NaN counts as 0; the limit leaves room for the one
// extra migrant a fractional accumulator may add.
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

// The direction's fractional accumulator of s (State::updateFractionalMigr_N,
// _W, _S or _E) takes the fraction and may add one migrant to count.
inline void accumulateTowards(State& s, int direction, int& count, float fraction) {
    switch (direction) {
        case kNorth:
            s.updateFractionalMigr_N(count, fraction);
            break;
        case kWest:
            s.updateFractionalMigr_W(count, fraction);
            break;
        case kSouth:
            s.updateFractionalMigr_S(count, fraction);
            break;
        default:
            s.updateFractionalMigr_E(count, fraction);
            break;
    }
}

// StateDB::setMigrationRArrive, inline: called for every land cell, layer and
// generation.
inline void storeArrivals(StateDB& history, int t, const cell& c, int layer, int toNorth,
                          int toSouth, int toEast, int toWest) {
    if (c.north != nullptr) {
        history.store(StateDB::seriesBlock(layer, kSeriesFromSouth), t, c.north->dbIndex, toNorth);
    }
    if (c.south != nullptr) {
        history.store(StateDB::seriesBlock(layer, kSeriesFromNorth), t, c.south->dbIndex, toSouth);
    }
    if (c.east != nullptr) {
        history.store(StateDB::seriesBlock(layer, kSeriesFromWest), t, c.east->dbIndex, toEast);
    }
    if (c.west != nullptr) {
        history.store(StateDB::seriesBlock(layer, kSeriesFromEast), t, c.west->dbIndex, toWest);
    }
}

// Moves the counts (indexed by Direction) into the balances and writes them to
// the history.
inline void recordMigrants(cell& c, int layer, const OpenNeighbours& open,
                           const int (&counts)[4]) {
    const int64_t total =
        static_cast<int64_t>(counts[kNorth]) + counts[kWest] + counts[kSouth] + counts[kEast];
    State& s = c.states[layer];
    s.BilanMigr = saturateToInt(s.BilanMigr - total);
    for (int d = 0; d < 4; ++d) {
        if (open.target[d] == nullptr) continue;
        int& balance = open.target[d]->states[layer].BilanMigr;
        balance = saturateToInt(static_cast<int64_t>(balance) + counts[d]);
    }
    storeArrivals(*cell::_States, cell::_Current_time, c, layer, counts[kNorth], counts[kSouth],
                  counts[kEast], counts[kWest]);
}

inline void recordNoMigrants(cell& c, int layer) {
    storeArrivals(*cell::_States, cell::_Current_time, c, layer, 0, 0, 0, 0);
}

}  // namespace model_steps
