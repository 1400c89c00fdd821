#include "demography/cell.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "foundations/log.h"
#include "random/ran3.h"

int cell::_Current_time = 0;
int cell::_Current_RealBP_time = 0;
int cell::_world_x_size = 0;
int cell::_world_y_size = 0;
StateDB* cell::_States = nullptr;
TSettings* cell::_Settings = nullptr;
float* cell::_m_array = nullptr;
int64_t cell::_lidum = 1;

cell::cell() = default;

void cell::init() {
    visited = false;
    worldRows = static_cast<unsigned int>(_world_x_size);
    worldColumns = static_cast<unsigned int>(_world_y_size);
    history = nullptr;
    east = west = north = south = nullptr;
    northWest = northEast = southWest = southEast = nullptr;
    for (State& s : states) s = State();
    row = 0;
    column = 0;
    dbIndex = 0;
    for (int& source : layerSource) source = 0;
    sourceNumber = 0;
    isCoast = false;
    aboveSea = true;
    adapted = true;
    river = 0;
    altitude = 0.0f;
    roughness = 0.0f;
    presentVegetation = 0;
    lgmVegetation = 0;
    mMapValue = 0;
}

bool cell::EdgeorCoastCell() const {
    return east == nullptr || west == nullptr || north == nullptr || south == nullptr;
}

void cell::delete_m_vector() {
    delete[] _m_array;
    _m_array = nullptr;
}

int cell::findDateOfColonization(const int& layer) const {
    if (history == nullptr) return -1;
    // The database holds generations 0..EndTime of the run it was built for.
    const int endTime = history->database->endTime();
    for (int t = 0; t <= endTime; ++t) {
        if (getN(t, layer) > 0) return t;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Placing the initial individuals of a source.
//
// The placement fills the cell up to K and hands the rest on to the orthogonal
// neighbours, in equal shares with the remainder going to one randomly drawn
// neighbour, depth first in the order north, east, south, west. It is run with
// an explicit stack of (cell, individuals) packets so a long spill cannot
// exhaust the call stack; the draws and placements happen in the same order as
// in the recursive form:
//   - a packet's draw happens when it is taken, before any of its children;
//   - its children are pushed in reverse order, so the north child (and all it
//     spills) is done before the east one;
//   - a share of 0 only marks the cell (sourceNumber, and a negative N becomes
//     0); that commutes with every other placement of the same source, so it is
//     applied at once instead of being pushed.
//
// Termination:
//   - more individuals than the reachable land can take would circulate among
//     full cells for ever, so the excess is dropped before the spill starts;
//   - a full cell with no orthogonal neighbour drops what reaches it;
//   - each packet visit either absorbs its individuals, fills a cell (each cell
//     at most once) or passes them on through a full cell. When everything fits,
//     the packets walk at random over full cells until they meet free room; with
//     symmetric neighbour links that happens with probability 1, but one-way
//     links can trap a packet among full cells, so the visits carrying
//     individuals are counted and bounded. Past the bound, the individuals still
//     in flight go straight to the free cells nearest to the source cell (they
//     fit, by the first rule) and the spill stops.
// The stack stays small: a packet of c individuals split among y >= 2
// neighbours leaves at most three pending siblings, and the largest share is
// about c / 2, so the pending packets number about 3 * log2(c).

namespace {

struct SpillPacket {
    cell* target;
    int count;
};

// A negative K (a vegetation class without a table entry) holds nobody.
int64_t placementCapacity(const State& s) { return s.K > 0 ? s.K : 0; }

// What the placement can still put into the cell.
int64_t freeRoom(const State& s) {
    const int64_t capacity = placementCapacity(s);
    if (s._N_POP <= 0) return capacity;
    return std::max<int64_t>(0, capacity - s._N_POP);
}

// Puts count individuals into the cell up to its capacity; returns the rest.
int placeUpToCapacity(State& s, int count) {
    const int64_t capacity = placementCapacity(s);
    if (s._N_POP <= 0) {
        if (count < capacity) {
            s._N_POP = count;
            return 0;
        }
        s._N_POP = static_cast<int>(capacity);
        return static_cast<int>(count - capacity);
    }
    if (s._N_POP < capacity) {
        const int64_t total = static_cast<int64_t>(count) + s._N_POP;
        if (total <= capacity) {
            s._N_POP = static_cast<int>(total);
            return 0;
        }
        s._N_POP = static_cast<int>(capacity);
        return static_cast<int>(total - capacity);
    }
    return count;
}

// Orthogonal neighbours in the order of the spill (and of rand_long(4)).
void orthogonalNeighbours(const cell& c, cell* (&neighbours)[4]) {
    neighbours[0] = c.north;
    neighbours[1] = c.east;
    neighbours[2] = c.south;
    neighbours[3] = c.west;
}

// Cells reachable from start through orthogonal neighbours, breadth first;
// visit returns false to stop the walk.
template <class Visit>
void walkReachableLand(cell* start, Visit visit) {
    std::vector<cell*> queue{start};
    std::unordered_set<const cell*> seen{start};
    for (size_t next = 0; next < queue.size(); ++next) {
        cell* current = queue[next];
        if (!visit(*current)) return;
        cell* neighbours[4];
        orthogonalNeighbours(*current, neighbours);
        for (cell* neighbour : neighbours) {
            if (neighbour != nullptr && seen.insert(neighbour).second) queue.push_back(neighbour);
        }
    }
}

// Free room of the reachable land, counted up to limit.
int64_t reachableRoom(cell* start, int layer, int64_t limit) {
    int64_t room = 0;
    walkReachableLand(start, [&](cell& c) {
        room += freeRoom(c.states[layer]);
        return room < limit;
    });
    return std::min(room, limit);
}

void warn(const std::string& text) {
    AOS << text << "\n";
    std::cout << text << std::endl;
}

std::string cellName(const cell& c) {
    std::ostringstream name;
    name << "cell (row " << c.row << ", column " << c.column << ")";
    return name.str();
}

// The bounded spill's way out: the individuals in flight go to the free cells
// nearest to start.
void placeInNearestFreeCells(cell* start, int64_t inFlight, int source, int layer) {
    walkReachableLand(start, [&](cell& c) {
        const int64_t take = std::min(freeRoom(c.states[layer]), inFlight);
        if (take > 0) {
            c.sourceNumber = source;
            placeUpToCapacity(c.states[layer], static_cast<int>(take));
            inFlight -= take;
        }
        return inFlight > 0;
    });
    if (inFlight > 0) {
        std::ostringstream text;
        text << "WARNING{cell::ArrangeInitialDensity}: no free room is left near " << cellName(*start)
             << " for layer " << layer << "; " << inFlight << " individuals of source " << source
             << " are dropped.";
        warn(text.str());
    }
}

}  // namespace

int cell::ArrangeInitialDensity(int count, int source, const int& layer) {
    return arrangeInitialDensityBounded(count, source, layer, kSpillVisitLimit);
}

int cell::arrangeInitialDensityBounded(int count, int source, const int& layer,
                                       uint64_t spillVisitLimit) {
    if (count < 0) count = 0;  // a negative count would make N negative

    const int64_t room = reachableRoom(this, layer, count);
    if (count > room) {
        std::ostringstream text;
        text << "WARNING{cell::ArrangeInitialDensity}: the land reachable from " << cellName(*this)
             << " can take only " << room << " more individuals of layer " << layer << "; "
             << (count - room) << " of the " << count << " individuals of source " << source
             << " are dropped.";
        warn(text.str());
        count = static_cast<int>(room);
    }

    std::vector<SpillPacket> pending{{this, count}};
    uint64_t visits = 0;
    while (!pending.empty()) {
        const SpillPacket packet = pending.back();
        if (packet.count > 0 && visits++ == spillVisitLimit) {
            int64_t inFlight = 0;
            for (const SpillPacket& p : pending) inFlight += p.count;
            std::ostringstream text;
            text << "WARNING{cell::ArrangeInitialDensity}: the spill of source " << source
                 << " (layer " << layer << ") from " << cellName(*this) << " still carried "
                 << inFlight << " individuals after " << spillVisitLimit
                 << " visits; they are placed in the free cells nearest to that cell.";
            warn(text.str());
            placeInNearestFreeCells(this, inFlight, source, layer);
            return 1;
        }
        pending.pop_back();

        cell& target = *packet.target;
        target.sourceNumber = source;
        const int left = placeUpToCapacity(target.states[layer], packet.count);
        if (left <= 0) continue;

        cell* neighbours[4];
        orthogonalNeighbours(target, neighbours);
        const int existing = static_cast<int>(
            std::count_if(neighbours, neighbours + 4, [](cell* n) { return n != nullptr; }));
        if (existing == 0) {
            std::ostringstream text;
            text << "WARNING{cell::ArrangeInitialDensity}: " << cellName(target)
                 << " is full and has no orthogonal neighbour to pass individuals to; " << left
                 << " individuals of source " << source << " (layer " << layer
                 << ") are dropped.";
            warn(text.str());
            continue;
        }
        const int share = left / existing;
        const int rest = left % existing;
        int drawn = 0;
        do {
            drawn = static_cast<int>(rand_long(4));
        } while (neighbours[drawn] == nullptr);

        for (int direction = 3; direction >= 0; --direction) {
            cell* neighbour = neighbours[direction];
            if (neighbour == nullptr) continue;
            const int given = share + (direction == drawn ? rest : 0);
            if (given > 0) {
                pending.push_back({neighbour, given});
            } else {
                neighbour->sourceNumber = source;
                placeUpToCapacity(neighbour->states[layer], 0);
            }
        }
    }
    return 1;
}
