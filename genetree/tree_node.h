#pragma once
// A vertex of the genealogy (the ancestral recombination graph) of the sampled
// genes: a tip, a coalescence (two descendants) or one of the two parents made
// by a recombination (left descendant only). Each linked locus has its own
// marginal tree through these nodes, followed by the ancestral flags.
//
// Node numbers come from the count of live nodes: construction adds one and
// takes the new value, destruction gives one back. A node owns its arrays and
// lists; it never owns the nodes it points to.

#include <cstdint>
#include <vector>

#include "foundations/containers.h"
#include "genetree/gamma_rates.h"
#include "genetree/mut_type.h"

class TNode {
  public:
    // Values of coalescentFlag.
    static constexpr int32_t kTipNode = 0;
    static constexpr int32_t kCoalescenceNode = 1;
    static constexpr int32_t kRecombinationNode = 2;
    // Shape of the migration lists made by create_LocationAndTime_Vectors.
    static constexpr int kMigrationListUpper = 100;
    static constexpr int kMigrationListGrowth = 100;

    TNode();
    TNode(const TNode&) = delete;
    TNode& operator=(const TNode&) = delete;
    virtual ~TNode();

    // --- Migration record ---------------------------------------------------
    // Appends one step (and its layer in two-layer worlds); 0 with a log line
    // when a list the step needs is missing, in which case nothing is appended.
    int Store_Node_Migration(const int& cell, const int& generation, const int& stepLayer);
    // The migration lists, empty (the layer list only in two-layer worlds). When
    // memory runs out the lists are left missing, so later steps are reported.
    void create_LocationAndTime_Vectors();

    // --- Tip lists ----------------------------------------------------------
    // Rebuilds the tip lists of this node and of every node below it; 0 after
    // an allocation failure (logged).
    int build_lists_of_descendent_nodes();

    // --- Marginal trees -----------------------------------------------------
    bool carries(int locus) const {
        return locus >= 0 && static_cast<size_t>(locus) < ancestralFlags.size() &&
               ancestralFlags[static_cast<size_t>(locus)] != 0;
    }
    // From this node down the marginal tree of locus, through every node that
    // does not have two descendants carrying it (taking the carrying one, else
    // the right one, or the only one), to the next tip or two-carrier node.
    TNode* nextNodeOnLocusTree(const int& locus);
    // The descendant count of locus, 0 when the counts are missing.
    int32_t descendantCount(int locus) const {
        return locus >= 0 && static_cast<size_t>(locus) < descendantCounts.size()
                   ? descendantCounts[static_cast<size_t>(locus)]
                   : 0;
    }
    // Fills the descendant counts of locus over the marginal tree below this
    // node; returns this node's count (1 for a tip).
    int count_desc(const int& locus);
    // num_linked_loci zeros; on allocation failure the counts are left missing
    // (logged) and 0 is returned.
    int reset_numDesc();
    // num_linked_loci flags, all set.
    void resetAncestralFlags();
    // Per-locus ancestry of a tip at the start of a genealogy: every flag set,
    // every count 0, carried loci 0 .. num_linked_loci - 1. Returns reset_numDesc's result.
    int resetAncestry();

    // Sum of rates[first] .. rates[last - 1]; 0 when first >= last.
    double update_recombination_proba(const int& first, const int& last,
                                      const MY_TArrayAsVector<double>* rates) const;

    // --- Mutations (defined with the mutation models) -------------------------
    int64_t add_mutations(int64_t* idum, const int& count, const int& locus, const int& numLoci,
                          const Mut_Type& type, const double& rate, const double& geometricParam,
                          const float& alpha, const float& transitionProportion,
                          const int& rangeConstraint, const TNode* ancestor);
    int new_Add_SNP_Mutation(const int& locus, TNode*& target, int ancestralState, int otherState,
                             int numLoci);
    // Loci of the current chromosome hit by at least one mutation.
    static int count_polym_sites();
    // Mutations the last mutation pass placed on the branch above this node at
    // locus (an SNP locus: 1 above its target, 0 elsewhere). A node without
    // per-locus records reads mutationCount, which the pass resets to 0.
    int64_t mutationCountAt(int locus) const;
    // Records count as this node's mutations at locus (0 is not stored).
    void setMutationCountAt(int locus, int64_t count);
    // Before a new pass: no per-locus records, mutationCount 0.
    void clearMutationCounts();

    // --- Fields -------------------------------------------------------------
    int32_t sampleCell;     // tip: history index of the sampled deme's cell
    int32_t sampleLayer;    // tip: layer of that deme
    int32_t layer;          // layer the node lies in; -1 when not set
    int32_t demeNumber;     // tip: its deme's listIndex; a locus root: the deme where it formed
    int64_t time;           // generations before present at creation; 0 for tips
    int32_t siteCount;      // entries of data
    int64_t mutationCount;  // mutations on the branch above, last mutation pass
    // The nonzero per-locus counts of the last mutation pass, by rising locus.
    struct LocusMutations {
        int32_t locus;
        int64_t count;
    };
    std::vector<LocusMutations> locusMutations;
    int32_t nodeNumber;
    TNode* leftDescendant;
    TNode* rightDescendant;
    std::vector<int32_t> descendantCounts;  // per locus; empty when missing
    TNode* ancestor;
    MY_TArrayAsVector<int>* leftTipList;   // null when missing
    MY_TArrayAsVector<int>* rightTipList;  // null when missing
    MY_TArrayAsVector<int>* data;          // allelic state per locus; null when missing
    MY_TArrayAsVector<int>* locationList;  // migration record: cell of each step
    MY_TArrayAsVector<int>* timeList;      // generation of each step
    MY_TArrayAsVector<int>* layerList;     // layer of each step (two-layer worlds)
    int32_t chainPosition;                 // position in the tree's node chain
    int32_t coalescentFlag;                // kTipNode, kCoalescenceNode or kRecombinationNode
    int64_t randomState;                   // the node's ran3 argument for its recombination points
    std::vector<uint8_t> ancestralFlags;   // per locus, 1 when the lineage carries it
    int32_t firstCarriedLocus;
    int32_t lastCarriedLocus;
    TNode* firstParent;
    TNode* secondParent;
    int32_t leftDescendantCount;   // tips below the left side, marginal tree last counted
    int32_t rightDescendantCount;  // tips below the right side

    // --- Class-wide state of the one genealogy being processed ----------------
    static MY_TArrayAsVector<int> hits;  // mutations per locus of the current chromosome
    static GammaRates mut_rates;
    static double tree_length;
    static int32_t node_count;
    static int32_t min_mic;
    static int32_t max_mic;
    static int32_t num_linked_loci;

  private:
    friend class TTree;

    // Constructor state, except the node number and the lists, which the callers handle.
    void initialiseFields();
    // Gives the node number back as destruction would; the node then waits in
    // its tree's pool and its later destruction gives nothing back again.
    void retire();
    // Back to the state of a freshly constructed node, with a new number.
    void revive();
    // This node's own share of build_lists_of_descendent_nodes.
    int fillTipLists();
    void deleteTipLists();

    // Traversal mark: a traversal that may meet a node through several
    // recombination paths handles it once.
    uint64_t traversalMark_;
    bool retired_;
    static uint64_t _lastTraversal;
};
