#pragma once
// The names of every file of a genetic run. They are built from the settings
// file's name N (without its folder) and the sample path P (the SampleFile
// value cut before its first ".sam"):
//   directory D = P's folder part (up to its last "/" or "\") + "GeneticsOutput/"
//   stem      T = N before its first ".txt" (empty without one) + "_" + P's file part
//   base      B = D + T
// Simulation and chromosome numbers count from 1.

#include <string>

struct GeneticOutputNames {
    std::string directory;  // D, ending in "GeneticsOutput/"
    std::string stem;       // T

    std::string base() const { return directory + stem; }
    std::string projectFile(int sim) const;              // B_s.qdx
    std::string nexusFile(int sim, int chrom) const;     // B_sims_chromc.pau
    std::string paupLogFile(int sim, int chrom) const;   // B_sims_chromc.log (named only)
    std::string batchFile() const;                       // B.bat
    std::string trueTreesFile() const;                   // B_true_trees.trees
    std::string mutationTreesFile() const;               // B_mut_trees.trees
    std::string treeDumpFile(int sim, int chrom) const;  // B_tree_sims_chromc.tri
    std::string proportionFile(int sim) const;           // B_Proportion_s.prop
};

GeneticOutputNames makeGeneticOutputNames(const std::string& settingsFileName,
                                          const std::string& samplePath);
