// Backward migration of lineages on tiny hand-made histories: the draw rules,
// the frequencies of the moves against their exact probabilities, the
// redistribution of stranded lineages, the moves among source demes and the
// end-of-generation lists.

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"

namespace coalescent_test {
namespace {

// A world of rows x columns land cells with `lineages` genes sampled in the
// cell (row, column); the generation being simulated is t.
class MigrationBed {
  public:
    MigrationBed(const std::vector<std::string>& land, int layers, int row, int column,
                 int lineages, int generation = 2)
        : hand(land, layers, 3), t(generation) {
        hand.setLoci(1, 0.0);
        hand.sample(hand.at(row, column), lineages);
        hand.finishSamples();
        deme = hand.demes().demeAt(hand.at(row, column)->dbIndex, 0);
        TDeme::_Demes = &hand.demes();
        TDeme::_frictionTime = t;
    }
    // The lineages waiting in the incoming chain of a cell's layer.
    int arrived(cell* c, int layer = 0) {
        TDeme* d = hand.demes().demeAt(c->dbIndex, layer);
        return d == nullptr ? 0 : d->numIncoming;
    }
    void restart() {
        hand.demes().reset();
        TDeme::numMigrEvents = 0;
    }

    HandWorld hand;
    int t;
    TDeme* deme = nullptr;
};

// Binomial frequency within 5 standard deviations of p.
void expectFrequency(int hits, int trials, double p, const std::string& what) {
    const double sd = std::sqrt(p * (1 - p) / trials);
    EXPECT_NEAR(static_cast<double>(hits) / trials, p, 5 * sd + 1e-12) << what;
}

class LineageMigrationTest : public CoalescentTest {};

TEST_F(LineageMigrationTest, StoredCountsMatchTheCellHistoryQueries) {
    // The migration step reads the database directly; the plain cell queries
    // are the reference, for every cell, layer and generation of a random history.
    HandWorld hand({"11.", "111", ".11"}, 2, 6);
    hand.setLoci(1, 0.0);
    for (cell* c : hand.world->grid.landCells) hand.sample(c, 1);
    hand.sample(hand.at(1, 1), 1, 1);
    hand.finishSamples();
    TDeme::_Demes = &hand.demes();
    int value = 1;
    for (cell* c : hand.world->grid.landCells) {
        for (int layer = 0; layer < 2; ++layer) {
            for (int t = 0; t <= 6; ++t) {
                hand.setN(c, t, layer, value++);
                hand.setArrivals(c, t, layer, value, value + 1, value + 2, value + 3);
                value += 4;
                c->history->set_migrBetweenDemes(1 - layer, layer, value++, t);
            }
        }
    }
    for (cell* c : hand.world->grid.landCells) {
        for (int layer = 0; layer < 2; ++layer) {
            const TDeme* deme = hand.demes().demeAt(c->dbIndex, layer);
            if (deme == nullptr) deme = hand.demes().createDeme(c->dbIndex, c, layer);
            for (int t = 0; t <= 6; ++t) {
                const TDeme::StoredCounts counts = deme->readStoredCounts(t, layer);
                EXPECT_EQ(counts.size, c->getN(t, layer));
                EXPECT_EQ(counts.previousSize, c->getN(t > 0 ? t - 1 : 0, layer));
                EXPECT_EQ(counts.fromNorth, c->getmN(t, layer));
                EXPECT_EQ(counts.fromSouth, c->getmS(t, layer));
                EXPECT_EQ(counts.fromEast, c->getmE(t, layer));
                EXPECT_EQ(counts.fromWest, c->getmW(t, layer));
                EXPECT_EQ(counts.fromOtherLayer,
                          c->history->get_migrBetweenDemes(1 - layer, layer, t));
            }
        }
    }
}

TEST_F(LineageMigrationTest, MovesFollowTheStoredArrivals) {
    struct Case {
        const char* name;
        int layers;
        int previousSize;  // N at t - 1
        int size;          // M
        int north, south, east, west, otherLayer;
        // Exact probabilities: north, south, east, west, other layer, stay.
        double p[6];
    };
    const Case cases[] = {
        // Enough ancestors in the previous generation: immigrant with probability T/M.
        {"draw among the population", 1, 50, 20, 2, 3, 4, 1, 0, {0.10, 0.15, 0.20, 0.05, 0.0, 0.5}},
        // An empty previous generation: the ancestor is always an immigrant.
        {"draw among the immigrants", 1, 0, 20, 2, 3, 4, 1, 0, {0.2, 0.3, 0.4, 0.1, 0.0, 0.0}},
        {"the other layer comes first", 2, 50, 20, 5, 0, 0, 0, 5, {0.25, 0.0, 0.0, 0.0, 0.25, 0.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MigrationBed bed({"111", "111", "111"}, c.layers, 1, 1, 1);
        cell* centre = bed.hand.at(1, 1);
        bed.hand.setN(centre, bed.t - 1, 0, c.previousSize);
        bed.hand.setArrivals(centre, bed.t, 0, c.north, c.south, c.east, c.west);
        if (c.layers == 2) centre->history->set_migrBetweenDemes(1, 0, c.otherLayer, bed.t);
        cell* targets[5] = {centre->north, centre->south, centre->east, centre->west, centre};
        const int trials = 20000;
        int counts[6] = {};
        for (int trial = 0; trial < trials; ++trial) {
            bed.restart();
            bed.deme->size = c.size;
            bed.deme->implementMigration(0);
            int moved = 0;
            for (int k = 0; k < 4; ++k) {
                counts[k] += bed.arrived(targets[k]);
                moved += bed.arrived(targets[k]);
            }
            if (c.layers == 2) {
                counts[4] += bed.arrived(centre, 1);
                moved += bed.arrived(centre, 1);
            }
            counts[5] += 1 - moved;
            ASSERT_EQ(TDeme::numMigrEvents, moved);
        }
        const char* names[6] = {"north", "south", "east", "west", "other layer", "stay"};
        for (int k = 0; k < 6; ++k) expectFrequency(counts[k], trials, c.p[k], names[k]);
    }
}

TEST_F(LineageMigrationTest, MovedLineagesUseUpTheImmigrantsAndThePopulation) {
    // Four lineages, size 3, three arrivals, a large previous generation: the
    // first three draws fall below T each time, the fourth finds T = 0.
    MigrationBed bed({"111", "111", "111"}, 1, 1, 1, 4);
    cell* centre = bed.hand.at(1, 1);
    bed.hand.setN(centre, bed.t - 1, 0, 100);
    bed.hand.setArrivals(centre, bed.t, 0, 3, 0, 0, 0);
    bed.deme->size = 3;
    seedMainStream(99);
    bed.deme->implementMigration(0);
    EXPECT_EQ(bed.arrived(centre->north), 3);
    EXPECT_EQ(bed.deme->numLineages, 1);
    EXPECT_EQ(TDeme::numMigrEvents, 3);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(99, 4));  // one draw per lineage
}

TEST_F(LineageMigrationTest, MoreArrivalsThanPopulationStayInTheOneLayer) {
    // Size 2 but 5 arrivals: the population count runs below zero and draws
    // can be negative (and then fall below T); in a one-layer world those
    // lineages still go north, never to a second layer.
    MigrationBed bed({"111", "111", "111"}, 1, 1, 1, 6);
    cell* centre = bed.hand.at(1, 1);
    bed.hand.setN(centre, bed.t - 1, 0, 100);
    bed.hand.setArrivals(centre, bed.t, 0, 5, 0, 0, 0);
    for (int trial = 0; trial < 200; ++trial) {
        bed.restart();
        bed.deme->size = 2;
        bed.deme->implementMigration(0);
        ASSERT_GE(bed.arrived(centre->north), 5);
        ASSERT_EQ(bed.arrived(centre->north) + bed.deme->numLineages, 6);
        ASSERT_EQ(bed.hand.demes().numNewDemes, 1);
    }
}

TEST_F(LineageMigrationTest, NoArrivalsMeansNoMoveAndNoDraw) {
    MigrationBed bed({"111", "111", "111"}, 1, 1, 1, 3);
    bed.deme->size = 0;
    seedMainStream(7);
    bed.deme->implementMigration(0);
    EXPECT_EQ(bed.deme->numLineages, 3);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(7, 0));
    EXPECT_NE(capture->log().find("migration from an empty deme (no 4 at time 2)\n"),
              std::string::npos);
}

TEST_F(LineageMigrationTest, ASharePointingAtAMissingNeighbourGoesToTheNextOne) {
    // Corner (0,0): no north, no west. North arrivals go south.
    MigrationBed bed({"11", "11"}, 1, 0, 0, 1);
    cell* corner = bed.hand.at(0, 0);
    bed.hand.setArrivals(corner, bed.t, 0, 1, 1, 0, 0);
    bed.hand.setN(corner->south, bed.t - 1, 0, 5);
    for (int trial = 0; trial < 50; ++trial) {
        bed.restart();
        bed.deme->size = 2;
        bed.deme->implementMigration(0);
        ASSERT_EQ(bed.arrived(corner->south), 1);
    }
}

TEST_F(LineageMigrationTest, OnlyWestArrivalsWithoutWestNeighbourEndTheDraws) {
    // Arrivals recorded from a west neighbour that does not exist and an empty
    // previous generation: no draw can place the lineages, so each stays after
    // one draw, and the stranded lineages are then redistributed.
    MigrationBed bed({"11", "11"}, 1, 0, 0, 2);
    cell* corner = bed.hand.at(0, 0);
    bed.hand.setArrivals(corner, bed.t, 0, 0, 0, 0, 2);
    bed.hand.setN(corner->east, bed.t - 1, 0, 5);
    bed.deme->size = 2;
    seedMainStream(5);
    bed.deme->implementMigration(0);
    EXPECT_EQ(bed.arrived(corner->east), 2);
    EXPECT_EQ(countOf(capture->log(), "extra gene move to east\n"), 2);
    // One draw for each lineage that stayed, one for each redistributed lineage.
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(5, 4));
}

TEST_F(LineageMigrationTest, StrandedLineagesAreRedistributed) {
    struct Case {
        const char* name;
        std::vector<std::string> land;
        int layers;
        int row, column;
        // Populated at t - 1: (row, column, layer).
        std::vector<std::array<int, 3>> populated;
        int t;
        const char* move;  // the message of each redistributed lineage
        int toRow, toColumn, toLayer;
    };
    const Case cases[] = {
        {"one step",
         {"111", "111", "111"},
         1,
         1,
         1,
         {{2, 1, 0}},
         2,
         "extra gene move to south",
         2,
         1,
         0},
        {"two steps",
         {"11111", "11111", "11111", "11111", "11111"},
         1,
         2,
         2,
         {{2, 0, 0}},
         2,
         "extra gene move two times west",
         2,
         0,
         0},
        {"other layer of the cell",
         {"111", "111", "111"},
         2,
         1,
         1,
         {{1, 1, 1}},
         2,
         "extra gene move to the other population",
         1,
         1,
         1},
        {"other layer of a neighbour",
         {"111", "111", "111"},
         2,
         1,
         1,
         {{1, 2, 1}, {0, 1, 1}},
         2,
         "extra gene move to north of the other population",
         0,
         1,
         1},
        // At generation 0 there is no previous one: generation 0 stands for it.
        {"at generation 0",
         {"111", "111", "111"},
         1,
         1,
         1,
         {{1, 2, 0}},
         0,
         "extra gene move to east",
         1,
         2,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capture->clear();
        TDeme::numMigrEvents = 0;
        MigrationBed bed(c.land, c.layers, c.row, c.column, 3, c.t);
        cell* home = bed.hand.at(c.row, c.column);
        const int previous = c.t > 0 ? c.t - 1 : 0;
        // One lineage leaves by the stored arrivals (from the north), two are stranded.
        bed.hand.setArrivals(home, c.t, 0, 1, 0, 0, 0);
        bed.hand.setN(home, previous, 0, 0);
        for (const auto& p : c.populated) bed.hand.setN(bed.hand.at(p[0], p[1]), previous, p[2], 9);
        bed.deme->size = 3;
        bed.deme->implementMigration(0);
        const std::string warning = "WARNING[TDeme::Move_Genes_If_NextSize_Equal_Zero]: Cell " +
                                    std::to_string(home->dbIndex) + ", Deme 0, Generation " +
                                    std::to_string(c.t - 1) +
                                    " -> Redistribution of 2 lineages in neighbouring cells!\n";
        const std::string log = capture->log();
        const size_t warned = log.find(warning);
        ASSERT_NE(warned, std::string::npos) << log;
        EXPECT_EQ(countOf(log.substr(warned), std::string(c.move) + "\n"), 2) << log;
        EXPECT_EQ(bed.deme->numLineages, 0);
        EXPECT_EQ(bed.arrived(bed.hand.at(c.toRow, c.toColumn), c.toLayer), 2);
        EXPECT_EQ(TDeme::numMigrEvents, 3);
    }
}

TEST_F(LineageMigrationTest, LineagesWithNowhereToGoStayPrisoners) {
    MigrationBed bed({"111", "111", "111"}, 2, 1, 1, 2);
    cell* centre = bed.hand.at(1, 1);
    bed.hand.setArrivals(centre, bed.t, 0, 0, 0, 0, 0);
    centre->history->set_migrBetweenDemes(1, 0, 1, bed.t);  // one lineage can leave
    bed.deme->size = 2;
    bed.deme->implementMigration(0);
    EXPECT_EQ(bed.deme->numLineages, 1);
    EXPECT_NE(capture->log().find("ERROR[TDeme::implementMigration]: Lineages are prisonner in "
                                  "Cell 4, Deme 0, at generation 2\n"),
              std::string::npos);
}

TEST_F(LineageMigrationTest, MovesAreRecordedInTheNodesWithTwoLayersAndPropFile) {
    MigrationBed bed({"111", "111", "111"}, 2, 1, 1, 1);
    cell* centre = bed.hand.at(1, 1);
    centre->history->set_migrBetweenDemes(1, 0, 4, bed.t);
    bed.hand.setN(centre, bed.t - 1, 0, 0);
    bed.hand.demes().recordMoves = true;
    bed.hand.demes().tree.ResetMigrations(3, 0);
    TNode* tip = bed.hand.demes().tree.nodeAt(0);
    bed.deme->size = 4;
    bed.deme->implementMigration(0);
    ASSERT_EQ(bed.arrived(centre, 1), 1);
    EXPECT_EQ(tip->layer, 1);
    ASSERT_EQ(tip->locationList->count(), 2);
    EXPECT_EQ((*tip->locationList)[1], centre->dbIndex);
    EXPECT_EQ((*tip->timeList)[1], bed.t - 1);
    EXPECT_EQ((*tip->layerList)[1], 1);
}

TEST_F(LineageMigrationTest, MultiOriginMigrationGoesToOtherSourceDemes) {
    HandWorld hand({"111"}, 1, 3);
    hand.setLoci(1, 0.0);
    for (int c = 0; c < 3; ++c) hand.sample(hand.at(0, c), c == 0 ? 4 : 1);
    hand.finishSamples();
    TDemeCollection& d = hand.demes();
    TDeme::_Demes = &d;
    const int trials = 2000;
    int toSecond = 0;
    for (int trial = 0; trial < trials; ++trial) {
        d.reset();
        d.activeDeme(0)->implementMultiOriginMigration(-5, 1.0f, 0);
        ASSERT_EQ(d.activeDeme(0)->numLineages, 0);
        ASSERT_EQ(d.activeDeme(1)->numIncoming + d.activeDeme(2)->numIncoming, 4);
        toSecond += d.activeDeme(1)->numIncoming;
    }
    expectFrequency(toSecond, 4 * trials, 0.5, "second deme");

    // Rate 0: one draw per lineage, nothing moves.
    d.reset();
    seedMainStream(3);
    d.activeDeme(0)->implementMultiOriginMigration(-5, 0.0f, 0);
    EXPECT_EQ(d.activeDeme(0)->numLineages, 4);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(3, 4));
}

TEST_F(LineageMigrationTest, MultiOriginMigrationWithASingleDemeGivesUp) {
    HandWorld hand({"11"}, 1, 3);
    hand.setLoci(1, 0.0);
    hand.sample(hand.at(0, 0), 2);
    hand.finishSamples();
    TDeme::_Demes = &hand.demes();
    seedMainStream(11);
    hand.demes().activeDeme(0)->implementMultiOriginMigration(-1, 1.0f, 0);
    EXPECT_EQ(hand.demes().activeDeme(0)->numLineages, 2);
    EXPECT_EQ(countOf(capture->log(),
                      "WARNING:{TDeme::implementMultiOriginMigration}:[Impossible "
                      "to find 2 different demes!, security number reached]\n"),
              1);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(11, 1001));
}

TEST_F(LineageMigrationTest, DemesEmptiedAndRefilledAreListedOnceAsNew) {
    // Two source demes exchanging every lineage for many generations without
    // an AddNewDeme in between (the ancestral phase): the list of new demes
    // never outgrows its slots.
    HandWorld hand({"11"}, 1, 3);
    hand.setLoci(1, 0.0);
    hand.sample(hand.at(0, 0), 3);
    hand.sample(hand.at(0, 1), 3);
    hand.finishSamples();
    TDemeCollection& d = hand.demes();
    TDeme::_Demes = &d;
    for (int generation = 0; generation < 50; ++generation) {
        for (int c = 0; c < d.numDemes; ++c) {
            d.activeDeme(c)->implementMultiOriginMigration(-generation, 1.0f, c);
            d.activeDeme(c)->takeIncomingLineages();
        }
        ASSERT_LE(d.numNewDemes, d.demeCapacity);
    }
    d.UpdateDemeList();
    d.AddNewDeme();
    int listed = 0;
    for (int c = 0; c < d.numDemes; ++c) listed += d.activeDeme(c)->numLineages;
    EXPECT_EQ(listed, 6);
}

TEST_F(LineageMigrationTest, ANewDemeReachedFromTwoDemesIsListedOnce) {
    HandWorld hand({"111"}, 1, 3);
    hand.setLoci(1, 0.0);
    hand.sample(hand.at(0, 0), 1);
    hand.sample(hand.at(0, 2), 1);
    hand.finishSamples();
    TDemeCollection& d = hand.demes();
    TDeme::_Demes = &d;
    cell* middle = hand.at(0, 1);
    hand.setN(middle, 0, 0, 7);
    TNode* first = d.activeDeme(0)->lineages.first();
    TNode* second = d.activeDeme(1)->lineages.first();
    d.activeDeme(0)->implementOverflowMigration(middle, 0, 0);
    d.activeDeme(1)->implementOverflowMigration(middle, 0, 0);
    d.UpdateDemeList();
    d.AddNewDeme();
    ASSERT_EQ(d.numDemes, 1);
    TDeme* reached = d.activeDeme(0);
    EXPECT_EQ(reached->cell, middle);
    EXPECT_EQ(reached->listIndex, middle->dbIndex);
    EXPECT_EQ(reached->size, 7);
    EXPECT_FLOAT_EQ(reached->coalRate, 1.0f / 7);
    ASSERT_EQ(reached->numLineages, 2);
    EXPECT_EQ(reached->lineages.elementAt(0), first);
    EXPECT_EQ(reached->lineages.elementAt(1), second);
    EXPECT_EQ(TDeme::totNumActiveLineages, 0 - 2 + 2);
    EXPECT_EQ(d.numNewDemes, 0);
    EXPECT_EQ(d.newDemeList[0].historyIndex, -1);
    EXPECT_EQ(d.demeList[1].historyIndex, -1);

    // The next tree starts again from the sampled demes.
    d.reset();
    ASSERT_EQ(d.numDemes, 2);
    EXPECT_EQ(d.activeDeme(0)->lineages.first(), first);
    EXPECT_EQ(reached->numLineages, 0);
}

}  // namespace
}  // namespace coalescent_test
