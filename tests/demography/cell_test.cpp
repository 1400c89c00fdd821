#include "demography/cell.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "foundations/log.h"
#include "random/ran3.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

// ran3's argument when continuing the stream.
int64_t probe = 1;

void seedMainStream(int64_t seed) {
    reset_ran3_for_tests();
    int64_t idum = -seed;
    ran3(&idum);
}

// A rows x columns grid of hand-made cells; false in the mask leaves a hole.
// Neighbours are linked both ways, as the world build links them.
class HandGrid {
public:
    HandGrid(int rows, int columns, const std::vector<bool>& land = {})
        : rows_(rows), columns_(columns), cells_(static_cast<size_t>(rows * columns)) {
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const size_t i = static_cast<size_t>(r * columns + c);
                if (!land.empty() && !land[i]) continue;
                cells_[i] = std::make_unique<cell>();
                cells_[i]->row = r;
                cells_[i]->column = c;
            }
        }
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                cell* x = at(r, c);
                if (x == nullptr) continue;
                x->north = at(r - 1, c);
                x->south = at(r + 1, c);
                x->east = at(r, c + 1);
                x->west = at(r, c - 1);
            }
        }
    }
    cell* at(int r, int c) const {
        if (r < 0 || c < 0 || r >= rows_ || c >= columns_) return nullptr;
        return cells_[static_cast<size_t>(r * columns_ + c)].get();
    }
    void setK(int k, int layer = 0) {
        for (auto& c : cells_) {
            if (c) c->states[layer].K = k;
        }
    }
    int64_t totalN(int layer = 0) const {
        int64_t sum = 0;
        for (const auto& c : cells_) {
            if (c) sum += c->states[layer]._N_POP;
        }
        return sum;
    }
    const std::vector<std::unique_ptr<cell>>& cells() const { return cells_; }

private:
    int rows_;
    int columns_;
    std::vector<std::unique_ptr<cell>> cells_;
};

// --- State --------------------------------------------------------------------

struct AccumulatorCase {
    const char* name;
    void (State::*update)(int&, const float&);
    float State::*remainder;
};

class FractionalMigrantTest : public ::testing::TestWithParam<AccumulatorCase> {};

TEST_P(FractionalMigrantTest, AMigrantOnlyAboveOneAndOnlyInItsOwnAccumulator) {
    const AccumulatorCase& c = GetParam();
    State s;
    int count = 0;
    (s.*c.update)(count, 0.5f);
    (s.*c.update)(count, 0.5f);
    EXPECT_EQ(count, 0) << "exactly 1.0 gives no migrant";
    EXPECT_FLOAT_EQ(s.*c.remainder, 1.0f);
    (s.*c.update)(count, 0.25f);
    EXPECT_EQ(count, 1);
    EXPECT_FLOAT_EQ(s.*c.remainder, 0.25f);
    (s.*c.update)(count, 2.5f);  // one migrant per call, whatever the sum
    EXPECT_EQ(count, 2);
    EXPECT_FLOAT_EQ(s.*c.remainder, 1.75f);

    const float State::*all[] = {&State::remainderN, &State::remainderW, &State::remainderS,
                                 &State::remainderE};
    for (const float State::*other : all) {
        if (other != c.remainder) {
            EXPECT_EQ(s.*other, 0.0f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directions, FractionalMigrantTest,
    ::testing::Values(
        AccumulatorCase{"North", &State::updateFractionalMigr_N, &State::remainderN},
        AccumulatorCase{"West", &State::updateFractionalMigr_W, &State::remainderW},
        AccumulatorCase{"South", &State::updateFractionalMigr_S, &State::remainderS},
        AccumulatorCase{"East", &State::updateFractionalMigr_E, &State::remainderE}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(StateTest, BalanceIsAddedAndANegativePopulationIsLoggedAndCleared) {
    cell owner;
    owner.row = 3;
    owner.column = 8;
    cell::_Current_time = 12;
    State& s = owner.states[0];

    s._N_POP = 10;
    s.BilanMigr = -4;
    EXPECT_EQ(s.add_BilanMigr_to_N(&owner), 6);
    EXPECT_EQ(s._N_POP, 6);
    EXPECT_EQ(s.BilanMigr, 0);

    s.BilanMigr = -9;
    CapturedOutput log;
    EXPECT_EQ(s.add_BilanMigr_to_N(&owner), 0);
    EXPECT_EQ(s._N_POP, 0);
    EXPECT_EQ(s.BilanMigr, 0);
    EXPECT_EQ(log.log(),
              "[Error in State::add_BilanMigr_to_N()]: _N_POP<0 when add_BilanMigr_to_N, _N_POP= -3\n"
              "  at generation 12 for cell 3;8\n");
    cell::_Current_time = 0;
}

// --- cell records ---------------------------------------------------------------

TEST(CellTest, InitOpensTheCellAndClearsEverythingElse) {
    cell::_world_x_size = 7;
    cell::_world_y_size = 9;
    cell other;
    cell c;
    c.north = c.southEast = &other;
    c.row = 4;
    c.layerSource[1] = 3;
    c.states[1]._N_POP = 5;
    c.isCoast = true;
    c.init();
    EXPECT_TRUE(c.aboveSea);
    EXPECT_TRUE(c.adapted);
    EXPECT_FALSE(c.isCoast);
    EXPECT_EQ(c.worldRows, 7u);
    EXPECT_EQ(c.worldColumns, 9u);
    EXPECT_EQ(c.north, nullptr);
    EXPECT_EQ(c.southEast, nullptr);
    EXPECT_EQ(c.history, nullptr);
    EXPECT_EQ(c.row, 0);
    EXPECT_EQ(c.layerSource[1], 0);
    EXPECT_EQ(c.states[1]._N_POP, 0);
    cell::_world_x_size = cell::_world_y_size = 0;
}

TEST(CellTest, EdgeOrCoastWhenAnyOrthogonalNeighbourIsMissing) {
    HandGrid grid(3, 3);
    EXPECT_FALSE(grid.at(1, 1)->EdgeorCoastCell());
    EXPECT_TRUE(grid.at(0, 1)->EdgeorCoastCell());
    EXPECT_TRUE(grid.at(1, 2)->EdgeorCoastCell());
    cell* centre = grid.at(1, 1);
    centre->west = nullptr;  // diagonal neighbours never count
    EXPECT_TRUE(centre->EdgeorCoastCell());
}

TEST(CellTest, DeleteMVectorReleasesAndClears) {
    cell::_m_array = new float[4];
    cell::delete_m_vector();
    EXPECT_EQ(cell::_m_array, nullptr);
    cell::delete_m_vector();  // a second release is harmless
    EXPECT_EQ(cell::_m_array, nullptr);
}

// --- ArrangeInitialDensity ---------------------------------------------------------

// The plain recursive placement, for K >= 0 and when everything fits (it does
// not end otherwise): the reference the placement must match draw for draw.
void referenceArrange(cell& c, int count, int source, int layer) {
    c.sourceNumber = source;
    State& s = c.states[layer];
    if (s._N_POP <= 0) {
        if (count < s.K) {
            s._N_POP = count;
            return;
        }
        s._N_POP = s.K;
        count -= s.K;
    } else if (s._N_POP < s.K) {
        if (count + s._N_POP <= s.K) {
            s._N_POP += count;
            return;
        }
        count = count + s._N_POP - s.K;
        s._N_POP = s.K;
    }
    if (count <= 0) return;
    cell* neighbours[4] = {c.north, c.east, c.south, c.west};
    int existing = 0;
    for (cell* n : neighbours) existing += n != nullptr;
    const int share = count / existing;
    const int rest = count % existing;
    int drawn = 0;
    do {
        drawn = static_cast<int>(rand_long(4));
    } while (neighbours[drawn] == nullptr);
    for (int d = 0; d < 4; ++d) {
        if (neighbours[d] != nullptr) {
            referenceArrange(*neighbours[d], share + (d == drawn ? rest : 0), source, layer);
        }
    }
}

TEST(ArrangeInitialDensityTest, TenOnAnEmptyCellOfFourWithTwoNeighbours) {
    HandGrid grid(1, 3);
    grid.setK(100);
    cell* middle = grid.at(0, 1);
    middle->states[0].K = 4;
    seedMainStream(5);
    EXPECT_EQ(middle->ArrangeInitialDensity(10, 2, 0), 1);
    EXPECT_EQ(middle->states[0]._N_POP, 4);
    EXPECT_EQ(grid.at(0, 0)->states[0]._N_POP, 3);
    EXPECT_EQ(grid.at(0, 2)->states[0]._N_POP, 3);
    for (const auto& c : grid.cells()) EXPECT_EQ(c->sourceNumber, 2);
}

TEST(ArrangeInitialDensityTest, SevenOnAFullCellWithThreeNeighboursGivesTheRestToTheDrawnOne) {
    for (int64_t seed : {1, 2, 3, 4, 5, 6, 7, 8}) {
        HandGrid grid(3, 3);
        grid.setK(50);
        cell* centre = grid.at(1, 1);
        centre->north = nullptr;  // three neighbours: east, south, west
        centre->states[0].K = 2;
        centre->states[0]._N_POP = 2;
        cell* byDirection[4] = {nullptr, grid.at(1, 2), grid.at(2, 1), grid.at(1, 0)};

        seedMainStream(seed);
        int drawn = 0;
        do {
            drawn = static_cast<int>(rand_long(4));
        } while (byDirection[drawn] == nullptr);
        const double next = ran3(&probe);

        seedMainStream(seed);
        centre->ArrangeInitialDensity(7, 1, 0);
        EXPECT_EQ(centre->states[0]._N_POP, 2);
        for (int d = 1; d < 4; ++d) {
            EXPECT_EQ(byDirection[d]->states[0]._N_POP, d == drawn ? 3 : 2) << "seed " << seed;
        }
        EXPECT_EQ(ran3(&probe), next) << "the placement draws exactly once";
    }
}

// Random small worlds where everything fits: the placement matches the
// recursive form cell by cell and consumes the same draws.
TEST(ArrangeInitialDensityTest, MatchesTheRecursiveFormWhenEverythingFits) {
    std::mt19937 worldRandom(20240611);
    for (int world = 0; world < 200; ++world) {
        const int rows = 2 + static_cast<int>(worldRandom() % 6);
        const int columns = 2 + static_cast<int>(worldRandom() % 6);
        std::vector<bool> land(static_cast<size_t>(rows * columns));
        for (size_t i = 0; i < land.size(); ++i) land[i] = worldRandom() % 5 != 0;
        land[0] = true;
        HandGrid fast(rows, columns, land);
        HandGrid slow(rows, columns, land);
        for (size_t i = 0; i < land.size(); ++i) {
            if (!land[i]) continue;
            const int k = static_cast<int>(worldRandom() % 7);
            const int n = static_cast<int>(worldRandom() % 9) - 1;  // -1 .. 7, some full
            for (HandGrid* g : {&fast, &slow}) {
                g->cells()[i]->states[0].K = k;
                g->cells()[i]->states[0]._N_POP = n;
            }
        }
        // Room of the land reachable from cell (0, 0).
        int64_t room = 0;
        std::vector<const cell*> queue{fast.at(0, 0)};
        std::vector<bool> seen(land.size(), false);
        seen[0] = true;
        for (size_t q = 0; q < queue.size(); ++q) {
            const State& s = queue[q]->states[0];
            room += s._N_POP <= 0 ? s.K : std::max(0, s.K - s._N_POP);
            for (const cell* n : {queue[q]->north, queue[q]->east, queue[q]->south, queue[q]->west}) {
                if (n == nullptr) continue;
                const size_t i = static_cast<size_t>(n->row * columns + n->column);
                if (!seen[i]) {
                    seen[i] = true;
                    queue.push_back(n);
                }
            }
        }
        const int count = static_cast<int>(worldRandom() % static_cast<unsigned>(room + 1));

        seedMainStream(world + 1);
        referenceArrange(*slow.at(0, 0), count, 4, 0);
        const double slowNext = ran3(&probe);
        seedMainStream(world + 1);
        fast.at(0, 0)->ArrangeInitialDensity(count, 4, 0);
        const double fastNext = ran3(&probe);

        ASSERT_EQ(fastNext, slowNext) << "world " << world;
        for (size_t i = 0; i < land.size(); ++i) {
            if (!land[i]) continue;
            ASSERT_EQ(fast.cells()[i]->states[0]._N_POP, slow.cells()[i]->states[0]._N_POP)
                << "world " << world << " cell " << i;
            ASSERT_EQ(fast.cells()[i]->sourceNumber, slow.cells()[i]->sourceNumber)
                << "world " << world << " cell " << i;
        }
    }
}

struct DropCase {
    const char* name;
    int rows, columns;
    std::vector<bool> land;
    int k;
    int initialN;  // in every cell
    int count;
    int64_t expectedDropped;
};

class ArrangeDropTest : public ::testing::TestWithParam<DropCase> {};

// More individuals than the reachable land can take: the land fills, the rest
// is dropped and logged, and the placement ends.
TEST_P(ArrangeDropTest, FillsWhatIsReachableAndDropsTheRest) {
    const DropCase& c = GetParam();
    HandGrid grid(c.rows, c.columns, c.land);
    grid.setK(c.k);
    for (const auto& x : grid.cells()) {
        if (x) x->states[0]._N_POP = c.initialN;
    }
    const int64_t before = grid.totalN();
    seedMainStream(3);
    CapturedOutput log;
    EXPECT_EQ(grid.at(0, 0)->ArrangeInitialDensity(c.count, 6, 0), 1);
    EXPECT_EQ(grid.totalN() - before, c.count - c.expectedDropped);
    const std::string dropped = " " + std::to_string(c.expectedDropped) + " of the " +
                                std::to_string(c.count) + " individuals of source 6 are dropped";
    EXPECT_NE(log.log().find(dropped), std::string::npos) << log.log();
    EXPECT_NE(log.log().find("cell (row 0, column 0)"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArrangeDropTest,
    ::testing::Values(
        DropCase{"LoneEmptyCell", 1, 1, {}, 5, 0, 12, 7},
        DropCase{"LoneFullCell", 1, 1, {}, 5, 5, 12, 12},
        DropCase{"AllReachableFull", 3, 3, {}, 4, 4, 30, 30},
        DropCase{"PartlyFreeWorld", 2, 2, {}, 3, 1, 20, 12},
        // the free land of the other island does not count
        DropCase{"OtherIslandNotReachable", 1, 3, {true, false, true}, 2, 0, 5, 3}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ArrangeInitialDensityTest, ANegativeCarryingCapacityHoldsNobodyAndCreatesNobody) {
    HandGrid grid(1, 2);
    grid.at(0, 0)->states[0].K = -1;
    grid.at(0, 1)->states[0].K = 10;
    seedMainStream(2);
    grid.at(0, 0)->ArrangeInitialDensity(5, 1, 0);
    EXPECT_EQ(grid.at(0, 0)->states[0]._N_POP, 0);
    EXPECT_EQ(grid.at(0, 1)->states[0]._N_POP, 5);
}

TEST(ArrangeInitialDensityTest, AFullCellWithoutNeighbourDropsWhatReachesIt) {
    // The full start cell splits 4 individuals between a free cell and, through
    // a one-way link, a full dead end that cannot pass its share on.
    HandGrid grid(2, 2, {true, true, true, false});
    grid.setK(3);
    cell* start = grid.at(0, 0);
    cell* deadEnd = grid.at(0, 1);
    cell* free = grid.at(1, 0);
    deadEnd->west = nullptr;
    start->states[0]._N_POP = 3;
    deadEnd->states[0]._N_POP = 3;
    free->states[0].K = 10;
    seedMainStream(1);
    CapturedOutput log;
    start->ArrangeInitialDensity(4, 2, 0);
    EXPECT_EQ(free->states[0]._N_POP, 2);
    EXPECT_EQ(deadEnd->states[0]._N_POP, 3);
    EXPECT_NE(log.log().find("cell (row 0, column 1) is full and has no orthogonal neighbour to "
                              "pass individuals to; 2 individuals of source 2 (layer 0) are dropped"),
              std::string::npos)
        << log.log();
}

TEST(ArrangeInitialDensityTest, ASpillTrappedAmongFullCellsEndsInTheNearestFreeCells) {
    // start -> a <-> b, all full; start -> free (two-way). A packet that enters
    // a never leaves {a, b}: the bound ends the spill and the individuals still
    // in flight go to the free cell.
    HandGrid grid(2, 3);
    grid.setK(2);
    cell* start = grid.at(0, 0);
    cell* a = grid.at(0, 1);
    cell* b = grid.at(0, 2);
    cell* free = grid.at(1, 0);
    for (cell* c : {start, a, b}) c->states[0]._N_POP = 2;
    free->states[0].K = 100;
    a->west = nullptr;
    a->south = nullptr;
    b->south = nullptr;
    grid.at(1, 1)->north = nullptr;
    grid.at(1, 2)->north = nullptr;
    grid.at(1, 1)->states[0].K = 0;
    grid.at(1, 2)->states[0].K = 0;

    seedMainStream(9);
    CapturedOutput log;
    EXPECT_EQ(start->arrangeInitialDensityBounded(40, 3, 0, 5000), 1);
    EXPECT_EQ(free->states[0]._N_POP, 40);
    EXPECT_EQ(free->sourceNumber, 3);
    EXPECT_NE(log.log().find("after 5000 visits"), std::string::npos) << log.log();
}

TEST(ArrangeInitialDensityTest, ALongSpillNeedsNoDeepRecursion) {
    // A one-way corridor of 200000 cells of K = 1: the spill walks its whole
    // length, far deeper than a call stack would allow.
    const int length = 200000;
    std::vector<std::unique_ptr<cell>> corridor;
    corridor.reserve(length);
    for (int i = 0; i < length; ++i) {
        corridor.push_back(std::make_unique<cell>());
        corridor.back()->column = i;
        corridor.back()->states[0].K = 1;
        if (i > 0) corridor[static_cast<size_t>(i - 1)]->east = corridor.back().get();
    }
    seedMainStream(4);
    corridor.front()->ArrangeInitialDensity(length, 1, 0);
    EXPECT_EQ(corridor.front()->states[0]._N_POP, 1);
    EXPECT_EQ(corridor.back()->states[0]._N_POP, 1);
    EXPECT_EQ(corridor.back()->sourceNumber, 1);
}

}  // namespace
