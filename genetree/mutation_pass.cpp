// One mutation pass over every locus of the chromosome whose genealogy was
// just built: mutations along the marginal tree of each locus under its data
// type, or, for an SNP locus, one mutation on a branch drawn by length.

#include <cstdint>

#include "coalescent/deme_collection.h"
#include "genetree/tree.h"

namespace {

template <class T>
T entryOr(const MY_TArrayAsVector<T>& values, int i, T otherwise) {
    return i >= 0 && i < values.count() ? values[i] : otherwise;
}

// Exactly numLoci zero entries.
void resetHits(int numLoci) {
    MY_TArrayAsVector<int>& hits = TNode::hits;
    if (hits.count() != numLoci) {
        hits.Reallocate(numLoci);
        for (int i = 0; i < numLoci; ++i) hits.Add(0);
    } else {
        for (int i = 0; i < numLoci; ++i) hits[i] = 0;
    }
}

// The block of each locus, for loci taken in rising order: blocks are
// consecutive runs of loci with the given lengths; a locus beyond them (or a
// chromosome without blocks) counts as block 0.
class BlockCursor {
  public:
    explicit BlockCursor(const MY_TArrayAsVector<int>* lengths)
        : blocks_(lengths != nullptr ? lengths->count() : 0), lengths_(lengths) {}

    int blockOf(int locus) {
        while (locus >= end_ && next_ < blocks_) {
            const int length = (*lengths_)[next_];
            start_ = end_;
            end_ = start_ + (length > 0 ? length : 0);
            current_ = next_++;
        }
        return current_ >= 0 && locus >= start_ && locus < end_ ? current_ : 0;
    }

  private:
    int blocks_;
    const MY_TArrayAsVector<int>* lengths_;
    int next_ = 0;      // the first block not entered yet
    int current_ = -1;  // the block of [start_, end_)
    int64_t start_ = 0;
    int64_t end_ = 0;
};

}  // namespace

int64_t* TDemeCollection::sprinkle_mutations(const int& chromosomeLoci,
                                             const MY_TArrayAsVector<int>* dataTypes,
                                             const float& alpha, const float& /*specialRate*/,
                                             const float& /*specialProportion*/,
                                             const float& transitionProportion,
                                             const int& /*rangeConstraint*/) {
    const int loci = chromosomeLoci > 0 ? chromosomeLoci : 0;
    resetHits(loci);
    // Nothing a node shows of its mutations stays from an earlier pass.
    for (TNode* node = tree.nodes.first(); node != nullptr; node = tree.nodes.next()) {
        node->clearMutationCounts();
    }
    tree.countAllNodeDescendentsForSNPs(isRecombination);
    TTree::nodeWeights.Flush();
    TTree::matchingNodes.Flush();
    double previousMinFrequency = 0.0;

    // The expected mutations and the mutations placed are summed over the
    // chromosome: the tree length reported per site is this sum over the loci.
    TNode::tree_length = 0.0;
    mutationCount = 0;

    const MY_TArrayAsVector<int>* blockLengths = nullptr;
    if (!numLinkedLociPerBlock.empty()) {
        const bool known = currentChromosome >= 0 &&
                           static_cast<size_t>(currentChromosome) < numLinkedLociPerBlock.size();
        blockLengths = &numLinkedLociPerBlock[known ? static_cast<size_t>(currentChromosome) : 0];
    }
    BlockCursor blocks(blockLengths);

    for (int f = 0; f < loci; ++f) {
        TNode* root = tree.rootOf(f);
        // A single gene never coalesces: it is the whole tree of every locus.
        if (root == nullptr && tree.sampleSize == 1) root = tree.nodeAt(0);
        const int type = dataTypes != nullptr ? entryOr(*dataTypes, f, -1) : -1;
        const int block = blocks.blockOf(f);
        if (type == MICROSAT || type == RFLP || type == DNA) {
            if (root == nullptr) continue;
            int64_t idum = 1;
            const int range = static_cast<int>(entryOr(locusRangeConstraint, f, 0.0));
            mutationCount += root->add_mutations(
                &idum, 0, f, loci, static_cast<Mut_Type>(type), entryOr(locusMutRate, f, 0.0),
                entryOr(locusGeometricParam, f, 0.0), alpha, transitionProportion, range, nullptr);
        } else if (type == SNP) {
            const double minFrequency = entryOr(blockMinFrequency, block, 0.0);
            bool recombination = false;
            if (isRecombination || minFrequency != previousMinFrequency) {
                TTree::nodeWeights.Flush();
                TTree::matchingNodes.Flush();
                recombination = isRecombination;
            }
            TNode* target = tree.getRootNodeForMutation(f, minFrequency, recombination);
            int ancestralState = 0;
            if (target == nullptr) {
                // No branch reaches the minimum frequency: any branch will do,
                // and the locus is marked by its ancestral state 2.
                target = tree.getRootNodeForMutation(f, 0.0, recombination);
                ancestralState = 2;
            }
            if (root != nullptr) {
                root->new_Add_SNP_Mutation(f, target, ancestralState, ancestralState, loci);
            }
            previousMinFrequency = minFrequency;
        }
    }
    return &mutationCount;
}
