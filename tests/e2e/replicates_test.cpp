// Replicates of one settings file (tools/run_replicates.sh with GNU parallel,
// tools/slurm_replicates.sh for one array task): own folders, own seeds,
// different results, and a replicate rerun alone gives the same files.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/external_tools.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using e2e_tools::contains;
using e2e_tools::quote;
using test_support::ScratchDir;

// Every file written in a folder (symbolic links to the inputs left out), by
// relative path; the clock seed line, the one line a seeded run does not fix,
// is dropped from the log and the console.
std::map<std::string, std::string> writtenFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_symlink() || !entry.is_regular_file()) continue;
        std::string text;
        for (const std::string& line :
             test_support::splitLines(test_support::readFile(entry.path().string()))) {
            if (!contains(line, "Random generator initialized with")) text += line + "\n";
        }
        files[fs::relative(entry.path(), folder).string()] = text;
    }
    return files;
}

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        names.insert(fs::relative(entry.path(), folder).string());
    }
    return names;
}

TEST(ReplicatesTest, ParallelReplicatesDifferAndOneReplicateRerunsIdentically) {
    if (!e2e_tools::hasCommand("parallel")) GTEST_SKIP() << "GNU parallel is not installed";
    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath("examples/small"), dir, "src");
    const std::set<std::string> inputs = listing(dir.file("src"));

    const test_support::RunResult run = e2e_tools::runShell(
        "bash " + quote(e2e_tools::sourcePath("tools/run_replicates.sh")) + " -j 3 -s 100 -b " +
        quote(VASTRID2_BINARY) + " -o " + quote(dir.file("reps")) + " " +
        quote(dir.file("src/settings.txt")) + " 3");
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(contains(dir.read("reps/replicates.tsv"),
                         "replicate\tseed\texit_status\tfolder\n1\t101\t0\t"))
        << dir.read("reps/replicates.tsv");

    std::map<std::string, std::string> files[3];
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        const std::string rep = "reps/rep_00" + std::to_string(r);
        const std::string seed = std::to_string(100 + r);
        EXPECT_EQ(dir.read(rep + "/exit_status"), "0\n");
        EXPECT_TRUE(contains(dir.read(rep + "/settings.txt"), "\nRandomSeed=" + seed + "\n"));
        EXPECT_TRUE(contains(dir.read(rep + "/vastrid2.log"),
                             "re-initialized from RandomSeed with lidum=-" + seed + "\n"));
        EXPECT_TRUE(contains(dir.read(rep + "/console.txt"),
                             "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!"));
        files[r - 1] = writtenFiles(dir.file(rep));
        ASSERT_EQ(files[r - 1].count("GeneticsOutput/settings_samples_1.qdx"), 1u);
        EXPECT_EQ(files[r - 1].count("arrival_cells_output.txt"), 1u);
    }
    // The genetic simulations draw from their own seeds.
    const std::string project = "GeneticsOutput/settings_samples_1.qdx";
    EXPECT_NE(files[0][project], files[1][project]);
    EXPECT_NE(files[1][project], files[2][project]);
    EXPECT_NE(files[0][project], files[2][project]);
    // Nothing was written into the folder of the inputs.
    EXPECT_EQ(listing(dir.file("src")), inputs);

    // Replicate 2 again, as a Slurm array task runs it.
    const test_support::RunResult again = e2e_tools::runShell(
        "SLURM_ARRAY_TASK_ID=2 VASTRID2=" + quote(VASTRID2_BINARY) + " bash " +
        quote(e2e_tools::sourcePath("tools/slurm_replicates.sh")) + " " +
        quote(dir.file("src/settings.txt")) + " 100 " + quote(dir.file("again")));
    ASSERT_EQ(again.exitStatus, 0) << again.console;
    EXPECT_EQ(writtenFiles(dir.file("again/rep_002")), files[1]);
}

TEST(ReplicatesTest, OutputsOutsideTheSettingsFolderAreRefused) {
    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath("examples/small"), dir, "src");
    dir.write("src/settings.txt",
              dir.read("src/settings.txt") + "SampleFile=" + dir.file("src/samples.sam") + "\n");
    const test_support::RunResult run = e2e_tools::runShell(
        "bash " + quote(e2e_tools::sourcePath("tools/run_replicates.sh")) + " -r 1 -b " +
        quote(VASTRID2_BINARY) + " -o " + quote(dir.file("reps")) + " " +
        quote(dir.file("src/settings.txt")));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_TRUE(contains(run.console, "SampleFile = '" + dir.file("src/samples.sam") +
                                          "' in '" + dir.file("src/settings.txt") +
                                          "' lies outside the settings file's folder"))
        << run.console;
    EXPECT_FALSE(dir.exists("reps/rep_001"));
}

}  // namespace
