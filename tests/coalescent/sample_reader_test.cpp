// The sample file: every check, its message, and how accepted samples become demes.

#include <gtest/gtest.h>

#include <filesystem>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"
#include "support/test_support.h"

namespace coalescent_test {
namespace {

// 3 rows x 4 columns; (1,1) holds no cell and (2,0) lies under the sea. A cell
// (r, c) is centred on longitude c + 0.5 and latitude 2.5 - r. Every land cell
// holds 10 individuals at EndTime, except (2,2) with 3.
class SampleReaderTest : public CoalescentTest {
  protected:
    void SetUp() override {
        CoalescentTest::SetUp();
        build(1);
    }
    void TearDown() override {
        world.reset();
        CoalescentTest::TearDown();
    }
    void build(int layers) {
        world.reset();
        world = std::make_unique<HandWorld>(std::vector<std::string>{"1111", "1.11", "1111"},
                                            layers, 5);
        for (cell* c : world->world->grid.landCells) {
            for (int layer = 0; layer < layers; ++layer) world->setN(c, 5, layer, 10);
        }
        world->setN(world->at(2, 2), 5, 0, 3);
        world->at(2, 0)->aboveSea = false;
    }
    int read(const std::string& text) {
        world->set("SampleFile", dir.write("pop.sam", text));
        return world->demes().readCoalSimParams();
    }

    test_support::ScratchDir dir;
    std::unique_ptr<HandWorld> world;
};

TEST_F(SampleReaderTest, EachCheckReportsAndDecides) {
    struct Case {
        const char* name;
        int genotypic;
        const char* file;
        int result;
        int demes;
        std::vector<std::string> logParts;  // in this order
    };
    const Case cases[] = {
        {"exactly on the upper bounds: first row, last column", 0, "1\nb 2 0 3.0 4.0\n", 1, 1, {}},
        {"out of world",
         0,
         "2\nf 2 0 2.5 4.01\na 2 0 2.5 0.5\n",
         1,
         1,
         {" ERROR: [the population 'f' is out of World coordinates!]\n",
          "line 2: latitude 2.5, longitude 4.01"}},
        {"a layer that does not exist stops the reading",
         0,
         "3\na 2 0 2.5 0.5\nw 2 1 2.5 1.5\nb 2 0 3.0 4.0\n",
         1,
         1,
         {"ERROR:[the no of deme # w does not exist!]\n", "line 3: layer 1"}},
        {"on water, then under the sea",
         0,
         "2\nc 2 0 1.5 1.5\ne 2 0 0.5 0.5\n",
         1,
         0,
         {"\nOne or more samples can not be used, see Friction.log for more details.\n"
          " WARNING: [the population 'c' is on the water!]\n"
          "WARNING: [the population 'c' is on the water!]\n",
          "line 2: row 1, column 1",
          " WARNING: [the population 'e' is on the water!]\n"
          "WARNING: [the population 'e' is on the water!]\n"}},
        {"not colonised enough",
         0,
         "1\nd 4 0 0.5 2.5\n",
         1,
         0,
         {" WARNING:  [the population 'd' has not been colonised or it's density (3) is smaller "
          "than the sample size (4)!]\n"}},
        {"odd size in genotypic mode fails the whole reading",
         1,
         "2\na 2 0 2.5 0.5\nh 7 0 2.5 3.5\n",
         0,
         1,
         {" ERROR: When simulating genotypic data, each (haploid) sample size\n must be an even "
          "number. Please correct your sample file (*.sam).\n",
          "line 3: sample 'h' has 7 genes"}},
        {"odd size is fine for haploid data", 0, "1\nh 7 0 2.5 3.5\n", 1, 1, {}},
        {"an unreadable sample line",
         0,
         "2\na 2 0 2.5 0.5\nb two 0 1 1\n",
         0,
         1,
         {"\nthe .sam file has not been read\n", "line 3: a sample line needs"}},
        {"fewer samples than announced",
         0,
         "2\na 2 0 2.5 0.5\n",
         0,
         1,
         {"\nthe .sam file has not been read\n", "the file ends after 1 of its 2 samples"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build(1);
        capture->clear();
        world->set("GenotypicData", c.genotypic);
        EXPECT_EQ(read(c.file), c.result);
        EXPECT_EQ(world->demes().numDemes, c.demes);
        const std::string log = capture->log();
        size_t from = 0;
        for (const std::string& part : c.logParts) {
            const size_t at = log.find(part, from);
            ASSERT_NE(at, std::string::npos) << "missing or out of order: " << part << "\n" << log;
            from = at + part.size();
        }
        // The problem is shown on the console too, with where it is.
        if (!c.logParts.empty()) {
            EXPECT_NE(capture->console().find(c.logParts.back()), std::string::npos);
        }
        EXPECT_LE(countOf(log, "One or more samples can not be used"), 1);
    }
}

TEST_F(SampleReaderTest, TheCanNotBeUsedLineComesOnlyBeforeTheFirstDroppedSample) {
    // A sample dropped for its density counts as the first dropped one.
    EXPECT_EQ(read("2\nd 4 0 0.5 2.5\nc 2 0 1.5 1.5\n"), 1);
    EXPECT_EQ(countOf(capture->log(), "One or more samples can not be used"), 0);
    EXPECT_EQ(countOf(capture->log(), "is on the water!]"), 2);
}

TEST_F(SampleReaderTest, UnreadableFileFailsTheReading) {
    world->set("SampleFile", dir.file("absent.sam"));
    EXPECT_EQ(world->demes().readCoalSimParams(), 0);
    EXPECT_NE(capture->log().find("\nthe .sam file has not been read\n"), std::string::npos);
    EXPECT_NE(capture->console().find("absent.sam"), std::string::npos);
}

TEST_F(SampleReaderTest, SamplesOfOneCellAndLayerMergeIntoOneDeme) {
    ASSERT_EQ(read("3\na 2 0 2.5 0.5\nb 2 0 3.0 4.0\n 3 0 2.7 0.2 same cell, no name\n"), 1);
    TDemeCollection& d = world->demes();
    ASSERT_EQ(d.numDemes, 2);
    TDeme* merged = d.demeAt(world->at(0, 0)->dbIndex, 0);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->sampleSize, 5);
    EXPECT_EQ(merged->numMergedSamples, 1);
    EXPECT_EQ(merged->listIndex, 0);
    ASSERT_EQ(merged->samples.size(), 2u);
    EXPECT_EQ(merged->samples[1].size, 3);
    EXPECT_EQ(merged->samples[1].sampleIndex, 2);
    ASSERT_EQ(merged->sampleNames.size(), 3u);
    EXPECT_STREQ(merged->sampleNames[0].c_str(), "a");
    EXPECT_STREQ(merged->sampleNames[1].c_str(), "a");
    EXPECT_STREQ(merged->sampleNames[2].c_str(), "");  // a leading blank gives an empty name
    ASSERT_EQ(d.sampleList.size(), 3u);
    const int expected[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.sampleList[static_cast<size_t>(i)].demePosition, expected[i][0]);
        EXPECT_EQ(d.sampleList[static_cast<size_t>(i)].positionInDeme, expected[i][1]);
    }

    // The tips go to the demes in list order.
    d.createInitialDemeList();
    TNode::num_linked_loci = 1;
    ASSERT_EQ(d.createLineages(), 1);
    EXPECT_EQ(d.taxa, 7);
    EXPECT_EQ(merged->lineages.count(), 5);
    for (int i = 0; i < 7; ++i) {
        TNode* tip = d.tree.nodeAt(i);
        EXPECT_EQ(tip->demeNumber, i < 5 ? 0 : 1);
        EXPECT_EQ(tip->sampleCell, i < 5 ? world->at(0, 0)->dbIndex : world->at(0, 3)->dbIndex);
        EXPECT_EQ(tip->nodeNumber, i + 1);
    }
    EXPECT_EQ(merged->sampleNodes.first(), d.tree.nodeAt(0));
}

TEST_F(SampleReaderTest, ImmigrantFilesAreWrittenForAcceptedSamplesOnRequest) {
    world->world->geneticOutputDirectory = (dir.path() + "/").c_str();
    world->world->geneticOutputStem = "run";
    const std::string file = "2\na 2 0 2.5 0.5\nc 2 0 1.5 1.5\n";  // the second is on water
    const std::string accepted = "run_Immigrants_" + std::to_string(world->at(0, 0)->dbIndex);
    ASSERT_EQ(read(file), 1);
    EXPECT_FALSE(dir.exists(accepted + "_P1.nm"));
    world->set("ImmigDistrFile", 1);
    build(1);
    world->world->geneticOutputDirectory = (dir.path() + "/").c_str();
    world->world->geneticOutputStem = "run";
    world->set("ImmigDistrFile", 1);
    ASSERT_EQ(read(file), 1);
    EXPECT_TRUE(dir.exists(accepted + "_P1.nm"));
    int immigrantFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().find("_Immigrants_") != std::string::npos) {
            ++immigrantFiles;
        }
    }
    EXPECT_EQ(immigrantFiles, 1);
}

TEST_F(SampleReaderTest, TwoLayerWorldsAcceptTheSecondLayer) {
    build(2);
    ASSERT_EQ(read("2\na 2 1 2.5 0.5\nb 2 0 2.5 0.5\n"), 1);
    TDemeCollection& d = world->demes();
    EXPECT_EQ(d.numDemes, 2);
    EXPECT_NE(d.demeAt(world->at(0, 0)->dbIndex, 1), nullptr);
    EXPECT_NE(d.demeAt(world->at(0, 0)->dbIndex, 0), nullptr);
}

TEST_F(SampleReaderTest, AnEmptySampleSetGivesNoTree) {
    ASSERT_EQ(read("0\n"), 1);
    TDemeCollection& d = world->demes();
    d.createInitialDemeList();
    EXPECT_EQ(d.createLineages(), 0);
    EXPECT_NE(capture->log().find("TDemeCollection::createlineages() : Tree is empty \n"),
              std::string::npos);
}

}  // namespace
}  // namespace coalescent_test
