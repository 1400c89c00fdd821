#pragma once
// The genealogy of one chromosome: an owning chain of every node, the n tips
// first in sample order, then the internal nodes in order of creation; and per
// linked locus the root of its marginal tree and the number of lineages still
// carrying it while the coalescent runs.
//
// The tips live for the whole genetic run; the internal nodes of one genealogy
// are dropped when the next one starts (ResetMigrations). Dropped nodes are kept
// in a pool and handed out again by addInternalNode, renumbered exactly as new
// nodes would be, so their arrays are not allocated again for every genealogy.

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "foundations/containers.h"
#include "foundations/my_string.h"
#include "genetree/tree_node.h"
#include "genetree/tree_output_type.h"

class PopulationVector;

class TTree {
  public:
    TTree();
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    virtual ~TTree();

    // --- Nodes --------------------------------------------------------------
    // n fresh tips (chain positions 0 .. n-1, coalescent flag 0) replace every
    // node of the chain. 0 when memory runs out, the chain then left empty.
    int allocate_tree(const int& n);
    // A node in its freshly constructed state (numbered from TNode::node_count),
    // with empty migration lists, appended to the chain with its chain position
    // and the given coalescent flag (TNode::kCoalescenceNode or kRecombinationNode).
    TNode* addInternalNode(const int32_t& coalescentFlag);
    // Appends a node made by the caller; the chain owns it from now on.
    TNode* appendNode(TNode* node, const int32_t& coalescentFlag);
    // The node at a chain position (tips 0 .. n-1); null out of range.
    TNode* nodeAt(int64_t position) const { return nodes.elementAt(position); }
    int64_t numNodes() const { return nodes.count(); }

    // --- Per-locus records of the coalescent --------------------------------
    // locus count := numLoci, every active-lineage count := numLineages, every
    // root null, sumActiveNodes := numLineages x numLoci.
    void resetLocusRecords(const int& numLoci, const int& numLineages);
    // Sum of the per-locus active-lineage counts.
    int64_t totalActiveLineages() const;
    // Root of a locus' marginal tree; null when unset or out of range.
    TNode* rootOf(int locus) const {
        return locus >= 0 && static_cast<size_t>(locus) < roots.size()
                   ? roots[static_cast<size_t>(locus)]
                   : nullptr;
    }

    // --- Resets between genealogies -----------------------------------------
    // Each tip: fresh ancestral flags (all set) and descendant counts (zeros),
    // num_linked_loci of each.
    void ResetNodeFlags();
    // Each tip's last carried locus := pos.
    void resetNodeMaxPos(const int& pos);
    // Drops the internal nodes and gives every tip a single migration step
    // (its sample cell, time, and layer in two-layer worlds). Nothing is left
    // pointing at the dropped nodes: the tips' ancestor and parents, the roots
    // and the SNP branch list are cleared.
    void ResetMigrations(const int& time, const int& layer);

    // --- Output -------------------------------------------------------------
    // The genealogy dump base + "_tree_sim" + sim + "_chrom" + chrom + ".tri".
    int write_TreeInFile(const int& sim, const int& chrom, const my_string& base);

    // --- Branches for single-nucleotide polymorphisms ------------------------
    // Descendant counts for SNP placement: locus 0 only without recombination,
    // every locus from its own root with it. Returns 1.
    int countAllNodeDescendentsForSNPs(bool recombination);
    // Appends every node of the subtree whose locus-0 frequency reaches minFreq,
    // weighted by its branch length (ancestor time - own time).
    void getListofMatchingNodesNoRec(TNode* node, const double& minFreq, double& total);
    // The same over locus' marginal tree; the branch of node starts at parentTime.
    void getListofMatchingNodesRec(TNode* node, const int& locus, const double& minFreq,
                                   double& total, const int64_t& parentTime);
    // Draws the node below whose branch an SNP of locus goes; null when none qualifies.
    TNode* getRootNodeForMutation(int locus, const double& minFreq, bool recombination);

    // --- Defined with the statistics and tree writers ------------------------
    int LineagesProportionInSamples(const PopulationVector& sources, const int& sim,
                                    const int& chrom);
    int FindSampleMRCA(const int& cell, const int& layer);
    void print_nodes(std::ostream& out, const tree_output_type& unit, const float& scale,
                     int locus);

    // --- Fields -------------------------------------------------------------
    int32_t sampleSize;  // n, the number of tips
    int32_t ownsNodes;   // always 1: the chain's nodes are deleted with the tree
    TISimpleChain<TNode> nodes;
    int32_t locusCount;
    std::vector<TNode*> roots;            // per locus
    std::vector<int32_t> activeLineages;  // per locus

    static MY_TIArrayAsVector<TNode> matchingNodes;  // never owning
    static MY_TArrayAsVector<double> nodeWeights;
    static int32_t sumActiveNodes;

  private:
    // Detaches the internal nodes from the chain and keeps them for reuse.
    void recycleInternalNodes();

    std::vector<TNode*> pool_;  // retired nodes waiting for addInternalNode
};

// A list of node pointers over a block of nodes made together.
class TListNode {
  public:
    // Points entry i at nodes[i] and clears that node's descendants and time;
    // a null block gives an empty list.
    TListNode(int size, TNode* nodes);
    TListNode(const TListNode&) = delete;
    TListNode& operator=(const TListNode&) = delete;
    virtual ~TListNode();  // frees the pointer array only

    int32_t numNodes;
    TNode** nodeList;
    int32_t capacity;
};
