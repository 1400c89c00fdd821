// The end-of-run values, computed from histories written by hand on the 3 x 3
// island (9 land cells; every cell but the centre (3,3) lacks an orthogonal
// neighbour, so it is an edge cell).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demography/demography_world_fixture.h"
#include "landscape/population_source.h"

namespace {

using demography_test::DemographyWorldTest;

class ColonisationStatsTest : public DemographyWorldTest {
  protected:
    void buildIsland(int layers, int endTime = 10) {
        std::string extra = "EndTime=" + std::to_string(endTime) + "\n";
        if (layers == 2) extra += "DoublePopulationMode=1\nVeg2K_P2_File=" + kList + "\n";
        ASSERT_EQ(build("block_3x3.asc", extra), 1);
        ASSERT_EQ(history().layers(), layers);
    }
    // The cell is occupied from generation `from` to EndTime.
    void occupyFrom(int row, int column, int from, int layer = 0) {
        for (int t = from; t <= history().endTime(); ++t) store(kSeriesN, row, column, t, 5, layer);
    }
    void secondSourceLaunchedAt(int dbIndex) {
        std::vector<PopulationSource> sources(2);
        sources[1].dbIndex = dbIndex;
        world->io.populations.replaceSources(sources);
    }
};

TEST_F(ColonisationStatsTest, DatesOfColonisationOverTheLandCells) {
    buildIsland(2);
    // An empty layer: nothing occupied, no edge reached.
    EXPECT_EQ(world->FindDateOfEntireColonization(1), 0);
    EXPECT_EQ(world->FindDateOfFirstEdgeColonization(1), 32766);

    occupyFrom(2, 2, 0);  // the source, on an edge cell: does not count as reached
    EXPECT_EQ(world->FindDateOfFirstEdgeColonization(0), 32766);
    occupyFrom(3, 3, 2);  // the centre is not an edge cell
    occupyFrom(4, 4, 7);
    occupyFrom(2, 3, 5);
    EXPECT_EQ(world->FindDateOfEntireColonization(0), 7);  // cells never occupied do not count
    EXPECT_EQ(world->FindDateOfFirstEdgeColonization(0), 5);
    occupyFrom(4, 2, 10);
    EXPECT_EQ(world->FindDateOfEntireColonization(0), 10);
    EXPECT_EQ(world->FindDateOfFirstEdgeColonization(0), 5);
    EXPECT_EQ(world->FindDateOfEntireColonization(1), 0);
}

TEST_F(ColonisationStatsTest, MeanMigrantsAtTheEndCountsTheLastGenerationOnly) {
    buildIsland(1);
    store(kSeriesFromNorth, 3, 3, 10, 4);
    store(kSeriesFromSouth, 3, 3, 10, 3);
    store(kSeriesFromEast, 2, 2, 10, 2);
    store(kSeriesFromWest, 4, 4, 10, 1);
    store(kSeriesFromWest, 4, 4, 9, 100);  // not the last generation
    EXPECT_FLOAT_EQ(world->FindMeanNumOfMigrantsAtEnd(0), 10.0f / 9.0f);
}

TEST_F(ColonisationStatsTest, InterdemeMeanExceptsTheCellOfTheSecondSource) {
    buildIsland(2);
    at(3, 3).history->set_migrBetweenDemes(0, 1, 6, 0);
    at(3, 3).history->set_migrBetweenDemes(0, 1, 3, 9);
    at(3, 3).history->set_migrBetweenDemes(0, 1, 50, 10);  // generation EndTime: not counted
    at(3, 3).history->set_migrBetweenDemes(1, 0, 70, 4);   // the other direction: not counted
    at(2, 2).history->set_migrBetweenDemes(0, 1, 9, 4);

    struct Case {
        const char* name;
        int sources;  // 0, 1 or 2; with 2 the second was launched into exceptedCell
        int exceptedCell;
        float expected;
    };
    const int centre = at(3, 3).dbIndex;
    const int corner = at(2, 2).dbIndex;
    for (const Case& c :
         {Case{"no source", 0, -1, 18.0f / 9.0f}, Case{"one source", 1, -1, 18.0f / 9.0f},
          Case{"second never launched", 2, -1, 18.0f / 9.0f},
          Case{"second in the centre", 2, centre, 9.0f / 9.0f},
          Case{"second in the corner", 2, corner, 9.0f / 9.0f}}) {
        SCOPED_TRACE(c.name);
        if (c.sources == 2) {
            secondSourceLaunchedAt(c.exceptedCell);
        } else {
            std::vector<PopulationSource> sources(static_cast<size_t>(c.sources));
            for (PopulationSource& s : sources) s.dbIndex = centre;  // never the excepted one
            world->io.populations.replaceSources(sources);
        }
        EXPECT_FLOAT_EQ(world->FindMeanNumOfMigrantsInterdeme(), c.expected);
    }
}

TEST_F(ColonisationStatsTest, CohabitationCountsGenerationsBeforeTheEndWithBothLayers) {
    buildIsland(2);
    occupyFrom(3, 3, 2, 0);
    occupyFrom(3, 3, 6, 1);  // together at 6..9 (10 is EndTime, not counted)
    occupyFrom(2, 2, 9, 0);
    occupyFrom(2, 2, 0, 1);  // together at 9
    occupyFrom(4, 4, 0, 1);  // layer 1 alone
    EXPECT_FLOAT_EQ(world->FindMeanCohabitationTime(), 5.0f / 9.0f);
}

}  // namespace
