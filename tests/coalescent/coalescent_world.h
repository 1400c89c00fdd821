#pragma once
// Hand-made worlds for the coalescent tests: a small grid whose land mask,
// layer count and stored history (sizes, arrivals) the test writes directly,
// with the settings a genealogy reads and the main stream seeded.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "demography/cell.h"
#include "demography/state_db.h"
#include "foundations/log.h"
#include "genetree/tree.h"
#include "random/distributions.h"
#include "random/ran3.h"
#include "support/test_support.h"

namespace coalescent_test {

// Collects what is written to the log and the console while it lives.
class OutputCapture {
  public:
    OutputCapture()
        : oldLog_(static_cast<std::ostream&>(AOS).rdbuf(log_.rdbuf())),
          oldConsole_(std::cout.rdbuf(console_.rdbuf())) {
        AOS.clear();
    }
    ~OutputCapture() {
        static_cast<std::ostream&>(AOS).rdbuf(oldLog_);
        std::cout.rdbuf(oldConsole_);
    }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;
    std::string log() const { return log_.str(); }
    std::string console() const { return console_.str(); }
    void clear() {
        log_.str("");
        console_.str("");
    }

  private:
    std::ostringstream log_;
    std::ostringstream console_;
    std::streambuf* oldLog_;
    std::streambuf* oldConsole_;
};

inline int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline void seedMainStream(int64_t seed) {
    reset_ran3_for_tests();
    int64_t idum = -seed;
    ran3(&idum);
}

inline double nextUniform() {
    int64_t idum = 1;
    return ran3(&idum);
}

// The uniform a freshly seeded stream gives after `draws` draws.
inline double uniformAfter(int64_t seed, int draws) {
    seedMainStream(seed);
    for (int i = 0; i < draws; ++i) nextUniform();
    return nextUniform();
}

// A grid of rows x columns (cell size 1, lower-left corner (0, 0)) whose land
// is given row by row as '1' (land) and '.' (no cell), and its history for
// generations 0 .. endTime.
class HandWorld {
  public:
    HandWorld(const std::vector<std::string>& land, int layers, int endTime) {
        NbDemePerCell = layers;
        world = std::make_unique<World>();
        const int rows = static_cast<int>(land.size());
        const int columns = static_cast<int>(land.front().size());
        TGridHeader& header = world->Settings.worldGridHeader;
        header.nrows = rows;
        header.ncols = columns;
        header.cellsize = 1.0;
        header.xllcorner = 0.0;
        header.yllcorner = 0.0;
        header.xurcorner = columns;
        header.yurcorner = rows;
        world->nrows = rows;
        world->ncols = columns;
        world->grid.allocateAll(rows, columns);
        std::vector<char> mask;
        for (const std::string& row : land) {
            for (char c : row) mask.push_back(c == '1' ? 1 : 0);
        }
        world->grid.keepLand(mask);
        world->AssignNeighborCells();
        world->history->buildFor(world->grid.landCells, layers, endTime, false);
        cell::_States = world->history;
        set("EndTime", endTime);
        set("MaxNumGenerations", 100000);
        set("TauValue", 0);
        set("GenerationTime", 25);
        set("PropFile", 0);
        set("AncestralSize", 0);
        set("GenotypicData", 0);
        demes().owner = world.get();
        demes().createDemesFromWorld();
        seedMainStream(4321);  // the World seeds from the clocks
    }
    ~HandWorld() {
        world.reset();
        cell::_States = nullptr;
    }

    void set(const char* key, const std::string& value) {
        world->Settings[key] = my_string(value.c_str());
    }
    void set(const char* key, int value) { set(key, std::to_string(value)); }

    TDemeCollection& demes() { return world->demes; }
    cell* at(int row, int column) { return world->grid.at(row, column); }
    StateDB& db() { return *world->history; }

    void setN(cell* c, int t, int layer, int n) {
        db().store(StateDB::seriesBlock(layer, kSeriesN), t, c->dbIndex, n);
    }
    // The same size at every generation.
    void setNAll(cell* c, int layer, int n) {
        for (int t = 0; t <= db().endTime(); ++t) setN(c, t, layer, n);
    }
    // Arrivals recorded in c at generation t from its north, south, east, west.
    void setArrivals(cell* c, int t, int layer, int north, int south, int east, int west) {
        db().store(StateDB::seriesBlock(layer, kSeriesFromNorth), t, c->dbIndex, north);
        db().store(StateDB::seriesBlock(layer, kSeriesFromSouth), t, c->dbIndex, south);
        db().store(StateDB::seriesBlock(layer, kSeriesFromEast), t, c->dbIndex, east);
        db().store(StateDB::seriesBlock(layer, kSeriesFromWest), t, c->dbIndex, west);
    }
    // A source at position `number` (from 1) seeding c's layer 0.
    PopulationSource& addSource(cell* c, const char* name, int layer = 0) {
        PopulationSource source;
        source.name = name;
        source.layer = layer;
        source.dbIndex = c->dbIndex;
        std::vector<PopulationSource> all;
        for (int i = 0; i < world->io.populations.count(); ++i) {
            all.push_back(world->io.populations.at(i));
        }
        all.push_back(source);
        world->io.populations.replaceSources(all);
        c->layerSource[layer] = world->io.populations.count();
        return world->io.populations.at(world->io.populations.count() - 1);
    }
    // One chromosome of `loci` loci with the same rate between neighbours.
    void setLoci(int loci, double rate) {
        TDemeCollection& d = demes();
        d.Initialize_Recomb_Genetic_Param();
        for (int i = 0; i < loci; ++i) {
            d.locusRecombRate.Add(rate);
            d.locusDataType.Add(DNA);
            d.locusMutRate.Add(0.0);
        }
        float summed = 0.0f;
        for (int i = 0; i + 1 < loci; ++i) summed += rate;
        d.tot_recomb = summed;
        d.numLoci = loci;
        TNode::num_linked_loci = loci;
    }
    // Registers samples (after the loci are set) and creates the tips.
    void sample(cell* c, int size, int layer = 0, const char* name = "s") {
        TDemeCollection& d = demes();
        d.addDeme(c, name, size, layer, static_cast<int>(d.sampleList.size()));
    }
    void finishSamples() {
        TDemeCollection& d = demes();
        d.createInitialDemeList();
        TNode::node_count = 0;
        ASSERT_EQ(d.createLineages(), 1);
    }

    std::unique_ptr<World> world;
};

// Resets the process-wide state a coalescent test touches.
class CoalescentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        capture = std::make_unique<OutputCapture>();
        savedLayers_ = NbDemePerCell;
        TDeme::resetGenealogyStatics();
        TNode::node_count = 0;
        cell::_Current_time = 0;
        reset_distribution_caches();
        seedMainStream(4321);
    }
    void TearDown() override {
        TDeme::resetGenealogyStatics();
        TNode::node_count = 0;
        TNode::num_linked_loci = 0;
        cell::_Current_time = 0;
        NbDemePerCell = savedLayers_;
        capture.reset();
    }

    std::unique_ptr<OutputCapture> capture;

  private:
    int savedLayers_ = 1;
};

// Every node reachable from the tips.
inline std::vector<TNode*> allNodes(const TTree& tree) {
    std::vector<TNode*> nodes;
    for (int64_t i = 0; i < tree.numNodes(); ++i) nodes.push_back(tree.nodeAt(i));
    return nodes;
}

// Checks what every finished genealogy must satisfy: parents are never younger
// than their children, each locus has one root that every tip reaches on its
// marginal tree, and the tips below each root add up to the sample size.
inline void expectSoundGenealogy(TTree& tree, int numLoci) {
    const int n = tree.sampleSize;
    for (TNode* node : allNodes(tree)) {
        for (TNode* parent : {node->ancestor, node->firstParent, node->secondParent}) {
            if (parent != nullptr) {
                EXPECT_GE(parent->time, node->time);
            }
        }
    }
    for (int locus = 0; locus < numLoci; ++locus) {
        TNode* root = tree.rootOf(locus);
        ASSERT_NE(root, nullptr) << "locus " << locus;
        for (int i = 0; i < n; ++i) {
            // Up the marginal tree: the parent that carries the locus.
            TNode* node = tree.nodeAt(i);
            int steps = 0;
            while (node != root && steps++ < 1000000) {
                TNode* up = node->firstParent;
                if (node->secondParent != nullptr && node->secondParent->carries(locus)) {
                    up = node->secondParent;
                }
                ASSERT_NE(up, nullptr)
                    << "tip " << i << " does not reach the root of locus " << locus;
                node = up;
            }
            EXPECT_EQ(node, root);
        }
        EXPECT_EQ(root->count_desc(locus), n) << "locus " << locus;
    }
}

}  // namespace coalescent_test
