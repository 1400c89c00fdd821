// Coalescence within one deme for one generation. Two methods: a single event
// drawn with the pairwise probability while coalescences are rare, and, when
// at least one is expected, every lineage drawing its parent individual.

#include <algorithm>

#include "app/settings.h"
#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "foundations/log.h"
#include "random/ran3.h"

namespace {

void reportEmptyDeme(int32_t listIndex) {
    AOS << "TDeme::coalesce_curNumLineages() : deme size of population " << listIndex
        << " is zero !" << std::endl;
}

}  // namespace

int TDeme::coalesce(const int64_t& s, const int64_t& g, TTree& tree) {
    const double k = numLineages;
    if (size != 0 && 1.0 > k * (k - 1.0) / 2.0 * (1.0 / size)) {
        return singleCoalescentEvent(s, g, tree);
    }
    return multipleCoalescentEvents(s, g, tree);
}

TNode* TDeme::coalesceLineages(TNode* left, TNode* right, const int& lowerPosition,
                               const int& higherPosition, const int64_t& s, const int64_t& g,
                               TTree& tree) {
    TNode* node = tree.addInternalNode(TNode::kCoalescenceNode);
    TNode* atLower = nullptr;
    TNode* atHigher = nullptr;
    lineages.returnTwoElemsAndReplaceFirstByNewElem(atLower, atHigher, node, lowerPosition,
                                                    higherPosition);
    --numLineages;
    --totNumActiveLineages;

    node->leftDescendant = left;
    node->rightDescendant = right;
    for (TNode* child : {left, right}) {
        child->ancestor = node;
        child->firstParent = node;
        child->secondParent = nullptr;
    }
    node->time = s;
    if (NbDemePerCell > 1) node->layer = layer;
    node->Store_Node_Migration(cellIndex, static_cast<int>(g), layer);

    const size_t loci = std::min({tree.activeLineages.size(), node->ancestralFlags.size(),
                                  left->ancestralFlags.size(), right->ancestralFlags.size()});
    for (size_t l = 0; l < loci; ++l) {
        const uint8_t leftCarries = left->ancestralFlags[l];
        const uint8_t rightCarries = right->ancestralFlags[l];
        node->ancestralFlags[l] = static_cast<uint8_t>(leftCarries | rightCarries);
        if (leftCarries != 0 && rightCarries != 0) {
            --TTree::sumActiveNodes;
            if (--tree.activeLineages[l] == 1) {
                tree.roots[l] = node;
                node->demeNumber = listIndex;
            }
        }
    }
    node->firstCarriedLocus = std::min(left->firstCarriedLocus, right->firstCarriedLocus);
    node->lastCarriedLocus = std::max(left->lastCarriedLocus, right->lastCarriedLocus);
    return node;
}

int TDeme::singleCoalescentEvent(const int64_t& s, const int64_t& g, TTree& tree) {
    constexpr int kMaxRedraws = 50;
    const int k = numLineages;
    if (k <= 1) return 0;
    if (size == 0) {
        reportEmptyDeme(listIndex);
        return 0;
    }
    const double p = coalRate * 0.5 * k * (k - 1);
    if (p == 0) return 0;
    if (ran3(&idum) > p) return 0;
    const int i = static_cast<int>(ran3(&idum) * k);
    int j = static_cast<int>(ran3(&idum) * k);
    for (int redraws = 0; j == i; ++redraws) {
        if (redraws == kMaxRedraws) {
            ran3(&idum);
            return 0;
        }
        j = static_cast<int>(ran3(&idum) * k);
    }
    const int lower = std::min(i, j);
    const int higher = std::max(i, j);
    coalesceLineages(lineages.elementAt(lower), lineages.elementAt(higher), lower, higher, s, g,
                     tree);
    return 1;
}

int TDeme::multipleCoalescentEvents(const int64_t& s, const int64_t& g, TTree& tree) {
    const int k = numLineages;
    if (k <= 1) return 0;
    if (size == 0) {
        reportEmptyDeme(listIndex);
        return 0;
    }
    parentDraws_.clear();
    int32_t order = 0;
    for (TNode* node = lineages.first(); node != nullptr; node = lineages.next()) {
        parentDraws_.push_back(ParentDraw{static_cast<int64_t>(ran3(&idum) * size), order++, node});
    }
    // Lineages with the same parent stay in chain order.
    std::sort(parentDraws_.begin(), parentDraws_.end(),
              [](const ParentDraw& a, const ParentDraw& b) {
                  return a.parent != b.parent ? a.parent < b.parent : a.order < b.order;
              });
    int coalescences = 0;
    for (size_t e = 1; e < parentDraws_.size(); ++e) {
        ParentDraw& earlier = parentDraws_[e - 1];
        ParentDraw& later = parentDraws_[e];
        if (later.parent != earlier.parent) continue;
        int earlierPosition = -1;
        int laterPosition = -1;
        int position = 0;
        for (TNode* node = lineages.first();
             node != nullptr && (earlierPosition < 0 || laterPosition < 0);
             node = lineages.next(), ++position) {
            if (node == earlier.node) earlierPosition = position;
            if (node == later.node) laterPosition = position;
        }
        // The merged lineage takes the later entry's place, so a third lineage
        // with the same parent joins it next.
        later.node =
            coalesceLineages(later.node, earlier.node, std::min(earlierPosition, laterPosition),
                             std::max(earlierPosition, laterPosition), s, g, tree);
        ++coalescences;
    }
    return coalescences;
}
