// A two-layer genetic run through the built program: the lineage-proportion
// files (.prop) of tests/fixtures/e2e/two_layers_genetic, one per simulation,
// checked against values worked out from the genealogy dumps of the same run.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/external_tools.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunResult;
using test_support::ScratchDir;
using test_support::splitLines;

const std::string kFixture = std::string(VASTRID2_FIXTURES) + "/e2e/two_layers_genetic";
const std::string kOutput = "samples/GeneticsOutput";
const char* const kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";
const int kSimulations = 3;

std::string propFile(int sim) {
    return kOutput + "/settings_layers_Proportion_" + std::to_string(sim) + ".prop";
}

// The fixture in a scratch folder, with `from` in its settings replaced by `to`.
void copyFixture(const ScratchDir& dir, const std::string& from = "", const std::string& to = "") {
    fs::copy(kFixture, dir.path(), fs::copy_options::recursive);
    if (from.empty()) return;
    std::string settings = dir.read("settings.txt");
    const size_t at = settings.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    dir.write("settings.txt", settings.replace(at, from.size(), to));
}

// Runs settings.txt of the folder, which must succeed.
RunResult runSettings(const ScratchDir& dir) {
    RunResult run = test_support::runProgram(dir.path(), {"settings.txt"});
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(e2e_tools::contains(run.console, kSuccessLine)) << run.console;
    return run;
}

// The output files whose names end with the given extension, by name.
std::map<std::string, std::string> outputsEndingWith(const ScratchDir& dir,
                                                     const std::string& extension) {
    std::map<std::string, std::string> files;
    if (!dir.exists(kOutput)) return files;
    for (const auto& entry : fs::directory_iterator(dir.file(kOutput))) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
            files[name] = test_support::readFile(entry.path().string());
        }
    }
    return files;
}

// Simulation 1 of the fixture, worked out by hand from its dump
// settings_layers_tree_sim1_chrom1.tri. The founders (source Second, layer 1,
// generation 4, cell 16 among the land cells) took their individuals from
// layer 0 of cell 16, so a lineage descends from them when a step of its
// record, or of an ancestor's, lies in cell 16, layer 0 at generation 3 and
// follows a step in cell 16. Tips 2, 7 and 10 do so in their own records
// (10 is a layer-0 gene whose lineage went into layer 1 at generation 22).
// Tips 1 and 4 reach cell 16 at generation 3 only through node 12, whose step
// before it lies in cell 11 (a migration, not the founding), and node 14's
// step there opens its record: neither counts. The root (19) and the common
// ancestor of each sample (17, 19, 19) lay in layer 0, so: total 3/10;
// SourceP2 (tips 1-4) 1/4; NextP2 (5-7) 1/3; SourceP1 (8-10) 1/3.
// Chromosome 2 recombines, chromosome 3 has two linkage blocks.
const std::vector<std::string> kSimulation1 = {
    "Proportion of lineages sampled in P2 which derived from the P2 source population",
    "#Chrom\tTotal_prop\tSourceP2\tNextP2\tSourceP1\t",
    "Chrom_1\t0.3\t0.25\t0.333333\t0.333333\t",
    "Chrom_2 Not available with recombination!",
    "Chrom_3 Not available with recombination!",
};

TEST(TwoLayerGeneticRunTest, WritesOnePropFilePerSimulationWithTheFoundersShare) {
    ScratchDir dir;
    copyFixture(dir);
    runSettings(dir);
    for (int sim = 1; sim <= kSimulations; ++sim) EXPECT_TRUE(dir.exists(propFile(sim))) << sim;
    EXPECT_EQ(outputsEndingWith(dir, ".prop").size(), static_cast<size_t>(kSimulations));
    EXPECT_EQ(splitLines(dir.read(propFile(1))), kSimulation1);
    EXPECT_EQ(dir.read(propFile(1)).back(), '\n');
}

const char* const kPython = "/usr/bin/python3";

// What reference_prop.py, an independent implementation in Python reading
// the genealogy dumps a run wrote, expects in the .prop file of simulation sim.
std::string referenceProp(const std::string& runFolder, int sim) {
    const RunResult reference = e2e_tools::runShell(
        e2e_tools::quote(kPython) + " " + e2e_tools::quote(kFixture + "/reference_prop.py") +
        " " + e2e_tools::quote(runFolder) + " " + std::to_string(sim));
    EXPECT_EQ(reference.exitStatus, 0) << reference.console;
    return reference.console;
}

TEST(TwoLayerGeneticRunTest, EveryPropFileMatchesTheReferenceFromTheRunsGenealogies) {
    if (!fs::exists(kPython)) GTEST_SKIP() << kPython << " is missing";
    ScratchDir dir;
    copyFixture(dir);
    runSettings(dir);
    for (int sim = 1; sim <= kSimulations; ++sim) {
        EXPECT_EQ(dir.read(propFile(sim)), referenceProp(dir.path(), sim)) << "simulation " << sim;
    }
}

TEST(TwoLayerGeneticRunTest, FixedSeedGivesIdenticalPropFilesTwice) {
    std::map<std::string, std::string> outputs[2];
    for (auto& output : outputs) {
        ScratchDir dir;
        copyFixture(dir);
        runSettings(dir);
        output = outputsEndingWith(dir, ".prop");
    }
    EXPECT_EQ(outputs[0].size(), static_cast<size_t>(kSimulations));
    EXPECT_EQ(outputs[0], outputs[1]);
}

// PropFile=0 writes no .prop file, and recording the moves for them draws no
// random number: the genetic data are the same either way.
TEST(TwoLayerGeneticRunTest, PropFileZeroWritesNoneAndTheSameGeneticData) {
    ScratchDir with;
    copyFixture(with);
    runSettings(with);
    ScratchDir without;
    copyFixture(without, "PropFile=1", "PropFile=0");
    runSettings(without);
    EXPECT_TRUE(outputsEndingWith(without, ".prop").empty());
    const std::map<std::string, std::string> projects = outputsEndingWith(with, ".qdx");
    EXPECT_EQ(projects.size(), static_cast<size_t>(kSimulations));
    EXPECT_EQ(outputsEndingWith(without, ".qdx"), projects);
}

// The bundled two-layer example writes the files its README describes.
TEST(TwoLayerGeneticRunTest, BundledTwoLayerExampleWritesItsPropFiles) {
    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath("examples/two_layers"), dir);
    runSettings(dir);
    for (int sim = 1; sim <= 3; ++sim) {
        const std::string name =
            "GeneticsOutput/settings_samples_Proportion_" + std::to_string(sim) + ".prop";
        ASSERT_TRUE(dir.exists(name)) << name;
        const std::vector<std::string> lines = splitLines(dir.read(name));
        ASSERT_EQ(lines.size(), 4u) << name;
        EXPECT_EQ(lines[1],
                  "#Chrom\tTotal_prop\tDamascus_farmers\tBaghdad_farmers\tAnkara_farmers\t"
                  "Ankara\tLarissa_farmers\t");
        EXPECT_EQ(lines[3], "Chrom_2 Not available with recombination!");
        if (fs::exists(kPython)) {
            EXPECT_EQ(dir.read(name), referenceProp(dir.path(), sim)) << name;
        }
    }
}

}  // namespace
