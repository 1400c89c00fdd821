#pragma once
// Hand-built genealogies for the gene-tree tests: tips from allocate_tree and
// internal nodes joined the way the coalescent and the recombination step join
// them, with the process-wide layer and locus counts set for the test's life.

#include <sstream>
#include <string>
#include <utility>

#include "app/settings.h"
#include "foundations/log.h"
#include "genetree/tree.h"
#include "random/ran3.h"

namespace genetree_test {

// Sends the log to a string for the life of the object.
class LogCapture {
  public:
    LogCapture() : previous_(static_cast<std::ostream&>(AOS).rdbuf(buffer_.rdbuf())) {
        AOS.clear();
    }
    ~LogCapture() { static_cast<std::ostream&>(AOS).rdbuf(previous_); }
    std::string text() const { return buffer_.str(); }

  private:
    std::ostringstream buffer_;
    std::streambuf* previous_;
};

// Sets the layer count and the number of linked loci, restoring both afterwards.
class WorldShape {
  public:
    WorldShape(int layers, int loci)
        : savedLayers_(NbDemePerCell), savedLoci_(TNode::num_linked_loci) {
        NbDemePerCell = layers;
        TNode::num_linked_loci = loci;
    }
    ~WorldShape() {
        NbDemePerCell = savedLayers_;
        TNode::num_linked_loci = savedLoci_;
    }
    WorldShape(const WorldShape&) = delete;
    WorldShape& operator=(const WorldShape&) = delete;

  private:
    int savedLayers_;
    int savedLoci_;
};

inline void seedMainStream(int64_t seed) {
    reset_ran3_for_tests();
    int64_t idum = -seed;
    ran3(&idum);
}

inline double nextUniform() {
    int64_t idum = 1;
    return ran3(&idum);
}

class GeneTreeBuilder {
  public:
    // Tips numbered 1 .. tips, tip i sampled in cell 10 + i, layer 0, with their
    // migration lists and the per-locus records of a genealogy about to start.
    GeneTreeBuilder(int tips, int loci, int layers = 1) : shape_(layers, loci) {
        TTree::matchingNodes.Flush();
        TNode::node_count = 0;
        tree.allocate_tree(tips);
        for (int i = 0; i < tips; ++i) {
            TNode* t = tip(i);
            t->sampleCell = 10 + i;
            t->create_LocationAndTime_Vectors();
        }
        tree.resetLocusRecords(loci, tips);
    }
    ~GeneTreeBuilder() { TTree::matchingNodes.Flush(); }

    TNode* tip(int i) const { return tree.nodeAt(i); }

    // A coalescence of left and right at time, updating the active counts and
    // making the node the root of every locus left with a single carrier.
    TNode* coalesce(TNode* left, TNode* right, int64_t time) {
        TNode* node = tree.addInternalNode(TNode::kCoalescenceNode);
        node->leftDescendant = left;
        node->rightDescendant = right;
        node->time = time;
        left->ancestor = node;
        right->ancestor = node;
        left->firstParent = node;
        right->firstParent = node;
        for (int locus = 0; locus < tree.locusCount; ++locus) {
            const bool l = left->carries(locus);
            const bool r = right->carries(locus);
            node->ancestralFlags[static_cast<size_t>(locus)] = l || r ? 1 : 0;
            if (l && r && --tree.activeLineages[static_cast<size_t>(locus)] == 1) {
                tree.roots[static_cast<size_t>(locus)] = node;
            }
        }
        return node;
    }

    // A recombination of lineage between loci point and point + 1: the left
    // parent carries its loci 0 .. point, the right parent the others.
    std::pair<TNode*, TNode*> recombine(TNode* lineage, int point, int64_t time) {
        TNode* leftParent = tree.addInternalNode(TNode::kRecombinationNode);
        TNode* rightParent = tree.addInternalNode(TNode::kRecombinationNode);
        for (int locus = 0; locus < tree.locusCount; ++locus) {
            const uint8_t carried = lineage->carries(locus) ? 1 : 0;
            leftParent->ancestralFlags[static_cast<size_t>(locus)] = locus <= point ? carried : 0;
            rightParent->ancestralFlags[static_cast<size_t>(locus)] = locus > point ? carried : 0;
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

    TTree tree;

  private:
    WorldShape shape_;
};

}  // namespace genetree_test
