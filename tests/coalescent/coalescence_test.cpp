// Coalescence and recombination within one deme for one generation.

#include <gtest/gtest.h>

#include <cmath>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"

namespace coalescent_test {
namespace {

// One cell holding `genes` sampled genes on `loci` linked loci.
class DemeBed {
  public:
    DemeBed(int genes, int loci, double rate, int layers = 1) : hand({"1"}, layers, 3) {
        hand.setLoci(loci, rate);
        hand.sample(hand.at(0, 0), genes);
        hand.finishSamples();
        deme = hand.demes().activeDeme(0);
        TDeme::_Demes = &hand.demes();
        startTree();
    }
    // What the tree builders do before the first generation.
    void startTree() {
        TDemeCollection& d = hand.demes();
        d.reset();
        d.tree.resetLocusRecords(d.numLoci, d.taxa);
        d.tree.resetNodeMaxPos(d.numLoci);
        d.tree.ResetMigrations(3, 0);
        TDeme::totNumActiveLineages = deme->numLineages;
    }
    TTree& tree() { return hand.demes().tree; }
    TNode* tip(int i) { return tree().nodeAt(i); }

    HandWorld hand;
    TDeme* deme = nullptr;
};

void expectFrequency(int hits, int trials, double p, const char* what) {
    const double sd = std::sqrt(p * (1 - p) / trials);
    EXPECT_NEAR(static_cast<double>(hits) / trials, p, 5 * sd + 1e-12) << what;
}

class CoalescenceTest : public CoalescentTest {};

TEST_F(CoalescenceTest, TwoLineagesInADemeOfOneAlwaysMerge) {
    DemeBed bed(2, 3, 0.0);
    bed.deme->size = 1;
    bed.deme->coalRate = 1.0f;
    seedMainStream(8);
    // 1 x 1/1 = 1 is not below 1: every lineage draws its parent (one draw each).
    EXPECT_EQ(bed.deme->coalesce(5, 17, bed.tree()), 1);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(8, 2));
    ASSERT_EQ(bed.deme->numLineages, 1);
    TNode* node = bed.deme->lineages.first();
    EXPECT_EQ(node->nodeNumber, 3);
    EXPECT_EQ(node->coalescentFlag, TNode::kCoalescenceNode);
    EXPECT_EQ(node->time, 5);
    // The earlier of two lineages with one parent is the right descendant.
    EXPECT_EQ(node->leftDescendant, bed.tip(1));
    EXPECT_EQ(node->rightDescendant, bed.tip(0));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(bed.tip(i)->ancestor, node);
        EXPECT_EQ(bed.tip(i)->firstParent, node);
        EXPECT_EQ(bed.tip(i)->secondParent, nullptr);
    }
    for (int locus = 0; locus < 3; ++locus) {
        EXPECT_EQ(bed.tree().rootOf(locus), node);
        EXPECT_EQ(bed.tree().activeLineages[static_cast<size_t>(locus)], 1);
    }
    EXPECT_EQ(TTree::sumActiveNodes, 3);
    EXPECT_EQ(node->demeNumber, 0);
    EXPECT_EQ(node->firstCarriedLocus, 0);
    EXPECT_EQ(node->lastCarriedLocus, 3);
    ASSERT_EQ(node->locationList->count(), 1);
    EXPECT_EQ((*node->locationList)[0], bed.deme->cellIndex);
    EXPECT_EQ((*node->timeList)[0], 17);
    EXPECT_EQ(TDeme::totNumActiveLineages, 1);
}

TEST_F(CoalescenceTest, ThreeLineagesWithOneParentMergeOneAfterTheOther) {
    DemeBed bed(3, 1, 0.0);
    bed.deme->size = 1;
    EXPECT_EQ(bed.deme->coalesce(2, 0, bed.tree()), 2);
    ASSERT_EQ(bed.deme->numLineages, 1);
    TNode* last = bed.deme->lineages.first();
    ASSERT_EQ(bed.tree().numNodes(), 5);
    TNode* first = bed.tree().nodeAt(3);
    EXPECT_EQ(first->leftDescendant, bed.tip(1));
    EXPECT_EQ(first->rightDescendant, bed.tip(0));
    EXPECT_EQ(last, bed.tree().nodeAt(4));
    EXPECT_EQ(last->leftDescendant, bed.tip(2));
    EXPECT_EQ(last->rightDescendant, first);
    EXPECT_EQ(bed.tree().rootOf(0), last);
}

TEST_F(CoalescenceTest, TwoLineagesAmongFourIndividualsMergeWithProbabilityAQuarter) {
    DemeBed bed(2, 1, 0.0);
    const int trials = 20000;
    int merged = 0;
    for (int trial = 0; trial < trials; ++trial) {
        bed.startTree();
        bed.deme->size = 4;
        bed.deme->coalRate = 0.25f;
        merged += bed.deme->coalesce(1, 0, bed.tree());
    }
    expectFrequency(merged, trials, 0.25, "single event");
}

TEST_F(CoalescenceTest, ADemeOfSizeZeroDoesNotCoalesceOrRecombine) {
    DemeBed bed(3, 2, 0.5);
    bed.deme->size = 0;
    seedMainStream(2);
    EXPECT_EQ(bed.deme->coalesce(1, 0, bed.tree()), 0);
    EXPECT_EQ(bed.deme->recombination_per_lineage(1, bed.tree()), 0);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(2, 0));
    EXPECT_NE(capture->log().find("TDeme::coalesce_curNumLineages() : deme size of population 0 "
                                  "is zero !\n"),
              std::string::npos);
    EXPECT_NE(capture->log().find("TDeme::recombination_per_lineage(CoalNode,time,GeneTree,pos) : "
                                  "deme size of population 0 is zero !\n"),
              std::string::npos);
}

TEST_F(CoalescenceTest, ALocusWithoutRateStillDrawsOncePerLineage) {
    DemeBed bed(3, 1, 0.0);
    bed.deme->size = 10;
    seedMainStream(6);
    EXPECT_EQ(bed.deme->recombination_per_lineage(1, bed.tree()), 0);
    const double next = nextUniform();
    EXPECT_EQ(next, uniformAfter(6, 3));
}

TEST_F(CoalescenceTest, BreakpointsFallInProportionToTheRates) {
    // Four loci; a tip spans loci 0 to 4 (exclusive), so R = 0.1+0.2+0.3+0.4 = 1
    // and the first tip recombines in every generation.
    DemeBed bed(2, 4, 0.0);
    TDemeCollection& d = bed.hand.demes();
    const double rates[4] = {0.1, 0.2, 0.3, 0.4};
    d.locusRecombRate = MY_TArrayAsVector<double>(10, 10);
    for (double r : rates) d.locusRecombRate.Add(r);
    const int trials = 20000;
    int breakpoints[4] = {};
    for (int trial = 0; trial < trials; ++trial) {
        bed.startTree();
        bed.deme->size = 10;
        const int added = bed.deme->recombination_per_lineage(4, bed.tree());
        ASSERT_GE(added, 2);
        ASSERT_EQ(bed.deme->numLineages, 2 + added);
        ASSERT_EQ(TDeme::totNumActiveLineages, 2 + added);
        TNode* tip = bed.tip(0);
        TNode* left = tip->firstParent;
        TNode* right = tip->secondParent;
        ASSERT_NE(right, nullptr);
        int m = -1;
        for (int locus = 0; locus < 4; ++locus) {
            ASSERT_NE(left->carries(locus), right->carries(locus));
            if (left->carries(locus)) m = locus;
        }
        ASSERT_GE(m, 0);
        ++breakpoints[m];
        EXPECT_EQ(tip->ancestor, left);
        EXPECT_EQ(left->leftDescendant, tip);
        EXPECT_EQ(right->leftDescendant, tip);
        EXPECT_EQ(right->rightDescendant, nullptr);
        EXPECT_EQ(left->coalescentFlag, TNode::kRecombinationNode);
        EXPECT_EQ(left->time, 4);
        EXPECT_EQ(left->firstCarriedLocus, 0);
        EXPECT_EQ(left->lastCarriedLocus, m);
        EXPECT_EQ(right->firstCarriedLocus, m < 3 ? m + 1 : 0);
        EXPECT_EQ(right->lastCarriedLocus, 3);
        // The left parent takes the tip's place; the right one was appended.
        EXPECT_EQ(bed.deme->lineages.elementAt(0), left);
        EXPECT_EQ(left->nodeNumber + 1, right->nodeNumber);
        if (HasFailure()) break;
    }
    for (int m = 0; m < 4; ++m) expectFrequency(breakpoints[m], trials, rates[m], "breakpoint");
}

TEST_F(CoalescenceTest, ALineageWhoseRateExceedsOneRecombinesEveryTime) {
    DemeBed bed(2, 2, 3.0);
    bed.deme->size = 10;
    const int added = bed.deme->recombination_per_lineage(1, bed.tree());
    // Both tips split; a right parent spanning a locus with a rate splits again.
    EXPECT_GE(added, 2);
    EXPECT_NE(bed.tip(0)->secondParent, nullptr);
    EXPECT_NE(bed.tip(1)->secondParent, nullptr);
    // The parents together carry what the tips carried: no locus count changes.
    EXPECT_EQ(TTree::sumActiveNodes, 4);
}

}  // namespace
}  // namespace coalescent_test
