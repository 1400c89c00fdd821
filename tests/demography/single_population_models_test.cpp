// Demographic models 1, 2 and 3 on hand-made worlds, checked against values
// worked out by hand and against a slow reference written out step by step.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "demography/state_db.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "random/distributions.h"
#include "random/ran3.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

void seedMainStream(int64_t seed) {
    reset_ran3_for_tests();
    reset_distribution_caches();
    int64_t idum = -seed;
    ran3(&idum);
    cell::_lidum = 1;
}

// Land cells of a hand-made grid ('#' land, anything else water), initialised
// as the world build does (adapted, above sea), linked both ways, listed row by
// row, with a one-layer history for generations 0..endTime. Every land cell
// starts with K = 100 and F = 0.5.
class HandWorld {
  public:
    HandWorld(const std::vector<std::string>& map, int endTime)
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
                x->states[0].K = 100;
                x->states[0].F = 0.5f;
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
        db.buildFor(landCells, 1, endTime, false);
    }
    cell* at(int r, int c) const {
        if (r < 0 || c < 0 || r >= rows_ || c >= columns_) return nullptr;
        return matrix_[static_cast<size_t>(r * columns_ + c)];
    }

    // One generation as the generation loop runs it: the model on every cell
    // holding individuals, a zero record for the others, then the balances.
    // afterModels sees the balances before they are added.
    void runGeneration(const std::function<void(cell&)>& model,
                       const std::function<void()>& afterModels = {}) {
        cell::_States = &db;
        cell::_Current_time = ++generation;
        for (cell* c : landCells) {
            if (c->states[0]._N_POP > 0) {
                model(*c);
            } else {
                db.setMigrationRArrive(generation, c, 0, 0, 0, 0, 0);
            }
        }
        if (afterModels) afterModels();
        for (cell* c : landCells) {
            c->states[0].add_BilanMigr_to_N(c);
            c->history->states(0).N().AddFast(c->states[0]._N_POP, generation);
        }
    }

    int64_t totalN() const {
        int64_t sum = 0;
        for (const cell* c : landCells) sum += c->states[0]._N_POP;
        return sum;
    }

    std::vector<cell*> landCells;
    int generation = 0;

  private:
    int rows_;
    int columns_;
    std::vector<cell*> matrix_;
    std::vector<std::unique_ptr<cell>> owned_;

  public:
    StateDB db;
};

// Every process-wide value the models read, set for a test and restored after.
class ModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = cell::_Settings;
        savedStates_ = cell::_States;
        savedTime_ = cell::_Current_time;
        savedBaird_ = UsingBairdLattice;
        UsingBairdLattice = false;
        cell::_Settings = &settings;
        cell::_lidum = 1;
        seedMainStream(4242);
    }
    void TearDown() override {
        cell::_Settings = savedSettings_;
        cell::_States = savedStates_;
        cell::_Current_time = savedTime_;
        UsingBairdLattice = savedBaird_;
        cell::_lidum = 1;
    }
    void setRates(float growth, float migration) {
        std::ostringstream g;
        std::ostringstream m;
        g.precision(9);
        m.precision(9);
        g << growth;
        m << migration;
        settings["GrowthRate"] = g.str().c_str();
        settings["MigrationRate"] = m.str().c_str();
    }

    TSettings settings;
    CapturedOutput log;

  private:
    TSettings* savedSettings_ = nullptr;
    StateDB* savedStates_ = nullptr;
    int savedTime_ = 0;
    bool savedBaird_ = false;
};

enum Model { kModel1 = 1, kModel2 = 2, kModel3 = 3 };

int applyModel(Model model, cell& c, const TModelParameters& p) {
    switch (model) {
        case kModel1:
            return c.iterateDensity_BaseModel_MigrMax_fast(0, p);
        case kModel2:
            return c.iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(0, false, true, p);
        default:
            return c.iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(0, true, true, p);
    }
}

TModelParameters rates(float growth, float migration) {
    TModelParameters p;
    p.growthRate = growth;
    p.migrationRate = migration;
    return p;
}

// A centre cell with its four neighbours, which have no other neighbour.
const std::vector<std::string> kPlus = {".#.", "###", ".#."};

// --- Parameters ----------------------------------------------------------------

TEST_F(ModelTest, RatesAreReadAsFloatsAndAMissingKeyIsTheUsualFatalError) {
    settings["GrowthRate"] = "0.1";
    settings["MigrationRate"] = "0.3";
    const TModelParameters p = readModelParameters(settings);
    EXPECT_EQ(p.growthRate, 0.1f);
    EXPECT_EQ(p.migrationRate, 0.3f);

    for (const char* key : {"GrowthRate", "MigrationRate"}) {
        TSettings missing;
        missing[key == std::string("GrowthRate") ? "MigrationRate" : "GrowthRate"] = "0.2";
        try {
            readModelParameters(missing);
            ADD_FAILURE() << key << " missing was accepted";
        } catch (const TException& e) {
            EXPECT_EQ(std::string(e.message().c_str()),
                      std::string("The parameter '") + key + "' is not defined in the inputfile!");
        }
    }
}

// --- Growth ----------------------------------------------------------------------

struct GrowthCase {
    const char* name;
    int n;
    float remainder;
    int k;
    float r;
    int expectedN;
    float expectedRemainder;
};

class GrowthTest : public ModelTest, public ::testing::WithParamInterface<GrowthCase> {};

// An isolated cell: the growth is all that happens. Expected values are the
// float/double evaluation of ((1 + r) x) / ((r / K) x + 1) with the products and
// r / K in float and the "+ 1" and the division in double.
TEST_P(GrowthTest, GrowthOfModels1And2IsTheLogisticStepToTheLastBit) {
    const GrowthCase& g = GetParam();
    for (Model model : {kModel1, kModel2}) {
        HandWorld world({"#"}, 2);
        cell& c = *world.landCells[0];
        c.states[0]._N_POP = g.n;
        c.states[0].growthRemainder = g.remainder;
        c.states[0].K = g.k;
        cell::_States = &world.db;
        cell::_Current_time = 1;
        EXPECT_EQ(applyModel(model, c, rates(g.r, 0.5f)), 0) << "no neighbour to enter";
        EXPECT_EQ(c.states[0]._N_POP, g.expectedN) << "model " << model;
        EXPECT_EQ(c.states[0].growthRemainder, g.expectedRemainder) << "model " << model;
        EXPECT_EQ(c.states[0].BilanMigr, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GrowthTest,
    ::testing::Values(GrowthCase{"FromTen", 10, 0.0f, 100, 1.0f, 18, 0.18181800842285156f},
                      GrowthCase{"RemainderAddedBack", 18, 0.18181800842285156f, 100, 1.0f, 30,
                                 0.7692298889160156f},
                      // All-float or all-double arithmetic gives a remainder of 0.27345848...
                      GrowthCase{"FloatDoubleMix", 3, 0.0f, 37, 0.1f, 3, 0.27345871925354004f},
                      GrowthCase{"NoGrowthKeepsN", 10, 0.3f, 100, 0.0f, 10, 0.3000001907348633f},
                      GrowthCase{"AboveKDeclines", 150, 0.0f, 100, 1.0f, 120, 0.0f},
                      GrowthCase{"TruncatedTowardZero", 10, 0.0f, 100, -2.0f, -12, -0.5f},
                      // 0 / 0: nobody survives and no NaN is carried on.
                      GrowthCase{"ZeroOverZeroIsEmpty", 100, 0.0f, 100, -1.0f, 0, 0.0f},
                      // B rounds to 2^31 in float: saturated instead of an undefined conversion.
                      GrowthCase{"BeyondIntSaturates", INT_MAX, 0.0f, INT_MAX, 1.0f, INT_MAX - 1,
                                 0.0f}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(ModelTest, ZeroGrowthRateCarriesPopulationAndRemainderUnchangedForEver) {
    HandWorld world({"#"}, 60);
    cell& c = *world.landCells[0];
    c.states[0]._N_POP = 10;
    c.states[0].growthRemainder = 0.3f;
    const TModelParameters p = rates(0.0f, 0.5f);
    world.runGeneration([&](cell& x) { x.iterateDensity_BaseModel_MigrMax_fast(0, p); });
    const float carried = c.states[0].growthRemainder;
    for (int g = 0; g < 50; ++g) {
        world.runGeneration([&](cell& x) { x.iterateDensity_BaseModel_MigrMax_fast(0, p); });
        ASSERT_EQ(c.states[0]._N_POP, 10);
        ASSERT_EQ(c.states[0].growthRemainder, carried);
    }
}

// --- What each model returns and leaves ---------------------------------------

struct ReturnCase {
    const char* name;
    int k;
    bool neighbourOpen;
    int n;
    float m;
    float m3;         // model 3 draws its emigrants; a rate of 0 keeps them at 0
    int expected[3];  // models 1, 2, 3
    bool grows;
};

class ReturnTest : public ModelTest, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(ReturnTest, ReturnValueGrowthAndRecordsOfEveryModel) {
    const ReturnCase& rc = GetParam();
    for (Model model : {kModel1, kModel2, kModel3}) {
        HandWorld world({"##"}, 2);
        cell& c = *world.landCells[0];
        cell& east = *world.landCells[1];
        c.states[0]._N_POP = rc.n;
        c.states[0].K = rc.k;
        c.states[0].growthRemainder = 0.25f;
        if (!rc.neighbourOpen) east.states[0].F = 0.0f;
        cell::_States = &world.db;
        cell::_Current_time = 1;
        world.db.store(StateDB::seriesBlock(0, kSeriesFromWest), 1, east.dbIndex, 77);
        seedMainStream(99);

        const float m = model == kModel3 ? rc.m3 : rc.m;
        EXPECT_EQ(applyModel(model, c, rates(1.0f, m)), rc.expected[model - 1])
            << "model " << model;
        EXPECT_EQ(east.getmW(1, 0), 0) << "a zero record is written, model " << model;
        if (!rc.grows) {
            EXPECT_EQ(c.states[0]._N_POP, rc.n) << "model " << model;
            EXPECT_EQ(c.states[0].growthRemainder, 0.25f) << "model " << model;
            int64_t probe = 1;
            seedMainStream(99);
            const double first = ran3(&probe);
            seedMainStream(99);
            applyModel(model, c, rates(1.0f, m));
            EXPECT_EQ(ran3(&probe), first) << "nothing drawn, model " << model;
        } else {
            EXPECT_NE(c.states[0]._N_POP, rc.n) << "model " << model;
        }
        EXPECT_EQ(c.states[0].BilanMigr, 0);
        EXPECT_EQ(east.states[0].BilanMigr, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReturnTest,
    ::testing::Values(ReturnCase{"KZeroKeepsN", 0, true, 10, 0.5f, 0.5f, {0, 0, 0}, false},
                      ReturnCase{"KUndefinedKeepsN", -1, true, 10, 0.5f, 0.5f, {0, 0, 0}, false},
                      ReturnCase{"NoOpenNeighbour", 1000, false, 10, 0.5f, 0.5f, {0, 0, 0}, true},
                      // 18 grown individuals x 0.05 = 0.9 emigrants
                      ReturnCase{"EmigrantsBelowOne", 1000, true, 9, 0.05f, 0.0f, {1, 1, 1}, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Emigration -------------------------------------------------------------------

struct DirectionCase {
    const char* name;
    int row, column;        // the only neighbour that can be entered
    HistorySeries arrival;  // its series that records the centre's emigrants
    float State::*accumulator;
};

class DirectionTest : public ModelTest, public ::testing::WithParamInterface<DirectionCase> {};

// 10 individuals x 0.25 = 2.5 emigrants: 2 go the one open way, the half waits
// in that direction's accumulator (model 1).
TEST_P(DirectionTest, EmigrantsGoToTheOpenNeighbourAndAreRecordedAsItsImmigrants) {
    const DirectionCase& d = GetParam();
    for (Model model : {kModel1, kModel2, kModel3}) {
        HandWorld world(kPlus, 2);
        cell& centre = *world.at(1, 1);
        centre.states[0]._N_POP = 10;
        for (cell* c : world.landCells) {
            if (c != &centre && c != world.at(d.row, d.column)) c->states[0].F = 0.0f;
        }
        cell& target = *world.at(d.row, d.column);
        cell::_States = &world.db;
        cell::_Current_time = 1;
        seedMainStream(7);
        // Model 3 draws its own numbers; with r = 0 model 1 and 2 keep N = 10.
        ASSERT_EQ(applyModel(model, centre, rates(0.0f, 0.25f)), 1);
        const int grown = centre.states[0]._N_POP;
        const int sent = model == kModel1 ? 2 : -centre.states[0].BilanMigr;
        if (model != kModel3) {
            EXPECT_EQ(sent, 2) << "model " << model;
        }
        EXPECT_LE(sent, grown);
        EXPECT_EQ(centre.states[0].BilanMigr, -sent) << "model " << model;
        EXPECT_EQ(target.states[0].BilanMigr, sent) << "model " << model;
        EXPECT_EQ(world.db.read(StateDB::seriesBlock(0, d.arrival), 1, target.dbIndex), sent)
            << "model " << model;
        const float State::*all[] = {&State::remainderN, &State::remainderW, &State::remainderS,
                                     &State::remainderE};
        for (const float State::*a : all) {
            const float expected = model == kModel1 && a == d.accumulator ? 0.5f : 0.0f;
            EXPECT_EQ(centre.states[0].*a, expected) << "model " << model;
        }
        for (cell* c : world.landCells) {
            if (c != &centre && c != &target) {
                EXPECT_EQ(c->states[0].BilanMigr, 0);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directions, DirectionTest,
    ::testing::Values(DirectionCase{"North", 0, 1, kSeriesFromSouth, &State::remainderN},
                      DirectionCase{"West", 1, 0, kSeriesFromEast, &State::remainderW},
                      DirectionCase{"South", 2, 1, kSeriesFromNorth, &State::remainderS},
                      DirectionCase{"East", 1, 2, kSeriesFromWest, &State::remainderE}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct SequenceCase {
    const char* name;
    int n;
    float m;
    const char* open;                // letters of the open directions among N, W, S, E
    std::vector<int> perGeneration;  // emigrants to each open neighbour
    float finalAccumulator;
};

class Model1SequenceTest : public ModelTest, public ::testing::WithParamInterface<SequenceCase> {};

// Equal frictions share E = n m equally; the fractions pile up in the
// accumulators, which give a migrant only above 1 (exactly 1.0 gives none).
TEST_P(Model1SequenceTest, FractionalEmigrantsAccumulateAcrossGenerations) {
    const SequenceCase& s = GetParam();
    HandWorld world(kPlus, static_cast<int>(s.perGeneration.size()));
    cell& centre = *world.at(1, 1);
    struct Arm {
        char letter;
        cell* c;
        HistorySeries arrival;
        float State::*accumulator;
    };
    const Arm arms[] = {{'N', world.at(0, 1), kSeriesFromSouth, &State::remainderN},
                        {'W', world.at(1, 0), kSeriesFromEast, &State::remainderW},
                        {'S', world.at(2, 1), kSeriesFromNorth, &State::remainderS},
                        {'E', world.at(1, 2), kSeriesFromWest, &State::remainderE}};
    for (const Arm& a : arms) {
        if (std::string(s.open).find(a.letter) == std::string::npos) a.c->states[0].F = 1.0f;
    }
    cell::_States = &world.db;
    const TModelParameters p = rates(0.0f, s.m);
    for (size_t g = 0; g < s.perGeneration.size(); ++g) {
        cell::_Current_time = static_cast<int>(g) + 1;
        centre.states[0]._N_POP = s.n;  // the same population every generation
        centre.iterateDensity_BaseModel_MigrMax_fast(0, p);
    }
    for (const Arm& a : arms) {
        const bool isOpen = std::string(s.open).find(a.letter) != std::string::npos;
        for (size_t g = 0; g < s.perGeneration.size(); ++g) {
            const int t = static_cast<int>(g) + 1;
            EXPECT_EQ(world.db.read(StateDB::seriesBlock(0, a.arrival), t, a.c->dbIndex),
                      isOpen ? s.perGeneration[g] : 0)
                << a.letter << " at generation " << t;
        }
        EXPECT_EQ(centre.states[0].*a.accumulator, isOpen ? s.finalAccumulator : 0.0f) << a.letter;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Model1SequenceTest,
    ::testing::Values(
        // E = 0.5 is below one emigrant: nothing is sent or accumulated.
        SequenceCase{"BelowOneEmigrant", 10, 0.05f, "WE", {0, 0, 0}, 0.0f},
        // E = 1.5: 0.75 per side; the accumulator runs 0.75, 1.5, 1.25, 1.0, 1.75.
        SequenceCase{"HalfAndQuarterSteps", 10, 0.15f, "WE", {0, 1, 1, 0, 1}, 0.75f},
        // E = 2 over four: 0.5 per side; 1.0 twice without a migrant.
        SequenceCase{"AccumulatorAtExactlyOne", 8, 0.25f, "NWSE", {0, 0, 1, 0, 1}, 0.5f},
        SequenceCase{"WholeShares", 100, 0.2f, "WE", {10, 10}, 0.0f},
        // E = 1 exactly is one emigrant.
        SequenceCase{"ExactlyOneEmigrant", 4, 0.25f, "S", {1, 1}, 0.0f}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct ClosedCase {
    const char* name;
    std::function<void(cell&)> close;
    bool enteredByModels2And3;
};

class ClosedNeighbourTest : public ModelTest, public ::testing::WithParamInterface<ClosedCase> {};

// 300 individuals x 0.3 = 90 emigrants (30 to each of three open neighbours
// under model 1). The closed one is rotated around the centre.
TEST_P(ClosedNeighbourTest, ClosedNeighboursAreNeverEntered) {
    const ClosedCase& cc = GetParam();
    const int around[4][2] = {{0, 1}, {1, 0}, {2, 1}, {1, 2}};
    for (Model model : {kModel1, kModel2, kModel3}) {
        for (const auto& position : around) {
            HandWorld world(kPlus, 5);
            cell& centre = *world.at(1, 1);
            cell& closed = *world.at(position[0], position[1]);
            cc.close(closed);
            cell::_States = &world.db;
            seedMainStream(11);
            for (int g = 1; g <= 5; ++g) {
                cell::_Current_time = g;
                centre.states[0]._N_POP = 300;
                applyModel(model, centre, rates(0.0f, 0.3f));
            }
            const int received = closed.states[0].BilanMigr;
            const bool entered = model != kModel1 && cc.enteredByModels2And3;
            if (entered) {
                EXPECT_GT(received, 0) << "model " << model;
            } else {
                EXPECT_EQ(received, 0) << "model " << model;
            }
            if (model == kModel1) {
                for (cell* c : world.landCells) {
                    if (c != &centre && c != &closed) {
                        EXPECT_EQ(c->states[0].BilanMigr, 5 * 30);
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, ClosedNeighbourTest,
    ::testing::Values(ClosedCase{"FrictionZero", [](cell& c) { c.states[0].F = 0.0f; }, false},
                      ClosedCase{"FrictionOne", [](cell& c) { c.states[0].F = 1.0f; }, false},
                      ClosedCase{"FrictionAboveOne", [](cell& c) { c.states[0].F = 1.5f; }, false},
                      ClosedCase{"FrictionNegative", [](cell& c) { c.states[0].F = -0.5f; }, false},
                      ClosedCase{"CapacityZero", [](cell& c) { c.states[0].K = 0; }, false},
                      ClosedCase{"CapacityUndefined", [](cell& c) { c.states[0].K = -1; }, false},
                      ClosedCase{"NotAdapted", [](cell& c) { c.adapted = false; }, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Rates far outside any sensible range must still give defined counts: a NaN
// rate sends nobody, an enormous one saturates the counts and the balances.
TEST_F(ModelTest, AbsurdMigrationRatesGiveDefinedCounts) {
    for (Model model : {kModel1, kModel2, kModel3}) {
        HandWorld world(kPlus, 1);
        cell& centre = *world.at(1, 1);
        centre.states[0]._N_POP = 10;
        cell::_States = &world.db;
        cell::_Current_time = 1;
        EXPECT_EQ(applyModel(model, centre, rates(0.0f, std::nanf(""))), 1) << "model " << model;
        EXPECT_EQ(centre.states[0].BilanMigr, 0) << "model " << model;
    }
    HandWorld world(kPlus, 1);
    cell& centre = *world.at(1, 1);
    centre.states[0]._N_POP = 10;
    cell::_States = &world.db;
    cell::_Current_time = 1;
    centre.iterateDensity_BaseModel_MigrMax_fast(0, rates(0.0f, 1e30f));
    EXPECT_EQ(centre.states[0].BilanMigr, INT_MIN);
    for (cell* c : world.landCells) {
        if (c == &centre) continue;
        EXPECT_EQ(c->states[0].BilanMigr, INT_MAX - 1);
    }
    EXPECT_EQ(world.at(0, 1)->getmS(1, 0), INT_MAX - 1);
}

// --- Slow reference -------------------------------------------------------------
//
// The models written out plainly from their description: rates read from the
// settings at every call, open neighbours gathered into a list, one expression
// per formula.
namespace reference {

float migrationRate() {
    return static_cast<float>(cell::_Settings->getdoubleParameter("MigrationRate", true));
}
float growthRate() {
    return static_cast<float>(cell::_Settings->getdoubleParameter("GrowthRate", true));
}

struct Open {
    char direction;
    cell* c;
    float f;
};

std::vector<Open> openNeighbours(cell& c, bool adaptedRequired) {
    std::vector<Open> open;
    const std::vector<std::pair<char, cell*>> order = {
        {'N', c.north}, {'W', c.west}, {'S', c.south}, {'E', c.east}};
    for (const auto& [direction, n] : order) {
        if (n == nullptr) continue;
        if (n->states[0].K <= 0) continue;
        if (!(n->states[0].F > 0 && n->states[0].F < 1)) continue;
        if (adaptedRequired && !n->adapted) continue;
        open.push_back({direction, n, n->states[0].F});
    }
    return open;
}

int grow(State& s, float r) {
    const float x = s._N_POP + s.growthRemainder;
    const float b = ((1 + r) * x) / ((r / s.K) * x + 1.0);
    const int n = static_cast<int>(b);
    s.growthRemainder = b - n;
    return n;
}

void record(cell& c, const std::vector<Open>& open, int north, int south, int east, int west) {
    c.states[0].BilanMigr -= north + south + east + west;
    for (const Open& o : open) {
        o.c->states[0].BilanMigr += o.direction == 'N'   ? north
                                    : o.direction == 'S' ? south
                                    : o.direction == 'E' ? east
                                                         : west;
    }
    cell::_States->setMigrationRArrive(cell::_Current_time, &c, 0, north, south, east, west);
}

void model1(cell& c) {
    const float m = migrationRate();
    const float r = growthRate();
    State& s = c.states[0];
    if (s.K < 1) return record(c, {}, 0, 0, 0, 0);
    const int n = grow(s, r);
    s._N_POP = n;
    const std::vector<Open> open = openNeighbours(c, true);
    if (open.empty()) return record(c, {}, 0, 0, 0, 0);
    float sum = 0;
    for (const Open& o : open) sum += 1 / o.f;
    const float e = n * m;
    if (static_cast<int>(e) < 1) return record(c, open, 0, 0, 0, 0);
    int north = 0, west = 0, south = 0, east = 0;
    for (const Open& o : open) {
        const float p = 1 / (o.f * sum);
        const float x = p * e;
        int count = static_cast<int>(std::floor(x));
        const float fraction = x - count;
        switch (o.direction) {
            case 'N':
                s.updateFractionalMigr_N(count, fraction);
                north = count;
                break;
            case 'W':
                s.updateFractionalMigr_W(count, fraction);
                west = count;
                break;
            case 'S':
                s.updateFractionalMigr_S(count, fraction);
                south = count;
                break;
            default:
                s.updateFractionalMigr_E(count, fraction);
                east = count;
                break;
        }
    }
    record(c, open, north, south, east, west);
}

void model3(cell& c) {
    const float m = migrationRate();
    const float r = growthRate();
    State& s = c.states[0];
    if (s.K < 1) return record(c, {}, 0, 0, 0, 0);
    int n = grow(s, r);
    n = static_cast<int>(poidev(n, &cell::_lidum));
    s._N_POP = n;
    const std::vector<Open> open = openNeighbours(c, false);
    if (open.empty()) return record(c, {}, 0, 0, 0, 0);
    float sum = 0;
    for (const Open& o : open) sum += 1 / o.f;
    float p[4] = {0, 0, 0, 0};  // N, W, S, E
    bool isOpen[4] = {false, false, false, false};
    for (const Open& o : open) {
        const int i = o.direction == 'N' ? 0 : o.direction == 'W' ? 1 : o.direction == 'S' ? 2 : 3;
        p[i] = 1 / (o.f * sum);
        isOpen[i] = true;
    }
    const int drawn = static_cast<int>(poidev(n * m, &cell::_lidum));
    const int t = drawn < n ? drawn : n;
    if (t < 1) return record(c, open, 0, 0, 0, 0);
    int left = t;
    int count[4] = {0, 0, 0, 0};
    if (isOpen[0]) left -= count[0] = static_cast<int>(bnldev(p[0], left));
    if (isOpen[1]) left -= count[1] = static_cast<int>(bnldev(p[1] / (p[1] + p[2] + p[3]), left));
    if (isOpen[2]) left -= count[2] = static_cast<int>(bnldev(p[2] / (p[2] + p[3]), left));
    if (isOpen[3]) count[3] = left;
    record(c, open, count[0], count[2], count[3], count[1]);
}

}  // namespace reference

// A 6 x 7 world with water, cells of every kind (K of 0 and -1, frictions 0, 1
// and in between, cells not adapted), seeded in three places. At generation 40
// K, F and adaptation change on a third of the cells.
std::unique_ptr<HandWorld> mixedWorld(int endTime) {
    auto world = std::make_unique<HandWorld>(
        std::vector<std::string>{"###.###", "#######", "##.####", "#######", ".######", "####.##"},
        endTime);
    std::mt19937 layout(2024);  // raw outputs only: the same sequence everywhere
    const int capacities[] = {0, -1, 1, 3, 40, 150, 150, 500, 800, 2000};
    const float frictions[] = {0.0f, 1.0f, 0.05f, 0.2f, 0.3f, 0.37f, 0.5f, 0.71f, 0.9f, 0.999f};
    for (cell* c : world->landCells) {
        c->states[0].K = capacities[layout() % 10];
        c->states[0].F = frictions[layout() % 10];
        c->adapted = layout() % 4 != 0;
    }
    for (int i : {0, 20, 33}) {
        cell* c = world->landCells[static_cast<size_t>(i)];
        c->states[0].K = 500;
        c->states[0]._N_POP = 60;
    }
    return world;
}

void changeEnvironment(HandWorld& world) {
    for (size_t i = 0; i < world.landCells.size(); i += 3) {
        cell* c = world.landCells[i];
        c->states[0].K = c->states[0].K > 0 ? c->states[0].K / 2 : 300;
        c->states[0].F = c->states[0].F >= 1.0f ? 0.4f : c->states[0].F * 0.5f;
        c->adapted = !c->adapted;
    }
}

void expectSameWorlds(const HandWorld& fast, const HandWorld& slow, int generation) {
    for (size_t i = 0; i < fast.landCells.size(); ++i) {
        const cell& a = *fast.landCells[i];
        const cell& b = *slow.landCells[i];
        const State& x = a.states[0];
        const State& y = b.states[0];
        ASSERT_EQ(x._N_POP, y._N_POP) << "cell " << i << " generation " << generation;
        ASSERT_EQ(a.getN(generation, 0), b.getN(generation, 0)) << "cell " << i;
        ASSERT_EQ(x.growthRemainder, y.growthRemainder) << "cell " << i << " gen " << generation;
        ASSERT_EQ(x.remainderN, y.remainderN) << "cell " << i << " generation " << generation;
        ASSERT_EQ(x.remainderW, y.remainderW) << "cell " << i << " generation " << generation;
        ASSERT_EQ(x.remainderS, y.remainderS) << "cell " << i << " generation " << generation;
        ASSERT_EQ(x.remainderE, y.remainderE) << "cell " << i << " generation " << generation;
        ASSERT_EQ(a.getmN(generation, 0), b.getmN(generation, 0)) << "cell " << i;
        ASSERT_EQ(a.getmS(generation, 0), b.getmS(generation, 0)) << "cell " << i;
        ASSERT_EQ(a.getmE(generation, 0), b.getmE(generation, 0)) << "cell " << i;
        ASSERT_EQ(a.getmW(generation, 0), b.getmW(generation, 0)) << "cell " << i;
    }
}

struct ReferenceCase {
    const char* name;
    Model model;
    float growth;
    float migration;
};

class ReferenceTest : public ModelTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ReferenceTest, FastModelMatchesTheSlowReferenceOverManyGenerations) {
    const ReferenceCase& rc = GetParam();
    constexpr int kGenerations = 150;
    setRates(rc.growth, rc.migration);
    auto fast = mixedWorld(kGenerations);
    auto slow = mixedWorld(kGenerations);
    const std::function<void(cell&)> referenceModel =
        rc.model == kModel1 ? reference::model1 : reference::model3;

    // The worlds run side by side, each continuing its own copy of the stream.
    struct Stream {
        ran3_detail::MainStream state;
        int64_t lidum;
        void enter() const {
            ran3_detail::mainStream = state;
            cell::_lidum = lidum;
        }
        void leave() {
            state = ran3_detail::mainStream;
            lidum = cell::_lidum;
        }
    };
    seedMainStream(31337);
    Stream fastStream{ran3_detail::mainStream, cell::_lidum};
    Stream slowStream = fastStream;
    int64_t migrants = 0;
    for (int g = 1; g <= kGenerations; ++g) {
        if (g == 40) {
            changeEnvironment(*fast);
            changeEnvironment(*slow);
        }
        fastStream.enter();
        const TModelParameters p = readModelParameters(settings);
        fast->runGeneration([&](cell& c) { applyModel(rc.model, c, p); });
        fastStream.leave();
        slowStream.enter();
        slow->runGeneration(referenceModel);
        slowStream.leave();

        expectSameWorlds(*fast, *slow, g);
        if (HasFatalFailure()) return;
        for (const cell* c : fast->landCells) {
            migrants += c->getmN(g, 0) + c->getmS(g, 0) + c->getmE(g, 0) + c->getmW(g, 0);
        }
    }
    // Not a comparison of empty worlds.
    EXPECT_GT(fast->totalN(), 2000);
    EXPECT_GT(migrants, 5000);
}

INSTANTIATE_TEST_SUITE_P(Models, ReferenceTest,
                         ::testing::Values(ReferenceCase{"Model1", kModel1, 0.8f, 0.3f},
                                           ReferenceCase{"Model1SlowGrowth", kModel1, 0.05f, 0.07f},
                                           ReferenceCase{"Model3", kModel3, 0.8f, 0.3f}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Models 2 and 3 over many generations ------------------------------------------

class StochasticModelTest : public ModelTest, public ::testing::WithParamInterface<Model> {};

// Per call: the cell loses exactly what its neighbours gain and the history
// records; model 2 sends trunc(n m) (all of it with an open east), model 3 never
// more than the grown population. Per generation: the balances sum to zero and
// no population turns negative.
TEST_P(StochasticModelTest, InvariantsHoldOverManyGenerations) {
    const Model model = GetParam();
    constexpr int kGenerations = 200;
    auto world = mixedWorld(kGenerations);
    const TModelParameters p = rates(0.6f, 0.8f);
    seedMainStream(5);
    int64_t emigrantsTotal = 0;
    for (int g = 1; g <= kGenerations; ++g) {
        world->runGeneration(
            [&](cell& c) {
                cell* const around[4] = {c.north, c.south, c.east, c.west};
                int before[4];
                for (int d = 0; d < 4; ++d)
                    before[d] = around[d] ? around[d]->states[0].BilanMigr : 0;
                const int ownBefore = c.states[0].BilanMigr;
                const bool eastOpen = c.east && c.east->states[0].K > 0 &&
                                      c.east->states[0].F > 0 && c.east->states[0].F < 1;
                applyModel(model, c, p);
                const int sent = ownBefore - c.states[0].BilanMigr;
                const int n = c.states[0]._N_POP;
                int gained = 0;
                const HistorySeries arrival[4] = {kSeriesFromSouth, kSeriesFromNorth,
                                                  kSeriesFromWest, kSeriesFromEast};
                for (int d = 0; d < 4; ++d) {
                    if (!around[d]) continue;
                    const int got = around[d]->states[0].BilanMigr - before[d];
                    ASSERT_GE(got, 0);
                    ASSERT_EQ(
                        world->db.read(StateDB::seriesBlock(0, arrival[d]), g, around[d]->dbIndex),
                        got);
                    gained += got;
                }
                ASSERT_EQ(gained, sent);
                ASSERT_GE(n, 0);
                ASSERT_LE(sent, n);
                if (model == kModel2 && c.states[0].K >= 1) {
                    const int expected = static_cast<int>(static_cast<float>(n) * p.migrationRate);
                    if (eastOpen) {
                        ASSERT_EQ(sent, expected);
                    } else {
                        ASSERT_LE(sent, expected);
                    }
                }
                emigrantsTotal += sent;
            },
            [&] {
                int64_t sum = 0;
                for (const cell* c : world->landCells) sum += c->states[0].BilanMigr;
                ASSERT_EQ(sum, 0) << "generation " << g;
            });
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(log.log().find("_N_POP<0"), std::string::npos);
    EXPECT_GT(emigrantsTotal, 10000);
    EXPECT_GT(world->totalN(), 2000);
}

TEST_P(StochasticModelTest, SameSeedSameHistoryOtherSeedOtherHistory) {
    const Model model = GetParam();
    const TModelParameters p = rates(0.6f, 0.5f);
    auto run = [&](int64_t seed) {
        auto world = mixedWorld(80);
        seedMainStream(seed);
        for (int g = 1; g <= 80; ++g) {
            world->runGeneration([&](cell& c) { applyModel(model, c, p); });
        }
        std::vector<int> history;
        for (const cell* c : world->landCells) {
            for (int g = 0; g <= 80; ++g) {
                history.push_back(c->getN(g, 0));
                history.push_back(c->getmN(g, 0));
                history.push_back(c->getmE(g, 0));
            }
        }
        return history;
    };
    const std::vector<int> first = run(123);
    EXPECT_EQ(run(123), first);
    EXPECT_NE(run(321), first);
}

INSTANTIATE_TEST_SUITE_P(Models, StochasticModelTest, ::testing::Values(kModel2, kModel3),
                         [](const auto& testCase) {
                             return "Model" + std::to_string(testCase.param);
                         });

// Model 3: even when the Poisson draw of emigrants exceeds the population (a
// rate of 1 and few individuals), the cell sends at most what it has.
TEST_F(ModelTest, Model3NeverSendsMoreThanTheGrownPopulation) {
    HandWorld world(kPlus, 400);
    cell& centre = *world.at(1, 1);
    cell::_States = &world.db;
    seedMainStream(17);
    const TModelParameters p = rates(0.0f, 1.0f);
    int capped = 0;
    for (int g = 1; g <= 400; ++g) {
        cell::_Current_time = g;
        centre.states[0]._N_POP = 3;
        centre.states[0].BilanMigr = 0;
        centre.iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(0, true, true, p);
        const int sent = -centre.states[0].BilanMigr;
        ASSERT_LE(sent, centre.states[0]._N_POP) << "generation " << g;
        if (sent == centre.states[0]._N_POP && sent > 0) ++capped;
    }
    EXPECT_GT(capped, 50);
}

}  // namespace
