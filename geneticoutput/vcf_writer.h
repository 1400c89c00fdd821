#pragma once
// The polymorphic DNA and SNP sites of every genetic simulation as a VCF 4.2
// file (setting VcfFile = 1), for bcftools, PLINK, scikit-allel and the like.
// One file per simulation, next to its project file: B_s.vcf.
//
//   - Chromosomes are contigs named 1, 2, ... (as numbered in the project
//     file), of length their number of linked loci; a site's position is its
//     locus' place on the chromosome, counted from 1.
//   - A site is written when the sampled genes carry at least two states.
//     REF is the ancestral state (the state at the root of the locus'
//     genealogy, also given as INFO AA), ALT the other states carried, in the
//     order A, G, C, T. SNP loci have two states and no nucleotide: the
//     ancestral state is written A and the derived one C. INFO DT gives the
//     locus' data type (DNA or SNP).
//   - One column per gene (haploid genotypes), or with GenotypicData nonzero
//     one per individual, two consecutive genes of a sample giving an
//     unphased diploid genotype. Columns follow the samples of the project
//     file (sample file order, samples without genes left out), named
//     "<sample name>_<k>", k the gene (or individual) within its sample.
//   - Microsatellite and RFLP loci are not written.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "geneticoutput/output_files.h"

class TDemeCollection;
class TSettings;

// The sites of one simulation, collected chromosome by chromosome.
class VcfSites {
  public:
    // Forgets the sites of the previous simulation.
    void clear();
    // Records the polymorphic DNA and SNP sites of chromosome (counted from 1)
    // from the sampled genes just mutated (their node data).
    void recordChromosome(const TDemeCollection& demes, int chromosome);
    // The whole file of simulation sim (counted from 1).
    void write(std::ostream& out, const TDemeCollection& demes, int sim) const;

    int numSites() const { return static_cast<int>(sites_.size()); }

  private:
    struct Contig {
        int chromosome;
        int length;
    };
    struct Site {
        int chromosome;
        int position;     // from 1
        int dataType;     // DNA or SNP
        int ancestral;    // state at the root
        std::vector<int8_t> states;  // per written gene, -1 when the gene has no data
    };
    std::vector<Contig> contigs_;
    std::vector<Site> sites_;
};

// The column names: one per gene, or per individual with genotypic data.
std::vector<std::string> vcfSampleNames(const TDemeCollection& demes, bool genotypic);

// What the genetic run drives: nothing happens unless VcfFile is 1.
class VcfOutput {
  public:
    // Reads VcfFile; base: the genetic outputs' base name B.
    void configure(TSettings& settings, const std::string& base);
    bool enabled() const { return enabled_; }
    // After the mutation pass of a chromosome (counted from 1).
    void recordChromosome(const TDemeCollection& demes, int chromosome);
    // At the end of simulation sim: writes B_sim.vcf (staged, renamed into
    // place) and forgets the sites.
    void writeSimulation(const TDemeCollection& demes, int sim);

    static std::string fileName(const std::string& base, int sim);

  private:
    bool enabled_ = false;
    std::string base_;
    VcfSites sites_;
    StagedOutputFile file_;
};
