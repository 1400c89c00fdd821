#pragma once
// The coalescent's collection of demes: the genetic parameters of the
// chromosomes (sample file and genetic parameter file), every deme of the world
// by history index and layer, the lists of demes taking part in the current
// generation, and the gene tree built through them.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "coalescent/deme.h"
#include "foundations/containers.h"
#include "foundations/my_string.h"
#include "genetree/mut_type.h"
#include "genetree/tree.h"

class cell;
class PopulationSource;
class StateDB;
class World;

// A deme by its cell's history index and its layer; (-1, -1) is an empty slot.
struct TDemeSlot {
    int32_t historyIndex;
    int32_t layer;
};

// Where an accepted sample lives: its deme's position in initialDemeList and
// the sample's position among the deme's samples.
struct TSamplePosition {
    int32_t demePosition;
    int32_t positionInDeme;
};

class TDemeCollection {
  public:
    TDemeCollection();
    explicit TDemeCollection(World* ownerWorld);
    TDemeCollection(const TDemeCollection&) = delete;
    TDemeCollection& operator=(const TDemeCollection&) = delete;
    virtual ~TDemeCollection();

    // --- Genetic parameters and samples (coalescent/sample_reader.cpp,
    //     coalescent/genetic_parameters.cpp) --------------------------------
    // Reads the sample file: 1 when read to its end (or stopped at a wrong
    // layer), 0 when it cannot be opened or a sample is odd in genotypic mode.
    int readCoalSimParams();
    // Reads the blocks of one chromosome (0-based); returns its summed
    // recombination rate tot_recomb, -1 when the file cannot be read.
    float readRecombParams(int chromosome);
    // Loci of all chromosomes of the genetic parameter file (1 when unreadable).
    int ComputeTotalLociLength();
    void set_numLoci();       // numLoci := setting NumLinkedLoci
    void set_numIndepLoci();  // numIndepLoci := setting NumIndeLoci
    // NumIndeLoci zeros (absent with 0).
    void set_num_linkage_blocks_perchrom();
    void set_tot_recomb_perchrom();
    // count empty block-length lists, one per chromosome.
    void initializeNumLinkedLociPerBlock(const int& count);
    // Empties the per-locus and per-block arrays before the next chromosome.
    void Initialize_Recomb_Genetic_Param();

    // --- Demes (coalescent/deme_collection.cpp) -----------------------------
    // Sizes the collection for the owner's grid; drops every previous deme.
    void createDemesFromWorld();
    // Registers one accepted sample: a new deme, or merged into the existing one.
    void addDeme(::cell* sampleCell, const my_string& name, const int& sampleSize, const int& layer,
                 const int& sampleIndex);
    // A deme for a cell reached by migration (stored in demeGrid, in no list).
    TDeme* createDeme(const int& historyIndex, ::cell* demeCell, const int& layer);
    void createInitialDemeList();
    // The tips of the tree, handed to the sampled demes; 0 for an empty tree.
    int createLineages();
    // Before every further tree: the sampled demes and their leaves as at the start.
    void reset();
    // Empties every deme's locusData.
    void resetloci();
    // End-of-generation bookkeeping, in this order.
    void UpdateDemeList();
    void AddNewDeme();
    // The deme of a history index and layer; null when none exists yet.
    TDeme* demeAt(const int& historyIndex, const int& layer) const {
        return demeGrid[static_cast<size_t>(historyIndex) * static_cast<size_t>(layersPerCell_) +
                        static_cast<size_t>(layer)];
    }
    TDeme* demeAt(const TDemeSlot& slot) const { return demeAt(slot.historyIndex, slot.layer); }
    // The deme at a position of demeList / initialDemeList.
    TDeme* activeDeme(const int& position) const {
        return demeAt(demeList[static_cast<size_t>(position)]);
    }
    TDeme* sampledDeme(const int& position) const {
        return demeAt(initialDemeList[static_cast<size_t>(position)]);
    }
    // Appends (historyIndex, layer) to newDemeList (a deme that was empty
    // receives its first incoming lineage); a deme already listed is not
    // listed twice.
    void noteNewDeme(TDeme& deme);

    // --- Tree building (coalescent/tree_builder.cpp,
    //     coalescent/tree_builder_one_origin.cpp) ----------------------------
    // One genealogy of the current chromosome; 1 when usable.
    int buildTree(const int& simulation);
    int buildTreeOneOriginOneLayerRecombination(const int& simulation);
    // Completes the genealogy of the numLineages lineages of one deme in continuous time.
    void buildTreeContinuousTime(int64_t& g, int64_t& s, int& numLineages, const int& demeSize,
                                 TDeme* deme);
    void createMRCALocations(const int& n);
    // The same for a count computed in 64 bits (chromosomes x simulations):
    // more than fits is refused as exhausted memory, with the size.
    void createMRCALocations(int64_t n);

    // --- Defined by the mutation pass (genetree/mutation_pass.cpp,
    //     genetree/haplotype_lines.cpp) -----------------------------------------
    // One mutation pass over every locus of the current chromosome; returns
    // &mutationCount, the mutations placed over all its loci (SNP loci add none).
    int64_t* sprinkle_mutations(const int& numLoci, const MY_TArrayAsVector<int>* dataTypes,
                                const float& alpha, const float& specialRate,
                                const float& specialProportion, const float& transitionProportion,
                                const int& rangeConstraint);
    // Every sampled deme with genes appends one TLocus to its locusData.
    void write_locus_data_to_array(const MY_TArrayAsVector<int>* dataTypes);

    // --- Defined by the statistics (genetree/lineage_proportions.cpp) -------
    void creatPropLineagesMatrix(const int& numSims, const int& numDemes);
    int writePropLineagesMatrix(const int& sim, const my_string& stem);

    // --- Defined by the project-file writer (geneticoutput/quorlan_writer.cpp)
    void write_loci_to_Quorlan_file(std::ostream& out, const Mut_Type& dataType,
                                    const int& genotypic);
    void write_group_section_to_Quorlan_file(std::ostream& out);

    // --- Defined by the NEXUS writer (geneticoutput/nexus_writer.cpp) -------
    void write_samples_to_PAUP_file(std::ostream& out, Mut_Type type);

    // --- Genetic parameters, in their order -----------------------------------
    int32_t numIndepLoci;                              // chromosomes (setting NumIndeLoci)
    std::vector<int32_t> num_linkage_blocks_perchrom;  // per chromosome; empty = absent
    std::vector<float> tot_recomb_perchrom;            // per chromosome; empty = absent
    int32_t numLoci;                                   // linked loci of the current chromosome
    int32_t numBlocks;                                 // blocks of the chromosome last read
    // The chromosome (0-based) whose blocks readRecombParams read last: the
    // per-locus and per-block arrays describe it. -1 before any read.
    int32_t currentChromosome = -1;
    double tot_recomb;  // rates summed over loci 0 .. numLoci - 2
    // Per locus of the current chromosome: rate towards the next locus.
    MY_TArrayAsVector<double> locusRecombRate;
    // Per chromosome: loci of each block, in file order.
    std::vector<MY_TArrayAsVector<int>> numLinkedLociPerBlock;
    MY_TArrayAsVector<double> locusMutRate;               // per locus
    MY_TArrayAsVector<int> locusDataType;                 // per locus, Mut_Type code
    MY_TArrayAsVector<double> blockMinFrequency;          // per block (SNP)
    MY_TArrayAsVector<double> locusRangeConstraint;       // per locus (MICROSAT, 0 = none)
    MY_TArrayAsVector<double> locusGeometricParam;        // per locus (MICROSAT)
    MY_TArrayAsVector<double> blockTransitionProportion;  // per block (DNA)

    // --- Run values stored by the genetic run ---------------------------------
    int32_t genotypicData;               // setting GenotypicData (nonzero: diploid individuals)
    int32_t numGeneticSimulations;       // setting NumGeneticSimulations
    int64_t mutationCount;               // set by sprinkle_mutations: the chromosome's mutations
    std::vector<int32_t> MRCALocations;  // one per simulated chromosome (createMRCALocations)
    // Lineage proportions: numSampledDemes + 1 tables of NumGeneticSimulations
    // x numIndepLoci floats, value at [table][sim * numIndepLoci + chrom].
    std::vector<std::vector<float>> propLineagesTables;

    // --- Demes ----------------------------------------------------------------
    World* owner;
    // The owner's history database, read directly by the migration step; set
    // when the collection is sized and at the start of every genealogy.
    StateDB* historyDatabase;
    int32_t demeCapacity;  // NbDemePerCell x rows x columns
    // By history index and layer (flat, index * NbDemePerCell + layer); null
    // where no deme exists yet. Owning.
    std::vector<TDeme*> demeGrid;
    std::vector<TDemeSlot> demeList;  // demeCapacity slots, numDemes used
    int32_t numDemes;
    std::vector<TDemeSlot> newDemeList;  // demeCapacity slots, numNewDemes used
    int32_t numNewDemes;
    std::vector<TDemeSlot> initialDemeList;  // demeList after the samples were read
    int32_t numSampledDemes;
    std::vector<TSamplePosition> sampleList;  // one per accepted sample, in file order
    int32_t taxa;                             // leaves of the tree
    TTree tree;
    // Lineage moves are recorded in the nodes (two layers and PropFile
    // nonzero); set at the start of every genealogy.
    bool recordMoves;

    // The recombination probability of a lineage: the summed rates of the loci
    // it spans (TNode::update_recombination_proba), kept per node for the
    // genealogy being built since a node's span never changes.
    double lineageRecombinationRate(const TNode& node);

    // Whether the chromosome being simulated recombines; set by both tree
    // builders, read by the SNP placement.
    static bool isRecombination;

  private:
    // The state of one genealogy while it is built.
    struct GenealogyRun {
        int64_t g = 0;           // history generation (negative before the expansion)
        int64_t s = 0;           // step counter: the time of the nodes made
        int lineages = 0;        // lineages in all demes, in transit included
        int64_t activeLoci = 0;  // sum of the per-locus active counts (the stop measure)
        int maxGenerations = 0;
        int tau = 0;  // -TauValue
        int endTime = 0;
        bool gatherSources = false;  // AllowSourcePopulationOverflow present and 0
        bool multiOriginWarningWritten = false;
    };
    int prepareGenealogy(GenealogyRun& run);
    void startGeneration(const GenealogyRun& run);
    void coalesceAndRecombine(TDeme& deme, GenealogyRun& run);
    void ordinaryGeneration(GenealogyRun& run);
    void ancestralGenerationOfSources(GenealogyRun& run);
    void gatherSourcePopulation();
    // Moves the lineages of every other listed deme into the first one.
    void gatherLineagesInFirstDeme(const int& generation);
    bool firstDemeHoldsAllLineages() const;
    int finishGenealogy(GenealogyRun& run);
    // The population source of a deme (its cell's layer-0 source); null for
    // a cell that no source seeded.
    const PopulationSource* sourceOf(const TDeme& deme) const;

    void deleteDemes();
    void clearNewDemeList();
    // A new genealogy or new rates: the remembered lineage rates are stale.
    void forgetLineageRates() { ++genealogyStamp_; }

    int32_t layersPerCell_;    // NbDemePerCell when the collection was sized
    uint32_t genealogyStamp_;  // changes whenever the remembered rates go stale
    struct RememberedRate {
        uint32_t stamp;
        int32_t first;
        int32_t last;
        double rate;
    };
    std::vector<RememberedRate> lineageRates_;  // by node chain position
};
