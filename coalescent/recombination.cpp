// Recombination: going backwards, a lineage may split at a point between two
// linked loci into a left parent (the loci up to the point) and a right parent
// (the loci after it).

#include <algorithm>

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "foundations/log.h"
#include "random/ran3.h"

double TDemeCollection::lineageRecombinationRate(const TNode& node) {
    const size_t at = node.chainPosition >= 0 ? static_cast<size_t>(node.chainPosition) : 0;
    if (at >= lineageRates_.size()) {
        lineageRates_.resize(std::max(at + 1, 2 * lineageRates_.size()),
                             RememberedRate{0, 0, 0, 0.0});
    }
    RememberedRate& remembered = lineageRates_[at];
    if (remembered.stamp != genealogyStamp_ || remembered.first != node.firstCarriedLocus ||
        remembered.last != node.lastCarriedLocus) {
        // Loci beyond the rates read for the chromosome have no rate.
        const int last = std::min(node.lastCarriedLocus, locusRecombRate.count());
        remembered = RememberedRate{
            genealogyStamp_, node.firstCarriedLocus, node.lastCarriedLocus,
            node.update_recombination_proba(node.firstCarriedLocus, last, &locusRecombRate)};
    }
    return remembered.rate;
}

int TDeme::recombination_per_lineage(const int64_t& s, TTree& tree) {
    if (numLineages <= 1) return 0;
    if (size == 0) {
        AOS << "TDeme::recombination_per_lineage(CoalNode,time,GeneTree,pos) : deme size of "
               "population "
            << listIndex << " is zero !" << std::endl;
        return 0;
    }
    const MY_TArrayAsVector<double>& rates = _Demes->locusRecombRate;
    const int numLoci = _Demes->numLoci;
    int recombinations = 0;
    // Lineages appended by this step (right parents) are visited too.
    for (int i = 0; i < numLineages; ++i) {
        TNode* lineage = lineages.elementAt(i);
        const double rate = _Demes->lineageRecombinationRate(*lineage);
        if (rate <= ran3(&idum)) continue;

        // The breakpoint lies between locus m and m + 1, drawn in proportion to
        // the rates; rounding past the last cumulative value gives m = -1.
        const int a = lineage->firstCarriedLocus;
        const int b = std::min(lineage->lastCarriedLocus, rates.count());
        const double o = ran3(&lineage->randomState);
        int m = a;
        double cumulative = rates[a] / rate;
        while (o > cumulative) {
            ++m;
            if (m >= b) {
                m = -1;
                break;
            }
            cumulative += rates[m] / rate;
        }

        TNode* left = tree.addInternalNode(TNode::kRecombinationNode);
        TNode* right = tree.addInternalNode(TNode::kRecombinationNode);
        const int loci =
            static_cast<int>(std::min({lineage->ancestralFlags.size(), left->ancestralFlags.size(),
                                       right->ancestralFlags.size()}));
        int leftLast = -1;
        int rightFirst = -1;
        for (int j = 0; j < loci; ++j) {
            const uint8_t carried = lineage->ancestralFlags[static_cast<size_t>(j)];
            left->ancestralFlags[static_cast<size_t>(j)] = j <= m ? carried : 0;
            right->ancestralFlags[static_cast<size_t>(j)] = j <= m ? 0 : carried;
            if (carried != 0 && j >= a && j <= m) leftLast = j;
            if (carried != 0 && j > m && j <= lineage->lastCarriedLocus - 1 && rightFirst < 0) {
                rightFirst = j;
            }
        }
        left->firstCarriedLocus = a;
        left->lastCarriedLocus = leftLast >= 0 ? leftLast : numLoci - 1;
        right->firstCarriedLocus = rightFirst >= 0 ? rightFirst : 0;
        right->lastCarriedLocus = lineage->lastCarriedLocus - 1;
        for (TNode* parent : {left, right}) {
            parent->time = s;
            parent->leftDescendant = lineage;
            parent->rightDescendant = nullptr;
        }
        lineage->ancestor = left;
        lineage->firstParent = left;
        lineage->secondParent = right;

        // The left parent takes the lineage's place, the right one goes last.
        lineages.append(right);
        TNode* replaced = nullptr;
        TNode* removed = nullptr;
        lineages.returnTwoElemsAndReplaceFirstByNewElem(replaced, removed, left, i, numLineages);
        lineages.append(right);
        ++numLineages;
        ++totNumActiveLineages;
        ++recombinations;
    }
    return recombinations;
}
