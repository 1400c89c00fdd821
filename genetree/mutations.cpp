// Mutations dropped along the branches of one locus' marginal tree: the
// allelic state of every node at that locus, under the locus' data type.
//
// The subtree is walked from an explicit stack (a genealogy of thousands of
// genes can be a single chain), in the order a depth-first recursion takes:
// a node, then its left subtree, then its right one. The order matters, since
// every draw comes from the one main stream.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "genetree/tree_node.h"
#include "random/distributions.h"
#include "random/ran3.h"

namespace {

// The node's data list with exactly numLoci entries (new ones 0), and its site
// count; false when memory runs out, the node then left without data.
bool prepareData(TNode& node, int numLoci) {
    const int wanted = numLoci > 0 ? numLoci : 0;
    node.siteCount = wanted;
    if (node.data != nullptr && node.data->count() == wanted) return true;
    try {
        // A list left by a chromosome of another length is fitted to this one.
        if (node.data == nullptr) node.data = new MY_TArrayAsVector<int>(wanted - 1, 10);
        MY_TArrayAsVector<int>& states = *node.data;
        if (states.count() > wanted || states.size() < wanted) states.Resize(wanted);
        while (states.count() < wanted) states.Add(0);
    } catch (const std::bad_alloc&) {
        delete node.data;
        node.data = nullptr;
        node.siteCount = 0;
        return false;
    }
    return true;
}

int saturated(int64_t value) {
    constexpr int64_t low = std::numeric_limits<int>::min();
    constexpr int64_t high = std::numeric_limits<int>::max();
    return static_cast<int>(std::min(std::max(value, low), high));
}

// What one mutation does to a state at a locus.
struct MutationModel {
    Mut_Type type;
    double geometricParam;
    float transitionProportion;
    int rangeConstraint;
    int64_t* idum;

    int dnaMutation(int state) const {
        const double w = ran3(idum);
        if (w < transitionProportion) {
            switch (state) {
                case 0:
                    return 1;
                case 1:
                    return 0;
                case 2:
                    return 3;
                case 3:
                    return 2;
                default:
                    return state;
            }
        }
        const double u = ran3(idum);
        if (state == 0 || state == 1) return u < 0.5 ? 2 : 3;
        if (state == 2 || state == 3) return u < 0.5 ? 0 : 1;
        return state;
    }

    // Generalised stepwise: a step of geometric length.
    int generalisedStep(int state) const {
        const int64_t step = static_cast<int64_t>(geometric(geometricParam)) + 1;
        const int64_t from = state;
        if (rangeConstraint == 0) {
            return saturated(ran3(idum) < 0.5 ? from + step : from - step);
        }
        int64_t to;
        if (state == TNode::min_mic) {
            to = from + step;
        } else if (state == TNode::max_mic) {
            to = from - step;
        } else {
            to = ran3(idum) < 0.5 ? from - step : from + step;
        }
        return static_cast<int>(
            std::min<int64_t>(std::max<int64_t>(to, TNode::min_mic), TNode::max_mic));
    }

    // Strict stepwise: one step; at a bound of the range it goes inwards.
    int strictStep(int state) const {
        const int64_t from = state;
        if (rangeConstraint != 0) {
            if (state == TNode::min_mic) return saturated(from + 1);
            if (state == TNode::max_mic) return saturated(from - 1);
        }
        return saturated(ran3(idum) < 0.5 ? from - 1 : from + 1);
    }

    int apply(int state) const {
        switch (type) {
            case RFLP:
                return 1 - state;
            case DNA:
                return dnaMutation(state);
            case MICROSAT:
                return geometricParam > 0 ? generalisedStep(state) : strictStep(state);
            default:
                return state;
        }
    }
};

// Number of mutations on a branch of the given expected number.
int64_t poissonCount(double expected, int64_t* idum) {
    const float drawn = poidev(static_cast<float>(expected), idum);
    // Beyond any real count; keeps the conversion defined.
    constexpr float limit = 1e15f;
    if (!(drawn > 0.0f)) return 0;
    return static_cast<int64_t>(std::min(drawn, limit));
}

struct PendingBranch {
    TNode* node;
    const TNode* ancestor;
};

}  // namespace

int64_t TNode::add_mutations(int64_t* idum, const int& count, const int& locus, const int& numLoci,
                             const Mut_Type& type, const double& rate, const double& geometricParam,
                             const float& /*alpha*/, const float& transitionProportion,
                             const int& rangeConstraint, const TNode* ancestorNode) {
    if (locus < 0 || locus >= numLoci) return 0;
    while (hits.count() <= locus) hits.Add(0);
    const MutationModel model{type, geometricParam, transitionProportion, rangeConstraint, idum};

    // One node: its state from the ancestor (or drawn at the root) and its
    // own mutations. False when its data cannot be made: its subtree is skipped.
    auto mutateNode = [&](TNode& node, int64_t mutations, const TNode* above) {
        if (!prepareData(node, numLoci)) return false;
        int state = 0;
        if (above != nullptr) {
            if (above->data != nullptr && locus < above->data->count()) {
                state = (*above->data)[locus];
            }
        } else if (type == RFLP) {
            state = static_cast<int>(2.0 * ran3(idum));
        } else if (type == DNA) {
            state = static_cast<int>(4.0 * ran3(idum));
        }
        node.mutationCount = mutations;
        node.setMutationCountAt(locus, mutations);
        for (int64_t m = 0; m < mutations; ++m) {
            ++hits[locus];
            state = model.apply(state);
        }
        (*node.data)[locus] = state;
        return true;
    };

    static std::vector<PendingBranch> pending;  // kept: no allocation per call
    pending.clear();
    auto pushDescendants = [&](TNode& node) {
        // Right first, so that the left subtree comes off the stack first.
        if (node.rightDescendant != nullptr && node.rightDescendant->carries(locus)) {
            pending.push_back(PendingBranch{node.rightDescendant, &node});
        }
        if (node.leftDescendant != nullptr && node.leftDescendant->carries(locus)) {
            pending.push_back(PendingBranch{node.leftDescendant, &node});
        }
    };

    if (!mutateNode(*this, count, ancestorNode)) return 0;
    int64_t total = count;
    pushDescendants(*this);
    while (!pending.empty()) {
        const PendingBranch branch = pending.back();
        pending.pop_back();
        const double expected =
            static_cast<double>(branch.ancestor->time - branch.node->time) * rate;
        tree_length += expected;
        const int64_t mutations = poissonCount(expected, idum);
        if (!mutateNode(*branch.node, mutations, branch.ancestor)) continue;
        total += mutations;
        pushDescendants(*branch.node);
    }
    return total;
}

int TNode::new_Add_SNP_Mutation(const int& locus, TNode*& target, int ancestralState,
                                int otherState, int numLoci) {
    if (locus < 0 || locus >= numLoci) return 0;
    struct Visit {
        TNode* node;
        int state;
        int other;  // the right side's state unless the left one is the target
    };
    static std::vector<Visit> pending;  // kept: no allocation per call
    pending.clear();
    pending.push_back(Visit{this, ancestralState, otherState});
    int result = 1;
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        TNode& node = *visit.node;
        if (!prepareData(node, numLoci)) {
            if (&node == this) result = 0;
            continue;
        }
        (*node.data)[locus] = visit.state;
        if (node.leftDescendant == nullptr || node.rightDescendant == nullptr) continue;
        TNode* left = node.leftDescendant->nextNodeOnLocusTree(locus);
        TNode* right = node.rightDescendant->nextNodeOnLocusTree(locus);
        const bool leftIsTarget = left == target;
        const bool rightIsTarget = right == target;
        // The mutation sits on the branch above the target.
        if (leftIsTarget) left->setMutationCountAt(locus, 1);
        if (rightIsTarget) right->setMutationCountAt(locus, 1);
        const int rightSide = leftIsTarget ? visit.other : visit.state;
        const int rightState = rightIsTarget ? 1 : rightSide;
        const int leftState = leftIsTarget ? 1 : visit.state;
        pending.push_back(Visit{right, rightState, rightState});
        pending.push_back(Visit{left, leftState, leftState});
    }
    return result;
}

int64_t TNode::mutationCountAt(int locus) const {
    if (locusMutations.empty()) return mutationCount;
    const auto at = std::lower_bound(
        locusMutations.begin(), locusMutations.end(), locus,
        [](const LocusMutations& entry, int wanted) { return entry.locus < wanted; });
    return at != locusMutations.end() && at->locus == locus ? at->count : 0;
}

void TNode::setMutationCountAt(int locus, int64_t count) {
    // A pass goes through the loci in rising order: the record goes at the end.
    if (locusMutations.empty() || locusMutations.back().locus < locus) {
        if (count != 0) locusMutations.push_back(LocusMutations{locus, count});
        return;
    }
    const auto at = std::lower_bound(
        locusMutations.begin(), locusMutations.end(), locus,
        [](const LocusMutations& entry, int wanted) { return entry.locus < wanted; });
    if (at != locusMutations.end() && at->locus == locus) {
        if (count != 0) {
            at->count = count;
        } else {
            locusMutations.erase(at);
        }
    } else if (count != 0) {
        locusMutations.insert(at, LocusMutations{locus, count});
    }
}

void TNode::clearMutationCounts() {
    locusMutations.clear();
    mutationCount = 0;
}
