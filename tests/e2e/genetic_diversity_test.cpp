// Population-genetic sanity of whole genetic runs: in one deme of constant
// size N (a one-cell world at its carrying capacity) sampled n genes carry, at
// DNA sites mutating at rate mu, on average 2 N mu pairwise differences per
// site and 2 N mu L (1 + 1/2 + ... + 1/(n-1)) segregating sites over L sites
// (the standard coalescent of a haploid population). The means over many
// simulations of a fixed-seed run must lie within four standard errors,
// estimated from the simulations themselves, of these values.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using test_support::ScratchDir;
using test_support::splitLines;

constexpr int kDemeSize = 100;
constexpr int kGenes = 10;
constexpr int kSites = 2000;
constexpr double kMutationRate = 5e-5;
constexpr int kSimulations = 200;

void writeOneDemeWorld(const ScratchDir& dir) {
    dir.write("veg.asc",
              "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
              "NODATA_value -9999\n1\n");
    dir.write("veg2k.txt", "1 " + std::to_string(kDemeSize) + " open\n");
    dir.write("veg2k_list.txt", "1\n0 veg2k.txt\n");
    dir.write("veg2f.txt", "1 0.5 open\n");
    dir.write("veg2f_list.txt", "1\n0 veg2f.txt\n");
    // Started at its carrying capacity, the deme keeps that size.
    dir.write("population.txt", "1\nDeme " + std::to_string(kDemeSize) + " 0.5 0.5 0 0 0 0 0 0\n");
    dir.write("arrival.col", "1\nDeme 0 0.5 0.5 0\n");
    dir.write("deme.sam", "1\nDeme " + std::to_string(kGenes) + " 0 0.5 0.5\n");
    std::ostringstream par;
    par << "1\n#chromosome\n1\nDNA " << kSites << " 0 " << kMutationRate << " 0.5\n";
    dir.write("sites.par", par.str());
    dir.write("sanity.txt",
              "PresVegetationFile=veg.asc\nVeg2KFile=veg2k_list.txt\nVeg2FFile=veg2f_list.txt\n"
              "FrictionChoice=0\nDoublePopulationMode=0\nChosenDemographicModel=1\n"
              "GrowthRate=0.5\nMigrationRate=0\nEndTime=10\nGenerationTime=25\n"
              "PopDensityFile=population.txt\nTauValue=10\nArrivalCellFile=arrival.col\n"
              "RandomSeed=20261211\nNumGeneticSimulations=" +
                  std::to_string(kSimulations) +
                  "\nSampleFile=deme.sam\nGeneticFile=sites.par\nGenotypicData=0\n"
                  "MaxNumGenerations=1000000\nAncestralSize=" +
                  std::to_string(kDemeSize) + "\nPropFile=0\nNexusFile=0\n");
}

// The sequences of the genes of one project file.
std::vector<std::string> sequencesOf(const std::string& projectFile) {
    std::vector<std::string> sequences;
    bool inData = false;
    for (const std::string& line : splitLines(projectFile)) {
        if (line.find("SampleData= {") != std::string::npos) {
            inData = true;
        } else if (line == "}") {
            inData = false;
        } else if (inData && !line.empty()) {
            std::istringstream fields(line);
            std::string label, count, sequence;
            fields >> label >> count >> sequence;
            sequences.push_back(sequence);
        }
    }
    return sequences;
}

struct MeanAndError {
    double mean = 0.0;
    double standardError = 0.0;
};

MeanAndError summarise(const std::vector<double>& values) {
    MeanAndError result;
    const double n = static_cast<double>(values.size());
    for (double v : values) result.mean += v / n;
    double squares = 0.0;
    for (double v : values) squares += (v - result.mean) * (v - result.mean);
    result.standardError = std::sqrt(squares / (n - 1.0) / n);
    return result;
}

TEST(GeneticDiversityTest, OneDemeOfConstantSizeMatchesTheStandardCoalescent) {
    ScratchDir dir;
    writeOneDemeWorld(dir);
    const test_support::RunResult run = test_support::runProgram(dir.path(), {"sanity.txt"});
    ASSERT_EQ(run.exitStatus, 0) << run.console;

    std::vector<double> pairwiseDifferencesPerSite;
    std::vector<double> segregatingSites;
    for (int sim = 1; sim <= kSimulations; ++sim) {
        const std::vector<std::string> genes =
            sequencesOf(dir.read("GeneticsOutput/sanity_deme_" + std::to_string(sim) + ".qdx"));
        ASSERT_EQ(genes.size(), static_cast<size_t>(kGenes)) << "simulation " << sim;
        for (const std::string& gene : genes) ASSERT_EQ(gene.size(), static_cast<size_t>(kSites));
        long differences = 0;
        for (int i = 0; i < kGenes; ++i) {
            for (int j = i + 1; j < kGenes; ++j) {
                for (int site = 0; site < kSites; ++site)
                    differences += genes[i][site] != genes[j][site];
            }
        }
        const double pairs = kGenes * (kGenes - 1) / 2.0;
        pairwiseDifferencesPerSite.push_back(static_cast<double>(differences) / pairs / kSites);
        int segregating = 0;
        for (int site = 0; site < kSites; ++site) {
            for (int i = 1; i < kGenes; ++i) {
                if (genes[i][site] != genes[0][site]) {
                    ++segregating;
                    break;
                }
            }
        }
        segregatingSites.push_back(segregating);
    }

    const double theta = 2.0 * kDemeSize * kMutationRate;  // per site
    double harmonic = 0.0;
    for (int i = 1; i < kGenes; ++i) harmonic += 1.0 / i;

    const MeanAndError pi = summarise(pairwiseDifferencesPerSite);
    EXPECT_NEAR(pi.mean, theta, 4.0 * pi.standardError)
        << "mean pairwise differences per site over " << kSimulations << " simulations";
    const MeanAndError s = summarise(segregatingSites);
    EXPECT_NEAR(s.mean, theta * kSites * harmonic, 4.0 * s.standardError)
        << "mean segregating sites over " << kSimulations << " simulations";
    // The tolerances are a few percent of the values, so the test can fail.
    EXPECT_LT(pi.standardError, 0.05 * theta);
    EXPECT_LT(s.standardError, 0.05 * theta * kSites * harmonic);
}

}  // namespace
