#include "genetree/tree_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "genetree/gene_tree_builder.h"

namespace {

using genetree_test::GeneTreeBuilder;
using genetree_test::LogCapture;
using genetree_test::WorldShape;

std::vector<int> contents(const MY_TArrayAsVector<int>* list) {
    std::vector<int> values;
    if (list == nullptr) return values;
    for (int i = 0; i < list->count(); ++i) values.push_back((*list)[i]);
    return values;
}

TEST(TNodeTest, FreshNodeTakesTheNextNumberAndCarriesEveryLocus) {
    WorldShape shape(1, 3);
    TNode::node_count = 4;
    {
        TNode node;
        EXPECT_EQ(node.nodeNumber, 5);
        EXPECT_EQ(TNode::node_count, 5);
        EXPECT_EQ(node.layer, -1);
        EXPECT_EQ(node.demeNumber, -1);
        EXPECT_EQ(node.time, 0);
        EXPECT_EQ(node.randomState, 1);
        EXPECT_EQ(node.ancestralFlags, (std::vector<uint8_t>{1, 1, 1}));
        EXPECT_EQ(node.firstCarriedLocus, 0);
        EXPECT_EQ(node.lastCarriedLocus, 2);
        EXPECT_TRUE(node.descendantCounts.empty());
        EXPECT_EQ(node.locationList, nullptr);
        EXPECT_EQ(node.data, nullptr);
        EXPECT_EQ(node.leftDescendant, nullptr);
        EXPECT_EQ(node.ancestor, nullptr);
    }
    EXPECT_EQ(TNode::node_count, 4);
    TNode::node_count = 0;
    { TNode node; }
    TNode::node_count = 0;  // a destroyed node never takes the count below 0
    {
        TNode* node = new TNode;
        TNode::node_count = 0;
        delete node;
    }
    EXPECT_EQ(TNode::node_count, 0);
}

struct MigrationCase {
    int layers;
    std::vector<int> expectedLayers;
};

class StoreMigrationTest : public testing::TestWithParam<MigrationCase> {};

TEST_P(StoreMigrationTest, AppendsOneStepPerCallAndTheLayerOnlyWithTwoLayers) {
    WorldShape shape(GetParam().layers, 1);
    TNode node;
    node.create_LocationAndTime_Vectors();
    ASSERT_NE(node.locationList, nullptr);
    EXPECT_EQ(node.locationList->size(), 101);
    EXPECT_EQ(node.timeList->growthStep(), 100);
    EXPECT_EQ(node.layerList != nullptr, GetParam().layers == 2);
    EXPECT_EQ(node.Store_Node_Migration(7, 120, 1), 1);
    EXPECT_EQ(node.Store_Node_Migration(8, 119, 0), 1);
    EXPECT_EQ(contents(node.locationList), (std::vector<int>{7, 8}));
    EXPECT_EQ(contents(node.timeList), (std::vector<int>{120, 119}));
    EXPECT_EQ(contents(node.layerList), GetParam().expectedLayers);

    node.create_LocationAndTime_Vectors();  // re-created empty
    EXPECT_TRUE(contents(node.locationList).empty());
    EXPECT_TRUE(contents(node.timeList).empty());
    EXPECT_TRUE(contents(node.layerList).empty());
}

INSTANTIATE_TEST_SUITE_P(Layers, StoreMigrationTest,
                         testing::Values(MigrationCase{1, {}}, MigrationCase{2, {1, 0}}));

TEST(TNodeTest, StoreMigrationWithoutListsReportsAndStoresNothing) {
    WorldShape shape(2, 1);
    TNode::node_count = 8;
    TNode node;
    LogCapture log;
    EXPECT_EQ(node.Store_Node_Migration(3, 42, 0), 0);
    EXPECT_EQ(log.text(),
              "TNode::Store_Node_Migration: Impossible to add migration into the DB :9 at time "
              "42\n");
    // A two-layer node missing only its layer list stores nothing either,
    // so its three lists keep one length.
    node.create_LocationAndTime_Vectors();
    delete node.layerList;
    node.layerList = nullptr;
    EXPECT_EQ(node.Store_Node_Migration(3, 41, 0), 0);
    EXPECT_TRUE(contents(node.locationList).empty());
}

TEST(TNodeTest, CountPolymSitesCountsLociHitAtLeastOnce) {
    TNode::hits.Flush();
    for (int h : {0, 2, 0, 1}) TNode::hits.Add(h);
    EXPECT_EQ(TNode::count_polym_sites(), 2);
    TNode::hits.Flush();
    EXPECT_EQ(TNode::count_polym_sites(), 0);
}

TEST(TNodeTest, RecombinationProbabilitySumsTheHalfOpenRange) {
    WorldShape shape(1, 4);
    MY_TArrayAsVector<double> rates(3, 0);
    for (double r : {0.1, 0.2, 0.4, 0.8}) rates.Add(r);
    TNode node;
    EXPECT_DOUBLE_EQ(node.update_recombination_proba(0, 3, &rates), 0.1 + 0.2 + 0.4);
    EXPECT_DOUBLE_EQ(node.update_recombination_proba(1, 2, &rates), 0.2);
    EXPECT_EQ(node.update_recombination_proba(2, 2, &rates), 0.0);
    EXPECT_EQ(node.update_recombination_proba(3, 1, &rates), 0.0);
    // A tip of a one-locus chromosome spans [0, 1): its own locus' rate.
    EXPECT_DOUBLE_EQ(node.update_recombination_proba(0, 1, &rates), 0.1);
    // An upper bound past the rates reads nothing beyond them.
    EXPECT_DOUBLE_EQ(node.update_recombination_proba(2, 9, &rates), 0.4 + 0.8);
}

TEST(TipListsTest, CherryListsEachTipOnItsSide) {
    GeneTreeBuilder b(2, 1);
    TNode* parent = b.coalesce(b.tip(0), b.tip(1), 5);
    ASSERT_EQ(parent->build_lists_of_descendent_nodes(), 1);
    EXPECT_EQ(contents(parent->leftTipList), std::vector<int>{1});
    EXPECT_EQ(contents(parent->rightTipList), std::vector<int>{2});
    EXPECT_EQ(contents(b.tip(0)->leftTipList), std::vector<int>{1});
    ASSERT_NE(b.tip(0)->rightTipList, nullptr);
    EXPECT_TRUE(contents(b.tip(0)->rightTipList).empty());
}

TEST(TipListsTest, ListsFollowBothSidesThroughRecombinationsAndAreRebuiltNotExtended) {
    // Tip 2 recombines; both its parents coalesce back, then with tip 1 and 3.
    GeneTreeBuilder b(3, 2);
    auto parents = b.recombine(b.tip(1), 0, 2);                  // nodes 4, 5
    TNode* loop = b.coalesce(parents.first, parents.second, 3);  // 6
    TNode* withFirst = b.coalesce(b.tip(0), loop, 4);            // 7
    TNode* root = b.coalesce(withFirst, b.tip(2), 9);            // 8
    for (int call = 0; call < 2; ++call) {
        ASSERT_EQ(root->build_lists_of_descendent_nodes(), 1);
        EXPECT_EQ(contents(root->leftTipList), (std::vector<int>{1, 2}));  // tip 2 once
        EXPECT_EQ(contents(root->rightTipList), std::vector<int>{3});
        EXPECT_EQ(contents(loop->leftTipList), std::vector<int>{2});
        EXPECT_EQ(contents(loop->rightTipList), std::vector<int>{2});
        EXPECT_EQ(contents(parents.first->leftTipList), std::vector<int>{2});
        EXPECT_TRUE(contents(parents.first->rightTipList).empty());
    }
}

TEST(TipListsTest, ManyStackedRecombinationLoopsAreHandledInLinearTime) {
    // Each loop doubles the paths to the tip, 2^200 in all: walking every path,
    // or listing the tip once per path, would never end.
    GeneTreeBuilder b(1, 2);
    TNode* lineage = b.tip(0);
    for (int generation = 1; generation <= 200; ++generation) {
        auto parents = b.recombine(lineage, 0, generation);
        lineage = b.coalesce(parents.first, parents.second, generation);
    }
    ASSERT_EQ(lineage->build_lists_of_descendent_nodes(), 1);
    EXPECT_EQ(contents(lineage->leftTipList), std::vector<int>{1});
    EXPECT_EQ(contents(lineage->rightTipList), std::vector<int>{1});
}

TEST(MarginalTreeTest, WalkPassesThroughNodesWithoutTwoCarryingDescendants) {
    // Tip 1 recombines between loci 0 and 1; its left parent (locus 0) meets
    // tip 2, its right parent (locus 1) meets tip 3; the two meet at the root.
    GeneTreeBuilder b(3, 2);
    auto parents = b.recombine(b.tip(0), 0, 1);
    TNode* locus0 = b.coalesce(parents.first, b.tip(1), 2);
    TNode* locus1 = b.coalesce(b.tip(2), parents.second, 3);
    TNode* top = b.coalesce(locus0, locus1, 6);
    EXPECT_EQ(parents.first->nextNodeOnLocusTree(0), b.tip(0));
    EXPECT_EQ(parents.second->nextNodeOnLocusTree(1), b.tip(0));
    // The top node joins two carriers of both loci: it stops the walk at once.
    EXPECT_EQ(top->nextNodeOnLocusTree(0), top);
    // locus0 carries locus 1 only through tip 2: the walk goes down to it.
    EXPECT_EQ(locus0->nextNodeOnLocusTree(1), b.tip(1));
    EXPECT_EQ(locus1->nextNodeOnLocusTree(0), b.tip(2));
    EXPECT_EQ(b.tip(2)->nextNodeOnLocusTree(0), b.tip(2));
}

TEST(DescendantCountTest, CountsEachLocusOnItsOwnMarginalTree) {
    GeneTreeBuilder b(3, 2);
    auto parents = b.recombine(b.tip(0), 0, 1);
    TNode* locus0 = b.coalesce(parents.first, b.tip(1), 2);
    TNode* locus1 = b.coalesce(b.tip(2), parents.second, 3);
    TNode* top = b.coalesce(locus0, locus1, 6);
    ASSERT_EQ(b.tree.rootOf(0), top);
    ASSERT_EQ(b.tree.rootOf(1), top);

    EXPECT_EQ(top->count_desc(0), 3);
    EXPECT_EQ(top->leftDescendantCount, 2);   // tips 1 and 2 under locus0
    EXPECT_EQ(top->rightDescendantCount, 1);  // tip 3, reached through locus1
    EXPECT_EQ(top->count_desc(1), 3);
    EXPECT_EQ(top->leftDescendantCount, 1);   // tip 2, reached through locus0
    EXPECT_EQ(top->rightDescendantCount, 2);  // tips 3 and 1
    EXPECT_EQ(locus0->descendantCounts, (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(locus1->descendantCounts, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(b.tip(0)->descendantCounts, (std::vector<int32_t>{1, 1}));
    // Recombination parents are passed through, never counted.
    EXPECT_TRUE(parents.first->descendantCounts.empty());
}

}  // namespace
