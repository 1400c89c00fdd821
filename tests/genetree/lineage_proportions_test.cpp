#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "foundations/exception.h"
#include "genetree/founder_sources.h"
#include "genetree/gene_tree_builder.h"
#include "genetree/tree.h"
#include "landscape/population_source.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace {

using genetree_test::GeneTreeBuilder;
using genetree_test::WorldShape;
using test_support::CapturedOutput;

constexpr int kEndTime = 50;

struct Step {
    int cell;
    int generation;
    int layer;
};

// Appends steps to a node's migration record (two-layer world).
void record(TNode* node, const std::vector<Step>& steps) {
    for (const Step& s : steps)
        ASSERT_EQ(node->Store_Node_Migration(s.cell, s.generation, s.layer), 1);
}

PopulationSource source(const char* name, int layer, int expansionTime, int dbIndex,
                        int recordNumber) {
    PopulationSource s;
    s.name = name;
    s.layer = layer;
    s.expansionTime = expansionTime;
    s.dbIndex = dbIndex;
    s.recordNumber = recordNumber;
    return s;
}

PopulationVector sourcesOf(std::vector<PopulationSource> list) {
    PopulationVector sources;
    sources.replaceSources(std::move(list));
    return sources;
}

// P1 in layer 0 from the start; P2 founded at generation 20 in cell 7 from
// individuals of layer 0.
PopulationVector twoLayerSources() {
    return sourcesOf({source("P1", 0, 0, 3, 1), source("P2", 1, 20, 7, 2)});
}

// ---------------------------------------------------------------------------
// Founder sources

struct FounderCase {
    const char* what;
    std::vector<PopulationSource> sources;
    int generation;
    std::vector<std::pair<int, int>> origins;  // (history index, layer)
};

TEST(FounderSourcesTest, FoundersAreTheSourcesStartingWithTheLastLaterSourceOfTheFile) {
    const FounderCase cases[] = {
        {"no source after generation 0",
         {source("P1", 0, 0, 3, 1), source("P2", 1, 0, 7, 2)},
         FounderSources::kNoLaterSource,
         {}},
        {"one later source: the other layer of its cell",
         {source("P1", 0, 0, 3, 1), source("P2", 1, 20, 7, 2)},
         20,
         {{7, 0}}},
        // The list is sorted by expansion time; the file order still decides.
        {"the last of the file, not the latest to start",
         {source("P1", 0, 0, 3, 1), source("C", 1, 20, 9, 3), source("B", 1, 30, 8, 2)},
         20,
         {{9, 0}}},
        {"every source of that generation, one origin per cell",
         {source("P1", 0, 0, 3, 1), source("X", 1, 25, 5, 2), source("Y", 1, 25, 6, 3),
          source("Z", 1, 25, 5, 4)},
         25,
         {{5, 0}, {6, 0}}},
    };
    for (const FounderCase& c : cases) {
        const PopulationVector sources = sourcesOf(c.sources);
        const FounderSources founders = findFounderSources(sources);
        EXPECT_EQ(founders.generation, c.generation) << c.what;
        std::vector<std::pair<int, int>> origins;
        for (const FounderSources::Origin& o : founders.origins) {
            origins.emplace_back(o.historyIndex, o.layer);
        }
        EXPECT_EQ(origins, c.origins) << c.what;
    }
}

// A tip, its ancestor and the root, each with its own record.
struct DescentCase {
    const char* what;
    std::vector<Step> tip;
    std::vector<Step> ancestor;
    std::vector<Step> root;
    bool descends;
};

TEST(FounderSourcesTest, ATipDescendsWhenItsLineageCrossedIntoAFounderOneGenerationEarlier) {
    WorldShape shape(2, 1);
    // Founders at generation 20: cell 7 and cell 9, both taken from layer 0.
    const FounderSources founders = findFounderSources(sourcesOf(
        {source("P1", 0, 0, 3, 1), source("P2", 1, 20, 7, 2), source("P3", 1, 20, 9, 3)}));
    const DescentCase cases[] = {
        {"crossing on the tip's record", {{2, 50, 1}, {7, 30, 1}, {7, 19, 0}}, {}, {}, true},
        {"crossing on the ancestor's record",
         {{2, 50, 1}, {7, 30, 1}},
         {{7, 25, 1}, {7, 19, 0}},
         {},
         true},
        {"through the second founder", {{2, 50, 1}, {9, 30, 1}, {9, 19, 0}}, {}, {}, true},
        {"moved into the founder cell from another cell",
         {{2, 50, 1}, {8, 30, 0}, {7, 19, 0}},
         {},
         {},
         false},
        {"first step of a record (a coalescence there)",
         {{2, 50, 1}, {7, 30, 1}},
         {{7, 19, 0}},
         {},
         false},
        {"in the founder's own layer", {{2, 50, 1}, {7, 30, 1}, {7, 19, 1}}, {}, {}, false},
        {"at the founding generation itself", {{2, 50, 1}, {7, 30, 1}, {7, 20, 0}}, {}, {}, false},
        {"an older step ends the search",
         {{2, 50, 1}, {3, 12, 0}},
         {{7, 30, 1}, {7, 19, 0}},
         {},
         false},
        {"the root's record is not read",
         {{2, 50, 1}},
         {{2, 40, 1}},
         {{7, 30, 1}, {7, 19, 0}},
         false},
    };
    for (const DescentCase& c : cases) {
        TNode tip;
        TNode ancestor;
        TNode root;
        for (TNode* node : {&tip, &ancestor, &root}) node->create_LocationAndTime_Vectors();
        tip.ancestor = &ancestor;
        ancestor.ancestor = &root;
        record(&tip, c.tip);
        record(&ancestor, c.ancestor);
        record(&root, c.root);
        EXPECT_EQ(descendsFromFounders(tip, founders), c.descends) << c.what;
    }

    TNode crossing;
    TNode parent;
    crossing.create_LocationAndTime_Vectors();
    crossing.ancestor = &parent;
    record(&crossing, {{2, 50, 1}, {7, 30, 1}, {7, 19, 0}});
    const FounderSources none =
        findFounderSources(sourcesOf({source("P1", 0, 0, 3, 1), source("P2", 1, 0, 7, 2)}));
    EXPECT_FALSE(descendsFromFounders(crossing, none)) << "no source after generation 0";
}

// ---------------------------------------------------------------------------
// A two-layer genealogy of six genes in three sampled demes, plus a sampled
// deme whose only sample has no gene:
//
//   tips 1 2 3: deme A (cell 2, layer 1);  tips 4 5: deme B (cell 4, layer 1);
//   tip 6: deme D (cell 6, layer 0);       deme E (cell 8, layer 0): no gene.
//
//   7 = (4, 5) in layer 1 at generation 40     8 = (1, 3)
//   9 = (8, 2)    10 = (9, 7)    11 = (10, 6), the root
//
// With the founders of P2 at generation 20 in cell 7, tips 1 and 3 crossed
// from layer 1 into layer 0 there at generation 19; the others did not.
class HandGenealogy : public testing::Test {
  protected:
    HandGenealogy() : genes(6, 1, 2) {
        const std::vector<std::pair<int, int>> samples = {{2, 1}, {2, 1}, {2, 1},
                                                          {4, 1}, {4, 1}, {6, 0}};
        for (int i = 0; i < 6; ++i) {
            genes.tip(i)->sampleCell = samples[static_cast<size_t>(i)].first;
            genes.tip(i)->sampleLayer = samples[static_cast<size_t>(i)].second;
        }
        // As the tree builders start a genealogy: one reset per layer.
        genes.tree.ResetMigrations(kEndTime, 0);
        genes.tree.ResetMigrations(kEndTime, 1);
        record(genes.tip(0), {{7, 30, 1}, {7, 19, 0}});
        record(genes.tip(1), {{8, 19, 0}, {7, 13, 0}});
        record(genes.tip(2), {{7, 35, 1}, {7, 19, 0}});
        record(genes.tip(5), {{7, 30, 0}});

        TNode* n7 = coalesceAt(genes.tip(3), genes.tip(4), {4, 40, 1});
        record(n7, {{4, 25, 0}, {7, 11, 0}});
        TNode* n8 = coalesceAt(genes.tip(0), genes.tip(2), {7, 15, 0});
        TNode* n9 = coalesceAt(n8, genes.tip(1), {7, 12, 0});
        TNode* n10 = coalesceAt(n9, n7, {7, 10, 0});
        root = coalesceAt(n10, genes.tip(5), {7, 5, 0});

        demes.numIndepLoci = 3;
        addSampledDeme(2, 1, "popA");
        addSampledDeme(8, 0, "popE");
        addSampledDeme(4, 1, "popB");
        addSampledDeme(6, 0, "popD");
        TDeme::_Demes = &demes;
    }
    ~HandGenealogy() override { TDeme::_Demes = nullptr; }

    TNode* coalesceAt(TNode* left, TNode* right, Step where) {
        TNode* node = genes.coalesce(left, right, kEndTime - where.generation);
        record(node, {where});
        return node;
    }

    // A default collection keeps one layer slot per cell: the deme of (cell,
    // layer) sits at demeGrid[cell + layer].
    void addSampledDeme(int cell, int layer, const char* name) {
        const size_t slot = static_cast<size_t>(cell + layer);
        if (demes.demeGrid.size() <= slot) demes.demeGrid.resize(slot + 1, nullptr);
        TDeme* deme = new TDeme;
        deme->sampleNames.push_back(name);
        deme->sampleNames.push_back(name);
        demes.demeGrid[slot] = deme;
        demes.initialDemeList.push_back(TDemeSlot{cell, layer});
        demes.numSampledDemes = static_cast<int32_t>(demes.initialDemeList.size());
    }

    // The five tables' values at (sim, chrom).
    std::vector<float> column(int sim, int chrom) const {
        std::vector<float> values;
        for (const std::vector<float>& table : demes.propLineagesTables) {
            values.push_back(table[static_cast<size_t>(sim * demes.numIndepLoci + chrom)]);
        }
        return values;
    }

    GeneTreeBuilder genes;
    TNode* root = nullptr;
    TDemeCollection demes;
};

struct MrcaCase {
    int cell;
    int layer;
    int node;
};

TEST_F(HandGenealogy, FindSampleMrcaIsTheLowestNodeOnEveryWayUpOfTheGroup) {
    const MrcaCase cases[] = {
        {2, 1, 9},   // tips 1 2 3: 1's way is 8 9 10 11, 2 joins at 9
        {4, 1, 7},   // tips 4 5: their cherry
        {6, 0, 11},  // a lone tip: its ancestor, here the root
        {8, 0, -1},  // no gene sampled there
        {2, 0, -1},  // the cell of deme A, the other layer
    };
    for (const MrcaCase& c : cases) {
        EXPECT_EQ(genes.tree.FindSampleMRCA(c.cell, c.layer), c.node)
            << "cell " << c.cell << ", layer " << c.layer;
    }
}

TEST(FindSampleMrcaTest, ALoneGeneIsItsOwnAncestor) {
    GeneTreeBuilder gene(1, 1, 2);
    gene.tree.roots[0] = gene.tip(0);  // as the tree builders leave a single gene
    EXPECT_EQ(gene.tree.FindSampleMRCA(10, 0), 1);
}

TEST_F(HandGenealogy, ProportionsOverAllSamplesAndPerSampledDeme) {
    demes.creatPropLineagesMatrix(2, demes.numSampledDemes);
    const PopulationVector sources = twoLayerSources();
    ASSERT_EQ(genes.tree.LineagesProportionInSamples(sources, 1, 2), 1);

    // Total: tips 1 and 3 of 6. A: 2 of 3 below node 9 (layer 0). E: no gene,
    // left unset. B: node 7 formed in layer 1, so the whole deme descends from
    // P2 although neither tip crossed. D: tip 6 did not cross, root in layer 0.
    const std::vector<float> expected = {2.0f / 6.0f, 2.0f / 3.0f, 999999.0f, 1.0f, 0.0f};
    EXPECT_EQ(column(1, 2), expected);
    // Nothing else is touched.
    EXPECT_EQ(column(0, 2), std::vector<float>(5, 999999.0f));
    EXPECT_EQ(column(1, 1), std::vector<float>(5, 999999.0f));

    // Called once per source by the genetic run: the same result each time.
    ASSERT_EQ(genes.tree.LineagesProportionInSamples(sources, 1, 2), 1);
    EXPECT_EQ(column(1, 2), expected);

    // A root formed in layer 1: everything sampled descends from P2.
    (*root->layerList)[0] = 1;
    genes.tree.LineagesProportionInSamples(sources, 0, 0);
    EXPECT_EQ(column(0, 0), (std::vector<float>{1.0f, 2.0f / 3.0f, 999999.0f, 1.0f, 1.0f}));

    // Without a source after generation 0 no tip descends from founders.
    genes.tree.LineagesProportionInSamples(
        sourcesOf({source("P1", 0, 0, 3, 1), source("P2", 1, 0, 7, 2)}), 0, 1);
    EXPECT_EQ(column(0, 1), (std::vector<float>{1.0f, 0.0f, 999999.0f, 1.0f, 1.0f}));
}

TEST(LineagesProportionTest, ALoneGeneCountsByTheLayerItWasSampledIn) {
    for (int layer : {0, 1}) {
        GeneTreeBuilder gene(1, 1, 2);
        gene.tip(0)->sampleCell = 4;
        gene.tip(0)->sampleLayer = layer;
        gene.tree.ResetMigrations(kEndTime, 0);
        gene.tree.ResetMigrations(kEndTime, 1);  // its first step names layer 1
        gene.tree.roots[0] = gene.tip(0);
        TDemeCollection demes;
        demes.numIndepLoci = 1;
        demes.initialDemeList.push_back(TDemeSlot{4, layer});
        demes.numSampledDemes = 1;
        demes.creatPropLineagesMatrix(1, 1);
        TDeme::_Demes = &demes;
        gene.tree.LineagesProportionInSamples(twoLayerSources(), 0, 0);
        TDeme::_Demes = nullptr;
        const float expected = layer == 1 ? 1.0f : 0.0f;
        EXPECT_EQ(demes.propLineagesTables[0][0], expected) << "sampled in layer " << layer;
        EXPECT_EQ(demes.propLineagesTables[1][0], expected) << "sampled in layer " << layer;
    }
}

TEST_F(HandGenealogy, AProportionOutsideTheTableIsAnInternalError) {
    const PopulationVector sources = twoLayerSources();
    EXPECT_THROW(genes.tree.LineagesProportionInSamples(sources, 0, 0), TException)
        << "no table made";
    demes.creatPropLineagesMatrix(2, demes.numSampledDemes);
    EXPECT_THROW(genes.tree.LineagesProportionInSamples(sources, 2, 0), TException);
    EXPECT_THROW(genes.tree.LineagesProportionInSamples(sources, 0, 3), TException);
    demes.creatPropLineagesMatrix(2, 2);  // fewer tables than sampled demes
    EXPECT_THROW(genes.tree.LineagesProportionInSamples(sources, 0, 0), TException);
    EXPECT_THROW(demes.writePropLineagesMatrix(0, "unused"), TException);
}

// ---------------------------------------------------------------------------
// The table and the .prop file

TEST(PropLineagesTableTest, EveryTableStartsUnsetAndANewOneReplacesTheOld) {
    TDemeCollection demes;
    demes.numIndepLoci = 3;
    demes.creatPropLineagesMatrix(2, 4);
    ASSERT_EQ(demes.propLineagesTables.size(), 5u);
    for (const std::vector<float>& table : demes.propLineagesTables) {
        EXPECT_EQ(table, std::vector<float>(6, 999999.0f));
    }
    demes.propLineagesTables[0][0] = 0.5f;
    demes.numIndepLoci = 1;
    demes.creatPropLineagesMatrix(3, 0);
    ASSERT_EQ(demes.propLineagesTables.size(), 1u);
    EXPECT_EQ(demes.propLineagesTables[0], std::vector<float>(3, 999999.0f));
}

TEST(PropLineagesTableTest, ATableLargerThanMemoryIsLoggedAndRaised) {
    TDemeCollection demes;
    demes.numIndepLoci = 2;
    demes.creatPropLineagesMatrix(1, 0);  // the table that is discarded
    demes.numIndepLoci = INT_MAX;
    CapturedOutput output;
    try {
        demes.creatPropLineagesMatrix(INT_MAX, INT_MAX);
        FAIL() << "accepted";
    } catch (const TOutOfMemory& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "TDemeCollection::creatPropLineagesMatrix() : Memory allocation problem: "
                  "2147483648 tables of 2147483647 simulations x 2147483647 chromosomes (more "
                  "than 16 EiB).");
    }
    EXPECT_EQ(output.log(),
              "TDemeCollection::creatPropLineagesMatrix() : Memory allocation problem. Exiting "
              "program\n");
    EXPECT_TRUE(demes.propLineagesTables.empty());
}

TEST_F(HandGenealogy, PropFileOfOneSimulationLineByLine) {
    // Chromosome 2 recombines; chromosome 3 has two linkage blocks and no
    // recombination: neither has a proportion, stored or not.
    demes.tot_recomb_perchrom = {0.0f, 0.01f, 0.0f};
    demes.num_linkage_blocks_perchrom = {1, 1, 2};
    demes.creatPropLineagesMatrix(2, demes.numSampledDemes);
    const PopulationVector sources = twoLayerSources();
    genes.tree.LineagesProportionInSamples(sources, 0, 0);
    genes.tree.LineagesProportionInSamples(sources, 0, 2);
    (*root->layerList)[0] = 1;
    genes.tree.LineagesProportionInSamples(sources, 1, 0);

    test_support::ScratchDir dir;
    const std::string stem = dir.file("run1_pop");
    ASSERT_EQ(demes.writePropLineagesMatrix(0, stem.c_str()), 1);
    ASSERT_EQ(demes.writePropLineagesMatrix(1, stem.c_str()), 1);
    for (const char* name : {"run1_pop_Proportion_1.prop", "run1_pop_Proportion_2.prop"}) {
        const std::vector<std::string> expected = test_support::splitLines(
            test_support::readFile(std::string(VASTRID2_FIXTURES "/genetree/prop/") + name));
        const std::vector<std::string> written = test_support::splitLines(dir.read(name));
        ASSERT_EQ(written.size(), expected.size()) << name;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(written[i], expected[i]) << name << ", line " << i + 1;
        }
        EXPECT_EQ(dir.read(name),
                  test_support::readFile(std::string(VASTRID2_FIXTURES "/genetree/prop/") + name))
            << name << ": line ends";
    }
}

TEST_F(HandGenealogy, APropFileThatCannotBeWrittenIsReported) {
    demes.creatPropLineagesMatrix(1, demes.numSampledDemes);
    test_support::ScratchDir dir;
    const std::string stem = dir.file("missing/run1_pop");
    CapturedOutput output;
    EXPECT_EQ(demes.writePropLineagesMatrix(0, stem.c_str()), 0);
    const std::string line =
        "ERROR: {TDemeCollection::writePropLineagesMatrix()} [cannot write "
        "the lineage-proportion file '" +
        stem + "_Proportion_1.prop']\n";
    EXPECT_EQ(output.log(), line);
    EXPECT_EQ(output.console(), line);
}

}  // namespace
