#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "genetree/gene_tree_builder.h"
#include "genetree/tree.h"

namespace {

using genetree_test::GeneTreeBuilder;
using genetree_test::WorldShape;

std::string treeText(TTree& tree, tree_output_type unit, int locus, float scale = 1.0f) {
    std::ostringstream out;
    tree.print_nodes(out, unit, scale, locus);
    return out.str();
}

void setDemes(GeneTreeBuilder& b, std::vector<int> demes) {
    for (size_t i = 0; i < demes.size(); ++i) b.tip(static_cast<int>(i))->demeNumber = demes[i];
}

struct UnitCase {
    tree_output_type unit;
    float scale;
    std::string expected;
};

void PrintTo(const UnitCase& c, std::ostream* out) {
    *out << "unit " << static_cast<int>(c.unit);
}

class TreeNotationUnitsTest : public testing::TestWithParam<UnitCase> {};

// Tips 1 (deme 0) and 2 (deme 1) meet in node 4 at generation 3, which meets
// tip 3 (deme 0) in the root 5 at generation 8. Mutations: 2 above tip 1, none
// above tip 2, 4 above node 4, 1 above tip 3; the root's count is never written.
TEST_P(TreeNotationUnitsTest, WritesNestedPairsWithLabelsAndBranchLengths) {
    GeneTreeBuilder b(3, 1);
    setDemes(b, {0, 1, 0});
    TNode* pair = b.coalesce(b.tip(0), b.tip(1), 3);
    TNode* root = b.coalesce(pair, b.tip(2), 8);
    ASSERT_EQ(b.tree.rootOf(0), root);
    b.tip(0)->mutationCount = 2;
    pair->mutationCount = 4;
    b.tip(2)->mutationCount = 1;
    root->mutationCount = 9;
    EXPECT_EQ(treeText(b.tree, GetParam().unit, 0, GetParam().scale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Units, TreeNotationUnitsTest,
    testing::Values(UnitCase{kTreeInGenerations, 0.25f, "((1.1:3, 2.2:3):5, 3.1:8);\n"},
                    UnitCase{kTreeInMutations, 0.25f, "((1.1:2, 2.2:0):4, 3.1:1);\n"},
                    UnitCase{kTreeInScaledGenerations, 0.25f,
                             "((1.1:0.75, 2.2:0.75):1.25, 3.1:2);\n"}));

TEST(TreeNotationTest, CherryOfTheDocumentedExample) {
    GeneTreeBuilder b(2, 1);
    setDemes(b, {0, 0});
    b.coalesce(b.tip(0), b.tip(1), 10);
    EXPECT_EQ(treeText(b.tree, kTreeInGenerations, 0), "(1.1:10, 2.1:10);\n");
}

// Tips 1 and 2 meet in node 4 (generation 3); tip 3 recombines at generation 4
// into node 5 (carrying locus 0) and node 6 (locus 1). Node 7 (generation 9)
// joins node 4 and node 5: the root of locus 0, while for locus 1 it only
// passes node 4's lineage on. Node 8 (generation 12) joins node 7 and node 6:
// the root of locus 1. Branches that pass through such nodes are measured from
// the node written above them, and their mutations are those of every piece.
TEST(TreeNotationTest, EachLocusFollowsItsMarginalTreeThroughPassedNodes) {
    GeneTreeBuilder b(3, 2);
    setDemes(b, {0, 0, 2});
    TNode* pair = b.coalesce(b.tip(0), b.tip(1), 3);
    auto parents = b.recombine(b.tip(2), 0, 4);
    TNode* rootOfLocus0 = b.coalesce(pair, parents.first, 9);
    TNode* rootOfLocus1 = b.coalesce(rootOfLocus0, parents.second, 12);
    ASSERT_EQ(b.tree.rootOf(0), rootOfLocus0);
    ASSERT_EQ(b.tree.rootOf(1), rootOfLocus1);
    b.tip(0)->mutationCount = 1;
    b.tip(2)->mutationCount = 2;
    pair->mutationCount = 3;
    parents.first->mutationCount = 10;
    parents.second->mutationCount = 20;
    rootOfLocus0->mutationCount = 100;

    EXPECT_EQ(treeText(b.tree, kTreeInGenerations, 0), "((1.1:3, 2.1:3):6, 3.3:9);\n");
    EXPECT_EQ(treeText(b.tree, kTreeInGenerations, 1), "((1.1:3, 2.1:3):9, 3.3:12);\n");
    EXPECT_EQ(treeText(b.tree, kTreeInMutations, 0), "((1.1:1, 2.1:0):3, 3.3:12);\n");
    EXPECT_EQ(treeText(b.tree, kTreeInMutations, 1), "((1.1:1, 2.1:0):103, 3.3:22);\n");
}

// A root with a single descendant (never made by the coalescent) is written
// next to the subtree below it, on the side of that descendant.
TEST(TreeNotationTest, SingleDescendantRootWritesItsLabelBesideItsSubtree) {
    GeneTreeBuilder b(2, 1);
    setDemes(b, {0, 0});
    TNode* pair = b.coalesce(b.tip(0), b.tip(1), 10);
    TNode* above = b.recombine(pair, 0, 12).first;
    above->demeNumber = 4;
    b.tree.roots[0] = above;
    EXPECT_EQ(treeText(b.tree, kTreeInGenerations, 0), "(1.1:10, 2.1:10):24.5;\n");
    above->rightDescendant = above->leftDescendant;
    above->leftDescendant = nullptr;
    EXPECT_EQ(treeText(b.tree, kTreeInGenerations, 0), "4.5(1.1:10, 2.1:10):2;\n");
}

TEST(TreeNotationTest, TreeWithoutRootIsTheLoneGeneOrEmpty) {
    GeneTreeBuilder one(1, 1);
    setDemes(one, {3});
    EXPECT_EQ(treeText(one.tree, kTreeInGenerations, 0), "1.4;\n");

    GeneTreeBuilder two(2, 1);
    two.coalesce(two.tip(0), two.tip(1), 5);
    EXPECT_EQ(treeText(two.tree, kTreeInGenerations, 1), ";\n");
    EXPECT_EQ(treeText(two.tree, kTreeInGenerations, -1), ";\n");
}

// Tip k + 1 joins the lineage of tips 1 .. k at generation k: a chain as deep
// as the genealogy, written without exhausting the call stack.
TEST(TreeNotationTest, DeepChainIsWrittenCompletely) {
    const int tips = 50000;
    WorldShape shape(1, 1);
    TNode::node_count = 0;
    std::vector<std::unique_ptr<TNode>> nodes;
    for (int i = 0; i < tips; ++i) {
        nodes.push_back(std::make_unique<TNode>());
        nodes.back()->demeNumber = 0;
    }
    TNode* lineage = nodes[0].get();
    for (int k = 1; k < tips; ++k) {
        nodes.push_back(std::make_unique<TNode>());
        TNode* node = nodes.back().get();
        node->leftDescendant = lineage;
        node->rightDescendant = nodes[static_cast<size_t>(k)].get();
        node->time = k;
        lineage = node;
    }
    TTree tree;
    tree.sampleSize = tips;
    tree.roots.assign(1, lineage);

    std::string expected(static_cast<size_t>(tips - 1), '(');
    expected += "1.1:1, 2.1:1)";
    for (int k = 3; k <= tips; ++k) {
        expected += ":1, " + std::to_string(k) + ".1:" + std::to_string(k - 1) + ")";
    }
    expected += ";\n";
    EXPECT_EQ(treeText(tree, kTreeInGenerations, 0), expected);
}

}  // namespace
