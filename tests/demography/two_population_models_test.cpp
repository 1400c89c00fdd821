// Demographic models 21, 22 and 23 (two layers per cell) on hand-made worlds:
// the growth of both layers, the migrants between the layers, the emigration
// with its cap, and invariants over many generations. Expected values are
// worked out by hand or with a float32 emulation of each formula.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "demography/cell.h"
#include "demography/demography_world_fixture.h"
#include "demography/model_parameters.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

// Land cells of a hand-made grid ('#' land), initialised as the world build
// does, linked both ways, listed row by row, with a two-layer history for
// generations 0..endTime. Both layers start with K = 100 and F = 0.5.
class TwoLayerWorld {
  public:
    TwoLayerWorld(const std::vector<std::string>& map, int endTime)
        : rows_(static_cast<int>(map.size())),
          columns_(static_cast<int>(map[0].size())),
          matrix_(static_cast<size_t>(rows_ * columns_), nullptr),
          db(nullptr, 1001, 500, rows_, columns_) {
        for (int r = 0; r < rows_; ++r) {
            for (int c = 0; c < columns_; ++c) {
                if (map[static_cast<size_t>(r)][static_cast<size_t>(c)] != '#') continue;
                owned_.push_back(std::make_unique<cell>());
                cell* x = owned_.back().get();
                x->init();
                x->row = r;
                x->column = c;
                for (State& s : x->states) {
                    s.K = 100;
                    s.F = 0.5f;
                }
                matrix_[static_cast<size_t>(r * columns_ + c)] = x;
                landCells.push_back(x);
            }
        }
        for (cell* x : landCells) {
            x->north = at(x->row - 1, x->column);
            x->south = at(x->row + 1, x->column);
            x->east = at(x->row, x->column + 1);
            x->west = at(x->row, x->column - 1);
        }
        db.buildFor(landCells, 2, endTime, false);
        cell::_States = &db;
    }
    cell* at(int r, int c) const {
        if (r < 0 || c < 0 || r >= rows_ || c >= columns_) return nullptr;
        return matrix_[static_cast<size_t>(r * columns_ + c)];
    }
    int between(const cell& c, int from, int to, int t) const {
        return c.history->get_migrBetweenDemes(from, to, t);
    }

    std::vector<cell*> landCells;

  private:
    int rows_;
    int columns_;
    std::vector<cell*> matrix_;
    std::vector<std::unique_ptr<cell>> owned_;

  public:
    StateDB db;
};

enum TwoLayerModel { kModel21 = 21, kModel22 = 22, kModel23 = 23 };
const TwoLayerModel kAllModels[] = {kModel21, kModel22, kModel23};

int applyModel(TwoLayerModel model, cell& c, int layer, const TModelParameters& p) {
    switch (model) {
        case kModel21:
            return c.iterateDensity_Nocompetition_Fast(layer, p);
        case kModel22:
            return c.iterateDensity_competition_density_dependant_Fast(layer, false, false, p);
        default:
            return c.iterateDensity_competition_density_independant_Fast(layer, p);
    }
}

// Growth r1, r2; migration m1, m2; between the layers m12 (P1 to P2), m21.
TModelParameters rates(float r1, float r2, float m1, float m2, float m12 = 0.0f,
                       float m21 = 0.0f) {
    TModelParameters p;
    p.growthRate = r1;
    p.growthRateP2 = r2;
    p.migrationRate = m1;
    p.migrationRateP2 = m2;
    p.migrationRateP1ToP2 = m12;
    p.migrationRateP2ToP1 = m21;
    return p;
}

// The process-wide values the models read, set for a test and restored after.
class TwoLayerModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedStates_ = cell::_States;
        savedSettings_ = cell::_Settings;
        savedTime_ = cell::_Current_time;
        savedLayers_ = NbDemePerCell;
        savedBaird_ = UsingBairdLattice;
        NbDemePerCell = 2;
        UsingBairdLattice = false;
        cell::_Current_time = 1;
    }
    void TearDown() override {
        cell::delete_m_vector();
        cell::_States = savedStates_;
        cell::_Settings = savedSettings_;
        cell::_Current_time = savedTime_;
        NbDemePerCell = savedLayers_;
        UsingBairdLattice = savedBaird_;
    }

    CapturedOutput output;

  private:
    StateDB* savedStates_ = nullptr;
    TSettings* savedSettings_ = nullptr;
    int savedTime_ = 0;
    int savedLayers_ = 1;
    bool savedBaird_ = false;
};

// A centre cell with its four neighbours, which have no other neighbour.
const std::vector<std::string> kPlus = {".#.", "###", ".#."};

// --- Rates ---------------------------------------------------------------------

TEST_F(TwoLayerModelTest, SecondLayerRatesAreReadAsFloatsOnlyForTheTwoLayerModels) {
    const std::vector<std::pair<const char*, const char*>> all = {
        {"MigrationRate", "0.3"},     {"GrowthRate", "0.1"},        {"MigrationRate_P2", "0.7"},
        {"GrowthRate_P2", "0.9"},     {"MigrRate_P1_to_P2", "0.01"}, {"MigrRate_P2_to_P1", "0.02"}};
    TSettings settings;
    for (const auto& kv : all) settings[kv.first] = kv.second;
    const TModelParameters p = readModelParameters(settings, true);
    EXPECT_EQ(p.migrationRate, 0.3f);
    EXPECT_EQ(p.growthRate, 0.1f);
    EXPECT_EQ(p.migrationRateP2, 0.7f);
    EXPECT_EQ(p.growthRateP2, 0.9f);
    EXPECT_EQ(p.migrationRateP1ToP2, 0.01f);
    EXPECT_EQ(p.migrationRateP2ToP1, 0.02f);

    for (size_t missing = 2; missing < all.size(); ++missing) {
        TSettings partial;
        for (size_t i = 0; i < all.size(); ++i) {
            if (i != missing) partial[all[i].first] = all[i].second;
        }
        EXPECT_NO_THROW(readModelParameters(partial)) << "one-layer models need no " << missing;
        try {
            readModelParameters(partial, true);
            ADD_FAILURE() << all[missing].first << " missing was accepted";
        } catch (const TException& e) {
            EXPECT_EQ(std::string(e.message().c_str()), std::string("The parameter '") +
                                                            all[missing].first +
                                                            "' is not defined in the inputfile!");
        }
    }

    // The Baird lattice replaces the migration rates of both layers.
    settings["EndTime"] = "3";
    cell::_Settings = &settings;
    UsingBairdLattice = true;
    cell::Init_m_vector();
    cell::_Current_time = 2;
    const TModelParameters baird = readModelParameters(settings, true);
    EXPECT_EQ(baird.migrationRate, cell::_m_array[2]);
    EXPECT_EQ(baird.migrationRateP2, cell::_m_array[2]);
    EXPECT_NE(baird.migrationRateP2, 0.7f);
}

// --- Growth ----------------------------------------------------------------------

struct TwoLayerGrowthCase {
    const char* name;
    std::vector<TwoLayerModel> models;
    int n0;
    float remainder0;
    int k0;
    int n1;
    float remainder1;
    int k1;
    float r1, r2;
    int expectedN0;
    float expectedRemainder0;
    int expectedN1;
    float expectedRemainder1;
};

class TwoLayerGrowthTest : public TwoLayerModelTest, public ::testing::WithParamInterface<TwoLayerGrowthCase> {};

// An isolated cell without migrants between its layers: the growth is all that
// happens, in the layer-0 call, and the layer-1 call changes nothing more.
TEST_P(TwoLayerGrowthTest, BothLayersGrowInTheLayerZeroCall) {
    const TwoLayerGrowthCase& g = GetParam();
    for (TwoLayerModel model : g.models) {
        TwoLayerWorld world({"#"}, 1);
        cell& c = *world.landCells[0];
        c.states[0]._N_POP = g.n0;
        c.states[0].growthRemainder = g.remainder0;
        c.states[0].K = g.k0;
        c.states[1]._N_POP = g.n1;
        c.states[1].growthRemainder = g.remainder1;
        c.states[1].K = g.k1;
        const TModelParameters p = rates(g.r1, g.r2, 0.5f, 0.5f);
        EXPECT_EQ(applyModel(model, c, 0, p), 0) << "no neighbour to enter";
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_EQ(c.states[0]._N_POP, g.expectedN0) << "model " << model;
            EXPECT_EQ(c.states[0].growthRemainder, g.expectedRemainder0) << "model " << model;
            EXPECT_EQ(c.states[1]._N_POP, g.expectedN1) << "model " << model;
            EXPECT_EQ(c.states[1].growthRemainder, g.expectedRemainder1) << "model " << model;
            if (pass == 0) applyModel(model, c, 1, p);
        }
        EXPECT_EQ(c.states[0].BilanMigr, 0);
        EXPECT_EQ(c.states[1].BilanMigr, 0);
    }
}

const std::vector<TwoLayerModel> kAll = {kModel21, kModel22, kModel23};
const std::vector<TwoLayerModel> kCompeting = {kModel22, kModel23};

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoLayerGrowthTest,
    ::testing::Values(
        // 50 (1 + 1 (100 - 50) / 100) = 75 for each layer on its own.
        TwoLayerGrowthCase{"Model21EachLayerAlone", {kModel21}, 50, 0, 100, 50, 0, 100, 1, 1, 75, 0, 75, 0},
        // 50 (1 + (100 - 50 - 50) / 100) = 50: each counts the other.
        TwoLayerGrowthCase{"CompetitionCountsBothLayers", kCompeting, 50, 0, 100, 50, 0, 100, 1, 1, 50, 0,
                   50, 0},
        // x = 1.3, K = 37, r = 0.1: all-float or all-double arithmetic gives
        // 1.4254323244...; the float/double mix gives 1.4254324436...
        TwoLayerGrowthCase{"FloatDoubleMix", kAll, 1, 0.3f, 37, 0, 0, 100, 0.1f, 1, 1,
                   0.4254324436187744f, 0, 0},
        // x0 = 13, x1 = 7.3 (K 97 and 41, r 0.3 and 0.7), with and without competition.
        TwoLayerGrowthCase{"CompetingLayersOfDifferentSizes", kCompeting, 13, 0, 97, 7, 0.3f, 41, 0.3f,
                   0.7f, 16, 0.08381462097168f, 9, 0.879927635192871f},
        TwoLayerGrowthCase{"SameLayersWithoutCompetition", {kModel21}, 13, 0, 97, 7, 0.3f, 41, 0.3f, 0.7f,
                   16, 0.3773193359375f, 11, 0.500170707702637f},
        // K0 = 0: P1 is emptied at once; P2 still counts P1's x0 = 50.5 under
        // competition: 50 (1 + (100 - 50 - 50.5) / 100) = 49.75.
        TwoLayerGrowthCase{"CapacityZeroEmptiesTheLayer", kCompeting, 50, 0.5f, 0, 50, 0, 100, 1,
                           1, 0, 0, 49, 0.75f},
        // Under model 21 too, also with a rate of 0 (0 / 0 in the formula).
        TwoLayerGrowthCase{"Model21CapacityZeroEmptiesTheLayer", {kModel21}, 50, 0.5f, 0, 50, 0, 100, 0, 1,
                   0, 0, 75, 0},
        // K1 = -1 (undefined vegetation class) in the layer-0 call: P2 emptied,
        // after counting against P1 under competition: 50 (1 + (100 - 50 - 20) / 100).
        TwoLayerGrowthCase{"UndefinedCapacityOfLayerOne", {kModel21}, 50, 0, 100, 20, 0, -1, 1, 1,
                           75, 0, 0, 0},
        TwoLayerGrowthCase{"UndefinedCapacityOfLayerOneCompeting", kCompeting, 50, 0, 100, 20, 0,
                           -1, 1, 1, 65, 0, 0, 0},
        // Both K 0: sizes and remainders stay.
        TwoLayerGrowthCase{"BothCapacitiesZeroChangeNothing", kAll, 50, 0.25f, 0, 30, 0.5f, 0, 1, 1, 50,
                   0.25f, 30, 0.5f},
        // K0 = -1 stops the layer-0 call before anything: P2 does not grow either.
        TwoLayerGrowthCase{"UndefinedCapacityOfLayerZeroStopsTheCall", kAll, 50, 0.25f, -1, 30, 0.5f, 100,
                   1, 1, 50, 0.25f, 30, 0.5f},
        // An empty P1 loses its remainder and leaves P2 to grow alone.
        TwoLayerGrowthCase{"EmptyLayerZero", kAll, 0, 0.7f, 100, 50, 0, 100, 1, 1, 0, 0, 75, 0},
        // 50 (1 - 3 (100 - 50) / 100) = -25 becomes 0.
        TwoLayerGrowthCase{"NegativeGrowthEmpties", kAll, 50, 0, 100, 0, 0, 100, -3, 1, 0, 0, 0, 0},
        // 2e9 (1 + 2e9) is far beyond the int range: saturated.
        TwoLayerGrowthCase{"BeyondIntSaturates", kAll, 2000000000, 0, 1, 0, 0, 100, -1, 1, INT_MAX - 1, 0,
                   0, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Migrants between the layers ------------------------------------------------

// N0 = N1 = 10: v = 0.5 and x12 = 10 x 0.5 x 0.1 = 0.5. The accumulator holds
// 0.5, then exactly 1.0 (still no migrant), then sends one.
TEST_F(TwoLayerModelTest, FractionalMigrantsBetweenTheLayersAccumulate) {
    for (TwoLayerModel model : kAllModels) {
        TwoLayerWorld world({"#"}, 3);
        cell& c = *world.landCells[0];
        c.states[0]._N_POP = 10;
        c.states[1]._N_POP = 10;
        const TModelParameters p = rates(0, 0, 0, 0, 0.1f, 0);
        const float accumulator[] = {0.5f, 1.0f, 0.5f};
        const int sent[] = {0, 0, 1};
        for (int t = 1; t <= 3; ++t) {
            cell::_Current_time = t;
            applyModel(model, c, 0, p);
            EXPECT_EQ(c.states[0].interdemeRemainder1, accumulator[t - 1]) << "generation " << t;
            EXPECT_EQ(c.states[0].interdemeRemainder2, 0.0f);
            EXPECT_EQ(world.between(c, 0, 1, t), sent[t - 1]) << "generation " << t;
            EXPECT_EQ(world.between(c, 1, 0, t), 0);
        }
        EXPECT_EQ(c.states[0]._N_POP, 9) << "model " << model;
        EXPECT_EQ(c.states[1]._N_POP, 11) << "model " << model;
    }
}

struct ExchangeCase {
    const char* name;
    int n0, n1;
    float m12, m21;
    int expected12, expected21;
};

class TwoLayerExchangeTest : public TwoLayerModelTest,
                     public ::testing::WithParamInterface<ExchangeCase> {};

// Both capacities 0 (no growth) and an isolated cell: only the exchange acts.
TEST_P(TwoLayerExchangeTest, MigrantsBetweenTheLayersAreRecordedAndMoved) {
    const ExchangeCase& e = GetParam();
    for (TwoLayerModel model : kAllModels) {
        TwoLayerWorld world({"#"}, 1);
        cell& c = *world.landCells[0];
        c.states[0]._N_POP = e.n0;
        c.states[1]._N_POP = e.n1;
        c.states[0].K = 0;
        c.states[1].K = 0;
        applyModel(model, c, 0, rates(0, 0, 0, 0, e.m12, e.m21));
        EXPECT_EQ(world.between(c, 0, 1, 1), e.expected12) << "model " << model;
        EXPECT_EQ(world.between(c, 1, 0, 1), e.expected21) << "model " << model;
        EXPECT_EQ(c.states[0]._N_POP, int64_t{e.n0} - e.expected12 + e.expected21);
        EXPECT_EQ(c.states[1]._N_POP, int64_t{e.n1} + e.expected12 - e.expected21);
    }
    EXPECT_EQ(output.log().find("Probality of intermariage"), std::string::npos) << output.log();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoLayerExchangeTest,
    ::testing::Values(
        // 10 x 0.5 x 5 = 25 migrants asked of 10 individuals.
        ExchangeCase{"CappedAtThePopulation", 10, 10, 5, 0, 10, 0},
        ExchangeCase{"BothWaysCapped", 10, 10, 3, 3, 10, 10},
        ExchangeCase{"BothWays", 30, 10, 0.5f, 1, 5, 3},
        // Sizes whose squared sum leaves the 32-bit range (which gave a v of
        // 3.34, -2.59 or -4): v is exact. Expected values from the float
        // formulas: v = 0.4444444, 0.5, 0.5, 9.3e-10, 2.0e-5.
        ExchangeCase{"LargeSizes", 2000000000, 1000000000, 1, 1, 888888832, 444444416},
        ExchangeCase{"LargeEqualSizes", 30000, 30000, 1, 1, 15000, 15000},
        ExchangeCase{"LargestSizes", INT_MAX - 1, INT_MAX - 1, 1, 1, 1073741824, 1073741824},
        ExchangeCase{"LargestAgainstOne", INT_MAX - 1, 1, 1, 1, 2, 0},
        ExchangeCase{"LargeAgainstOne", 100000, 1, 1, 1, 1, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A layer without individuals exchanges nothing and records nothing; the
// layer-1 call never exchanges.
TEST_F(TwoLayerModelTest, NoExchangeWithAnEmptyLayerOrInTheLayerOneCall) {
    struct Case {
        int n0, n1, layer;
    };
    for (const Case& k : {Case{0, 10, 0}, Case{10, 0, 0}, Case{10, 10, 1}}) {
        TwoLayerWorld world({"#"}, 1);
        cell& c = *world.landCells[0];
        c.states[0]._N_POP = k.n0;
        c.states[1]._N_POP = k.n1;
        c.states[0].K = 0;
        c.states[1].K = 0;
        c.history->set_migrBetweenDemes(0, 1, 77, 1);
        c.history->set_migrBetweenDemes(1, 0, 77, 1);
        applyModel(kModel21, c, k.layer, rates(0, 0, 0, 0, 0.9f, 0.9f));
        EXPECT_EQ(world.between(c, 0, 1, 1), 77);
        EXPECT_EQ(world.between(c, 1, 0, 1), 77);
        EXPECT_EQ(c.states[0]._N_POP, k.n0);
        EXPECT_EQ(c.states[1]._N_POP, k.n1);
        EXPECT_EQ(c.states[0].interdemeRemainder1, 0.0f);
    }
}

// --- Emigration -------------------------------------------------------------------

struct EmigrationCase {
    const char* name;
    int population;
    float m;
    const char* open;   // letters of the open directions among N, W, S, E
    int expected[4];    // emigrants north, west, south, east
    float accumulator;  // of each open direction afterwards
};

class TwoLayerEmigrationTest : public TwoLayerModelTest,
                       public ::testing::WithParamInterface<EmigrationCase> {};

// The centre of a plus sends the emigrants of one layer; the other layer is
// empty, its neighbours' frictions are all open and its rate is different, so
// only the layer's own rate and frictions can give the expected counts. No
// neighbour is adapted: the two-layer models do not look at it.
TEST_P(TwoLayerEmigrationTest, EmigrantsAreSharedByFrictionAndCappedAtThePopulation) {
    const EmigrationCase& e = GetParam();
    struct Arm {
        char letter;
        int row, column;
        HistorySeries arrival;
        float State::*accumulator;
    };
    const Arm arms[] = {{'N', 0, 1, kSeriesFromSouth, &State::remainderN},
                        {'W', 1, 0, kSeriesFromEast, &State::remainderW},
                        {'S', 2, 1, kSeriesFromNorth, &State::remainderS},
                        {'E', 1, 2, kSeriesFromWest, &State::remainderE}};
    for (TwoLayerModel model : kAllModels) {
        for (int layer = 0; layer < 2; ++layer) {
            const int other = 1 - layer;
            TwoLayerWorld world(kPlus, 1);
            cell& centre = *world.at(1, 1);
            centre.states[layer]._N_POP = e.population;
            for (const Arm& a : arms) {
                cell& arm = *world.at(a.row, a.column);
                arm.adapted = false;
                if (std::string(e.open).find(a.letter) == std::string::npos) {
                    arm.states[layer].F = 1.0f;
                }
            }
            // Growth rates 0 keep the population as it is in the layer-0 call.
            const TModelParameters p = layer == 0 ? rates(0, 0, e.m, 0.9f) : rates(0, 0, 0.9f, e.m);
            EXPECT_EQ(applyModel(model, centre, layer, p), 1);

            int total = 0;
            for (int d = 0; d < 4; ++d) {
                const Arm& a = arms[d];
                cell& arm = *world.at(a.row, a.column);
                const bool isOpen = std::string(e.open).find(a.letter) != std::string::npos;
                SCOPED_TRACE(std::string("model ") + std::to_string(model) + ", layer " +
                             std::to_string(layer) + ", " + a.letter);
                EXPECT_EQ(arm.states[layer].BilanMigr, e.expected[d]);
                EXPECT_EQ(world.db.read(StateDB::seriesBlock(layer, a.arrival), 1, arm.dbIndex),
                          e.expected[d]);
                EXPECT_EQ(centre.states[layer].*a.accumulator, isOpen ? e.accumulator : 0.0f);
                EXPECT_EQ(arm.states[other].BilanMigr, 0);
                total += e.expected[d];
            }
            EXPECT_EQ(centre.states[layer].BilanMigr, -total);
            EXPECT_EQ(centre.states[layer]._N_POP, e.population);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoLayerEmigrationTest,
    ::testing::Values(
        // H = 3, m = 2: J = 6 emigrants for one neighbour, capped at 3.
        EmigrationCase{"CapWithOneNeighbour", 3, 2, "E", {0, 0, 0, 3}, 0},
        // J = 10 over four: 2 each (2.5, the halves accumulated), 8 > 5: east
        // gives back 2, then west 1.
        EmigrationCase{"CapTakesFromEastThenWest", 5, 2, "NWSE", {2, 1, 2, 0}, 0.5f},
        // J = 4 over four, 1 each, 4 > 1: east, west, then north give back.
        EmigrationCase{"CapReachesNorthBeforeSouth", 1, 4, "NWSE", {0, 0, 1, 0}, 0},
        // J = 5 over four: 1.25 each, within the population.
        EmigrationCase{"NoCapNeeded", 10, 0.5f, "NWSE", {1, 1, 1, 1}, 0.25f},
        // J = 1 east and west: floor(0.5) each, both accumulators at 0.5.
        EmigrationCase{"OneEmigrantOverTwo", 2, 0.5f, "WE", {0, 0, 0, 0}, 0.5f},
        // J = 0.5 truncated to 0: nothing sent, nothing accumulated.
        EmigrationCase{"BelowOneEmigrant", 1, 0.5f, "NWSE", {0, 0, 0, 0}, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A layer with a negative K, or without a neighbour to enter, sends nobody
// and records zeros; a negative K also stops the rest of the call.
TEST_F(TwoLayerModelTest, NegativeCapacityOrNoOpenNeighbourSendsNobody) {
    for (TwoLayerModel model : kAllModels) {
        for (int layer = 0; layer < 2; ++layer) {
            for (bool negativeK : {true, false}) {
                TwoLayerWorld world({"##"}, 1);
                cell& c = *world.landCells[0];
                cell& east = *world.landCells[1];
                c.states[0]._N_POP = 40;
                c.states[1]._N_POP = 40;
                if (negativeK) {
                    c.states[layer].K = -1;
                } else {
                    east.states[layer].K = 0;
                }
                world.db.store(StateDB::seriesBlock(layer, kSeriesFromWest), 1, east.dbIndex, 77);
                EXPECT_EQ(applyModel(model, c, layer, rates(1, 1, 0.5f, 0.5f, 0.5f, 0.5f)), 0);
                EXPECT_EQ(east.getmW(1, layer), 0);
                EXPECT_EQ(c.states[layer].BilanMigr, 0);
                EXPECT_EQ(east.states[layer].BilanMigr, 0);
                if (negativeK || layer == 1) {
                    EXPECT_EQ(c.states[0]._N_POP, 40);
                    EXPECT_EQ(c.states[1]._N_POP, 40);
                    EXPECT_EQ(world.between(c, 0, 1, 1), 0);
                } else {
                    EXPECT_NE(c.states[0]._N_POP, 40) << "grew";
                }
            }
        }
    }
}

// --- Many generations -------------------------------------------------------------

struct InvariantCase {
    const char* name;
    TwoLayerModel model;
    bool growth;
};

class TwoLayerInvariantTest : public TwoLayerModelTest,
                      public ::testing::WithParamInterface<InvariantCase> {};

// An irregular world with random K and F per layer (some cells closed or
// without room) runs 300 generations the way the generation loop runs them.
// Every generation: the balances of each layer sum to 0, no count is negative,
// no emigrant leaves a layer that does not hold it, no N becomes negative, and
// without growth both layers together keep their size while layer 0 changes
// exactly by the recorded migrants between the layers.
TEST_P(TwoLayerInvariantTest, InvariantsHoldOverManyGenerations) {
    const InvariantCase& ic = GetParam();
    const int endTime = 300;
    TwoLayerWorld world({"#####.", "##.###", "######", ".####.", "###..#"}, endTime);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> capacity(0, 120);
    std::uniform_real_distribution<float> friction(0.05f, 1.1f);
    for (cell* c : world.landCells) {
        for (State& s : c->states) {
            s.K = ic.growth ? capacity(random) - 10 : 1 + capacity(random);
            s.F = friction(random);
        }
    }
    world.at(0, 0)->states[0]._N_POP = 80;
    world.at(0, 0)->states[1]._N_POP = 40;
    world.at(4, 2)->states[1]._N_POP = 60;
    const TModelParameters p = ic.growth ? rates(0.6f, 0.9f, 0.3f, 0.45f, 0.3f, 0.4f)
                                         : rates(0, 0, 0.3f, 0.45f, 0.3f, 0.4f);

    auto totalOf = [&](int layer) {
        int64_t sum = 0;
        for (const cell* c : world.landCells) sum += c->states[layer]._N_POP;
        return sum;
    };
    int64_t layer0 = totalOf(0);
    int64_t both = layer0 + totalOf(1);
    bool bothLayersMet = false;
    for (int t = 1; t <= endTime; ++t) {
        cell::_Current_time = t;
        for (int layer = 0; layer < 2; ++layer) {
            for (cell* c : world.landCells) {
                if (c->states[0]._N_POP > 0 || c->states[1]._N_POP > 0) {
                    applyModel(ic.model, *c, layer, p);
                } else {
                    world.db.setMigrationRArrive(t, c, layer, 0, 0, 0, 0);
                }
            }
        }
        // Each balance is what the neighbours recorded as sent here minus what
        // this cell was recorded as sending them.
        for (int layer = 0; layer < 2; ++layer) {
            int64_t balances = 0;
            for (const cell* c : world.landCells) {
                const int sent = (c->north ? c->north->getmS(t, layer) : 0) +
                                 (c->south ? c->south->getmN(t, layer) : 0) +
                                 (c->east ? c->east->getmW(t, layer) : 0) +
                                 (c->west ? c->west->getmE(t, layer) : 0);
                const int received = c->getmN(t, layer) + c->getmS(t, layer) +
                                     c->getmE(t, layer) + c->getmW(t, layer);
                ASSERT_GE(c->getmN(t, layer), 0);
                ASSERT_GE(c->getmS(t, layer), 0);
                ASSERT_GE(c->getmE(t, layer), 0);
                ASSERT_GE(c->getmW(t, layer), 0);
                ASSERT_LE(sent, c->states[layer]._N_POP)
                    << "more emigrants than individuals at generation " << t;
                ASSERT_EQ(c->states[layer].BilanMigr, received - sent) << "generation " << t;
                balances += c->states[layer].BilanMigr;
            }
            ASSERT_EQ(balances, 0) << "layer " << layer << " at generation " << t;
        }
        int64_t exchanged = 0;
        for (cell* c : world.landCells) {
            const int c12 = world.between(*c, 0, 1, t);
            const int c21 = world.between(*c, 1, 0, t);
            ASSERT_GE(c12, 0);
            ASSERT_GE(c21, 0);
            if (c12 > 0 || c21 > 0) bothLayersMet = true;
            exchanged += c21 - c12;
        }
        for (int layer = 0; layer < 2; ++layer) {
            for (cell* c : world.landCells) {
                ASSERT_GE(c->states[layer].add_BilanMigr_to_N(c), 0);
                c->history->states(layer).N().AddFast(c->states[layer]._N_POP, t);
            }
        }
        if (!ic.growth) {
            ASSERT_EQ(totalOf(0) + totalOf(1), both) << "generation " << t;
            ASSERT_EQ(totalOf(0), layer0 + exchanged) << "generation " << t;
            layer0 = totalOf(0);
        }
    }
    EXPECT_TRUE(bothLayersMet);
    EXPECT_GT(totalOf(0), 0);
    EXPECT_GT(totalOf(1), 0);
    EXPECT_EQ(output.log().find("_N_POP<0"), std::string::npos) << output.log();
}

INSTANTIATE_TEST_SUITE_P(Cases, TwoLayerInvariantTest,
                         ::testing::Values(InvariantCase{"Model21", kModel21, true},
                                           InvariantCase{"Model22", kModel22, true},
                                           InvariantCase{"Model23", kModel23, true},
                                           InvariantCase{"Model21NoGrowth", kModel21, false},
                                           InvariantCase{"Model23NoGrowth", kModel23, false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace

// --- Through the generation loop ----------------------------------------------------

namespace {

using demography_test::DemographyWorldTest;

class TwoLayerLoopTest : public DemographyWorldTest {
  protected:
    // The block map with two layers and every rate of the two-layer models but
    // the one named by omit; extra lines override them.
    int buildTwoLayers(const std::string& model, const std::string& extraLines = "",
                       const std::string& omit = "") {
        const std::vector<std::pair<std::string, std::string>> rates = {
            {"GrowthRate", "0.5"},        {"GrowthRate_P2", "0.8"},
            {"MigrationRate", "0.2"},     {"MigrationRate_P2", "0.3"},
            {"MigrRate_P1_to_P2", "0.1"}, {"MigrRate_P2_to_P1", "0.05"}};
        std::string lines = "DoublePopulationMode=1\nVeg2K_P2_File=" + kList +
                            "\nVeg2F_P2_File=" + fList + "\nChosenDemographicModel=" + model +
                            "\nEndTime=12\n";
        for (const auto& rate : rates) {
            if (rate.first != omit) lines += rate.first + "=" + rate.second + "\n";
        }
        return build("block_3x3.asc", lines + extraLines);
    }
    std::vector<int> allSizes() const {
        std::vector<int> sizes;
        for (int t = 0; t <= 12; ++t) {
            for (const cell* c : world->grid.landCells) {
                for (int layer = 0; layer < 2; ++layer) sizes.push_back(c->getN(t, layer));
            }
        }
        return sizes;
    }
};

// P1 starts in the centre; P2 is made from 30 of its individuals in the
// centre at generation 2. Models 22 and 23 are the same model;
// model 21 lets both layers grow freely.
TEST_F(TwoLayerLoopTest, ModelNumberChoosesTheTwoLayerModel) {
    population("2\nA 100 3.5 3.5 0 0 0 0 0 0\nB 30 3.5 3.5 0 0 0 0 1 2\n");
    std::vector<int> sizes[3];
    for (int model = 21; model <= 23; ++model) {
        ASSERT_EQ(buildTwoLayers(std::to_string(model)), 1);
        ASSERT_EQ(NbDemePerCell, 2);
        ASSERT_EQ(world->SimulateWorld(), 1) << log();
        sizes[model - 21] = allSizes();
        EXPECT_GT(world->FindMeanCohabitationTime(), 0.0f);
        EXPECT_GT(world->FindMeanNumOfMigrantsInterdeme(), 0.0f);
    }
    EXPECT_EQ(sizes[1], sizes[2]);
    EXPECT_NE(sizes[0], sizes[2]);
}

// A cell holding only the second layer is processed: its P2 grows in the
// layer-0 call and emigrates at MigrationRate_P2 (P1 does not migrate here).
TEST_F(TwoLayerLoopTest, CellHoldingOnlyTheSecondLayerIsProcessed) {
    population("2\nA 10 3.5 3.5 0 0 0 0 0 0\nB 1000 3.5 3.5 0 0 0 0 1 1\n");
    ASSERT_EQ(buildTwoLayers("21", "MigrationRate=0\n"), 1);
    ASSERT_EQ(world->SimulateWorld(), 1) << log();
    EXPECT_EQ(storedN(3, 3, 1, 0), 0) << "B took all of A";
    const int taken = storedN(3, 3, 1, 1);
    EXPECT_GT(taken, 10);
    for (int t = 2; t <= 12; ++t) {
        for (const cell* c : world->grid.landCells) EXPECT_EQ(c->getN(t, 0), 0);
    }
    EXPECT_GT(storedN(3, 3, 2, 1) + at(2, 3).getmS(2, 1), taken) << "P2 grew at generation 2";
    EXPECT_GT(at(2, 3).getN(2, 1), 0) << "and sent emigrants north";
}

TEST_F(TwoLayerLoopTest, MissingSecondLayerRateStopsTheFirstGeneration) {
    population("1\nA 100 3.5 3.5 0 0 0 0 0 0\n");
    for (const char* key :
         {"MigrRate_P1_to_P2", "MigrRate_P2_to_P1", "GrowthRate_P2", "MigrationRate_P2"}) {
        ASSERT_EQ(buildTwoLayers("23", "", key), 1);
        try {
            world->SimulateWorld();
            ADD_FAILURE() << key << " missing was accepted";
        } catch (const TException& e) {
            EXPECT_EQ(std::string(e.message().c_str()),
                      std::string("The parameter '") + key + "' is not defined in the inputfile!");
        }
        EXPECT_EQ(cell::_Current_time, 1);
    }
}

}  // namespace
