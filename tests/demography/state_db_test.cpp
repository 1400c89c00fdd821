#include "demography/state_db.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

// Land cells of a small hand-made grid ('#' land, '.' water), linked both ways
// and listed in row, then column order, as the world build lists them.
class HandWorld {
public:
    explicit HandWorld(const std::vector<std::string>& map) : rows_(static_cast<int>(map.size())) {
        columns_ = static_cast<int>(map[0].size());
        matrix_.resize(static_cast<size_t>(rows_ * columns_), nullptr);
        for (int r = 0; r < rows_; ++r) {
            for (int c = 0; c < columns_; ++c) {
                if (map[static_cast<size_t>(r)][static_cast<size_t>(c)] != '#') continue;
                owned_.push_back(std::make_unique<cell>());
                cell* x = owned_.back().get();
                x->row = r;
                x->column = c;
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
    }
    cell* at(int r, int c) const {
        if (r < 0 || c < 0 || r >= rows_ || c >= columns_) return nullptr;
        return matrix_[static_cast<size_t>(r * columns_ + c)];
    }

    std::vector<cell*> landCells;

private:
    int rows_;
    int columns_ = 0;
    std::vector<cell*> matrix_;
    std::vector<std::unique_ptr<cell>> owned_;
};

const std::vector<std::string> kThreeByThree = {"###", "###", "###"};

TEST(StateDBTest, EveryLandCellGetsExactlyOneEntryAtItsListPosition) {
    HandWorld world({"#.#", "###", ".##"});
    for (cell* c : world.landCells) c->dbIndex = 99;
    StateDB db(nullptr, 2, 500, 3, 3);  // capacity below the cell count
    db.buildFor(world.landCells, 2, 4, false);

    ASSERT_EQ(db.numberOfEntries(), static_cast<int>(world.landCells.size()));
    for (size_t i = 0; i < world.landCells.size(); ++i) {
        cell* c = world.landCells[i];
        EXPECT_EQ(c->dbIndex, static_cast<int>(i));
        ASSERT_EQ(c->history, &db.entry(static_cast<int>(i)));
        EXPECT_EQ(c->history->ownerCell, c);
        EXPECT_EQ(c->history->row, -1);
        EXPECT_EQ(c->history->column, -1);
    }
}

struct LayoutCase {
    const char* name;
    int layers;
    int endTime;
    bool shortMode;
};

class StateDBLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// Every (cell, layer, series, generation) is its own slot: distinct values
// written everywhere read back unchanged, and a fresh history reads 0.
TEST_P(StateDBLayoutTest, EverySeriesOfEveryCellIsItsOwnZeroedStorage) {
    const LayoutCase& p = GetParam();
    HandWorld world({"##.", "###"});
    StateDB db(nullptr, 1001, 500, 2, 3);
    db.buildFor(world.landCells, p.layers, p.endTime, p.shortMode);
    EXPECT_EQ(db.generations(), p.endTime + 1);

    const HistorySeries all[] = {kSeriesN, kSeriesFromNorth, kSeriesFromSouth, kSeriesFromEast,
                                 kSeriesFromWest};
    auto code = [&](size_t c, int layer, int series, int t) {
        return static_cast<int>(((c * 2 + static_cast<size_t>(layer)) * 8 + series) * 64) + t;
    };
    for (size_t c = 0; c < world.landCells.size(); ++c) {
        StateOfDemes& e = *world.landCells[c]->history;
        for (int layer = 0; layer < p.layers; ++layer) {
            for (HistorySeries s : all) {
                TimeStoFull series = e.states(layer).series(s);
                EXPECT_EQ(series.size(), p.endTime + 1);
                EXPECT_EQ(series.shortMode(), p.shortMode);
                for (int t = 0; t <= p.endTime; ++t) {
                    EXPECT_EQ(series.value(t), 0);
                    series.AddFast(code(c, layer, s, t), t);
                }
            }
            for (int other = 0; other < p.layers; ++other) {
                if (other == layer) continue;
                for (int t = 0; t <= p.endTime; ++t) {
                    EXPECT_EQ(e.get_migrBetweenDemes(layer, other, t), 0);
                    e.set_migrBetweenDemes(layer, other, code(c, layer, 5 + other, t), t);
                }
            }
        }
    }
    for (size_t c = 0; c < world.landCells.size(); ++c) {
        const cell& x = *world.landCells[c];
        for (int layer = 0; layer < p.layers; ++layer) {
            for (int t = 0; t <= p.endTime; ++t) {
                EXPECT_EQ(x.getN(t, layer), code(c, layer, kSeriesN, t));
                EXPECT_EQ(x.getmN(t, layer), code(c, layer, kSeriesFromNorth, t));
                EXPECT_EQ(x.getmS(t, layer), code(c, layer, kSeriesFromSouth, t));
                EXPECT_EQ(x.getmE(t, layer), code(c, layer, kSeriesFromEast, t));
                EXPECT_EQ(x.getmW(t, layer), code(c, layer, kSeriesFromWest, t));
                for (int other = 0; other < p.layers; ++other) {
                    if (other == layer) continue;
                    EXPECT_EQ(x.history->get_migrBetweenDemes(layer, other, t),
                              code(c, layer, 5 + other, t));
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, StateDBLayoutTest,
                         ::testing::Values(LayoutCase{"OneLayerEndTimeZero", 1, 0, false},
                                           LayoutCase{"TwoLayersEndTimeZero", 2, 0, true},
                                           LayoutCase{"OneLayer32Bit", 1, 9, false},
                                           LayoutCase{"TwoLayers32Bit", 2, 9, false},
                                           LayoutCase{"TwoLayers16Bit", 2, 9, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(StateDBTest, EmigrantsAreStoredAsTheNeighboursImmigrantsFromTheOppositeSide) {
    HandWorld world(kThreeByThree);
    StateDB db(nullptr, 1001, 500, 3, 3);
    db.buildFor(world.landCells, 1, 3, false);
    db.setMigrationRArrive(2, world.at(1, 1), 0, 11, 12, 13, 14);
    EXPECT_EQ(world.at(0, 1)->getmS(2, 0), 11);  // sent north
    EXPECT_EQ(world.at(2, 1)->getmN(2, 0), 12);  // sent south
    EXPECT_EQ(world.at(1, 2)->getmW(2, 0), 13);  // sent east
    EXPECT_EQ(world.at(1, 0)->getmE(2, 0), 14);  // sent west

    // A corner cell sends only where it has neighbours; nothing lands elsewhere.
    db.setMigrationRArrive(1, world.at(0, 0), 0, 21, 22, 23, 24);
    EXPECT_EQ(world.at(1, 0)->getmN(1, 0), 22);
    EXPECT_EQ(world.at(0, 1)->getmW(1, 0), 23);
    int nonZero = 0;
    for (cell* c : world.landCells) {
        for (int t = 0; t <= 3; ++t) {
            nonZero += (c->getmN(t, 0) != 0) + (c->getmS(t, 0) != 0) + (c->getmE(t, 0) != 0) +
                       (c->getmW(t, 0) != 0) + (c->getN(t, 0) != 0);
        }
    }
    EXPECT_EQ(nonZero, 6);
    // The top row has no north neighbour: its from-north series stays 0.
    for (int t = 0; t <= 3; ++t) EXPECT_EQ(world.at(0, 0)->getmN(t, 0), 0);
}

TEST(StateDBTest, BetweenLayerSeriesFollowTheIndexRuleAndRefuseTheSameLayer) {
    HandWorld world({"##"});
    StateDB db(nullptr, 1001, 500, 1, 2);
    db.buildFor(world.landCells, 2, 2, false);
    EXPECT_EQ(db.betweenLayersBlock(0, 1), 2 * kSeriesPerLayer + 0);
    EXPECT_EQ(db.betweenLayersBlock(1, 0), 2 * kSeriesPerLayer + 1);

    cell* c = world.landCells[1];
    db.setMigrationRArrive_BetweenDemes(1, c, 0, 1, 5);
    db.setMigrationRArrive_BetweenDemes(1, c, 1, 0, 7);
    db.setMigrationRArrive_BetweenDemes(1, nullptr, 0, 1, 9);  // nothing, no crash
    EXPECT_EQ(c->history->get_migrBetweenDemes(0, 1, 1), 5);
    EXPECT_EQ(c->history->get_migrBetweenDemes(1, 0, 1), 7);
    EXPECT_EQ(world.landCells[0]->history->get_migrBetweenDemes(0, 1, 1), 0);

    CapturedOutput log;
    db.setMigrationRArrive_BetweenDemes(1, c, 1, 1, 3);
    c->history->set_migrBetweenDemes(0, 0, 3, 1);
    EXPECT_EQ(c->history->get_migrBetweenDemes(1, 1, 1), 0);
    const std::string setLine =
        "StateOfDemes::set_migrBetweenDemes(const int& i, const int& j): Try to set a migration "
        "between the same deme (i=j!!!)\n";
    EXPECT_EQ(log.log(), setLine + setLine +
                              "StateOfDemes::get_migrBetweenDemes(const int& i, const int& j): Try "
                              "to get a migration between the same deme (i=j!!!)\n");
    for (int layer = 0; layer < 2; ++layer) {
        for (int t = 0; t <= 2; ++t) EXPECT_EQ(c->getN(t, layer), 0) << "nothing stored";
    }
}

TEST(StateDBTest, WithOneLayerNothingIsKeptBetweenLayers) {
    HandWorld world({"#"});
    StateDB db(nullptr, 1001, 500, 1, 1);
    db.buildFor(world.landCells, 1, 2, true);
    StateOfDemes& e = *world.landCells[0]->history;
    e.set_migrBetweenDemes(0, 1, 4, 1);
    EXPECT_EQ(e.get_migrBetweenDemes(0, 1, 1), 0);
    EXPECT_EQ(world.landCells[0]->getN(1, 0), 0);
}

struct ShortValueCase {
    const char* name;
    int value;
    bool fits;
};

class ShortModeTest : public ::testing::TestWithParam<ShortValueCase> {};

TEST_P(ShortModeTest, KeepsWhatFitsAndStopsTheRunOtherwise) {
    const ShortValueCase& p = GetParam();
    HandWorld world({"##", "##"});
    StateDB db(nullptr, 1001, 500, 2, 2);
    db.buildFor(world.landCells, 2, 6, true);
    cell* target = world.at(1, 0);
    if (p.fits) {
        target->history->states(1).N().AddFast(p.value, 5);
        EXPECT_EQ(target->getN(5, 1), p.value);
        return;
    }
    try {
        target->history->states(1).N().AddFast(p.value, 5);
        FAIL() << "no error for " << p.value;
    } catch (const TException& e) {
        const std::string message = e.message().c_str();
        for (const std::string& part :
             {std::to_string(p.value), std::string("number of individuals, layer 1"),
              std::string("cell (row 1, column 0)"), std::string("generation 5"),
              std::string("AllowShortIntForNumberOfIndividuals")}) {
            EXPECT_NE(message.find(part), std::string::npos) << message;
        }
    }
    EXPECT_EQ(target->getN(5, 1), 0) << "nothing wrapped into the store";
}

INSTANTIATE_TEST_SUITE_P(Values, ShortModeTest,
                         ::testing::Values(ShortValueCase{"Largest", 32767, true},
                                           ShortValueCase{"Smallest", -32768, true},
                                           ShortValueCase{"OneAbove", 32768, false},
                                           ShortValueCase{"OneBelow", -32769, false},
                                           ShortValueCase{"FarAbove", 100000, false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ShortModeTest, MigrantsThatDoNotFitNameTheReceivingCell) {
    HandWorld world({"##"});
    StateDB db(nullptr, 1001, 500, 1, 2);
    db.buildFor(world.landCells, 2, 3, true);
    try {
        db.setMigrationRArrive(2, world.at(0, 0), 1, 0, 0, 40000, 0);
        FAIL() << "no error";
    } catch (const TException& e) {
        const std::string message = e.message().c_str();
        EXPECT_NE(message.find("immigrants from the west, layer 1"), std::string::npos) << message;
        EXPECT_NE(message.find("cell (row 0, column 1)"), std::string::npos) << message;
    }
    try {
        db.setMigrationRArrive_BetweenDemes(2, world.at(0, 1), 1, 0, -40000);
        FAIL() << "no error";
    } catch (const TException& e) {
        EXPECT_NE(std::string(e.message().c_str()).find("migrants from layer 1 to layer 0"),
                  std::string::npos);
    }
}

TEST(StateDBTest, ThirtyTwoBitModeKeepsLargeValues) {
    HandWorld world({"#"});
    StateDB db(nullptr, 1001, 500, 1, 1);
    db.buildFor(world.landCells, 1, 1, false);
    world.landCells[0]->history->states(0).N().AddFast(INT_MAX, 1);
    world.landCells[0]->history->states(0).fromEast().AddFast(-100000, 0);
    EXPECT_EQ(world.landCells[0]->getN(1, 0), INT_MAX);
    EXPECT_EQ(world.landCells[0]->getmE(0, 0), -100000);
}

TEST(StateDBTest, DateOfColonizationIsTheFirstOccupiedGeneration) {
    HandWorld world({"###"});
    StateDB db(nullptr, 1001, 500, 1, 3);
    db.buildFor(world.landCells, 2, 10, false);
    cell* source = world.landCells[0];
    cell* reached = world.landCells[1];
    cell* never = world.landCells[2];
    for (int t = 0; t <= 10; ++t) source->history->states(0).N().AddFast(5, t);
    for (int t = 7; t <= 10; ++t) reached->history->states(0).N().AddFast(t, t);
    reached->history->states(1).N().AddFast(1, 10);
    never->history->states(0).fromWest().AddFast(3, 4);  // migrants alone do not colonise

    EXPECT_EQ(source->findDateOfColonization(0), 0);
    EXPECT_EQ(reached->findDateOfColonization(0), 7);
    EXPECT_EQ(reached->findDateOfColonization(1), 10);
    EXPECT_EQ(never->findDateOfColonization(0), -1);
    cell outside;
    EXPECT_EQ(outside.findDateOfColonization(0), -1);
}

struct BytesCase {
    uint64_t cells;
    int layers;
    int endTime;
    bool shortMode;
    uint64_t bytes;
};

TEST(StateDBTest, HistorySizeCountsEverySeries) {
    const BytesCase cases[] = {
        {1000, 1, 99, false, 1000ull * 100 * 4 * 5},
        {1000, 2, 99, false, 1000ull * 100 * 4 * 12},
        {1000, 2, 99, true, 1000ull * 100 * 2 * 12},
        {7, 1, 0, true, 7ull * 2 * 5},
        {1ull << 40, 2, INT_MAX - 1, false, UINT64_MAX},  // does not even fit 64 bits
    };
    for (const BytesCase& c : cases) {
        EXPECT_EQ(StateDB::historyBytes(c.cells, c.layers, c.endTime, c.shortMode), c.bytes)
            << c.cells << " cells, " << c.layers << " layers, EndTime " << c.endTime;
    }
}

TEST(StateDBTest, AHistoryLargerThanTheMachineIsRefusedWithWhatToChange) {
    HandWorld world({"##########"});
    for (bool shortMode : {false, true}) {
        StateDB db(nullptr, 1001, 500, 1, 10);
        CapturedOutput log;
        try {
            db.buildFor(world.landCells, 2, (1 << 30) - 1, shortMode);
            FAIL() << "a history of terabytes was accepted";
        } catch (const TOutOfMemory& e) {
            const std::string message = e.message().c_str();
            EXPECT_NE(message.find(shortMode ? "needs 240.00 GiB" : "needs 480.00 GiB"),
                      std::string::npos)
                << message;
            EXPECT_EQ(message.find("AllowShortIntForNumberOfIndividuals = 1") != std::string::npos,
                      !shortMode)
                << message;
            EXPECT_NE(message.find("smaller EndTime"), std::string::npos) << message;
            EXPECT_NE(message.find("coarser grid"), std::string::npos) << message;
        }
        EXPECT_EQ(log.log(), "ERROR{TimeStoFull::AllocateTimeStoFullMemory}: Cannot allocate memory!\n");
        EXPECT_FALSE(db.allocated());
        EXPECT_EQ(db.generations(), 0);
    }
}

// 3.73 GiB fits a 64-bit size and this machine, but not a 32-bit address
// space: refused before anything is allocated, naming the limit.
TEST(StateDBTest, A32BitBuildRefusesAHistoryBeyondItsAddressSpace) {
    if (sizeof(void*) >= 8) GTEST_SKIP() << "32-bit builds only";
    HandWorld world({"##########"});
    StateDB db(nullptr, 1001, 500, 1, 10);
    CapturedOutput log;
    try {
        db.buildFor(world.landCells, 1, 20000000 - 1, false);  // 10 x 5 x 4 x 2e7 bytes
        FAIL() << "a history of 3.73 GiB was accepted by a 32-bit build";
    } catch (const TOutOfMemory& e) {
        const std::string message = e.message().c_str();
        EXPECT_NE(message.find("needs 3.73 GiB"), std::string::npos) << message;
        EXPECT_NE(message.find("a 32-bit program can address at most 3.00 GiB"), std::string::npos)
            << message;
    }
    EXPECT_EQ(log.log(), "ERROR{TimeStoFull::AllocateTimeStoFullMemory}: Cannot allocate memory!\n");
    EXPECT_FALSE(db.allocated());
}

TEST(StateDBTest, ANegativeEndTimeIsRefused) {
    HandWorld world({"#"});
    StateDB db(nullptr, 1001, 500, 1, 1);
    EXPECT_THROW(db.buildFor(world.landCells, 1, -1, false), TException);
    EXPECT_FALSE(db.allocated());
}

TEST(StateDBTest, AWorldWithoutLandCellsHoldsNothing) {
    StateDB db(nullptr, 1001, 500, 0, 0);
    db.buildFor({}, 2, 50, false);
    EXPECT_TRUE(db.allocated());
    EXPECT_EQ(db.numberOfEntries(), 0);
}

// --- Through the World -------------------------------------------------------

// A World with a small grid of land cells ('#'), linked, as the build leaves it
// just before the history is created.
class WorldHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { savedLayers_ = NbDemePerCell; }
    void TearDown() override {
        NbDemePerCell = savedLayers_;
        cell::_Current_time = 0;
    }

    void makeGrid(const std::vector<std::string>& map) {
        const int rows = static_cast<int>(map.size());
        const int columns = static_cast<int>(map[0].size());
        world_.nrows = rows;
        world_.ncols = columns;
        world_.grid.allocateAll(rows, columns);
        std::vector<char> land;
        for (const std::string& line : map) {
            for (char c : line) land.push_back(c == '#');
        }
        world_.grid.keepLand(land);
        for (cell* c : world_.grid.landCells) {
            c->north = world_.grid.atOrNull(c->row - 1, c->column);
            c->south = world_.grid.atOrNull(c->row + 1, c->column);
            c->east = world_.grid.atOrNull(c->row, c->column + 1);
            c->west = world_.grid.atOrNull(c->row, c->column - 1);
        }
    }

    World world_;
    int savedLayers_ = 1;
};

TEST_F(WorldHistoryTest, BuildsOneEntryPerLandCellAndStoresGenerationZero) {
    NbDemePerCell = 2;
    world_.Settings["EndTime"] = "4";
    world_.Settings["ChosenDemographicModel"] = "21";
    makeGrid({"##.", "###"});
    ASSERT_EQ(world_.BuildDB(), 1);
    StateDB& db = *world_.history;
    ASSERT_EQ(db.numberOfEntries(), 5);
    EXPECT_EQ(db.generations(), 5);
    EXPECT_EQ(db.layers(), 2);
    EXPECT_FALSE(db.shortMode());

    cell* corner = world_.grid.at(1, 0);
    corner->states[1]._N_POP = 30;
    world_.grid.at(0, 0)->history->states(1).fromSouth().AddFast(9, 0);  // stale value
    world_.grid.at(1, 1)->history->set_migrBetweenDemes(1, 0, 8, 0);
    ASSERT_EQ(world_.AddInitialDensitiesToDB(1), 1);

    for (cell* c : world_.grid.landCells) {
        EXPECT_EQ(c->history->row, c->row);
        EXPECT_EQ(c->history->column, c->column);
        EXPECT_EQ(c->getN(0, 1), c == corner ? 30 : 0);
        EXPECT_EQ(c->getmN(0, 1) + c->getmS(0, 1) + c->getmE(0, 1) + c->getmW(0, 1), 0);
        EXPECT_EQ(c->history->get_migrBetweenDemes(1, 0, 0), 0);
    }
}

TEST_F(WorldHistoryTest, RequiredSettingsAreReadWhenTheHistoryNeedsThem) {
    makeGrid({"#"});
    try {
        world_.BuildDB();
        FAIL() << "no EndTime, yet a history was built";
    } catch (const TException& e) {
        EXPECT_STREQ(e.message().c_str(), "The parameter 'EndTime' is not defined in the inputfile!");
    }
    world_.Settings["EndTime"] = "0";
    ASSERT_EQ(world_.BuildDB(), 1);
    EXPECT_THROW(world_.AddInitialDensitiesToDB(0), TException);  // ChosenDemographicModel
}

struct ShortSettingCase {
    const char* name;
    const char* value;  // null: key absent
    bool shortMode;
};

class WorldHistoryModeTest : public WorldHistoryTest,
                             public ::testing::WithParamInterface<ShortSettingCase> {};

TEST_P(WorldHistoryModeTest, SixteenBitsOnlyWhenTheSettingIsOne) {
    world_.Settings["EndTime"] = "2";
    if (GetParam().value != nullptr) {
        world_.Settings["AllowShortIntForNumberOfIndividuals"] = GetParam().value;
    }
    makeGrid({"##"});
    ASSERT_EQ(world_.BuildDB(), 1);
    EXPECT_EQ(world_.history->shortMode(), GetParam().shortMode);
}

INSTANTIATE_TEST_SUITE_P(Settings, WorldHistoryModeTest,
                         ::testing::Values(ShortSettingCase{"Absent", nullptr, false},
                                           ShortSettingCase{"One", "1", true},
                                           ShortSettingCase{"Zero", "0", false},
                                           ShortSettingCase{"Two", "2", false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
