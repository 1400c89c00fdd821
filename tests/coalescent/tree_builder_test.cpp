// Whole genealogies: the coalescent in a population of constant size, the
// effect of recombination, the ancestral phase of several sources, the
// continuous-time completion, and what every finished genealogy satisfies.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"

namespace coalescent_test {
namespace {

class TreeBuilderTest : public CoalescentTest {};

// One cell of constant size n for generations 0 .. endTime, one source.
std::unique_ptr<HandWorld> constantDeme(int size, int endTime, int genes, int loci, double rate) {
    auto hand = std::make_unique<HandWorld>(std::vector<std::string>{"1"}, 1, endTime);
    hand->setNAll(hand->at(0, 0), 0, size);
    hand->addSource(hand->at(0, 0), "origin");
    hand->setLoci(loci, rate);
    hand->sample(hand->at(0, 0), genes);
    hand->finishSamples();
    return hand;
}

struct Moments {
    double mean = 0;
    double sd = 0;
};

Moments rootTimes(HandWorld& hand, int genealogies, bool oneOrigin) {
    std::vector<double> times;
    for (int i = 0; i < genealogies; ++i) {
        TDemeCollection& d = hand.demes();
        const int built = oneOrigin ? d.buildTreeOneOriginOneLayerRecombination(1) : d.buildTree(1);
        EXPECT_EQ(built, 1);
        times.push_back(static_cast<double>(d.tree.rootOf(0)->time));
    }
    Moments m;
    for (double t : times) m.mean += t / times.size();
    for (double t : times) m.sd += (t - m.mean) * (t - m.mean) / (times.size() - 1);
    m.sd = std::sqrt(m.sd);
    return m;
}

TEST_F(TreeBuilderTest, TimeToTheCommonAncestorInAConstantPopulation) {
    struct Case {
        int size;
        int genes;
        bool oneOrigin;  // with a short history, completed in continuous time
        int endTime;
        double expected;
    };
    const Case cases[] = {
        {40, 2, false, 2000, 40.0},
        {100, 8, false, 3000, 2 * 100 * (1 - 1.0 / 8)},
        // Three generations through the history, then continuous time from s = 4.
        {100, 2, true, 3, 3 + 100.0},
        {100, 6, true, 3, 3 + 2 * 100 * (1 - 1.0 / 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.genes << " genes, size " << c.size
                                          << (c.oneOrigin ? ", continuous" : ""));
        auto hand = constantDeme(c.size, c.endTime, c.genes, 1, 0.0);
        const int genealogies = 1500;
        const Moments m = rootTimes(*hand, genealogies, c.oneOrigin);
        EXPECT_NEAR(m.mean, c.expected, 5 * m.sd / std::sqrt(genealogies) + 0.02 * c.expected);
    }
    EXPECT_NE(capture->log().find("Entering continuous time function (saving time)!\n"),
              std::string::npos);
}

// Two cells of constant size N side by side; each generation one of the N
// individuals of each cell came from the other (m = 1/N backwards). Within a
// cell two genes coalesce after about 2N generations, between cells after
// about 2N + 1/(2m): the exact expectations of this discrete process (each
// generation coalescence with chance 1/N, then migration, the arrivals of a
// cell drawn without replacement) are 40 and 50.53 for N = 20.
TEST_F(TreeBuilderTest, PairsCoalesceAsInTwoDemesExchangingMigrants) {
    const int size = 20;
    const int arrivals = 1;
    const int endTime = 4000;
    const double m = static_cast<double>(arrivals) / size;
    const double c = 1.0 / size;
    // First-step analysis: E_same = 1 + (1-c)(p E_same + (1-p) E_apart),
    // E_apart = 1 + q E_same + (1-q) E_apart.
    const double staySame = (1 - m) * (size - arrivals - 1.0) / (size - 1.0) +
                            m * (arrivals - 1.0) / (size - 1.0);
    const double meet = 2 * m * (1 - m);
    const double gap = 1.0 / meet;  // E_apart - E_same
    const double expectedSame = (1 + (1 - c) * (1 - staySame) * gap) / c;
    const double expectedApart = expectedSame + gap;
    ASSERT_NEAR(expectedSame, 2 * size, 1.0);
    ASSERT_NEAR(expectedApart, 2 * size + 1 / (2 * m), 1.0);

    for (const bool apart : {false, true}) {
        SCOPED_TRACE(apart ? "genes in different cells" : "genes in one cell");
        HandWorld hand({"11"}, 1, endTime);
        cell* west = hand.at(0, 0);
        cell* east = hand.at(0, 1);
        hand.setNAll(west, 0, size);
        hand.setNAll(east, 0, size);
        for (int t = 1; t <= endTime; ++t) {
            hand.setArrivals(west, t, 0, 0, 0, arrivals, 0);
            hand.setArrivals(east, t, 0, 0, 0, 0, arrivals);
        }
        hand.addSource(west, "origin");
        hand.setLoci(1, 0.0);
        if (apart) {
            hand.sample(west, 1, 0, "w");
            hand.sample(east, 1, 0, "e");
        } else {
            hand.sample(west, 2, 0, "w");
        }
        hand.finishSamples();
        const int genealogies = 4000;
        const Moments times = rootTimes(hand, genealogies, false);
        const double expected = apart ? expectedApart : expectedSame;
        EXPECT_NEAR(times.mean, expected, 4 * times.sd / std::sqrt(genealogies)) << times.mean;
    }
}

TEST_F(TreeBuilderTest, RecombinationSeparatesTheTreesOfTwoLoci) {
    // Two genes, two loci, haploid size N and rate r: with rho = 2Nr the two
    // loci share their coalescence with probability (rho + 18)/(rho^2 + 13 rho + 18).
    struct Case {
        double rate;
        double shared;
    };
    const Case cases[] = {{0.0, 1.0}, {0.005, 19.0 / 32}, {0.02, (4.0 + 18) / (16 + 52 + 18)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        auto hand = constantDeme(100, 5000, 2, 2, c.rate);
        TDemeCollection& d = hand->demes();
        const int genealogies = 1500;
        int shared = 0;
        for (int i = 0; i < genealogies; ++i) {
            ASSERT_EQ(d.buildTree(1), 1);
            expectSoundGenealogy(d.tree, 2);
            if (d.tree.rootOf(0) == d.tree.rootOf(1)) ++shared;
            EXPECT_EQ(TDemeCollection::isRecombination, c.rate > 0);
        }
        const double p = c.shared;
        EXPECT_NEAR(static_cast<double>(shared) / genealogies, p,
                    5 * std::sqrt(p * (1 - p) / genealogies) + 0.02);
        if (HasFailure()) break;
    }
}

// A 3 x 3 world of constant size with migration between neighbours, one or
// two layers, the samples spread over three cells.
std::unique_ptr<HandWorld> migrationWorld(int layers, int loci, double rate, int endTime) {
    auto hand =
        std::make_unique<HandWorld>(std::vector<std::string>{"111", "111", "111"}, layers, endTime);
    for (cell* c : hand->world->grid.landCells) {
        for (int layer = 0; layer < layers; ++layer) {
            hand->setNAll(c, layer, 30);
            for (int t = 0; t <= endTime; ++t) {
                hand->setArrivals(c, t, layer, c->north ? 2 : 0, c->south ? 2 : 0, c->east ? 2 : 0,
                                  c->west ? 2 : 0);
                if (layers == 2) c->history->set_migrBetweenDemes(1 - layer, layer, 1, t);
            }
        }
    }
    hand->addSource(hand->at(1, 1), "centre");
    if (layers == 2) hand->addSource(hand->at(1, 1), "second", 1);
    hand->setLoci(loci, rate);
    hand->sample(hand->at(0, 0), 3);
    hand->sample(hand->at(1, 2), 2, layers - 1);
    hand->sample(hand->at(2, 2), 3);
    hand->finishSamples();
    return hand;
}

TEST_F(TreeBuilderTest, EveryGenealogyIsSound) {
    struct Case {
        const char* name;
        int layers;
        int loci;
        double rate;
        bool oneOrigin;
        bool propFile;
    };
    const Case cases[] = {
        {"one layer, one locus", 1, 1, 0.0, false, false},
        {"one layer, continuous completion", 1, 3, 0.0, true, false},
        {"one layer, recombining, discrete ancestral phase", 1, 5, 0.002, true, false},
        {"two layers with node records", 2, 1, 0.0, false, true},
        {"two layers, recombining", 2, 4, 0.005, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto hand = migrationWorld(c.layers, c.loci, c.rate, 300);
        hand->set("PropFile", c.propFile ? 1 : 0);
        TDemeCollection& d = hand->demes();
        for (int i = 0; i < 30; ++i) {
            const int built =
                c.oneOrigin ? d.buildTreeOneOriginOneLayerRecombination(1) : d.buildTree(1);
            ASSERT_EQ(built, 1);
            expectSoundGenealogy(d.tree, c.loci);
            // Tips numbered 1 .. n, internal nodes from n + 1 in creation order.
            for (int64_t k = 0; k < d.tree.numNodes(); ++k) {
                ASSERT_EQ(d.tree.nodeAt(k)->nodeNumber, k + 1);
            }
            if (c.propFile) {
                EXPECT_GT(TDeme::numMigrEvents, 0);
            }
            if (HasFailure()) return;
        }
    }
}

// Node numbers, times and descendants of the whole chain.
std::vector<int64_t> fingerprint(const TTree& tree) {
    std::vector<int64_t> print;
    for (int64_t k = 0; k < tree.numNodes(); ++k) {
        const TNode* n = tree.nodeAt(k);
        print.push_back(n->nodeNumber);
        print.push_back(n->time);
        print.push_back(n->leftDescendant ? n->leftDescendant->nodeNumber : -1);
        print.push_back(n->rightDescendant ? n->rightDescendant->nodeNumber : -1);
        const bool located = n->locationList != nullptr && n->locationList->count() > 0;
        print.push_back(located ? (*n->locationList)[n->locationList->count() - 1] : -1);
    }
    return print;
}

TEST_F(TreeBuilderTest, AFixedSeedReproducesTheGenealogy) {
    std::vector<int64_t> runs[2];
    for (auto& run : runs) {
        auto hand = migrationWorld(2, 3, 0.01, 200);
        seedMainStream(2024);
        ASSERT_EQ(hand->demes().buildTree(1), 1);
        ASSERT_EQ(hand->demes().buildTree(1), 1);
        run = fingerprint(hand->demes().tree);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_GT(runs[0].size(), 5u * 15);
}

TEST_F(TreeBuilderTest, AnUnfinishedGenealogyIsNotUsedAndTheNextStartsAfresh) {
    for (const bool oneOrigin : {false, true}) {
        SCOPED_TRACE(oneOrigin);
        capture->clear();
        auto hand = constantDeme(1000000, 50, 4, 1, 0.0);
        hand->set("MaxNumGenerations", 10);
        TDemeCollection& d = hand->demes();
        EXPECT_EQ(oneOrigin ? d.buildTreeOneOriginOneLayerRecombination(1) : d.buildTree(1), 0);
        EXPECT_NE(capture->log().find("num_lineages = 4\n"), std::string::npos) << capture->log();
        // The next genealogy starts from the samples, not from what was left.
        hand->setNAll(hand->at(0, 0), 0, 3);
        hand->set("MaxNumGenerations", 100000);
        ASSERT_EQ(d.buildTree(1), 1);
        expectSoundGenealogy(d.tree, 1);
        EXPECT_EQ(d.tree.numNodes(), 7);
    }
}

TEST_F(TreeBuilderTest, ARecombiningGenealogyNeedsARootOnEveryLocus) {
    auto hand = constantDeme(1000000, 50, 4, 3, 0.01);
    hand->set("MaxNumGenerations", 10);
    EXPECT_EQ(hand->demes().buildTree(1), 0);
}

TEST_F(TreeBuilderTest, NoSampledGeneNoGenealogy) {
    HandWorld hand({"1"}, 1, 5);
    hand.setLoci(1, 0.0);
    hand.sample(hand.at(0, 0), 0);
    hand.demes().createInitialDemeList();
    EXPECT_EQ(hand.demes().buildTree(1), 0);
    EXPECT_EQ(hand.demes().buildTreeOneOriginOneLayerRecombination(1), 0);
    EXPECT_EQ(countOf(capture->log(),
                      "ERROR:{TDemeCollection::buildTree}:[Not enough lineages to "
                      "perform coalescence!]\n"),
              2);
}

TEST_F(TreeBuilderTest, ASingleGeneIsTheRootOfEveryLocus) {
    auto hand = constantDeme(10, 5, 1, 3, 0.1);
    ASSERT_EQ(hand->demes().buildTree(1), 1);
    for (int locus = 0; locus < 3; ++locus) {
        EXPECT_EQ(hand->demes().tree.rootOf(locus), hand->demes().tree.nodeAt(0));
    }
}

// Three source cells side by side, two genes sampled in each, a short
// history of large populations (no coalescence before the expansion).
std::unique_ptr<HandWorld> threeSources(int ancestralSize) {
    auto hand = std::make_unique<HandWorld>(std::vector<std::string>{"111"}, 1, 2);
    const char* names[3] = {"A", "B", "C"};
    for (int c = 0; c < 3; ++c) {
        hand->setNAll(hand->at(0, c), 0, 1000000);
        hand->setN(hand->at(0, c), 0, 0, 700 + c);
        PopulationSource& s = hand->addSource(hand->at(0, c), names[c]);
        s.preExpansionMigration = 0.05f;
    }
    hand->set("TauValue", 100);
    hand->set("AncestralSize", ancestralSize);
    hand->setLoci(1, 0.0);
    for (int c = 0; c < 3; ++c) hand->sample(hand->at(0, c), 2);
    hand->finishSamples();
    return hand;
}

TEST_F(TreeBuilderTest, SeveralSourcesExchangeMigrantsThenMergeAtTau) {
    struct Case {
        int ancestralSize;
        int mergedSize;
    };
    for (const Case c : {Case{50, 50}, Case{0, 700}}) {
        SCOPED_TRACE(c.ancestralSize);
        capture->clear();
        auto hand = threeSources(c.ancestralSize);
        PopulationSource& a = hand->world->io.populations.at(0);
        a.firstResize = 300;
        a.bottleneckDuration = 10;
        a.secondResize = 20;
        TDemeCollection& d = hand->demes();
        ASSERT_EQ(d.buildTree(1), 1);
        expectSoundGenealogy(d.tree, 1);
        const std::string log = capture->log();
        EXPECT_NE(log.find("At generation 0 resizing of Source A to 300\n"), std::string::npos);
        EXPECT_NE(log.find("At generation -10 resizing of Source A to 20\n"), std::string::npos);
        EXPECT_NE(log.find("At generation -100 (tau) all remaining demes are merged in one single "
                           "deme of size " +
                           std::to_string(c.mergedSize) + "\n"),
                  std::string::npos)
            << log;
        EXPECT_GT(TDeme::numMigrEvents, 0);
        // Steps 1 and 2 are generations 2 and 1; generation g has step 3 - g.
        const int64_t tauStep = 3 + 100;
        const int firstCell = d.activeDeme(0)->cellIndex;
        for (int64_t k = d.tree.sampleSize; k < d.tree.numNodes(); ++k) {
            const TNode* node = d.tree.nodeAt(k);
            EXPECT_GE(node->time, 3);  // nothing coalesces in the large populations
            if (node->time > tauStep) {
                EXPECT_EQ((*node->locationList)[0], firstCell);
            }
        }
    }
}

TEST_F(TreeBuilderTest, MultiOriginMigrationWithOneDemeLeftIsSkippedWithOneWarning) {
    auto hand = std::make_unique<HandWorld>(std::vector<std::string>{"11"}, 1, 1);
    for (int c = 0; c < 2; ++c) {
        hand->setNAll(hand->at(0, c), 0, 30);
        hand->addSource(hand->at(0, c), c == 0 ? "A" : "B").preExpansionMigration = 0.5f;
    }
    hand->set("TauValue", 1000);
    hand->setLoci(1, 0.0);
    hand->sample(hand->at(0, 0), 5);
    hand->finishSamples();
    ASSERT_EQ(hand->demes().buildTree(1), 1);
    EXPECT_EQ(countOf(capture->log(),
                      "WARNING: Only one population left -> multi origins migrations skipped!\n"),
              1);
}

TEST_F(TreeBuilderTest, TheSourcePopulationIsGatheredBeforeTheExpansion) {
    // A source in the middle cell that spilled into its two neighbours.
    auto hand = std::make_unique<HandWorld>(std::vector<std::string>{"111"}, 1, 1);
    for (int c = 0; c < 3; ++c) {
        hand->setNAll(hand->at(0, c), 0, 1000000);
        hand->setN(hand->at(0, c), 0, 0, 10 * (c + 1));
    }
    hand->addSource(hand->at(0, 1), "origin");
    hand->at(0, 0)->sourceNumber = 1;
    hand->at(0, 2)->sourceNumber = 1;
    hand->set("AllowSourcePopulationOverflow", "0");
    hand->setLoci(1, 0.0);
    hand->sample(hand->at(0, 0), 3);
    hand->sample(hand->at(0, 2), 3);
    hand->finishSamples();
    TDemeCollection& d = hand->demes();
    ASSERT_EQ(d.buildTreeOneOriginOneLayerRecombination(1), 1);
    expectSoundGenealogy(d.tree, 1);
    ASSERT_EQ(d.numDemes, 1);
    TDeme* source = d.activeDeme(0);
    EXPECT_EQ(source->cell, hand->at(0, 1));
    EXPECT_EQ(source->size, 20 + 10 + 30);
    for (int64_t k = d.tree.sampleSize; k < d.tree.numNodes(); ++k) {
        EXPECT_EQ((*d.tree.nodeAt(k)->locationList)[0], hand->at(0, 1)->dbIndex);
    }
    EXPECT_NE(capture->log().find("Entering continuous time function (saving time)!\n"),
              std::string::npos);
}

TEST_F(TreeBuilderTest, LineagesLeftInSeveralDemesJoinTheSourceBeforeTheAncestralPhase) {
    // No arrivals recorded: the lineages of two cells are still apart at
    // generation 0, and could never meet without being gathered.
    for (const double rate : {0.0, 0.01}) {
        SCOPED_TRACE(rate);
        capture->clear();
        auto hand = std::make_unique<HandWorld>(std::vector<std::string>{"11"}, 1, 2);
        hand->setNAll(hand->at(0, 0), 0, 50);
        hand->setNAll(hand->at(0, 1), 0, 50);
        hand->addSource(hand->at(0, 0), "origin");
        hand->setLoci(2, rate);
        hand->sample(hand->at(0, 0), 2);
        hand->sample(hand->at(0, 1), 2);
        hand->finishSamples();
        ASSERT_EQ(hand->demes().buildTreeOneOriginOneLayerRecombination(1), 1);
        expectSoundGenealogy(hand->demes().tree, 2);
        EXPECT_NE(capture->log().find("demes are gathered in the deme of cell"), std::string::npos);
    }
}

TEST_F(TreeBuilderTest, ContinuousTimeScalesTimesThroughTheBottleneck) {
    // Before the bottleneck (older than 10 generations) times shrink by 20/1000.
    auto hand = constantDeme(1000, 1, 2, 1, 0.0);
    PopulationSource& s = hand->world->io.populations.at(0);
    s.bottleneckDuration = 10;
    s.secondResize = 20;
    const Moments m = rootTimes(*hand, 1500, true);
    // Most pairs coalesce past the bottleneck: 10 + (1000 T - 10) x 0.02 ~ 30.
    EXPECT_NEAR(m.mean, 2 + 10 + (1000 - 10) * 0.02, 5 * m.sd / std::sqrt(1500.0) + 1.0);
    EXPECT_NE(capture->log().find("At generation -10 resizing of Source origin to 20\n"),
              std::string::npos);
}

}  // namespace
}  // namespace coalescent_test
