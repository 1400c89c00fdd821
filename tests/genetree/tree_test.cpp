#include "genetree/tree.h"

#include <gtest/gtest.h>

#include <vector>

#include "genetree/gene_tree_builder.h"

namespace {

using genetree_test::GeneTreeBuilder;
using genetree_test::WorldShape;

std::vector<int> contents(const MY_TArrayAsVector<int>* list) {
    std::vector<int> values;
    if (list == nullptr) return values;
    for (int i = 0; i < list->count(); ++i) values.push_back((*list)[i]);
    return values;
}

TEST(TTreeTest, AllocateTreeReplacesEveryNodeByTipsNumberedFromTheCount) {
    WorldShape shape(1, 2);
    TNode::node_count = 0;
    TTree tree;
    EXPECT_EQ(tree.sampleSize, 0);
    EXPECT_EQ(tree.ownsNodes, 1);
    EXPECT_FALSE(TTree::matchingNodes.isOwning());
    ASSERT_EQ(tree.allocate_tree(2), 1);
    tree.addInternalNode(TNode::kCoalescenceNode);
    ASSERT_EQ(tree.allocate_tree(3), 1);
    ASSERT_EQ(tree.numNodes(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tree.nodeAt(i)->nodeNumber, i + 1);
        EXPECT_EQ(tree.nodeAt(i)->chainPosition, i);
        EXPECT_EQ(tree.nodeAt(i)->coalescentFlag, TNode::kTipNode);
    }
    EXPECT_EQ(tree.sampleSize, 3);
    EXPECT_EQ(TNode::node_count, 3);
}

TEST(TTreeTest, InternalNodesAreNumberedInCreationOrderAndAgainAfterAReset) {
    GeneTreeBuilder b(3, 2);
    TNode* first = b.tree.addInternalNode(TNode::kCoalescenceNode);
    TNode* second = b.tree.addInternalNode(TNode::kRecombinationNode);
    EXPECT_EQ(first->nodeNumber, 4);
    EXPECT_EQ(first->chainPosition, 3);
    EXPECT_EQ(second->nodeNumber, 5);
    EXPECT_EQ(second->chainPosition, 4);
    EXPECT_EQ(second->coalescentFlag, TNode::kRecombinationNode);
    ASSERT_NE(second->locationList, nullptr);

    // Dirty the nodes the way a genealogy and a mutation pass leave them.
    for (TNode* node : {first, second}) {
        node->time = 30;
        node->leftDescendant = b.tip(0);
        node->ancestralFlags.assign(2, 0);
        node->descendantCounts.assign(2, 7);
        node->Store_Node_Migration(1, 2, 0);
        node->data = new MY_TArrayAsVector<int>(1, 1);
        node->randomState = -5;
        node->demeNumber = 3;
    }
    b.tree.ResetMigrations(100, 0);
    EXPECT_EQ(b.tree.numNodes(), 3);
    EXPECT_EQ(TNode::node_count, 3);

    TNode* again = b.tree.addInternalNode(TNode::kCoalescenceNode);
    EXPECT_EQ(again->nodeNumber, 4);
    EXPECT_EQ(again->chainPosition, 3);
    EXPECT_EQ(again->coalescentFlag, TNode::kCoalescenceNode);
    EXPECT_EQ(again->time, 0);
    EXPECT_EQ(again->leftDescendant, nullptr);
    EXPECT_EQ(again->ancestralFlags, (std::vector<uint8_t>{1, 1}));
    EXPECT_TRUE(again->descendantCounts.empty());
    EXPECT_EQ(again->data, nullptr);
    EXPECT_EQ(again->randomState, 1);
    EXPECT_EQ(again->demeNumber, -1);
    ASSERT_NE(again->locationList, nullptr);
    EXPECT_TRUE(contents(again->locationList).empty());
    EXPECT_EQ(b.tree.addInternalNode(TNode::kCoalescenceNode)->nodeNumber, 5);
    EXPECT_EQ(b.tree.addInternalNode(TNode::kCoalescenceNode)->nodeNumber, 6);
    EXPECT_EQ(TNode::node_count, 6);
}

TEST(TTreeTest, DestroyingTheTreeGivesBackOnlyItsLiveNodes) {
    WorldShape shape(1, 1);
    TNode::node_count = 0;
    TNode outside;  // number 1, alive throughout
    {
        TTree tree;
        tree.allocate_tree(2);
        tree.addInternalNode(TNode::kCoalescenceNode);
        tree.addInternalNode(TNode::kCoalescenceNode);
        tree.ResetMigrations(0, 0);  // the two internal nodes wait for reuse
        EXPECT_EQ(TNode::node_count, 3);
    }
    EXPECT_EQ(TNode::node_count, 1);
}

struct ResetCase {
    int layers;
    std::vector<int> expectedLayer;
};

class ResetMigrationsTest : public testing::TestWithParam<ResetCase> {};

TEST_P(ResetMigrationsTest, EveryTipKeepsOnlyTheStepOfTheLastCall) {
    GeneTreeBuilder b(2, 1, GetParam().layers);
    b.tip(0)->Store_Node_Migration(77, 12, 0);
    TNode* root = b.coalesce(b.tip(0), b.tip(1), 8);
    ASSERT_EQ(b.tree.rootOf(0), root);

    b.tree.ResetMigrations(50, 0);
    b.tree.ResetMigrations(50, 1);  // once per layer, as the tree builders do
    EXPECT_EQ(b.tree.numNodes(), 2);
    for (int i = 0; i < 2; ++i) {
        TNode* tip = b.tip(i);
        EXPECT_EQ(contents(tip->locationList), std::vector<int>{10 + i});
        EXPECT_EQ(contents(tip->timeList), std::vector<int>{50});
        EXPECT_EQ(contents(tip->layerList), GetParam().expectedLayer);
        // Nothing left pointing at the dropped nodes.
        EXPECT_EQ(tip->ancestor, nullptr);
        EXPECT_EQ(tip->firstParent, nullptr);
    }
    EXPECT_EQ(b.tree.rootOf(0), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Layers, ResetMigrationsTest,
                         testing::Values(ResetCase{1, {}}, ResetCase{2, {1}}));

TEST(TTreeTest, ResetMigrationsGivesListsToTipsThatHadNone) {
    WorldShape shape(2, 1);
    TNode::node_count = 0;
    TTree tree;
    tree.allocate_tree(1);
    tree.nodeAt(0)->sampleCell = 4;
    tree.ResetMigrations(9, 1);
    EXPECT_EQ(contents(tree.nodeAt(0)->locationList), std::vector<int>{4});
    EXPECT_EQ(contents(tree.nodeAt(0)->timeList), std::vector<int>{9});
    EXPECT_EQ(contents(tree.nodeAt(0)->layerList), std::vector<int>{1});
}

TEST(TTreeTest, NodeFlagsFollowTheLocusCountOfTheNextChromosome) {
    GeneTreeBuilder b(2, 3);
    b.tip(1)->ancestralFlags.assign(3, 0);
    b.tip(1)->descendantCounts.assign(3, 9);
    b.tree.resetNodeMaxPos(3);
    EXPECT_EQ(b.tip(0)->lastCarriedLocus, 3);
    EXPECT_EQ(b.tip(1)->lastCarriedLocus, 3);

    TNode::num_linked_loci = 5;
    b.tree.ResetNodeFlags();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(b.tip(i)->ancestralFlags, (std::vector<uint8_t>(5, 1)));
        EXPECT_EQ(b.tip(i)->descendantCounts, (std::vector<int32_t>(5, 0)));
    }
    TNode::num_linked_loci = 2;
    b.tip(0)->firstCarriedLocus = 1;
    b.tip(0)->resetAncestry();
    EXPECT_EQ(b.tip(0)->ancestralFlags, (std::vector<uint8_t>(2, 1)));
    EXPECT_EQ(b.tip(0)->descendantCounts, (std::vector<int32_t>(2, 0)));
    EXPECT_EQ(b.tip(0)->firstCarriedLocus, 0);
    EXPECT_EQ(b.tip(0)->lastCarriedLocus, 1);
}

TEST(TTreeTest, LocusRecordsStartEveryLocusWithAllLineagesAndNoRoot) {
    GeneTreeBuilder b(4, 3);
    b.coalesce(b.tip(0), b.tip(1), 1);
    b.tree.resetLocusRecords(2, 5);
    EXPECT_EQ(b.tree.locusCount, 2);
    EXPECT_EQ(b.tree.activeLineages, (std::vector<int32_t>{5, 5}));
    EXPECT_EQ(b.tree.roots, (std::vector<TNode*>{nullptr, nullptr}));
    EXPECT_EQ(TTree::sumActiveNodes, 10);
    EXPECT_EQ(b.tree.totalActiveLineages(), 10);
    EXPECT_EQ(b.tree.rootOf(2), nullptr);
    EXPECT_EQ(b.tree.rootOf(-1), nullptr);
}

TEST(TListNodeTest, ListsABlockAndClearsItsLinks) {
    WorldShape shape(1, 1);
    TNode::node_count = 0;
    TNode* block = new TNode[3];
    block[1].leftDescendant = &block[0];
    block[2].time = 40;
    {
        TListNode list(3, block);
        ASSERT_EQ(list.numNodes, 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(list.nodeList[i], &block[i]);
            EXPECT_EQ(block[i].leftDescendant, nullptr);
            EXPECT_EQ(block[i].time, 0);
        }
        TListNode empty(3, nullptr);
        EXPECT_EQ(empty.numNodes, 0);
        EXPECT_EQ(empty.nodeList, nullptr);
    }
    delete[] block;  // the lists never owned the nodes
    EXPECT_EQ(TNode::node_count, 0);
}

}  // namespace
