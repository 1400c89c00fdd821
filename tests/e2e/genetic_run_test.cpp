// Whole genetic runs through the built program: project files, NEXUS/PAUP
// files, batch file, tree collections, genealogy dumps and immigrant files
// under GeneticsOutput/, compared with reviewed files (regenerate them with
// tests/fixtures/e2e/regenerate.sh and review the diff), and the ways a
// genetic run is refused or fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::readFile;
using test_support::RunResult;
using test_support::ScratchDir;
using test_support::splitLines;

const std::string kFixture = std::string(VASTRID2_FIXTURES) + "/e2e/genetic";
const std::string kOutput = "samples/GeneticsOutput";
const char* const kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void copyInput(const ScratchDir& dir) {
    fs::copy(kFixture + "/input", dir.path(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// The fixture's settings with some keys given again (the last value counts).
void appendSettings(const ScratchDir& dir, const std::string& lines) {
    dir.write("run1.txt", readFile(kFixture + "/input/run1.txt") + lines);
}

RunResult runFixture(const ScratchDir& dir) {
    return test_support::runProgram(dir.path(), {"run1.txt"});
}

// File name -> content of every file in a folder (empty when it does not exist).
std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    if (!fs::is_directory(folder)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? readFile(entry.path().string()) : "<folder>";
    }
    return files;
}

std::vector<std::string> namesOf(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.first);
    return names;
}

std::string logAfterSeed(const ScratchDir& dir) {
    const std::vector<std::string> lines = splitLines(dir.read("vastrid2.log"));
    std::string text;
    for (size_t i = 4; i < lines.size(); ++i) text += lines[i] + "\n";
    return text;
}

// Two runs of the fixture with its seed: both give exactly the reviewed files,
// so every file is named as documented and the run is repeatable.
TEST(GeneticRunTest, FixedSeedRunGivesTheReviewedFilesTwice) {
    const std::map<std::string, std::string> expected =
        filesIn(kFixture + "/expected/GeneticsOutput");
    const std::vector<std::string> expectedNames = {
        "run1_pop.bat", "run1_pop_1.qdx", "run1_pop_2.qdx", "run1_pop_Immigrants_0_P1.nm",
        "run1_pop_Immigrants_6_P1.nm", "run1_pop_mut_trees.trees", "run1_pop_sim1_chrom1.pau",
        "run1_pop_sim1_chrom2.pau", "run1_pop_sim2_chrom1.pau", "run1_pop_sim2_chrom2.pau",
        // Chromosome 2 recombines: no dump of its genealogies.
        "run1_pop_tree_sim1_chrom1.tri", "run1_pop_tree_sim2_chrom1.tri",
        "run1_pop_true_trees.trees"};
    ASSERT_EQ(namesOf(expected), expectedNames);

    std::map<std::string, std::string> outputs[2];
    for (auto& output : outputs) {
        ScratchDir dir;
        copyInput(dir);
        const RunResult run = runFixture(dir);
        ASSERT_EQ(run.exitStatus, 0) << run.console;
        EXPECT_TRUE(contains(run.console, kSuccessLine)) << run.console;
        output = filesIn(dir.file(kOutput));
        EXPECT_EQ(logAfterSeed(dir), readFile(kFixture + "/expected/log_after_seed.txt"));
    }
    EXPECT_EQ(namesOf(outputs[0]), expectedNames);
    for (const auto& file : expected) {
        EXPECT_EQ(outputs[0][file.first], file.second) << file.first;
        EXPECT_EQ(outputs[1][file.first], outputs[0][file.first]) << file.first;
    }
    EXPECT_EQ(outputs[0]["run1_pop.bat"],
              "paup samples/GeneticsOutput/run1_pop_sim1_chrom1.pau\n"
              "paup samples/GeneticsOutput/run1_pop_sim1_chrom2.pau\n"
              "paup samples/GeneticsOutput/run1_pop_sim2_chrom1.pau\n"
              "paup samples/GeneticsOutput/run1_pop_sim2_chrom2.pau\n");
}

// Where the outputs go for other settings-file and sample-file names.
TEST(GeneticRunTest, OutputNamesFollowTheSettingsAndSampleFileNames) {
    struct Case {
        const char* settingsFile;
        const char* sampleFile;
        const char* projectFile;
    };
    for (const Case& c :
         {Case{"dataset/run1.txt", "samples/pop.sam", "samples/GeneticsOutput/run1_pop_1.qdx"},
          Case{"run1", "samples/pop.sam", "samples/GeneticsOutput/_pop_1.qdx"},
          Case{"run1.txt", "pop.sam", "GeneticsOutput/run1_pop_1.qdx"}}) {
        ScratchDir dir;
        copyInput(dir);
        dir.write("pop.sam", dir.read("samples/pop.sam"));
        fs::remove(dir.file("run1.txt"));
        dir.write(c.settingsFile, readFile(kFixture + "/input/run1.txt") + "SampleFile=" +
                                      c.sampleFile + "\nNumGeneticSimulations=1\nNexusFile=0\n");
        const RunResult run = test_support::runProgram(dir.path(), {c.settingsFile});
        ASSERT_EQ(run.exitStatus, 0) << run.console;
        EXPECT_TRUE(dir.exists(c.projectFile)) << c.settingsFile << " " << c.sampleFile;
        EXPECT_TRUE(contains(dir.read(c.projectFile), "[[Structure]]"));
    }
}

// How a genetic run that cannot be carried out ends.
struct FailedGeneticRunCase {
    const char* name;
    std::function<void(const ScratchDir&)> prepare;
    const char* message;  // on the console and in the log
    bool outputFolderExpected;
};

void PrintTo(const FailedGeneticRunCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedGeneticRunTest : public ::testing::TestWithParam<FailedGeneticRunCase> {};

TEST_P(FailedGeneticRunTest, StopsWithAMessageAndExitStatusOne) {
    const FailedGeneticRunCase& c = GetParam();
    ScratchDir dir;
    copyInput(dir);
    c.prepare(dir);
    const RunResult run = runFixture(dir);
    EXPECT_EQ(run.exitStatus, 1) << run.console;
    EXPECT_FALSE(contains(run.console, kSuccessLine)) << run.console;
    EXPECT_TRUE(contains(run.console, c.message)) << run.console;
    EXPECT_TRUE(contains(dir.read("vastrid2.log"), c.message)) << dir.read("vastrid2.log");

    const std::map<std::string, std::string> files = filesIn(dir.file(kOutput));
    if (!c.outputFolderExpected) {
        EXPECT_FALSE(fs::is_directory(dir.file(kOutput)));
    }
    for (const auto& file : files) {
        // Nothing half-written is left, and the files kept over the whole run
        // are never there when it did not finish.
        EXPECT_FALSE(contains(file.first, "partial_")) << file.first;
        EXPECT_FALSE(contains(file.first, ".trees")) << file.first;
        EXPECT_FALSE(contains(file.first, ".bat")) << file.first;
    }
}

std::function<void(const ScratchDir&)> withParFile(const std::string& text) {
    return [text](const ScratchDir& dir) { dir.write("dna_microsat.par", text); };
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FailedGeneticRunTest,
    ::testing::Values(
        FailedGeneticRunCase{"NoChromosome", withParFile("0\n#chromosome\n1\nDNA 5 0 0.001 0.5\n"),
                             "****ERROR:{World::SimulateGeneticData()} [Number of chromosome < 1!]",
                             false},
        FailedGeneticRunCase{"ParFileEndsBeforeAChromosome",
                             withParFile("2\n#chromosome 1\n1\nDNA 5 0 0.001 0.5\n"),
                             "the genetic parameter file 'dna_microsat.par' ends at line 4 before "
                             "the \"#chromosome\" line of chromosome 2 of 2",
                             false},
        FailedGeneticRunCase{"FirstBlockWithoutDataType",
                             withParFile("2\n#chromosome\n1\nDNA 5 0 0.001 0.5\n#chromosome\n1\n"
                                         "STANDARD 4 0 0.001\n"),
                             "line 7: the first block of chromosome 2 names no data type", false},
        FailedGeneticRunCase{"SampleFileMissing",
                             [](const ScratchDir& dir) { fs::remove(dir.file("samples/pop.sam")); },
                             "the sample file 'samples/pop.sam' cannot be used", true},
        FailedGeneticRunCase{
            "NoUsableSample",
            [](const ScratchDir& dir) { dir.write("samples/pop.sam", "1\nHuge 5000 0 3.5 0.5\n"); },
            "no gene of the sample file 'samples/pop.sam' can be simulated", true},
        FailedGeneticRunCase{
            "OutputFolderCannotBeMade",
            [](const ScratchDir& dir) { dir.write("samples/GeneticsOutput", "a file in the way"); },
            "cannot create the output directory 'samples/GeneticsOutput/'", false},
        FailedGeneticRunCase{"ProjectFileCannotBeWritten",
                             [](const ScratchDir& dir) {
                                 dir.write("samples/GeneticsOutput/run1_pop_2.qdx/keep", "");
                             },
                             "cannot write the output file "
                             "'samples/GeneticsOutput/run1_pop_2.qdx'",
                             true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A simulation written before the failure stays complete.
TEST(GeneticRunTest, FilesFinishedBeforeAFailureAreComplete) {
    ScratchDir dir;
    copyInput(dir);
    dir.write("samples/GeneticsOutput/run1_pop_2.qdx/keep", "");
    const RunResult run = runFixture(dir);
    ASSERT_EQ(run.exitStatus, 1) << run.console;
    EXPECT_EQ(dir.read(kOutput + "/run1_pop_1.qdx"),
              readFile(kFixture + "/expected/GeneticsOutput/run1_pop_1.qdx"));
    EXPECT_EQ(dir.read(kOutput + "/run1_pop_sim2_chrom2.pau"),
              readFile(kFixture + "/expected/GeneticsOutput/run1_pop_sim2_chrom2.pau"));
}

// The data lines of one sample block of a project file: the fields after the label.
std::vector<std::vector<std::string>> dataFields(const std::string& projectFile) {
    std::vector<std::vector<std::string>> genes;
    bool inData = false;
    for (const std::string& line : splitLines(projectFile)) {
        if (contains(line, "SampleData= {")) {
            inData = true;
        } else if (line == "}") {
            inData = false;
        } else if (inData && !line.empty()) {
            std::vector<std::string> fields;
            std::istringstream in(line);
            for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
            genes.push_back(fields);
        }
    }
    return genes;
}

// A chromosome whose genealogy cannot be finished gets its description but no
// data; the run goes on.
TEST(GeneticRunTest, ChromosomeWithoutGenealogyHasNoData) {
    ScratchDir dir;
    copyInput(dir);
    dir.write("dna_microsat.par", "1\n#chromosome\n1\nDNA 5 0 0.001 0.5\n");
    appendSettings(dir, "MaxNumGenerations=2\n");
    const RunResult run = runFixture(dir);
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(dir.read("vastrid2.log"), "num_lineages = "));
    const std::string project = dir.read(kOutput + "/run1_pop_1.qdx");
    EXPECT_TRUE(contains(project, "#Chromosome no 1\n#---------------\n#Num Linkage Blocks: 1\n"));
    const auto genes = dataFields(project);
    ASSERT_EQ(genes.size(), 9u);
    for (const auto& gene : genes) EXPECT_EQ(gene.size(), 2u) << gene[0];  // label and "1"
    const std::string nexus = dir.read(kOutput + "/run1_pop_sim1_chrom1.pau");
    EXPECT_EQ(nexus.substr(nexus.size() - 8), "\tmatrix\n");
}

// Every site of a long chromosome reaches the project and NEXUS files.
TEST(GeneticRunTest, LongChromosomeIsWrittenInFull) {
    ScratchDir dir;
    copyInput(dir);
    dir.write("dna_microsat.par", "1\n#chromosome\n1\nDNA 12000 0 0.00001 0.5\n");
    appendSettings(dir, "NumGeneticSimulations=1\nGenealogiesFile=0\n");
    const RunResult run = runFixture(dir);
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    const auto genes = dataFields(dir.read(kOutput + "/run1_pop_1.qdx"));
    ASSERT_EQ(genes.size(), 9u);
    for (const auto& gene : genes) {
        ASSERT_EQ(gene.size(), 3u);
        EXPECT_EQ(gene[2].size(), 12000u);
        EXPECT_EQ(gene[2].find_first_not_of("AGCT"), std::string::npos);
    }
    const std::vector<std::string> nexus =
        splitLines(dir.read(kOutput + "/run1_pop_sim1_chrom1.pau"));
    const auto matrix = std::find(nexus.begin(), nexus.end(), "\tmatrix");
    ASSERT_NE(matrix, nexus.end());
    for (int row = 0; row < 9; ++row) EXPECT_EQ((matrix + 2 + 2 * row)->size(), 12000u);
    EXPECT_TRUE(contains(dir.read(kOutput + "/run1_pop_sim1_chrom1.pau"), "nchar=12000;"));
}

// Sum of the branch lengths of a tree line in the notation "(a:1, b:2):3".
long branchLengthSum(const std::string& tree) {
    long sum = 0;
    for (size_t at = tree.find(':'); at != std::string::npos; at = tree.find(':', at + 1)) {
        sum += std::stol(tree.substr(at + 1));
    }
    return sum;
}

// The mutation tree of each locus shows that locus' mutations: with at most
// one mutation on a tree, one mutation means a variable site and none a fixed
// one, which the data matrix of the same NEXUS file shows independently.
TEST(GeneticRunTest, MutationTreeOfEachLocusShowsItsOwnMutations) {
    const std::string expected = kFixture + "/expected/GeneticsOutput/";
    const std::vector<std::string> mutationTrees =
        splitLines(readFile(expected + "run1_pop_mut_trees.trees"));
    int checkedSites = 0;
    int variableSites = 0;
    for (int sim = 1; sim <= 2; ++sim) {
        const std::vector<std::string> nexus =
            splitLines(readFile(expected + "run1_pop_sim" + std::to_string(sim) + "_chrom1.pau"));
        const auto matrix = std::find(nexus.begin(), nexus.end(), "\tmatrix");
        ASSERT_NE(matrix, nexus.end());
        std::vector<std::string> rows;
        for (auto line = matrix + 2; line < nexus.end() && *(line - 1) != "\t;"; line += 2) {
            rows.push_back(*line);
        }
        ASSERT_EQ(rows.size(), 9u);
        for (int locus = 0; locus < 12; ++locus) {
            const std::string name = "\ttree Num_mutations_simul_" + std::to_string(sim) +
                                     "_chrom_1_Loc_" + std::to_string(locus) + " = [&U] ";
            const auto tree =
                std::find_if(mutationTrees.begin(), mutationTrees.end(),
                             [&](const std::string& l) { return l.rfind(name, 0) == 0; });
            ASSERT_NE(tree, mutationTrees.end()) << name;
            const long mutations = branchLengthSum(tree->substr(name.size()));
            bool variable = false;
            for (const std::string& row : rows) variable = variable || row[locus] != rows[0][locus];
            if (mutations > 1) continue;
            EXPECT_EQ(variable, mutations == 1) << name;
            ++checkedSites;
            if (variable) ++variableSites;
        }
    }
    // The fixture has both kinds, so the check is not vacuous.
    EXPECT_GE(checkedSites, 12);
    EXPECT_GE(variableSites, 3);
}

// The bundled example, run as the README runs it: its genetic part is complete.
TEST(GeneticRunTest, BundledSmallExampleWritesItsGeneticOutputs) {
    ScratchDir dir;
    fs::copy(std::string(VASTRID2_SOURCE_DIR) + "/examples/small", dir.path(),
             fs::copy_options::recursive);
    const RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    const std::map<std::string, std::string> files = filesIn(dir.file("GeneticsOutput"));
    std::vector<std::string> expectedNames = {"settings_samples.bat",
                                              "settings_samples_mut_trees.trees",
                                              "settings_samples_true_trees.trees"};
    for (int sim = 1; sim <= 3; ++sim) {
        const std::string s = std::to_string(sim);
        expectedNames.push_back("settings_samples_" + s + ".qdx");
        expectedNames.push_back("settings_samples_sim" + s + "_chrom1.pau");
        expectedNames.push_back("settings_samples_sim" + s + "_chrom2.pau");
        expectedNames.push_back("settings_samples_tree_sim" + s + "_chrom1.tri");
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(namesOf(files), expectedNames);
    for (int sim = 1; sim <= 3; ++sim) {
        const auto genes = dataFields(files.at("settings_samples_" + std::to_string(sim) + ".qdx"));
        ASSERT_EQ(genes.size(), 60u);  // six cities, ten genes each
        for (const auto& gene : genes) {
            ASSERT_EQ(gene.size(), 4u);
            EXPECT_EQ(gene[2].size(), 300u);      // the DNA sites
            EXPECT_EQ(gene[3].size(), 10u * 4u);  // ten alleles "5xx "
        }
    }
}

}  // namespace
