// The data lines of the sampled genes: how each data type prints, that a
// chromosome of any length is printed whole, and which demes get lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "genetree/mutation_tree_builder.h"

namespace {

using mutation_test::MutationTreeBuilder;

MY_TArrayAsVector<int> typesOf(const std::vector<int>& codes) {
    MY_TArrayAsVector<int> types(10, 10);
    for (int code : codes) types.Add(code);
    return types;
}

void giveData(TNode* gene, const std::vector<int>& states) {
    delete gene->data;
    gene->data = new MY_TArrayAsVector<int>(10, 10);
    for (int s : states) gene->data->Add(s);
    gene->siteCount = static_cast<int>(states.size());
}

// The line print_haplotypes_to_locus gives a one-gene deme.
std::string lineOf(const std::vector<int>& codes, const std::vector<int>& states) {
    TNode gene;
    giveData(&gene, states);
    TDeme deme;
    deme.sampleSize = 1;
    deme.sampleNodes.append(&gene);
    const MY_TArrayAsVector<int> types = typesOf(codes);
    deme.print_haplotypes_to_locus(&types);
    EXPECT_EQ(deme.locusData.count(), 1);
    EXPECT_EQ(deme.locusData[0].count, 1);
    return deme.locusData[0].lines[0];
}

struct LineCase {
    const char* name;
    std::vector<int> codes;
    std::vector<int> states;
    std::string line;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class HaplotypeLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(HaplotypeLineTest, EachDataTypePrintsItsOwnWay) {
    EXPECT_EQ(lineOf(GetParam().codes, GetParam().states), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Types, HaplotypeLineTest,
    testing::Values(
        LineCase{"DnaThenMicrosat",
                 {DNA, DNA, DNA, MICROSAT, MICROSAT},
                 {0, 1, 2, 3, -1},
                 "AGC 503 499 "},
        LineCase{"DnaOnlyHasNoBlank", {DNA, DNA, DNA, DNA}, {3, 2, 1, 0}, "TCGA"},
        LineCase{"Snp", {SNP, SNP, SNP}, {0, 2, 1}, "0 2 1 "},
        LineCase{"Rflp", {RFLP, RFLP, RFLP}, {1, 0, 1}, "101"},
        LineCase{"DnaBeforeAndAfterRflp", {DNA, RFLP, RFLP, DNA, SNP}, {1, 0, 1, 2, 1}, "G 01C 1 "},
        LineCase{"MicrosatFarFromZero", {MICROSAT, MICROSAT}, {-600, 12345}, "-100 12845 "}),
    [](const testing::TestParamInfo<LineCase>& param) { return param.param.name; });

// No locus is lost, however long the chromosome: 12000 sites are 12000 letters.
TEST(HaplotypeLinesTest, LongChromosomeIsPrintedInFull) {
    constexpr int kSites = 12000;
    std::vector<int> codes(kSites, DNA);
    std::vector<int> states(kSites);
    std::string expected;
    for (int i = 0; i < kSites; ++i) {
        states[static_cast<size_t>(i)] = (i * 7 + i / 13) % 4;
        expected += "AGCT"[states[static_cast<size_t>(i)]];
    }
    const std::string line = lineOf(codes, states);
    EXPECT_EQ(line.size(), static_cast<size_t>(kSites));
    EXPECT_EQ(line, expected);
}

// Every sampled deme holding genes gets one TLocus per chromosome, with the
// lines of its genes in the order of its sample leaves; the number of loci is
// that of the deme's first gene with data.
TEST(HaplotypeLinesTest, SampledDemesWithGenesGetOneLinePerGene) {
    MutationTreeBuilder b(3, 2);
    giveData(b.tip(0), {0, 1});
    giveData(b.tip(1), {1, 1});
    giveData(b.tip(2), {1, 0});
    TDemeCollection& demes = b.demes;
    demes.demeGrid.assign(6, nullptr);
    auto addDeme = [&](int historyIndex, std::vector<TNode*> genes) {
        TDeme* deme = new TDeme();
        deme->sampleSize = static_cast<int>(genes.size());
        for (TNode* gene : genes) deme->sampleNodes.append(gene);
        demes.demeGrid[static_cast<size_t>(historyIndex)] = deme;
        demes.initialDemeList.push_back(TDemeSlot{historyIndex, 0});
        return deme;
    };
    TDeme* second = addDeme(4, {b.tip(2), b.tip(0)});
    TDeme* empty = addDeme(1, {});
    TDeme* first = addDeme(2, {b.tip(1)});
    TDeme* notSampled = new TDeme();
    notSampled->sampleSize = 1;
    notSampled->sampleNodes.append(b.tip(1));
    demes.demeGrid[5] = notSampled;
    demes.numSampledDemes = 3;

    const MY_TArrayAsVector<int> types = typesOf({RFLP, RFLP});
    demes.write_locus_data_to_array(&types);
    // The next chromosome: memory ran out for the deme's first gene.
    delete b.tip(2)->data;
    b.tip(2)->data = nullptr;
    b.tip(2)->siteCount = 0;
    demes.write_locus_data_to_array(&types);

    ASSERT_EQ(second->locusData.count(), 2);
    EXPECT_EQ(second->locusData[0].count, 2);
    ASSERT_EQ(second->locusData[0].lines.count(), 2);
    EXPECT_EQ(second->locusData[0].lines[0], "10");
    EXPECT_EQ(second->locusData[0].lines[1], "01");
    EXPECT_EQ(second->locusData[1].lines[0], "");
    EXPECT_EQ(second->locusData[1].lines[1], "01");
    ASSERT_EQ(first->locusData.count(), 2);
    EXPECT_EQ(first->locusData[1].lines[0], "11");
    EXPECT_EQ(empty->locusData.count(), 0);
    EXPECT_EQ(notSampled->locusData.count(), 0);
}

}  // namespace
