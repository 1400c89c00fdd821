#include <gtest/gtest.h>

#include <vector>

#include "genetree/gene_tree_builder.h"

namespace {

using genetree_test::GeneTreeBuilder;
using genetree_test::nextUniform;
using genetree_test::seedMainStream;

std::vector<TNode*> listedNodes() {
    const MY_TIArrayAsVector<TNode>& listed = TTree::matchingNodes;
    std::vector<TNode*> nodes;
    for (int64_t i = 0; i < listed.count(); ++i) nodes.push_back(listed[i]);
    return nodes;
}

std::vector<double> listedWeights() {
    std::vector<double> weights;
    for (int i = 0; i < TTree::nodeWeights.count(); ++i) weights.push_back(TTree::nodeWeights[i]);
    return weights;
}

void expectWeights(const std::vector<double>& expected) {
    const std::vector<double> actual = listedWeights();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_DOUBLE_EQ(actual[i], expected[i]) << i;
}

// Four tips without recombination: a = (1, 2) at 2, b = (3, 4) at 4, root (a, b)
// at 10. Branch lengths 2, 2, 4, 4 for the tips, 8 for a, 6 for b, 0 for the root.
class TreeWithoutRecombination : public testing::Test {
  protected:
    TreeWithoutRecombination() : b(4, 1) {
        a = b.coalesce(b.tip(0), b.tip(1), 2);
        c = b.coalesce(b.tip(2), b.tip(3), 4);
        root = b.coalesce(a, c, 10);
        b.tree.countAllNodeDescendentsForSNPs(false);
    }
    GeneTreeBuilder b;
    TNode* a;
    TNode* c;
    TNode* root;
};

TEST_F(TreeWithoutRecombination, DescendantCountsOfLocusZero) {
    EXPECT_EQ(root->descendantCounts, std::vector<int32_t>{4});
    EXPECT_EQ(a->descendantCounts, std::vector<int32_t>{2});
    EXPECT_EQ(b.tip(3)->descendantCounts, std::vector<int32_t>{1});
    EXPECT_EQ(root->leftDescendantCount, 2);
    EXPECT_EQ(root->rightDescendantCount, 2);
}

TEST_F(TreeWithoutRecombination, EveryBranchIsListedInTreeOrderWithItsShareOfTheLength) {
    const std::vector<TNode*> order{root, a, b.tip(0), b.tip(1), c, b.tip(2), b.tip(3)};
    const std::vector<double> lengths{0, 8, 2, 2, 6, 4, 4};
    for (int64_t seed = 1; seed <= 40; ++seed) {
        TTree::matchingNodes.Flush();
        seedMainStream(seed);
        TNode* drawn = b.tree.getRootNodeForMutation(0, 0.0, false);
        ASSERT_EQ(listedNodes(), order);
        // The first branch whose running share reaches the uniform drawn.
        seedMainStream(seed);
        const double u = nextUniform();
        double share = 0.0;
        TNode* expected = nullptr;
        for (size_t i = 0; i < order.size() && expected == nullptr; ++i) {
            share += lengths[i] / 26.0;
            if (share >= u) expected = order[i];
        }
        EXPECT_EQ(drawn, expected) << "seed " << seed;
        EXPECT_NE(drawn, root);  // its weight is 0: it needs u = 0 exactly
    }
    expectWeights({0, 8 / 26.0, 2 / 26.0, 2 / 26.0, 6 / 26.0, 4 / 26.0, 4 / 26.0});
}

TEST_F(TreeWithoutRecombination, MinimumFrequencyKeepsOnlyBranchesAboveIt) {
    seedMainStream(3);
    b.tree.getRootNodeForMutation(0, 0.5, false);
    EXPECT_EQ(listedNodes(), (std::vector<TNode*>{root, a, c}));
    expectWeights({0, 8 / 14.0, 6 / 14.0});
}

TEST_F(TreeWithoutRecombination, ListIsReusedUntilTheCallerEmptiesIt) {
    seedMainStream(9);
    b.tree.getRootNodeForMutation(0, 0.5, false);
    // A frequency no branch reaches would leave nothing if the list were rebuilt.
    for (int draw = 0; draw < 5; ++draw) {
        TNode* drawn = b.tree.getRootNodeForMutation(0, 2.0, false);
        EXPECT_TRUE(drawn == a || drawn == c);
    }
    expectWeights({0, 8 / 14.0, 6 / 14.0});  // not divided again
}

TEST_F(TreeWithoutRecombination, NoQualifyingBranchGivesNullAfterOneDraw) {
    seedMainStream(5);
    EXPECT_EQ(b.tree.getRootNodeForMutation(0, 1.01, false), nullptr);
    const double afterCall = nextUniform();
    seedMainStream(5);
    nextUniform();
    EXPECT_EQ(afterCall, nextUniform());
    EXPECT_TRUE(listedNodes().empty());
}

TEST(SnpBranchTest, EmptyTreeGivesNullAfterOneDraw) {
    for (bool recombination : {false, true}) {
        GeneTreeBuilder b(0, 1);
        seedMainStream(11);
        EXPECT_EQ(b.tree.getRootNodeForMutation(0, 0.0, recombination), nullptr);
        const double afterCall = nextUniform();
        seedMainStream(11);
        nextUniform();
        EXPECT_EQ(afterCall, nextUniform()) << recombination;
    }
}

// Tip 1 recombines at time 1 between loci 0 and 1; its left parent meets tip 2
// (x, time 2), its right parent meets tip 3 (y, time 3); x and y meet at 6.
struct RecombinationCase {
    int locus;
    std::vector<int> nodes;  // chain positions, in list order
    std::vector<double> lengths;
};

class SnpBranchRecombinationTest : public testing::TestWithParam<RecombinationCase> {};

TEST_P(SnpBranchRecombinationTest, BranchesFollowTheMarginalTreeOfTheLocus) {
    GeneTreeBuilder b(3, 2);
    auto parents = b.recombine(b.tip(0), 0, 1);         // positions 3, 4
    b.coalesce(parents.first, b.tip(1), 2);             // x, position 5
    b.coalesce(b.tip(2), parents.second, 3);            // y, position 6
    b.coalesce(b.tree.nodeAt(5), b.tree.nodeAt(6), 6);  // root, position 7
    b.tree.countAllNodeDescendentsForSNPs(true);

    seedMainStream(2);
    b.tree.getRootNodeForMutation(GetParam().locus, 0.0, true);
    std::vector<TNode*> expected;
    double total = 0;
    for (int position : GetParam().nodes) expected.push_back(b.tree.nodeAt(position));
    for (double length : GetParam().lengths) total += length;
    EXPECT_EQ(listedNodes(), expected);
    std::vector<double> shares;
    for (double length : GetParam().lengths) shares.push_back(length / total);
    expectWeights(shares);

    // Only the root and the one inner branch of the locus hold two thirds of
    // the sample: the inner one is drawn whenever u > 0.
    TTree::matchingNodes.Flush();
    TNode* drawn = b.tree.getRootNodeForMutation(GetParam().locus, 0.5, true);
    EXPECT_EQ(drawn, b.tree.nodeAt(GetParam().nodes[1 + GetParam().locus]));
}

INSTANTIATE_TEST_SUITE_P(
    Loci, SnpBranchRecombinationTest,
    testing::Values(
        // Locus 0: root, x (tips 1 and 2), tip 1 through the left parent, tip 2,
        // then tip 3 reached through y, which does not join two carriers of locus 0.
        RecombinationCase{0, {7, 5, 0, 1, 2}, {0, 4, 2, 2, 6}},
        // Locus 1: root, tip 2 through x, y (tips 3 and 1), tip 3, tip 1.
        RecombinationCase{1, {7, 1, 6, 2, 0}, {0, 6, 3, 3, 3}}));

}  // namespace
