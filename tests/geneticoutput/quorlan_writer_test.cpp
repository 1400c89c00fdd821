#include "geneticoutput/quorlan_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "coalescent/deme_collection.h"
#include "coalescent/locus.h"
#include "genetree/tree_node.h"
#include "support/test_support.h"

namespace {

struct BlockSpec {
    int code;
    int loci;
    double recombRate;
    double mutRate;
    double rangeConstraint = 0.0;
    double geometricParam = 0.0;
    double minFrequency = 0.0;
    double transitionProportion = 0.0;
};

// A collection of sampled demes put together by hand, the way the sample
// reader and the mutation pass leave it.
class QuorlanTest : public testing::Test {
  protected:
    // A new sampled deme; returns its position in the registration order.
    int newDeme() {
        const int position = static_cast<int>(demes.initialDemeList.size());
        demes.demeGrid.push_back(new TDeme);
        demes.initialDemeList.push_back(TDemeSlot{position, 0});
        demes.numSampledDemes = position + 1;
        return position;
    }
    TDeme& deme(int position) { return *demes.sampledDeme(position); }

    // The next sample of the sample file, merged into the deme at position.
    void addSample(int position, const char* name, int genes) {
        TDeme& d = deme(position);
        if (d.samples.empty()) {
            d.sampleNames.push_back(name);
        } else {
            ++d.numMergedSamples;
        }
        d.sampleSize += genes;
        d.samples.push_back(TDemeSample{genes, static_cast<int32_t>(demes.sampleList.size())});
        demes.sampleList.push_back(
            TSamplePosition{position, static_cast<int32_t>(d.samples.size()) - 1});
        d.sampleNames.push_back(name);
    }

    // One chromosome's haplotype lines of all genes of the deme.
    void addLocus(int position, const std::vector<std::string>& lines) {
        TLocus locus(static_cast<int>(lines.size()));
        for (const std::string& line : lines) locus.lines.Add(line);
        deme(position).locusData.Add(locus);
    }

    // The genetic parameters of one chromosome (0-based), as read before its
    // description is written.
    void loadChromosome(int chromosome, const std::vector<BlockSpec>& blocks) {
        const size_t c = static_cast<size_t>(chromosome);
        if (demes.num_linkage_blocks_perchrom.size() <= c) {
            demes.num_linkage_blocks_perchrom.resize(c + 1, 0);
            demes.numLinkedLociPerBlock.resize(c + 1, MY_TArrayAsVector<int>(10, 10));
        }
        demes.num_linkage_blocks_perchrom[c] = static_cast<int32_t>(blocks.size());
        demes.numLinkedLociPerBlock[c].Flush();
        demes.locusRecombRate.Flush();
        demes.locusMutRate.Flush();
        demes.locusDataType.Flush();
        demes.locusRangeConstraint.Flush();
        demes.locusGeometricParam.Flush();
        demes.blockMinFrequency.Flush();
        demes.blockTransitionProportion.Flush();
        for (const BlockSpec& b : blocks) {
            demes.numLinkedLociPerBlock[c].Add(b.loci);
            demes.blockMinFrequency.Add(b.minFrequency);
            demes.blockTransitionProportion.Add(b.transitionProportion);
            for (int l = 0; l < b.loci; ++l) {
                demes.locusRecombRate.Add(b.recombRate);
                demes.locusMutRate.Add(b.mutRate);
                demes.locusDataType.Add(b.code);
                demes.locusRangeConstraint.Add(b.rangeConstraint);
                demes.locusGeometricParam.Add(b.geometricParam);
            }
        }
    }

    std::string describe(int chromosome, const std::vector<BlockSpec>& blocks) {
        loadChromosome(chromosome - 1, blocks);
        std::ostringstream out;
        writeQuorlanChromosomeDescription(out, demes, chromosome, described);
        return out.str();
    }

    static std::string fixture(const char* name) {
        return test_support::readFile(std::string(VASTRID2_FIXTURES "/geneticoutput/quorlan/") +
                                      name);
    }

    TDemeCollection demes;
    DescribedBlocks described;
};

// Samples in file order A1, B, C, A2: the empty deme B is left out but keeps its
// number, and A's second sample continues with the deme's genes 4 and 5.
TEST_F(QuorlanTest, HaploidFileWithMergedSamplesAnEmptyDemeAndMixedDataTypes) {
    const int a = newDeme();
    const int b = newDeme();
    const int c = newDeme();
    addSample(a, "popA1", 3);
    addSample(b, "popB", 0);
    addSample(c, "popC", 2);
    addSample(a, "popA2", 2);
    addLocus(a, {"AGC", "AGT", "TGC", "AAC", "GGC"});
    addLocus(c, {"CCA", "CCT"});
    addLocus(a, {"501 500 498 ", "500 500 499 ", "502 501 498 ", "499 500 500 ", "500 503 497 "});
    addLocus(c, {"510 500 500 ", "509 500 501 "});

    std::ostringstream out;
    writeQuorlanCommentHeader(out, demes, 2);
    described.startSimulation();
    loadChromosome(0, {{DNA, 3, 0.0, 2e-05, 0, 0, 0, 0.6}});
    writeQuorlanChromosomeDescription(out, demes, 1, described);
    loadChromosome(1, {{MICROSAT, 2, 0.01, 0.0005, 4, 0.3}, {MICROSAT, 1, 0.02, 0.001}});
    writeQuorlanChromosomeDescription(out, demes, 2, described);
    EXPECT_EQ(described.dataType, STANDARD);
    writeQuorlanDataSections(out, demes, described.dataType, demes.genotypicData);

    EXPECT_EQ(out.str(), fixture("haploid_merged_mixed_types.qdx"));
}

// Genotypic data: the label counts the sample's individuals, and the parity of
// the gene's index in its deme decides which lines are second genes. SNP data
// is declared as two-state data. The second chromosome got no genealogy, so it
// is described but has no data.
TEST_F(QuorlanTest, GenotypicSnpFileWithOddSamplesAndAnUnbuiltChromosome) {
    const int solo = newDeme();
    const int pair = newDeme();
    addSample(solo, "solo", 5);
    addSample(pair, "east", 3);
    addSample(pair, "west", 4);
    addLocus(solo, {"0 1 0 ", "0 0 0 ", "1 1 0 ", "0 1 1 ", "2 1 0 "});
    addLocus(pair, {"0 0 1 ", "1 0 1 ", "0 0 0 ", "1 1 1 ", "0 1 0 ", "1 0 0 ", "0 0 1 "});
    demes.genotypicData = 1;

    std::ostringstream out;
    writeQuorlanCommentHeader(out, demes, 2);
    described.startSimulation();
    loadChromosome(0, {{SNP, 3, 0.0, 0.0, 0, 0, 0.1}});
    writeQuorlanChromosomeDescription(out, demes, 1, described);
    loadChromosome(1, {{SNP, 2, 0.001, 0.0, 0, 0, 0.05}});
    writeQuorlanChromosomeDescription(out, demes, 2, described);
    EXPECT_EQ(described.dataType, SNP);
    writeQuorlanDataSections(out, demes, described.dataType, demes.genotypicData);

    EXPECT_EQ(out.str(), fixture("genotypic_snp_unbuilt_chromosome.qdx"));
}

TEST_F(QuorlanTest, EachDataTypeHasItsBlockTypeLine) {
    const struct {
        BlockSpec block;
        const char* typeLine;
    } cases[] = {
        {{MICROSAT, 1, 0.0, 0.0, 3.9}, "#MICROSAT (Range constraint : 3 [497;508])\n"},
        {{MICROSAT, 1, 0.0, 0.0, -2.0}, "#MICROSAT (Range constraint : -2 [497;508])\n"},
        {{MICROSAT, 1, 0.0, 0.0, 0.6}, "#MICROSAT (No range constraint)\n"},
        {{RFLP, 1, 0.0, 0.0}, "#RFLP\n"},
        {{DNA, 1, 0.0, 0.0}, "#DNA\n"},
        {{STANDARD, 1, 0.0, 0.0}, "#STANDARD\n"},
        {{SNP, 1, 0.0, 0.0, 0, 0, 0.125}, "#SNP Minimum Frequency = 0.125\n"},
        {{7, 1, 0.0, 0.0}, ""},
        {{-1, 1, 0.0, 0.0}, ""},
    };
    TNode::min_mic = -3;
    TNode::max_mic = 8;
    for (const auto& c : cases) {
        EXPECT_EQ(describe(4, {c.block}),
                  std::string("\n#Chromosome no 4\n#---------------\n#Num Linkage Blocks: 1\n"
                              "\n#Blocks n 1\n") +
                      c.typeLine +
                      "#Num linked loci      : 1\n"
                      "#Recombination rate per generation      : 0\n"
                      "#Mutation rate per generation      : 0\n")
            << c.block.code << " " << c.block.rangeConstraint;
    }
    TNode::min_mic = 0;
    TNode::max_mic = 0;
}

// The mutation pass gets the values of the last block of each kind described,
// through chromosomes and simulations; the profile gets one data type.
TEST_F(QuorlanTest, DescriptionsRecordTheLastBlockOfEachKindAndTheSimulationsDataType) {
    described.startSimulation();
    describe(1, {{DNA, 2, 0.001, 1e-4, 0, 0, 0, 0.7},
                 {SNP, 1, 0.002, 0.0, 0, 0, 0.2},
                 {MICROSAT, 3, 0.003, 5e-4, 6.7, 0.4}});
    describe(2, {{RFLP, 1, 0.004, 2e-3}});
    EXPECT_EQ(described.blockMutRate, 2e-3);
    EXPECT_EQ(described.blockRecombRate, 0.004);
    EXPECT_EQ(described.transitionProportion, 0.7);
    EXPECT_EQ(described.snpMinFrequency, 0.2);
    EXPECT_EQ(described.rangeConstraint, 6);
    EXPECT_EQ(described.geometricParam, 0.4);
    EXPECT_EQ(described.dataType, STANDARD);

    // A new simulation decides its data type anew, keeping the other values.
    described.startSimulation();
    describe(1, {{MICROSAT, 1, 0.0, 1e-3, 0, 0.1}, {MICROSAT, 2, 0.0, 1e-3, 2}});
    EXPECT_EQ(described.dataType, MICROSAT);
    EXPECT_EQ(described.rangeConstraint, 2);
    EXPECT_EQ(described.transitionProportion, 0.7);

    const struct {
        std::vector<std::vector<BlockSpec>> chromosomes;
        Mut_Type dataType;
    } simulations[] = {
        {{{{DNA, 1, 0, 0}, {DNA, 4, 0, 0}}, {{DNA, 2, 0, 0}}}, DNA},
        {{{{SNP, 1, 0, 0}}, {{RFLP, 1, 0, 0}}}, STANDARD},
        {{{{RFLP, 1, 0, 0}}, {}, {{RFLP, 1, 0, 0}}}, RFLP},
        {{{{9, 1, 0, 0}}}, STANDARD},
        {{{{9, 1, 0, 0}}, {{9, 1, 0, 0}}}, STANDARD},
    };
    for (const auto& s : simulations) {
        described.startSimulation();
        int c = 0;
        for (const auto& blocks : s.chromosomes) describe(++c, blocks);
        EXPECT_EQ(described.dataType, s.dataType) << s.chromosomes.size();
    }
}

// More blocks than stored block lengths, or a last block of 0 loci: such a
// block has no locus of its own, so it is written without a type and with
// zero rates, and nothing past the stored loci is read.
TEST_F(QuorlanTest, BlocksWithoutLociOfTheirOwnReadNothingBeyondTheStoredLoci) {
    described.startSimulation();
    loadChromosome(0, {{DNA, 2, 0.01, 0.001, 0, 0, 0, 0.5}, {SNP, 0, 0.02, 0.0, 0, 0, 0.3}});
    demes.num_linkage_blocks_perchrom[0] = 3;
    std::ostringstream out;
    writeQuorlanChromosomeDescription(out, demes, 1, described);
    const std::string noLoci =
        "#Num linked loci      : 0\n"
        "#Recombination rate per generation      : 0\n"
        "#Mutation rate per generation      : 0\n";
    EXPECT_EQ(out.str(),
              "\n#Chromosome no 1\n#---------------\n#Num Linkage Blocks: 3\n"
              "\n#Blocks n 1\n#DNA\n#Num linked loci      : 2\n"
              "#Recombination rate per generation      : 0.01\n"
              "#Mutation rate per generation      : 0.001\n"
              "\n#Blocks n 2\n" +
                  noLoci + "\n#Blocks n 3\n" + noLoci);
    EXPECT_EQ(described.dataType, DNA);
    EXPECT_EQ(described.blockMutRate, 0.001);
    EXPECT_EQ(described.snpMinFrequency, 0.0);
}

// Whole chromosomes are written, however long their lines.
TEST_F(QuorlanTest, LongHaplotypeLinesAreWrittenWhole) {
    const int d = newDeme();
    addSample(d, "long", 2);
    const std::string first(25000, 'A');
    const std::string second = std::string(12000, 'G') + " 503 499 ";
    addLocus(d, {first, second});
    addLocus(d, {"1", "0"});
    std::ostringstream out;
    demes.write_loci_to_Quorlan_file(out, STANDARD, 0);
    EXPECT_EQ(out.str(),
              "\t\tSampleName=\"long\"\n\t\tSampleSize=2\n\t\tSampleData= {\n"
              "1_1\t1\t" +
                  first +
                  "\t1\t\n"
                  "1_2\t1\t" +
                  second +
                  "\t0\t\n"
                  "\n}\n");
}

TEST(QuorlanProfileTest, DataTypeAndSeparatorFollowTheDataAndGenotypesAnyNonZeroFlag) {
    const struct {
        Mut_Type dataType;
        int genotypic;
        const char* lines;
    } cases[] = {
        {MICROSAT, 0,
         "\tGenotypicData=0\n\tGameticPhase=1\n\tRecessiveData=0\n"
         "\tDataType=MICROSAT\n\tLocusSeparator=TAB\n"},
        {RFLP, 1,
         "\tGenotypicData=1\n\tGameticPhase=0\n\tRecessiveData=0\n"
         "\tDataType=RFLP\n\tLocusSeparator=NONE\n"},
        {DNA, -2,
         "\tGenotypicData=1\n\tGameticPhase=0\n\tRecessiveData=0\n"
         "\tDataType=DNA\n\tLocusSeparator=NONE\n"},
        {STANDARD, 0,
         "\tGenotypicData=0\n\tGameticPhase=1\n\tRecessiveData=0\n"
         "\tDataType=STANDARD\n\tLocusSeparator=WHITESPACE\n"},
        {SNP, 0,
         "\tGenotypicData=0\n\tGameticPhase=1\n\tRecessiveData=0\n"
         "\tDataType=RFLP\n\tLocusSeparator=NONE\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        write_Quorlan_header(12, c.dataType, out, c.genotypic);
        EXPECT_EQ(out.str(), std::string("\n[Profile]\n\tTitle=\"A series of simulated samples\"\n"
                                         "\tNbSamples=12\n") +
                                 c.lines + "\tMissingData='?'\n\n[Data]\n\t[[Samples]]\n\n")
            << c.dataType << " " << c.genotypic;
    }
}

}  // namespace
