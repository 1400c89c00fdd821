// The genetic parameter file: block lines, chromosome selection, the summed
// recombination rate, and the refusals.

#include <gtest/gtest.h>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"
#include "foundations/exception.h"
#include "support/test_support.h"

namespace coalescent_test {
namespace {

class GeneticParametersTest : public CoalescentTest {
  protected:
    void SetUp() override {
        CoalescentTest::SetUp();
        world = std::make_unique<HandWorld>(std::vector<std::string>{"1"}, 1, 5);
    }
    void TearDown() override {
        world.reset();
        CoalescentTest::TearDown();
    }
    // Writes the file, names it in the settings and sizes the per-chromosome arrays.
    TDemeCollection& withFile(const std::string& text, int chromosomes = 1) {
        world->set("GeneticFile", dir.write("genetic.par", text));
        world->set("NumIndeLoci", chromosomes);
        TDemeCollection& d = world->demes();
        d.set_num_linkage_blocks_perchrom();
        d.set_tot_recomb_perchrom();
        d.initializeNumLinkedLociPerBlock(chromosomes);
        return d;
    }

    test_support::ScratchDir dir;
    std::unique_ptr<HandWorld> world;
};

struct BlockCase {
    const char* line;
    int code;
    int loci;
    double recombRate;
    double mutRate;
    double transitions;
    double minFrequency;
    double geometric;
    double range;
    const char* logLine;
};

TEST_F(GeneticParametersTest, EachBlockTypeFillsItsLociAndBlockEntries) {
    const BlockCase cases[] = {
        {"DNA 10 1e-4 2e-5 0.7", DNA, 10, 1e-4, double(2e-5f), double(0.7f), 0, 0, 0,
         "\nNumber of partially linked DNA, recombination and mutation rates: 10 0.0001 2e-05\n"},
        // MICROSAT is looked for first, so a later mention of DNA does not count.
        {"MICROSAT 5 0.01 0.0005 0.2 3 (no DNA here)", MICROSAT, 5, 0.01, double(0.0005f), 0, 0,
         0.2, 3,
         "\nNumber of partially linked MICROSAT, recombination and mutation rates: 5 0.01 "
         "0.0005\n"},
        {"SNP 4 0.001 0.05", SNP, 4, 0.001, 0, 0, 0.05, 0, 0,
         "\nNumber of partially linked SNP, recombination and mutation rates: 4 0.001 0\n"},
        {"RFLP 3 0 0.001 trailing words", RFLP, 3, 0, double(0.001f), 0, 0, 0, 0,
         "\nNumber of partially linked RFLP, recombination and mutation rates: 3 0 0.001\n"},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.line);
        capture->clear();
        TDemeCollection& d = withFile(std::string("1\n#chromosome one\n1\n") + c.line + "\n");
        d.readRecombParams(0);
        ASSERT_EQ(d.numLoci, c.loci);
        ASSERT_EQ(d.locusDataType.count(), c.loci);
        for (int i = 0; i < c.loci; ++i) {
            EXPECT_EQ(d.locusDataType[i], c.code);
            EXPECT_EQ(d.locusRecombRate[i], c.recombRate);
            EXPECT_EQ(d.locusMutRate[i], c.mutRate);
            EXPECT_EQ(d.locusGeometricParam[i], c.geometric);
            EXPECT_EQ(d.locusRangeConstraint[i], c.range);
        }
        ASSERT_EQ(d.blockTransitionProportion.count(), 1);
        EXPECT_EQ(d.blockTransitionProportion[0], c.transitions);
        EXPECT_EQ(d.blockMinFrequency[0], c.minFrequency);
        EXPECT_NE(capture->log().find(c.logLine), std::string::npos) << capture->log();
        d.Initialize_Recomb_Genetic_Param();
    }
}

TEST_F(GeneticParametersTest, ABlockWithoutTypeTakesThePreviousTypeAndRate) {
    TDemeCollection& d = withFile("1\n#chromosome\n2\nDNA 2 0.1 0.002 0.5\nSTANDARD 3 0.2\n");
    d.readRecombParams(0);
    ASSERT_EQ(d.numLoci, 5);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(d.locusDataType[i], DNA);
        EXPECT_EQ(d.locusMutRate[i], double(0.002f));
        EXPECT_EQ(d.locusRecombRate[i], 0.2);
    }
    // The proportion of transitions is the last one read.
    EXPECT_EQ(d.blockTransitionProportion[1], double(0.5f));
    EXPECT_NE(capture->log().find("\nNumber of partially linked DNA, recombination and mutation "
                                  "rates: 3 0.2 0.002\n"),
              std::string::npos);
}

TEST_F(GeneticParametersTest, SumsTheRatesOfAllLociButTheLastInSinglePrecision) {
    TDemeCollection& d =
        withFile("1\n#chromosome\n2\nDNA 100 0.0005 0.00002 0.33\nMICROSAT 5 0.01 0.0005 0 0\n");
    const float result = d.readRecombParams(0);
    float expected = 0.0f;
    for (int i = 0; i < 104; ++i) expected += i < 100 ? 0.0005 : 0.01;
    EXPECT_EQ(d.tot_recomb, double(expected));
    EXPECT_EQ(result, expected);
    EXPECT_EQ(d.numLoci, 105);
    EXPECT_EQ(TNode::num_linked_loci, 105);
    EXPECT_EQ(d.numBlocks, 2);
    EXPECT_EQ(d.num_linkage_blocks_perchrom[0], 2);
    float perChromosome = 0.0f;
    perChromosome += 0.0005;
    perChromosome += 0.01;
    EXPECT_EQ(d.tot_recomb_perchrom[0], perChromosome);
    ASSERT_EQ(d.numLinkedLociPerBlock[0].count(), 2);
    EXPECT_EQ(d.numLinkedLociPerBlock[0][0], 100);
    EXPECT_EQ(d.numLinkedLociPerBlock[0][1], 5);
    EXPECT_NE(capture->log().find("\nNumber of linkage blocks to simulate : 2\n"),
              std::string::npos);
}

TEST_F(GeneticParametersTest, AOneLocusChromosomeDoesNotRecombine) {
    TDemeCollection& d = withFile("1\n#chromosome\n1\nRFLP 1 0.3 0.001\n");
    EXPECT_EQ(d.readRecombParams(0), 0.0f);
    EXPECT_EQ(d.tot_recomb, 0.0);
    EXPECT_EQ(d.locusRecombRate[0], 0.3);
}

TEST_F(GeneticParametersTest, ReadsTheRequestedChromosomeAndRereadsItWithoutDoubling) {
    TDemeCollection& d = withFile(
        "2\n#chromosome 1\n1\nDNA 3 0.1 0.001 0.5\nsome note\n#chromosome 2\n2\nSNP 2 0.2 0.1\n"
        "RFLP 4 0.3 0.01\n",
        2);
    d.readRecombParams(1);
    EXPECT_EQ(d.currentChromosome, 1);
    EXPECT_EQ(d.numLoci, 6);
    EXPECT_EQ(d.locusDataType[0], SNP);
    EXPECT_EQ(d.locusDataType[5], RFLP);
    EXPECT_EQ(d.num_linkage_blocks_perchrom[1], 2);

    // Chromosome 0 is read again for every simulation: it still holds one copy.
    for (int simulation = 0; simulation < 3; ++simulation) {
        d.Initialize_Recomb_Genetic_Param();
        d.readRecombParams(0);
    }
    EXPECT_EQ(d.numLoci, 3);
    EXPECT_EQ(d.locusRecombRate.count(), 3);
    EXPECT_EQ(d.tot_recomb_perchrom[0], float(0.1));
    EXPECT_EQ(d.numLinkedLociPerBlock[0].count(), 1);
    // Even without the caller emptying the arrays, a read holds one chromosome.
    d.readRecombParams(1);
    EXPECT_EQ(d.locusRecombRate.count(), 6);
}

TEST_F(GeneticParametersTest, AnUnreadableFileOrAMissingChromosomeReadsAsNoRecombination) {
    struct Case {
        const char* name;
        const char* text;  // null: no file
        int chromosome;
        const char* detail;
    };
    const Case cases[] = {
        {"missing file", nullptr, 0, "the file cannot be opened"},
        {"no second header", "1\n#chromosome\n1\nDNA 3 0.1 0 0\n", 1,
         "the file ends before the \"#chromosome\" line of chromosome 2"},
        {"empty file", "", 0, "the file ends before the \"#chromosome\" line of chromosome 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capture->clear();
        TDemeCollection& d = withFile("1\n#chromosome\n1\nDNA 3 0.1 0 0\n", 2);
        d.readRecombParams(0);
        if (c.text == nullptr) {
            world->set("GeneticFile", dir.file("absent.par"));
        } else {
            world->set("GeneticFile", dir.write("other.par", c.text));
        }
        EXPECT_EQ(d.readRecombParams(c.chromosome), -1.0f);
        EXPECT_EQ(d.currentChromosome, -1);
        EXPECT_NE(capture->log().find("\nthe .par file has not been read\n"), std::string::npos);
        EXPECT_NE(capture->console().find(c.detail), std::string::npos) << capture->console();
        EXPECT_NE(capture->console().find(".par'"), std::string::npos);
        // Nothing of the chromosome read before is left to be simulated.
        EXPECT_EQ(d.numLoci, 0);
        EXPECT_EQ(d.locusRecombRate.count(), 0);
        EXPECT_EQ(TNode::num_linked_loci, 0);
    }
}

TEST_F(GeneticParametersTest, RefusesMalformedContentNamingFileAndLine) {
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"1\n#chromosome\n1\nSTANDARD 3 0.1\n",
         "line 4: the first block of chromosome 1 names no data type"},
        {"1\n#chromosome\nmany\nDNA 3 0.1 0 0\n", "line 3: the number of linkage blocks"},
        {"1\n#chromosome\n1\nDNA ten 0.1 0 0\n", "line 4: a block line needs"},
        {"1\n#chromosome\n1\nDNA -2 0.1 0 0\n", "line 4: a block line needs"},
        {"1\n#chromosome\n1\nMICROSAT 3 0.1 0.001\n", "line 4: the values of a MICROSAT block"},
        {"1\n#chromosome\n2\nDNA 3 0.1 0 0\n", "the file ends after 1 of the 2 blocks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TDemeCollection& d = withFile(c.text);
        try {
            d.readRecombParams(0);
            ADD_FAILURE() << "accepted";
        } catch (const TException& e) {
            const std::string message = e.message().c_str();
            EXPECT_NE(message.find(c.problem), std::string::npos) << message;
            EXPECT_NE(message.find(dir.file("genetic.par")), std::string::npos) << message;
        }
    }
}

TEST_F(GeneticParametersTest, TotalLociLengthFollowsTheFixedLayout) {
    TDemeCollection& d =
        withFile("2\n#chromosome\n2\nDNA 10 0 0 0\nSNP 5 0 0.1\n#chromosome\n1\nRFLP 7 0 0\n", 2);
    EXPECT_EQ(d.ComputeTotalLociLength(), 22);
    EXPECT_EQ(d.numBlocks, 1);
    withFile("0\n");
    EXPECT_EQ(d.ComputeTotalLociLength(), 0);
    world->set("GeneticFile", dir.file("absent.par"));
    capture->clear();
    EXPECT_EQ(d.ComputeTotalLociLength(), 1);
    EXPECT_NE(capture->log().find("\nthe .par file has not been read\n"), std::string::npos);
}

TEST_F(GeneticParametersTest, NumberOfChromosomesAndSamplePathStem) {
    withFile("3 chromosomes\n");
    EXPECT_EQ(world->world->GetNumIndepLoci(), 3);
    world->set("GeneticFile", dir.file("absent.par"));
    EXPECT_EQ(world->world->GetNumIndepLoci(), 0);

    const std::pair<const char*, const char*> stems[] = {
        {"samples/pop.sam", "samples/pop"}, {"a.sam.sam", "a"}, {"pop.txt", ""}, {".sam", ""}};
    for (const auto& [value, stem] : stems) {
        world->set("SampleFile", value);
        EXPECT_STREQ(world->world->ExtractSamPath().c_str(), stem) << value;
    }
}

TEST_F(GeneticParametersTest, PerChromosomeArraysAreZeroedOrAbsent) {
    TDemeCollection& d = withFile("1\n", 3);
    EXPECT_EQ(d.num_linkage_blocks_perchrom, std::vector<int32_t>(3, 0));
    EXPECT_EQ(d.tot_recomb_perchrom, std::vector<float>(3, 0.0f));
    EXPECT_EQ(d.numLinkedLociPerBlock.size(), 3u);
    withFile("1\n", 0);
    EXPECT_TRUE(d.num_linkage_blocks_perchrom.empty());
    EXPECT_TRUE(d.tot_recomb_perchrom.empty());
    world->set("NumLinkedLoci", 12);
    world->set("NumIndeLoci", 4);
    d.set_numLoci();
    d.set_numIndepLoci();
    EXPECT_EQ(d.numLoci, 12);
    EXPECT_EQ(d.numIndepLoci, 4);
}

}  // namespace
}  // namespace coalescent_test
