// The mutation pass over a chromosome: each locus under its own data type and
// parameters, the SNP branch draw with its fallback, and what the pass leaves
// for the writers (hits, tree length, mutation counts per node and locus).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "genetree/mutation_tree_builder.h"

namespace {

using genetree_test::seedMainStream;
using mutation_test::MutationTreeBuilder;
using Block = MutationTreeBuilder::Block;

std::set<int> tipStates(MutationTreeBuilder& b, int tips, int locus) {
    std::set<int> states;
    for (int i = 0; i < tips; ++i) states.insert(b.state(i, locus));
    return states;
}

// Eight tips joined pairwise at 1, 1, 3 and 6, then at 4, 7 and 10: total length 42.
constexpr double kEightTipsLength = 42;
TNode* eightTips(MutationTreeBuilder& b) {
    TNode* p01 = b.coalesce(b.tip(0), b.tip(1), 1);
    TNode* p23 = b.coalesce(b.tip(2), b.tip(3), 1);
    TNode* p45 = b.coalesce(b.tip(4), b.tip(5), 3);
    TNode* p67 = b.coalesce(b.tip(6), b.tip(7), 6);
    TNode* q = b.coalesce(p01, p23, 4);
    TNode* r = b.coalesce(q, p45, 7);
    return b.coalesce(r, p67, 10);
}

// Over many replicates the mutations of a locus average its rate times the
// total branch length; the tree length is exactly that sum, over all loci.
TEST(MutationPassTest, MutationsAverageRateTimesTreeLength) {
    seedMainStream(11);
    MutationTreeBuilder b(8, 3);
    eightTips(b);
    b.setBlocks({{DNA, 1, 0.05}, {RFLP, 1, 0.1}, {MICROSAT, 1, 0.02}});
    constexpr int kReplicates = 3000;
    std::vector<double> mean(3, 0.0);
    for (int r = 0; r < kReplicates; ++r) {
        const int64_t total = b.sprinkle();
        EXPECT_NEAR(TNode::tree_length, kEightTipsLength * (0.05 + 0.1 + 0.02), 1e-9);
        ASSERT_EQ(TNode::hits.count(), 3);
        EXPECT_EQ(total, int64_t{TNode::hits[0]} + TNode::hits[1] + TNode::hits[2]);
        for (int locus = 0; locus < 3; ++locus)
            mean[static_cast<size_t>(locus)] += TNode::hits[locus];
    }
    const double expected[] = {kEightTipsLength * 0.05, kEightTipsLength * 0.1,
                               kEightTipsLength * 0.02};
    for (size_t locus = 0; locus < 3; ++locus) {
        mean[locus] /= kReplicates;
        // Poisson: within four standard errors of the mean.
        EXPECT_NEAR(mean[locus], expected[locus], 4 * std::sqrt(expected[locus] / kReplicates))
            << "locus " << locus;
    }
}

// hits has one entry per locus of this chromosome, whatever the previous one
// had; count_polym_sites counts the loci hit, never an SNP locus.
TEST(MutationPassTest, HitsAndPolymorphicSitesDescribeTheCurrentChromosome) {
    seedMainStream(3);
    MutationTreeBuilder b(4, 5);
    b.balancedFour();
    TNode::hits.Flush();
    for (int i = 0; i < 9; ++i) TNode::hits.Add(4);
    b.setBlocks({{RFLP, 2, 10.0}, {RFLP, 1, 0.0}, {SNP, 1}, {DNA, 1, 10.0}});
    b.sprinkle();
    ASSERT_EQ(TNode::hits.count(), 5);
    EXPECT_GT(TNode::hits[0], 0);
    EXPECT_GT(TNode::hits[1], 0);
    EXPECT_EQ(TNode::hits[2], 0);
    EXPECT_EQ(TNode::hits[3], 0);
    EXPECT_GT(TNode::hits[4], 0);
    EXPECT_EQ(TNode::count_polym_sites(), 3);
}

// Without recombination, a block whose minimum frequency no branch reaches:
// the first SNP locus falls back to all branches and is marked with ancestral
// state 2; the next loci of the block reuse that full list (states 0 and 1).
// The next block, with another minimum frequency, draws from a new list.
TEST(MutationPassTest, SnpFallbackMarksTheFirstLocusAndLeavesTheFullListInUse) {
    for (int64_t seed = 1; seed <= 20; ++seed) {
        seedMainStream(seed);
        MutationTreeBuilder b(4, 6);
        TNode* root = b.balancedFour();
        // The blocks of the chromosome being mutated are chromosome 1's.
        b.setBlocks({{SNP, 3, 0.0, 1.5}, {SNP, 2, 0.0, 0.75}, {SNP, 1, 0.0, 0.75}}, 1);
        b.demes.numLinkedLociPerBlock[0].Add(6);
        EXPECT_EQ(b.sprinkle(), 0);
        EXPECT_EQ(tipStates(b, 4, 0), (std::set<int>{1, 2})) << seed;
        for (int locus : {1, 2}) EXPECT_EQ(tipStates(b, 4, locus), (std::set<int>{0, 1})) << seed;
        // Frequency 0.75: only the root qualifies, and it carries no branch.
        for (int locus : {3, 4, 5}) EXPECT_EQ(tipStates(b, 4, locus), (std::set<int>{2})) << seed;
        // The last list: the root alone, which the fallback keeps as it is.
        ASSERT_EQ(TTree::matchingNodes.count(), 1);
        EXPECT_EQ(TTree::matchingNodes[0], root);
        EXPECT_EQ(TNode::count_polym_sites(), 0);
    }
}

// With recombination every SNP locus draws from the branches of its own
// marginal tree.
TEST(MutationPassTest, RecombiningSnpLociDrawOnTheirOwnMarginalTree) {
    for (int64_t seed = 1; seed <= 20; ++seed) {
        seedMainStream(seed);
        MutationTreeBuilder b(3, 2);
        TDemeCollection::isRecombination = true;
        TNode* pair = b.coalesce(b.tip(0), b.tip(1), 3);
        auto parents = b.recombine(b.tip(2), 0, 4);
        TNode* root0 = b.coalesce(pair, parents.first, 9);
        b.coalesce(root0, parents.second, 12);
        b.setBlocks({{SNP, 2, 0.0, 0.0}});
        b.sprinkle();
        for (int locus = 0; locus < 2; ++locus) {
            const std::set<int> states = tipStates(b, 3, locus);
            EXPECT_EQ(states, (std::set<int>{0, 1})) << seed << " locus " << locus;
            // The only derived node is the target: its count is 1 on that locus.
            int64_t marked = 0;
            for (int64_t i = 0; i < b.tree().numNodes(); ++i) {
                marked += b.tree().nodeAt(i)->mutationCountAt(locus);
            }
            EXPECT_EQ(marked, 1);
        }
        // The last list is locus 1's: its root, node 4, the tips; never the
        // lineage that carries only locus 0.
        EXPECT_EQ(TTree::matchingNodes.count(), 5);
        for (int64_t i = 0; i < TTree::matchingNodes.count(); ++i) {
            EXPECT_NE(TTree::matchingNodes[i], parents.first);
        }
    }
}

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::string mutationTree(MutationTreeBuilder& b, int locus) {
    std::ostringstream out;
    b.tree().print_nodes(out, kTreeInMutations, 1.0f, locus);
    return out.str();
}

// Every locus' mutation tree shows the mutations of that locus, not those of
// the last locus mutated; and a second pass leaves nothing of the first.
TEST(MutationPassTest, MutationTreesShowTheirOwnLocus) {
    seedMainStream(21);
    MutationTreeBuilder b(4, 3);
    b.balancedFour();
    for (int i = 0; i < 4; ++i) b.tip(i)->demeNumber = 0;
    b.setBlocks({{RFLP, 1, 0.0}, {RFLP, 1, 2.0}, {RFLP, 1, 0.0}});
    b.sprinkle();
    const std::string silent = "((1.1:0, 2.1:0):0, (3.1:0, 4.1:0):0);\n";
    EXPECT_EQ(mutationTree(b, 0), silent);
    EXPECT_EQ(mutationTree(b, 2), silent);
    EXPECT_NE(mutationTree(b, 1), silent);
    int64_t locusOne = 0;
    for (int64_t i = 0; i < b.tree().numNodes(); ++i) {
        locusOne += b.tree().nodeAt(i)->mutationCountAt(1);
    }
    EXPECT_EQ(locusOne, TNode::hits[1]);

    // The next pass: locus 1 is an SNP, whose tree shows its one mutation.
    b.setBlocks({{RFLP, 1, 0.0}, {SNP, 1}, {RFLP, 1, 0.0}});
    b.sprinkle();
    const std::string snpTree = mutationTree(b, 1);
    EXPECT_EQ(occurrences(snpTree, ":1"), 1) << snpTree;
    EXPECT_EQ(occurrences(snpTree, ":0"), 5) << snpTree;
}

// A single gene has no coalescence and so no root: it is the tree of every
// locus, and gets its states drawn as a root.
TEST(MutationPassTest, LoneGeneIsItsOwnRoot) {
    seedMainStream(2);
    MutationTreeBuilder b(1, 3);
    b.setBlocks({{DNA, 1, 1.0}, {MICROSAT, 1, 1.0}, {SNP, 1}});
    EXPECT_EQ(b.sprinkle(), 0);
    ASSERT_NE(b.tip(0)->data, nullptr);
    EXPECT_EQ(b.tip(0)->siteCount, 3);
    EXPECT_EQ(b.state(0, 1), 0);
    EXPECT_EQ(b.state(0, 2), 2);  // no branch to carry the SNP
}

}  // namespace
