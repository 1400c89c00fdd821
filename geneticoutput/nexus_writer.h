#pragma once
// Texts of the NEXUS files written for the PAUP phylogenetics program: the
// simulation-conditions comment, the PAUP command blocks, the data-matrix
// frame, the per-locus tree lines, the tree collections over a whole run and
// the PAUP batch file. Every writer appends to the stream it is given and
// writes numbers with that stream's formatting. The matrix rows themselves come
// from TDemeCollection::write_samples_to_PAUP_file, defined with these writers.
//
// A NEXUS file of a built genealogy is writeNexusFileStart, the matrix rows,
// then writeNexusFileEnd; without a genealogy it ends after writeNexusFileStart.
//
// Which files receive these texts, and when, is decided by the genetic run.

#include <iosfwd>
#include <string>

#include "genetree/mut_type.h"
#include "genetree/tree_output_type.h"

class TNode;
class TTree;

// Likelihood settings of the PAUP block.
enum Mut_Model : int {
    kGammaRates = 0,  // rates drawn from a gamma distribution, shape estimated
    kEqualRates = 1   // no rate heterogeneity among sites
};

// kEqualRates when the gamma shape is within 1e-7 of 0, else kGammaRates.
Mut_Model mutModelForGammaShape(double gammaShape);

// --- PAUP blocks and matrix frame -------------------------------------------
void write_PAUP_trees_section_header(std::ostream& out);
// The block that starts PAUP's own log. A null name sets the stream's bad
// state where the name would go, so the rest of the block is dropped too.
void write_PAUP_header(std::ostream& out, const char* logFile);
void write_PAUP_replicate_number(int n, std::ostream& out);
// "format datatype=" is left without a value for STANDARD and SNP data.
void write_PAUP_data_header(int ntax, int nchar, Mut_Type type, std::ostream& out);
void write_PAUP_end_matrix(std::ostream& out);
void write_PAUP_tree_name_perLoc(std::ostream& out, int sim, const int& locus,
                                 const tree_output_type& unit, const int& chrom);
void write_PAUP_end(std::ostream& out);
// A model other than the two known ones writes no lset line.
void write_PAUP_block(std::ostream& out, Mut_Model model);
void write_PAUP_footer(std::ostream& out);

// The label of a sampled gene: its node number, ".", its deme number + 1. The
// data matrix and the trees both use it, so that PAUP can match every tree tip
// to its row of the matrix.
void writeTaxonLabel(std::ostream& out, const TNode& node);

// --- One NEXUS file ----------------------------------------------------------
struct NexusConditions {
    int numTaxa = 0;                    // sampled genes
    int numLoci = 0;                    // linked loci of the chromosome
    int numDemes = 0;                   // sampled demes
    double blockMutationRate = 0.0;     // mutation rate of the last block described
    double gammaShape = 0.0;            // 0: homogeneous rates
    double transitionProportion = 0.0;  // of the last DNA block described
};

// The comment with the simulation conditions, from "#NEXUS" on. The mutation
// rate is written per locus (0 for a chromosome without loci).
void writeNexusConditions(std::ostream& out, const NexusConditions& conditions);
// Everything before the matrix rows: the conditions comment, the log block,
// the replicate number and the data header (numTaxa x numLoci).
void writeNexusFileStart(std::ostream& out, const NexusConditions& conditions, const char* logFile,
                         int sim, Mut_Type dataType);

// The tree collections of the run; either may be null (not requested).
struct NexusTreeFiles {
    std::ostream* trueTrees = nullptr;      // branch lengths in generations
    std::ostream* mutationTrees = nullptr;  // branch lengths in mutations
};

// For every locus 0 .. numLoci - 1: its tree in generations into the NEXUS file
// and the true-tree collection, and (except for SNP data, whose single
// mutation per locus says nothing about branch lengths) its tree in mutations
// into the mutation-tree collection. sim and chrom count from 1.
void writeLocusTrees(std::ostream& nexus, const NexusTreeFiles& treeFiles, TTree& tree, int sim,
                     int chrom, int numLoci, Mut_Type dataType);
// The tree length per locus (0 without loci) and the number of loci hit.
void writeTreeLengthComment(std::ostream& out, double treeLength, int numLoci,
                            int polymorphicSites);
// Everything after the matrix rows of a built genealogy: the matrix end, the
// trees, the tree-length comment (from the last mutation pass), the likelihood
// block and the footer.
void writeNexusFileEnd(std::ostream& nexus, const NexusTreeFiles& treeFiles, TTree& tree, int sim,
                       int chrom, int numLoci, Mut_Type dataType, Mut_Model model);

// --- PAUP batch file ----------------------------------------------------------
// The command that has PAUP run one NEXUS file.
void writePaupBatchLine(std::ostream& out, const std::string& nexusPath);
