#pragma once
// A deme is one layer of one cell as the coalescent sees it: the lineages
// (gene-tree nodes) currently located there, the samples taken there, and the
// population size of the generation being simulated.
//
// Lineages only move between chains (lineages, incoming, sampleNodes are
// non-owning chains of the tree's nodes); the tree owns every node.

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "coalescent/locus.h"
#include "foundations/containers.h"
#include "foundations/my_string.h"
#include "genetree/mut_type.h"
#include "genetree/tree.h"

class cell;
class StateOfDemes;
class TDemeCollection;
class TNode;
class TTree;

// One sample of the sample file merged into a deme.
struct TDemeSample {
    int32_t size;         // genes of this sample
    int32_t sampleIndex;  // its position in the sample file (0-based)
};

class TDeme {
  public:
    TDeme();
    TDeme(const TDeme&) = delete;
    TDeme& operator=(const TDeme&) = delete;
    virtual ~TDeme();

    // --- Lineage migration (coalescent/lineage_migration.cpp) ---------------
    // Moves the index-th lineage (0-based) into the incoming chain of the deme
    // of destinationCell's layer destinationLayer, creating that deme when
    // needed; it joins the destination's lineages at the end of the generation.
    void migrate(const int& index, ::cell* destinationCell, const int& destinationLayer);
    // One generation of backward migration of every lineage, with the arrival
    // counts stored for this cell and layer at TDeme::_frictionTime.
    void implementMigration(const int& ownLayer);
    // What one generation of this deme reads from the stored history at
    // generation t: the size, the size of the generation before (t - 1, or 0
    // at t = 0) and the arrivals. The tree builders read the next deme's
    // counts while the current one is processed, so the memory reads overlap.
    struct StoredCounts {
        int32_t size;
        int32_t previousSize;
        int32_t fromNorth, fromSouth, fromEast, fromWest, fromOtherLayer;
    };
    StoredCounts readStoredCounts(const int& t, const int& ownLayer) const;
    // implementMigration with the counts already read.
    void implementMigration(const int& ownLayer, const StoredCounts& counts);
    // Sends the lineages left in a deme whose previous generation was empty to
    // populated neighbours (one step, then two steps away, then the other layer).
    void Move_Genes_If_NextSize_Equal_Zero(const int& ownLayer);
    // Moves every lineage to destinationCell's layer destinationLayer.
    void implementOverflowMigration(::cell* destinationCell, const int& generation,
                                    const int& destinationLayer);
    // Migration among the source demes before the expansion.
    void implementMultiOriginMigration(const int& generation, const float& rate,
                                       const int& ownPosition);
    // Appends the incoming lineages to lineages (in arrival order) and empties
    // incoming; TDeme::totNumActiveLineages grows by their number.
    void takeIncomingLineages();

    // --- Coalescence (coalescent/coalescence.cpp) ---------------------------
    // At most one coalescence among the lineages; 1 when one happened.
    int singleCoalescentEvent(const int64_t& s, const int64_t& g, TTree& tree);
    // Every lineage draws its parent among the size individuals; returns the
    // number of coalescences.
    int multipleCoalescentEvents(const int64_t& s, const int64_t& g, TTree& tree);
    // The method for this generation: single event while the expected number of
    // coalescences k(k-1)/2 / size stays below 1. Returns the coalescences.
    int coalesce(const int64_t& s, const int64_t& g, TTree& tree);

    // --- Recombination (coalescent/recombination.cpp) -----------------------
    // One generation of recombination on the deme's lineages; returns the number
    // of recombinations (= lineages added).
    int recombination_per_lineage(const int64_t& s, TTree& tree);

    // --- Defined with the haplotype lines (genetree/haplotype_lines.cpp) -----
    // Appends one TLocus with the haplotype line of every sampled gene.
    void print_haplotypes_to_locus(const MY_TArrayAsVector<int>* dataTypes);

    // --- Defined by the project-file writer (geneticoutput/quorlan_writer.cpp)
    // The data lines of one sample of this deme.
    void print_loci_for_Quorlan(std::ostream& out, const int& sampleIndex, const Mut_Type& dataType,
                                const int& genotypic, const int& positionInDeme,
                                const int& sampleSize);

    // --- Fields -------------------------------------------------------------
    int32_t size;         // population size at the generation being simulated
    int32_t sampleSize;   // genes sampled here (sum over merged samples)
    int32_t numLineages;  // entries of lineages
    int32_t numIncoming;  // entries of incoming
    float coalRate;       // 1/size, 0 when size is 0
    int64_t idum;         // ran3 argument, 1
    int32_t cellIndex;    // the cell's dbIndex (its history index)
    int32_t layer;
    // Sampled deme: its position in demeList when registered; otherwise (created
    // by migration, or re-added by AddNewDeme) its history index. The deme
    // number of its tips and of the roots formed here.
    int32_t listIndex;
    ::cell* cell;
    TISimpleChain<TNode> lineages;     // current lineages, in order
    TISimpleChain<TNode> sampleNodes;  // the sampled leaves, for every new tree
    TISimpleChain<TNode> incoming;     // lineages arrived this generation
    // One TLocus per chromosome of the current simulation (initial size 0,
    // growth step 10); emptied by TDemeCollection::resetloci.
    MY_TArrayAsVector<TLocus> locusData;
    StateOfDemes* history;             // the cell's history entry
    int32_t numMergedSamples;          // samples merged here after the first
    std::vector<TDemeSample> samples;  // every sample merged here, in file order
    // Entry 0: the name the deme was created with; entry k + 1: the name of
    // samples[k].
    std::vector<my_string> sampleNames;

    // --- Class-wide state of the one genealogy being built ------------------
    // Defined and reset in coalescent/genealogy_state.cpp.
    static TDemeCollection* _Demes;       // the collection being simulated
    static int32_t _frictionTime;         // history index of the generation, never negative
    static int64_t numMigrEvents;         // lineage moves in the current tree
    static int32_t numActiveDemes;        // demes holding lineages
    static int32_t totNumActiveLineages;  // lineages in all demes
    // Back to the state before any genealogy (a new run, or a test).
    static void resetGenealogyStatics();

  private:
    friend class TDemeCollection;

    // migrate, returning the node that moved.
    TNode* moveLineage(const int& index, ::cell* destinationCell, const int& destinationLayer);
    // Node steps recorded when two layers and PropFile apply.
    static void recordMove(TNode* node, const int& historyIndex, const int& generation,
                           const int& destinationLayer);
    // Replaces the two lineages at positions i < j by a new coalescence node;
    // left/right are the descendants. Returns the node.
    TNode* coalesceLineages(TNode* left, TNode* right, const int& lowerPosition,
                            const int& higherPosition, const int64_t& s, const int64_t& g,
                            TTree& tree);
    // Scratch space of multipleCoalescentEvents, kept to avoid reallocation.
    struct ParentDraw {
        int64_t parent;
        int32_t order;  // position of the lineage in the chain when drawn
        TNode* node;
    };
    std::vector<ParentDraw> parentDraws_;
    // Listed in the collection's newDemeList and not yet handled by AddNewDeme.
    bool queuedAsNew_;
};
