#pragma once
// Hand-built genealogies inside a deme collection, for the mutation pass: the
// pass reads the collection's tree and its per-locus parameters, so the tree is
// built there, joined as the coalescent and the recombination step join nodes.

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "coalescent/deme_collection.h"
#include "genetree/gene_tree_builder.h"

namespace mutation_test {

class MutationTreeBuilder {
  public:
    MutationTreeBuilder(int tips, int loci)
        : shape_(1, loci), savedRecombination_(TDemeCollection::isRecombination) {
        TTree::matchingNodes.Flush();
        TTree::nodeWeights.Flush();
        TNode::hits.Flush();
        TDemeCollection::isRecombination = false;
        TNode::node_count = 0;
        tree().allocate_tree(tips);
        for (int i = 0; i < tips; ++i) tip(i)->create_LocationAndTime_Vectors();
        tree().resetLocusRecords(loci, tips);
        demes.numLoci = loci;
    }
    ~MutationTreeBuilder() {
        TTree::matchingNodes.Flush();
        TDemeCollection::isRecombination = savedRecombination_;
    }
    MutationTreeBuilder(const MutationTreeBuilder&) = delete;
    MutationTreeBuilder& operator=(const MutationTreeBuilder&) = delete;

    TTree& tree() { return demes.tree; }
    TNode* tip(int i) { return tree().nodeAt(i); }

    // As the coalescent joins two lineages at time; the node becomes the root
    // of every locus left with a single carrier.
    TNode* coalesce(TNode* left, TNode* right, int64_t time) {
        TNode* node = tree().addInternalNode(TNode::kCoalescenceNode);
        node->leftDescendant = left;
        node->rightDescendant = right;
        node->time = time;
        for (TNode* child : {left, right}) {
            child->ancestor = node;
            child->firstParent = node;
        }
        for (int locus = 0; locus < tree().locusCount; ++locus) {
            const size_t l = static_cast<size_t>(locus);
            const bool leftCarries = left->carries(locus);
            const bool rightCarries = right->carries(locus);
            node->ancestralFlags[l] = leftCarries || rightCarries ? 1 : 0;
            if (leftCarries && rightCarries && --tree().activeLineages[l] == 1) {
                tree().roots[l] = node;
            }
        }
        return node;
    }

    // A recombination of lineage between loci point and point + 1 at time.
    std::pair<TNode*, TNode*> recombine(TNode* lineage, int point, int64_t time) {
        TNode* leftParent = tree().addInternalNode(TNode::kRecombinationNode);
        TNode* rightParent = tree().addInternalNode(TNode::kRecombinationNode);
        for (int locus = 0; locus < tree().locusCount; ++locus) {
            const size_t l = static_cast<size_t>(locus);
            const uint8_t carried = lineage->carries(locus) ? 1 : 0;
            leftParent->ancestralFlags[l] = locus <= point ? carried : 0;
            rightParent->ancestralFlags[l] = locus > point ? carried : 0;
        }
        for (TNode* parent : {leftParent, rightParent}) {
            parent->leftDescendant = lineage;
            parent->time = time;
        }
        lineage->ancestor = leftParent;
        lineage->firstParent = leftParent;
        lineage->secondParent = rightParent;
        return {leftParent, rightParent};
    }

    // Four tips: (1, 2) at 2, (3, 4) at 4, joined at 10; total length 26.
    TNode* balancedFour() {
        TNode* a = coalesce(tip(0), tip(1), 2);
        TNode* b = coalesce(tip(2), tip(3), 4);
        return coalesce(a, b, 10);
    }

    // Per-locus parameters of one block per entry: type, loci, mutation rate,
    // SNP minimum frequency, geometric parameter, range constraint. The
    // chromosome's block lengths go to chromosome `chromosome`.
    struct Block {
        Mut_Type type;
        int loci;
        double rate = 0.0;
        double minFrequency = 0.0;
        double geometricParam = 0.0;
        int rangeConstraint = 0;
    };
    void setBlocks(const std::vector<Block>& blocks, int chromosome = 0) {
        demes.Initialize_Recomb_Genetic_Param();
        demes.numLinkedLociPerBlock.assign(static_cast<size_t>(chromosome) + 1,
                                           MY_TArrayAsVector<int>(10, 10));
        demes.currentChromosome = chromosome;
        for (const Block& b : blocks) {
            demes.numLinkedLociPerBlock[static_cast<size_t>(chromosome)].Add(b.loci);
            demes.blockMinFrequency.Add(b.minFrequency);
            demes.blockTransitionProportion.Add(0.5);
            for (int i = 0; i < b.loci; ++i) {
                demes.locusDataType.Add(b.type);
                demes.locusMutRate.Add(b.rate);
                demes.locusGeometricParam.Add(b.geometricParam);
                demes.locusRangeConstraint.Add(b.rangeConstraint);
                demes.locusRecombRate.Add(0.0);
            }
        }
    }

    // The mutation pass as the genetic run calls it.
    int64_t sprinkle(float transitionProportion = 0.5f) {
        return *demes.sprinkle_mutations(tree().locusCount, &demes.locusDataType, 0.0f, 1.0f, 1.0f,
                                         transitionProportion, 0);
    }

    // The state of tip i at locus.
    int state(int i, int locus) { return (*tip(i)->data)[locus]; }

    TDemeCollection demes;

  private:
    genetree_test::WorldShape shape_;
    bool savedRecombination_;
};

}  // namespace mutation_test
