// The mutation models on hand-built trees: what one mutation does under each
// data type, how states pass down the branches, and the SNP states.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "genetree/mutation_tree_builder.h"
#include "random/distributions.h"

namespace {

using genetree_test::nextUniform;
using genetree_test::seedMainStream;
using mutation_test::MutationTreeBuilder;

// Sets the microsatellite bounds for the life of the object.
class MicrosatBounds {
  public:
    MicrosatBounds(int low, int high) : low_(TNode::min_mic), high_(TNode::max_mic) {
        TNode::min_mic = low;
        TNode::max_mic = high;
    }
    ~MicrosatBounds() {
        TNode::min_mic = low_;
        TNode::max_mic = high_;
    }

  private:
    int low_;
    int high_;
};

struct Mutate {
    Mut_Type type;
    double geometricParam = 0.0;
    float transitionProportion = 0.5f;
    int rangeConstraint = 0;
};

// A tip under an ancestor whose state at locus 0 the test chooses.
class SingleBranch {
  public:
    SingleBranch() : b(2, 1), above(b.coalesce(b.tip(0), b.tip(1), 5)) {
        above->data = new MY_TArrayAsVector<int>(0, 10);
        above->data->Add(0);
    }
    // count mutations on the tip's branch: the tip's resulting state.
    int mutate(int fromState, int count, const Mutate& m) {
        (*above->data)[0] = fromState;
        TNode::hits.Flush();
        int64_t idum = 1;
        b.tip(0)->add_mutations(&idum, count, 0, 1, m.type, 0.0, m.geometricParam, 0.0f,
                                m.transitionProportion, m.rangeConstraint, above);
        return b.state(0, 0);
    }
    MutationTreeBuilder b;
    TNode* above;
};

TEST(MutationModelTest, RflpFlipsTheStateAtEveryMutation) {
    SingleBranch branch;
    for (int count = 0; count <= 5; ++count) {
        EXPECT_EQ(branch.mutate(0, count, {RFLP}), count % 2) << count;
        EXPECT_EQ(branch.b.tip(0)->mutationCount, count);
        EXPECT_EQ(TNode::hits[0], count);
    }
}

// Proportion 1: transitions only, which swap 0-1 and 2-3 without a choice.
// Proportion 0: transversions only, which always leave the purine or
// pyrimidine pair the state is in.
TEST(MutationModelTest, TransitionProportionOneAndZeroDecideEveryMutation) {
    seedMainStream(100);
    SingleBranch branch;
    for (int from = 0; from < 4; ++from) {
        for (int count = 1; count <= 6; ++count) {
            const int t = branch.mutate(from, count, {DNA, 0.0, 1.0f});
            EXPECT_EQ(t, count % 2 == 0 ? from : from ^ 1) << from << " " << count;
            const int v = branch.mutate(from, count, {DNA, 0.0, 0.0f});
            const bool samePair = (v < 2) == (from < 2);
            EXPECT_EQ(samePair, count % 2 == 0) << from << " " << count;
        }
    }
}

TEST(MutationModelTest, SingleDnaMutationIsATransitionWithTheGivenProportion) {
    seedMainStream(7);
    SingleBranch branch;
    constexpr int kTrials = 20000;
    int transitions = 0;
    int toTwo = 0;
    for (int i = 0; i < kTrials; ++i) {
        const int state = branch.mutate(0, 1, {DNA, 0.0, 0.3f});
        ASSERT_NE(state, 0);
        if (state == 1) ++transitions;
        if (state == 2) ++toTwo;
    }
    // Binomial standard deviations: about 0.0032 and 0.0042.
    EXPECT_NEAR(transitions / double(kTrials), 0.3, 0.015);
    EXPECT_NEAR(toTwo / double(kTrials - transitions), 0.5, 0.02);
}

// The direction of each step follows the uniform drawn after it (and, for the
// generalised model, after the geometric step length); inside a constrained
// range the generalised model reads the uniform the other way round.
TEST(MutationModelTest, StepwiseDirectionsFollowTheUniformDrawn) {
    MicrosatBounds wide(-100, 100);
    SingleBranch branch;
    for (int64_t seed = 1; seed <= 30; ++seed) {
        seedMainStream(seed);
        const double u = nextUniform();
        seedMainStream(seed);
        EXPECT_EQ(branch.mutate(10, 1, {MICROSAT}), u < 0.5 ? 9 : 11) << seed;

        seedMainStream(seed);
        const int step = geometric(0.6) + 1;
        const double direction = nextUniform();
        seedMainStream(seed);
        EXPECT_EQ(branch.mutate(10, 1, {MICROSAT, 0.6}), direction < 0.5 ? 10 + step : 10 - step)
            << seed;
        seedMainStream(seed);
        EXPECT_EQ(branch.mutate(10, 1, {MICROSAT, 0.6, 0.5f, 1}),
                  direction < 0.5 ? 10 - step : 10 + step)
            << seed;
    }
}

struct RangeCase {
    const char* name;
    int low, high;
    double geometricParam;
    int from;
    std::set<int> allowed;  // every state the mutation may lead to
    bool draws;             // consumes a direction uniform
};

void PrintTo(const RangeCase& c, std::ostream* out) {
    *out << c.name;
}

class RangeConstraintTest : public testing::TestWithParam<RangeCase> {};

TEST_P(RangeConstraintTest, MutationFromABoundGoesInwards) {
    const RangeCase& c = GetParam();
    MicrosatBounds bounds(c.low, c.high);
    SingleBranch branch;
    std::set<int> seen;
    for (int64_t seed = 1; seed <= 200; ++seed) {
        seedMainStream(seed);
        if (c.geometricParam > 0) geometric(c.geometricParam);
        if (c.draws) nextUniform();
        const double next = nextUniform();
        seedMainStream(seed);
        const int state = branch.mutate(c.from, 1, {MICROSAT, c.geometricParam, 0.5f, 1});
        EXPECT_EQ(c.allowed.count(state), 1u) << state;
        seen.insert(state);
        EXPECT_EQ(nextUniform(), next) << "uniforms consumed";
    }
    EXPECT_EQ(seen, c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, RangeConstraintTest,
    testing::Values(
        // Both bounds 0: strict stepwise always moves to 1, generalised is clamped to 0.
        RangeCase{"StrictFromZero", 0, 0, 0.0, 0, {1}, false},
        RangeCase{"GeneralisedFromZero", 0, 0, 0.6, 0, {0}, false},
        // Strict stepwise is not clamped once inside: from 1 it goes to 0 or 2.
        RangeCase{"StrictInside", 0, 0, 0.0, 1, {0, 2}, true},
        RangeCase{"StrictAtUpperBound", -3, 4, 0.0, 4, {3}, false},
        RangeCase{"GeneralisedAtLowerBound", -3, 4, 0.8, -3, {-2, -1, 0, 1, 2, 3, 4}, false},
        RangeCase{"GeneralisedAtUpperBound", -3, 4, 0.8, 4, {-3, -2, -1, 0, 1, 2, 3}, false},
        RangeCase{"GeneralisedInsideIsClamped", -3, 4, 0.95, 0, {-3, -2, -1, 1, 2, 3, 4}, true}),
    [](const testing::TestParamInfo<RangeCase>& param) { return param.param.name; });

struct ZeroLengthCase {
    Mut_Type type;
    std::set<int> rootStates;
};

class ZeroLengthBranchTest : public testing::TestWithParam<ZeroLengthCase> {};

// Every node made at time 0: whatever the rate, no branch gets a mutation and
// every tip keeps the state drawn at the root.
TEST_P(ZeroLengthBranchTest, TipsKeepTheRootState) {
    std::set<int> roots;
    for (int64_t seed = 1; seed <= 40; ++seed) {
        seedMainStream(seed);
        MutationTreeBuilder b(4, 1);
        TNode* a = b.coalesce(b.tip(0), b.tip(1), 0);
        TNode* root = b.coalesce(a, b.coalesce(b.tip(2), b.tip(3), 0), 0);
        int64_t idum = 1;
        TNode::tree_length = 0.0;
        const int64_t placed =
            root->add_mutations(&idum, 0, 0, 1, GetParam().type, 1e6, 0.0, 0.0f, 0.5f, 0, nullptr);
        EXPECT_EQ(placed, 0);
        EXPECT_EQ(TNode::hits[0], 0);
        EXPECT_EQ(TNode::tree_length, 0.0);
        const int rootState = (*root->data)[0];
        roots.insert(rootState);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(b.state(i, 0), rootState);
    }
    EXPECT_EQ(roots, GetParam().rootStates);
}

INSTANTIATE_TEST_SUITE_P(Types, ZeroLengthBranchTest,
                         testing::Values(ZeroLengthCase{DNA, {0, 1, 2, 3}},
                                         ZeroLengthCase{RFLP, {0, 1}},
                                         ZeroLengthCase{MICROSAT, {0}}));

// Tips 1 and 2 meet in node 4 (generation 3); tip 3 recombines at generation 4
// into node 5 (locus 0) and node 6 (locus 1); node 7 (9) joins 4 and 5, the root
// of locus 0; node 8 (12) joins 7 and 6, the root of locus 1.
class RecombiningTree : public testing::Test {
  protected:
    RecombiningTree() : b(3, 2) {
        pair = b.coalesce(b.tip(0), b.tip(1), 3);
        parents = b.recombine(b.tip(2), 0, 4);
        root0 = b.coalesce(pair, parents.first, 9);
        root1 = b.coalesce(root0, parents.second, 12);
    }
    MutationTreeBuilder b;
    TNode* pair;
    std::pair<TNode*, TNode*> parents;
    TNode* root0;
    TNode* root1;
};

// Each locus' expected mutations are its rate times the length of its own
// marginal tree (21 and 27 generations), and no mutation of locus 1 lands on
// the lineage that carries only locus 0, on whichever side of node 7 it is.
TEST(RecombinationMutationTest, MutationsFollowEachLocusOnItsMarginalTree) {
    for (bool carrierOnTheLeft : {false, true}) {
        seedMainStream(5);
        MutationTreeBuilder b(3, 2);
        TNode* pair = b.coalesce(b.tip(0), b.tip(1), 3);
        auto parents = b.recombine(b.tip(2), 0, 4);
        TNode* root0 = carrierOnTheLeft ? b.coalesce(parents.first, pair, 9)
                                        : b.coalesce(pair, parents.first, 9);
        b.coalesce(root0, parents.second, 12);
        for (int locus = 0; locus < 2; ++locus) {
            int64_t idum = 1;
            TNode::tree_length = 0.0;
            TNode* root = b.tree().rootOf(locus);
            const int64_t placed =
                root->add_mutations(&idum, 0, locus, 2, RFLP, 0.5, 0.0, 0.0f, 0.5f, 0, nullptr);
            EXPECT_DOUBLE_EQ(TNode::tree_length, locus == 0 ? 10.5 : 13.5);
            int64_t onNodes = 0;
            for (int64_t i = 0; i < b.tree().numNodes(); ++i) {
                onNodes += b.tree().nodeAt(i)->mutationCountAt(locus);
            }
            EXPECT_EQ(onNodes, placed);
            EXPECT_EQ(TNode::hits[locus], placed);
        }
        EXPECT_EQ(parents.first->mutationCountAt(1), 0);
        EXPECT_EQ(parents.second->mutationCountAt(0), 0);
        EXPECT_EQ(parents.first->data->count(), 2);
        // Each RFLP mutation flips the state inherited from the node above.
        for (int i = 0; i < 3; ++i) {
            const TNode* tip = b.tip(i);
            const TNode* above = i < 2 ? pair : parents.first;
            EXPECT_EQ((*tip->data)[0], ((*above->data)[0] + tip->mutationCountAt(0)) % 2) << i;
        }
    }
}

TEST_F(RecombiningTree, SnpTargetAndEverythingBelowItTakeTheDerivedState) {
    struct Case {
        int locus;
        TNode* target;
        int ancestral;
        std::vector<int> tips;
    };
    const std::vector<Case> cases{
        {0, pair, 0, {1, 1, 0}},
        {0, b.tip(2), 2, {2, 2, 1}},  // reached through the recombination parent
        {1, b.tip(2), 0, {0, 0, 1}},
        {1, pair, 2, {1, 1, 2}},     // below node 7, which locus 1 passes through
        {1, nullptr, 2, {2, 2, 2}},  // no target: monomorphic
        {1, root1, 0, {0, 0, 0}},    // the root has no branch to carry it
    };
    for (const Case& c : cases) {
        TNode* target = c.target;
        for (TNode* n : {b.tip(0), b.tip(1), b.tip(2), pair, root0, root1})
            n->clearMutationCounts();
        EXPECT_EQ(b.tree().rootOf(c.locus)->new_Add_SNP_Mutation(c.locus, target, c.ancestral,
                                                                 c.ancestral, 2),
                  1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(b.state(i, c.locus), c.tips[static_cast<size_t>(i)])
                << "locus " << c.locus << " tip " << i;
            EXPECT_EQ(b.tip(i)->siteCount, 2);
        }
        if (c.target != nullptr && c.target != root1) {
            EXPECT_EQ(c.target->mutationCountAt(c.locus), 1);
        }
        EXPECT_EQ(root1->mutationCountAt(c.locus), 0);
    }
}

// A tip whose data list is left from a chromosome of another length gets one
// of exactly the current length (writing past a shorter one would overflow it).
TEST(MutationDataTest, DataListIsFittedToTheCurrentLocusCount) {
    for (int previous : {1, 3, 40}) {
        MutationTreeBuilder b(2, 8);
        TNode* root = b.coalesce(b.tip(0), b.tip(1), 6);
        b.tip(1)->data = new MY_TArrayAsVector<int>(0, 10);
        for (int i = 0; i < previous; ++i) b.tip(1)->data->Add(7);
        for (int locus = 0; locus < 8; ++locus) {
            int64_t idum = 1;
            root->add_mutations(&idum, 0, locus, 8, MICROSAT, 0.0, 0.0, 0.0f, 0.5f, 0, nullptr);
        }
        ASSERT_NE(b.tip(1)->data, nullptr);
        EXPECT_EQ(b.tip(1)->data->count(), 8) << previous;
        EXPECT_EQ(b.tip(1)->siteCount, 8);
        for (int locus = 0; locus < 8; ++locus) EXPECT_EQ(b.state(1, locus), 0);
    }
}

}  // namespace
