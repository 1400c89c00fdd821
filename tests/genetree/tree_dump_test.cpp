#include <gtest/gtest.h>

#include <string>

#include "genetree/gene_tree_builder.h"
#include "support/test_support.h"

namespace {

using genetree_test::GeneTreeBuilder;
using test_support::ScratchDir;

TEST(TreeDumpTest, SingleTipTreeHoldsOneLineWithoutRelatives) {
    ScratchDir dir;
    GeneTreeBuilder b(1, 1);
    b.tree.ResetMigrations(100, 0);
    EXPECT_EQ(b.tree.write_TreeInFile(3, 0, dir.file("X").c_str()), 1);
    EXPECT_EQ(dir.read("X_tree_sim3_chrom0.tri"), "1\n1\t-1 -1\t1\t10 100\t\t-1\n");
}

struct DumpCase {
    int layers;
    std::string expected;
};

class TreeDumpLayersTest : public testing::TestWithParam<DumpCase> {};

// Tips 1 and 2 meet in node 4; tip 3 recombines (nodes 5 and 6) before its
// left parent meets node 4 in node 7. Only the first 2n - 1 = 5 nodes of the
// chain are written, whatever they are.
TEST_P(TreeDumpLayersTest, WritesTheFirstNodesOfTheChainWithTheirMigrationSteps) {
    ScratchDir dir;
    GeneTreeBuilder b(3, 2, GetParam().layers);
    b.tree.ResetMigrations(50, 0);
    b.tree.ResetMigrations(50, 1);
    TNode* pair = b.coalesce(b.tip(0), b.tip(1), 3);
    pair->Store_Node_Migration(20, 47, 1);
    pair->Store_Node_Migration(21, 46, 0);
    auto parents = b.recombine(b.tip(2), 0, 4);
    b.coalesce(pair, parents.first, 9);
    ASSERT_EQ(b.tree.numNodes(), 7);

    dir.write("run_tree_sim12_chrom4.tri", "left over from an earlier run\n");
    EXPECT_EQ(b.tree.write_TreeInFile(12, 4, dir.file("run").c_str()), 1);
    EXPECT_EQ(dir.read("run_tree_sim12_chrom4.tri"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Layers, TreeDumpLayersTest,
                         testing::Values(DumpCase{1,
                                                  "5\n"
                                                  "1\t-1 -1\t1\t10 50\t\t4\n"
                                                  "2\t-1 -1\t1\t11 50\t\t4\n"
                                                  "3\t-1 -1\t1\t12 50\t\t5\n"
                                                  "4\t1 2\t2\t20 47\t21 46\t\t7\n"
                                                  "5\t3 -1\t0\t\t7\n"},
                                         // Layers are written plus one; the tips keep the layer of
                                         // the last ResetMigrations call.
                                         DumpCase{2,
                                                  "5\n"
                                                  "1\t-1 -1\t1\t10 2 50\t\t4\n"
                                                  "2\t-1 -1\t1\t11 2 50\t\t4\n"
                                                  "3\t-1 -1\t1\t12 2 50\t\t5\n"
                                                  "4\t1 2\t2\t20 2 47\t21 1 46\t\t7\n"
                                                  "5\t3 -1\t0\t\t7\n"}));

TEST(TreeDumpTest, UnfinishedGenealogyIsWrittenAsFarAsItGoes) {
    ScratchDir dir;
    GeneTreeBuilder b(2, 1);
    b.tree.ResetMigrations(7, 0);
    b.tree.write_TreeInFile(1, 1, dir.file("cut").c_str());
    EXPECT_EQ(dir.read("cut_tree_sim1_chrom1.tri"),
              "2\n"
              "1\t-1 -1\t1\t10 7\t\t-1\n"
              "2\t-1 -1\t1\t11 7\t\t-1\n");
}

}  // namespace
