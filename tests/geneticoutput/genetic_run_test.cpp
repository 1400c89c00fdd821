// The genetic run's own pieces: output names, files written under a temporary
// name, the closing lines of the tree collections, and the refusals that come
// before anything is simulated.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "geneticoutput/genetic_file_names.h"
#include "geneticoutput/output_files.h"
#include "geneticoutput/tree_length_summary.h"
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

struct NamesCase {
    const char* settingsFile;
    const char* samplePath;  // SampleFile cut before ".sam"
    const char* directory;
    const char* projectFileOfSim2;
};

TEST(GeneticOutputNamesTest, DirectoryAndStemComeFromTheSettingsAndSampleNames) {
    const std::vector<NamesCase> cases = {
        {"dataset/run1.txt", "samples/pop", "samples/GeneticsOutput/",
         "samples/GeneticsOutput/run1_pop_2.qdx"},
        {"run1", "samples/pop", "samples/GeneticsOutput/", "samples/GeneticsOutput/_pop_2.qdx"},
        {"run1.txt", "pop", "GeneticsOutput/", "GeneticsOutput/run1_pop_2.qdx"},
        {"c:\\runs\\big.txt.txt", "d\\e/f\\pop", "d\\e/f\\GeneticsOutput/",
         "d\\e/f\\GeneticsOutput/big_pop_2.qdx"},
        {"run1.txt", "", "GeneticsOutput/", "GeneticsOutput/run1__2.qdx"},
    };
    for (const NamesCase& c : cases) {
        const GeneticOutputNames names = makeGeneticOutputNames(c.settingsFile, c.samplePath);
        EXPECT_EQ(names.directory, c.directory) << c.settingsFile << " " << c.samplePath;
        EXPECT_EQ(names.projectFile(2), c.projectFileOfSim2)
            << c.settingsFile << " " << c.samplePath;
    }
    const GeneticOutputNames names = makeGeneticOutputNames("run1.txt", "s/pop");
    EXPECT_EQ(names.nexusFile(12, 3), "s/GeneticsOutput/run1_pop_sim12_chrom3.pau");
    EXPECT_EQ(names.paupLogFile(1, 2), "s/GeneticsOutput/run1_pop_sim1_chrom2.log");
    EXPECT_EQ(names.batchFile(), "s/GeneticsOutput/run1_pop.bat");
    EXPECT_EQ(names.trueTreesFile(), "s/GeneticsOutput/run1_pop_true_trees.trees");
    EXPECT_EQ(names.mutationTreesFile(), "s/GeneticsOutput/run1_pop_mut_trees.trees");
    EXPECT_EQ(names.treeDumpFile(2, 1), "s/GeneticsOutput/run1_pop_tree_sim2_chrom1.tri");
    EXPECT_EQ(names.proportionFile(3), "s/GeneticsOutput/run1_pop_Proportion_3.prop");
}

TEST(StagedOutputFileTest, FileAppearsUnderItsNameOnlyWhenComplete) {
    ScratchDir dir;
    const std::string target = dir.file("out.qdx");
    EXPECT_EQ(temporaryPathOf(target), dir.file("partial_out.qdx"));
    {
        StagedOutputFile file;
        file.open(target);
        file.stream() << "first part\n";
        EXPECT_FALSE(dir.exists("out.qdx"));
        EXPECT_TRUE(dir.exists("partial_out.qdx"));
        file.stream() << "second part\n";
        file.commit();
        EXPECT_EQ(dir.read("out.qdx"), "first part\nsecond part\n");
        EXPECT_FALSE(dir.exists("partial_out.qdx"));
    }
    {
        // Dropped before completion (a failed or interrupted run): nothing under
        // the final name, and the earlier complete file is left as it was.
        StagedOutputFile file;
        file.open(target);
        file.stream() << "half";
    }
    EXPECT_EQ(dir.read("out.qdx"), "first part\nsecond part\n");
    EXPECT_FALSE(dir.exists("partial_out.qdx"));
}

// Each way an output cannot be made stops the run with the path in the message.
TEST(StagedOutputFileTest, FilesThatCannotBeMadeAreRefusedWithTheirPath) {
    ScratchDir dir;
    const auto messageOf = [](const std::function<void()>& action) -> std::string {
        try {
            action();
        } catch (const TOutputFileError& e) {
            return e.message().c_str();
        }
        return "no error";
    };
    const std::string missingFolder = dir.file("no/such/folder/out.pau");
    EXPECT_NE(messageOf([&] {
                  StagedOutputFile file;
                  file.open(missingFolder);
              }).find("cannot create the output file '" + missingFolder + "'"),
              std::string::npos);

    dir.write("blocked.qdx/keep", "a folder stands where the file goes");
    const std::string blocked = dir.file("blocked.qdx");
    EXPECT_NE(messageOf([&] {
                  StagedOutputFile file;
                  file.open(blocked);
                  file.stream() << "data";
                  file.commit();
              }).find("cannot write the output file '" + blocked + "'"),
              std::string::npos);
    EXPECT_FALSE(dir.exists("partial_blocked.qdx"));

    dir.write("plain", "a file, not a folder");
    const std::string notAFolder = dir.file("plain") + "/GeneticsOutput/";
    EXPECT_NE(messageOf([&] {
                  createOutputDirectory(notAFolder);
              }).find("cannot create the output directory '" + notAFolder + "'"),
              std::string::npos);
    EXPECT_NE(messageOf([&] {
                  createOutputDirectory(dir.file("plain"));
              }).find("cannot create the output directory"),
              std::string::npos);
    EXPECT_EQ(messageOf([&] {
                  createOutputDirectory(dir.file("made/"));
                  createOutputDirectory(dir.file("made/"));  // existing: fine
              }),
              "no error");
}

std::string closingLines(const TreeLengthSummary& summary, int sims, int loci) {
    std::ostringstream trueTrees;
    std::ostringstream mutationTrees;
    summary.writeTrueTreesLine(trueTrees, sims, loci);
    summary.writeMutationTreesLine(mutationTrees, sims);
    return trueTrees.str() + "|" + mutationTrees.str();
}

// With two chromosomes per simulation, squares summed per chromosome would
// give a negative variance here (5.5 - 16 / 2); the deviation is that of the
// simulations' totals.
TEST(TreeLengthSummaryTest, DeviationIsTakenOverTheSimulationsTotals) {
    TreeLengthSummary summary;
    summary.startSimulation();
    summary.addChromosome(10.0, 3);
    summary.addChromosome(20.0, 4);
    summary.endSimulation();
    summary.startSimulation();
    summary.addChromosome(5.0, 1);
    summary.addChromosome(5.0, 0);
    summary.endSimulation();
    const std::string note =
        " (standard deviation computed over simulations, not over chromosomes if more than "
        "one)\n";
    EXPECT_EQ(closingLines(summary, 2, 10), "\nMean length of the trees : 2 +-    1.41421" + note +
                                                "|\nMean length of the trees : 4 +-    4.24264" +
                                                note);
}

TEST(TreeLengthSummaryTest, OneSimulationHasNoDeviationAndNoLociGiveZero) {
    TreeLengthSummary summary;
    summary.startSimulation();
    summary.addChromosome(7.5, 9);
    summary.endSimulation();
    EXPECT_EQ(closingLines(summary, 1, 3),
              "\nMean length of the trees : 2.5|\nMean length of the trees : 9");
    EXPECT_EQ(closingLines(summary, 1, 0),
              "\nMean length of the trees : 0|\nMean length of the trees : 9");
}

// Refusals before the first simulation, on a world that needs no building.
struct RefusalCase {
    const char* name;
    int layers;
    const char* parFile;
    int sourceLayer;
    int sourceStart;
    int expectedResult;       // -1: a TException
    const char* expectedLog;  // in the log, or in the exception's message
};

class GeneticRunRefusalTest : public ::testing::TestWithParam<RefusalCase> {
  protected:
    void TearDown() override { NbDemePerCell = 1; }
};

TEST_P(GeneticRunRefusalTest, RunStopsBeforeAnyOutput) {
    const RefusalCase& c = GetParam();
    ScratchDir dir;
    // The log of this test alone.
    AOS.close();
    AOS.clear();
    AOS.open(dir.file("test.log").c_str());
    World world;
    NbDemePerCell = c.layers;
    world.Settings["GeneticFile"] = dir.write("g.par", c.parFile).c_str();
    world.Settings["SampleFile"] = dir.write("s.sam", "1\nA 2 0 0.5 0.5\n").c_str();
    world.Settings["NumGeneticSimulations"] = "1";
    PopulationSource source;
    source.name = "Founders";
    source.initialSize = 10;
    source.layer = c.sourceLayer;
    source.expansionTime = c.sourceStart;
    world.io.populations.replaceSources({source});

    std::string outcome;
    int result = -1;
    try {
        result = world.SimulateGeneticData();
    } catch (const TException& e) {
        outcome = e.message().c_str();
    }
    EXPECT_EQ(result, c.expectedResult);
    AOS.flush();
    if (result != -1) outcome = dir.read("test.log");
    EXPECT_NE(outcome.find(c.expectedLog), std::string::npos) << outcome;
    EXPECT_FALSE(dir.exists("GeneticsOutput"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneticRunRefusalTest,
    ::testing::Values(
        RefusalCase{"NoChromosome", 1, "0\n", 0, 0, 0,
                    "****ERROR:{World::SimulateGeneticData()} [Number of chromosome < 1!]"},
        RefusalCase{"LateSourceInOneLayer", 1, "1\n#chromosome\n1\nDNA 5 0 0.001 0.5\n", 0, 5, 0,
                    "****ERROR: Population source Founders must start at generation 0! Genetic "
                    "simulation aborted!"},
        RefusalCase{"NoSourceInLayerOne", 2, "1\n#chromosome\n1\nDNA 5 0 0.001 0.5\n", 0, 0, 0,
                    "****ERROR: At least one population source must be located in layer 1! "
                    "Genetic simulation aborted!"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
