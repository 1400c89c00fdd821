// The NEXUS files of a genetic run read by an independent NEXUS parser
// (DendroPy, through Debian's /usr/bin/python3): every tree of the NEXUS/PAUP
// files and of the two tree collections is found, with one tip per sampled
// gene, and the DNA data matrices are read with their taxa.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ScratchDir;

const char* const kPython = "/usr/bin/python3";

// For every file given: "<name> <trees> <smallest tip count> <largest tip count>
// <taxa of the data matrix, or -1 without a DNA matrix>". Any parse error ends
// the script with status 1.
const char* const kReader = R"(import sys, dendropy
for path in sys.argv[1:]:
    trees = dendropy.TreeList.get(path=path, schema="nexus")
    tips = [len(tree.leaf_nodes()) for tree in trees] or [0]
    taxa = -1
    if "datatype=dna;" in open(path).read():
        data = dendropy.DataSet.get(path=path, schema="nexus")
        taxa = len(data.char_matrices[0].taxon_namespace)
    print(path.rsplit("/", 1)[-1], len(trees), min(tips), max(tips), taxa)
)";

std::string runCommand(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    std::array<char, 4096> chunk{};
    size_t got = 0;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), got);
    status = pclose(pipe);
    return output;
}

TEST(GeneticDendroPyTest, EveryTreeAndDnaMatrixIsReadByDendroPy) {
    if (std::system("/usr/bin/python3 -c 'import dendropy' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << kPython << " has no dendropy (Debian package python3-dendropy)";
    }
    ScratchDir dir;
    fs::copy(std::string(VASTRID2_FIXTURES) + "/e2e/genetic/input", dir.path(),
             fs::copy_options::recursive);
    const test_support::RunResult run = test_support::runProgram(dir.path(), {"run1.txt"});
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    const std::string script = dir.write("read_nexus.py", kReader);

    std::string command = std::string(kPython) + " '" + script + "'";
    for (const fs::directory_entry& entry :
         fs::directory_iterator(dir.file("samples/GeneticsOutput"))) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".pau" || extension == ".trees")
            command += " '" + entry.path().string() + "'";
    }
    int status = 0;
    const std::string output = runCommand(command + " 2>&1", status);
    ASSERT_EQ(status, 0) << output;

    // 9 genes; chromosome 1 has 12 DNA sites, chromosome 2 four microsatellites.
    const std::map<std::string, std::string> expected = {
        {"run1_pop_sim1_chrom1.pau", "12 9 9 9"},   {"run1_pop_sim1_chrom2.pau", "4 9 9 -1"},
        {"run1_pop_sim2_chrom1.pau", "12 9 9 9"},   {"run1_pop_sim2_chrom2.pau", "4 9 9 -1"},
        {"run1_pop_true_trees.trees", "32 9 9 -1"}, {"run1_pop_mut_trees.trees", "32 9 9 -1"}};
    std::map<std::string, std::string> read;
    std::istringstream lines(output);
    for (std::string name, counts; lines >> name && std::getline(lines >> std::ws, counts);) {
        read[name] = counts;
    }
    EXPECT_EQ(read, expected) << output;
}

}  // namespace
