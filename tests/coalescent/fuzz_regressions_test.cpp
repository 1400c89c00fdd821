// Inputs found by fuzzing the genetic parameter and sample readers, kept inline.

#include <gtest/gtest.h>

#include <chrono>

#include "coalescent/deme_collection.h"
#include "coalescent_world.h"
#include "foundations/exception.h"
#include "support/test_support.h"

namespace coalescent_test {
namespace {

class FuzzRegressionsTest : public CoalescentTest {
  protected:
    void SetUp() override {
        CoalescentTest::SetUp();
        world = std::make_unique<HandWorld>(std::vector<std::string>{"1"}, 1, 5);
    }
    void TearDown() override {
        world.reset();
        CoalescentTest::TearDown();
    }
    TDemeCollection& withParFile(const std::string& text, int chromosomes) {
        path = dir.write("genetic.par", text);
        world->set("GeneticFile", path);
        world->set("NumIndeLoci", chromosomes);
        TDemeCollection& d = world->demes();
        d.set_num_linkage_blocks_perchrom();
        d.set_tot_recomb_perchrom();
        d.initializeNumLinkedLociPerBlock(chromosomes);
        return d;
    }
    std::string refusal(TDemeCollection& d, int chromosome) {
        try {
            d.readRecombParams(chromosome);
        } catch (const TException& e) {
            return e.message().c_str();
        }
        return "not refused";
    }

    test_support::ScratchDir dir;
    std::string path;
    std::unique_ptr<HandWorld> world;
};

// A block of two thousand million loci used to be stored ten at a time (a
// hang, then exhausted memory); the loci of several blocks overflowed their sum.
TEST_F(FuzzRegressionsTest, ChromosomesOfTooManyLociAreRefusedBeforeTheyAreStored) {
    struct Case {
        const char* blocks;
        const char* line;
    } const cases[] = {
        {"1\nDNA 2000000000 0.1 0.001 0.7\n", "line 4"},
        {"2\nDNA 6000000 0 0.001 0.7\nDNA 6000000 0 0.001 0.7\n", "line 5"},
        {"2\nSNP 10000000 0 0.1\nSNP 1 0 0.1\n", "line 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks);
        TDemeCollection& d = withParFile(std::string("1\n#chromosome\n") + c.blocks, 1);
        const std::string message = refusal(d, 0);
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(c.line), std::string::npos) << message;
        EXPECT_NE(message.find("chromosome 1 would hold more than 10000000 loci"),
                  std::string::npos)
            << message;
        EXPECT_NE(capture->console().find(message), std::string::npos);
        EXPECT_EQ(d.numLoci, 0);
    }
}

TEST_F(FuzzRegressionsTest, ALargeBlockIsStoredInOneGrowth) {
    TDemeCollection& d = withParFile("1\n#chromosome\n1\nDNA 1000000 0.001 0.001 0.7\n", 1);
    const auto start = std::chrono::steady_clock::now();
    d.readRecombParams(0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(d.numLoci, 1000000);
    EXPECT_EQ(d.locusMutRate.count(), 1000000);
    EXPECT_EQ(d.locusRecombRate[999999], 0.001);
    // Grown ten slots at a time this took hours.
    EXPECT_LT(elapsed, std::chrono::seconds(20));
}

TEST_F(FuzzRegressionsTest, TheTotalOfAllChromosomesIsRefusedWhenItLeaves32Bits) {
    TDemeCollection& d = withParFile(
        "2\n#chromosome\n1\nDNA 2000000000 0\n#chromosome\n1\nDNA 2000000000 0\n", 2);
    EXPECT_THROW(d.ComputeTotalLociLength(), TException);
    EXPECT_NE(capture->console().find("the chromosomes hold more than 2147483647 loci in all"),
              std::string::npos)
        << capture->console();
    TDemeCollection& fits = withParFile("2\n#chromosome\n1\nDNA 7 0\n#chromosome\n1\nSNP 5 0\n", 2);
    EXPECT_EQ(fits.ComputeTotalLociLength(), 12);
}

}  // namespace
}  // namespace coalescent_test
