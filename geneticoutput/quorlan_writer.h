#pragma once
// Texts of the project file (".qdx") written for the Quorlan population-genetics
// program, one file per genetic simulation. A file is, in this order:
//   writeQuorlanCommentHeader                       right after opening it;
//   writeQuorlanChromosomeDescription               once per chromosome, before
//                                                   its genealogy is built;
//   writeQuorlanDataSections                        at the end of the simulation
//     (= write_Quorlan_header, TDemeCollection::write_loci_to_Quorlan_file and
//        TDemeCollection::write_group_section_to_Quorlan_file).
// The data lines of the genes are the haplotype lines the mutation pass stored
// in each sampled deme's locusData, one TLocus per chromosome; they are streamed
// as stored, whatever their length.
//
// Every writer appends to the stream it is given and writes numbers with that
// stream's formatting (a fresh file stream: integers in decimal, reals with six
// significant digits). Opening, naming and closing the file is the genetic run's.

#include <cstdint>
#include <iosfwd>

#include "foundations/my_string.h"
#include "genetree/mut_type.h"

class TDemeCollection;

// What the chromosome descriptions tell the rest of the simulation: the
// parameters handed to the mutation pass and the NEXUS header, and the data
// type declared in the profile. Kept by the genetic run for the whole run.
struct DescribedBlocks {
    // Rates of the last block described.
    double blockMutRate = 0.0;
    double blockRecombRate = 0.0;
    // Of the last block of the matching type described; unchanged by the others.
    double transitionProportion = 0.0;  // DNA
    double snpMinFrequency = 0.0;       // SNP
    int32_t rangeConstraint = 0;        // MICROSAT, truncated to an integer
    double geometricParam = 0.0;        // MICROSAT

    // The simulation's data type: that of its first block (a code outside the
    // known types counts as STANDARD), STANDARD as soon as a block differs from
    // the first. Unchanged by a simulation that describes no block.
    Mut_Type dataType = STANDARD;

    // Before the first chromosome of every simulation: its first block decides
    // the data type anew.
    void startSimulation() { blocksThisSimulation = 0; }

    int64_t blocksThisSimulation = 0;
    int firstBlockCode = 0;  // raw Mut_Type code of the simulation's first block
};

// The commented description of the simulation: the sample size of every sampled
// deme (registration order) and the number of chromosomes.
void writeQuorlanCommentHeader(std::ostream& out, const TDemeCollection& demes, int numChromosomes);

// The commented description of chromosome `chromosome` (counted from 1), read
// from the collection's block lengths and per-locus and per-block arrays, which
// must hold that chromosome. Records the blocks' values into `described`.
void writeQuorlanChromosomeDescription(std::ostream& out, const TDemeCollection& demes,
                                       int chromosome, DescribedBlocks& described);

// The samples written to the data section: those whose deme holds at least one
// gene (the NbSamples of the profile).
int numQuorlanSamples(const TDemeCollection& demes);

// The profile section and the opening of the data section.
void write_Quorlan_header(const int& numSamples, const Mut_Type& dataType, std::ostream& out,
                          const int& genotypic);
// Opens one sample's data block; size is its gene count, halved for genotypic
// data (two consecutive genes form one individual).
void write_Quorlan_sample_header(const my_string& name, const int& size, std::ostream& out,
                                 const int& genotypic);
void write_Quorlan_sample_footer(std::ostream& out);

// Profile, one data block per sample, and the structure section that puts all
// samples in one group: everything after the chromosome descriptions.
void writeQuorlanDataSections(std::ostream& out, TDemeCollection& demes, Mut_Type dataType,
                              int genotypic);
