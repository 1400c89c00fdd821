// Descendant counts and the weighted draw of the branch that receives a
// single-nucleotide polymorphism.

#include <vector>

#include "genetree/tree.h"
#include "random/ran3.h"

namespace {

double nextUniform() {
    int64_t idum = 1;
    return ran3(&idum);
}

}  // namespace

int TTree::countAllNodeDescendentsForSNPs(bool recombination) {
    // Without recombination every locus shares the tree of locus 0, and the
    // branch lists read only that locus' counts.
    const int counted = recombination ? locusCount : (locusCount > 0 ? 1 : 0);
    for (int locus = 0; locus < counted; ++locus) {
        TNode* root = rootOf(locus);
        if (root != nullptr) root->count_desc(locus);
    }
    return 1;
}

namespace {

void collectIfFrequent(TNode* node, double frequency, double weight, const double& minFreq,
                       double& total) {
    if (minFreq <= frequency) {
        TTree::matchingNodes.Add(node);
        TTree::nodeWeights.Add(weight);
        total += weight;
    }
}

}  // namespace

// Node first, then its left subtree, then its right one. A node reached again
// through another recombination path is not listed twice.
void TTree::getListofMatchingNodesNoRec(TNode* node, const double& minFreq, double& total) {
    if (node == nullptr || sampleSize <= 0) return;
    const uint64_t pass = ++TNode::_lastTraversal;
    std::vector<TNode*> pending{node};
    while (!pending.empty()) {
        TNode* current = pending.back();
        pending.pop_back();
        if (current->traversalMark_ == pass) continue;
        current->traversalMark_ = pass;
        const double frequency = static_cast<double>(current->descendantCount(0)) / sampleSize;
        const double weight = current->ancestor != nullptr
                                  ? static_cast<double>(current->ancestor->time - current->time)
                                  : 0.0;
        collectIfFrequent(current, frequency, weight, minFreq, total);
        if (current->rightDescendant != nullptr) pending.push_back(current->rightDescendant);
        if (current->leftDescendant != nullptr) pending.push_back(current->leftDescendant);
    }
}

void TTree::getListofMatchingNodesRec(TNode* node, const int& locus, const double& minFreq,
                                      double& total, const int64_t& parentTime) {
    if (node == nullptr || sampleSize <= 0) return;
    const double frequency = static_cast<double>(node->descendantCount(locus)) / sampleSize;
    collectIfFrequent(node, frequency, static_cast<double>(parentTime - node->time), minFreq,
                      total);
    if (node->leftDescendant != nullptr) {
        getListofMatchingNodesRec(node->leftDescendant->nextNodeOnLocusTree(locus), locus, minFreq,
                                  total, node->time);
    }
    if (node->rightDescendant != nullptr) {
        getListofMatchingNodesRec(node->rightDescendant->nextNodeOnLocusTree(locus), locus, minFreq,
                                  total, node->time);
    }
}

TNode* TTree::getRootNodeForMutation(int locus, const double& minFreq, bool recombination) {
    TNode* root = rootOf(locus);
    const MY_TIArrayAsVector<TNode>& listed = matchingNodes;
    // A list left by an earlier call is drawn from again as it is.
    if (listed.empty()) {
        const int n = sampleSize;
        matchingNodes.Flush();
        matchingNodes.Resize(2 * static_cast<int64_t>(n));
        nodeWeights.Reallocate(2 * n - 1);
        double total = 0.0;
        if (recombination) {
            if (root != nullptr) getListofMatchingNodesRec(root, locus, minFreq, total, root->time);
        } else {
            if (n == 0) {
                nextUniform();
                return nullptr;
            }
            getListofMatchingNodesNoRec(root, minFreq, total);
        }
        if (total != 0.0) {
            if (listed.empty()) {
                nextUniform();
                return nullptr;
            }
            for (int i = 0; i < nodeWeights.count(); ++i) nodeWeights[i] /= total;
        }
    }
    const double u = nextUniform();
    double cumulative = 0.0;
    for (int i = 0; i < nodeWeights.count() && i < listed.count(); ++i) {
        cumulative += nodeWeights[i];
        if (cumulative >= u) return listed[i];
    }
    return nullptr;
}
