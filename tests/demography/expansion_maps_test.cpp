// The maps of the expansion (ArrivalMapFile, FinalDensityMapFile), written
// from histories set by hand on the 3 x 3 island of the 7 x 7 block map (land
// in rows and columns 2..4).

#include "demography/expansion_maps.h"

#include <gtest/gtest.h>

#include <string>

#include "demography/demography_world_fixture.h"

namespace {

using demography_test::DemographyWorldTest;

// The block map's grid with the given rows 2..4 (columns 2..4) and NODATA elsewhere.
std::string blockGrid(const std::string& noData, const std::string& row2, const std::string& row3,
                      const std::string& row4) {
    const std::string sea = noData + " " + noData;
    const std::string seaRow = sea + " " + sea + " " + sea + " " + noData + "\n";
    return "ncols 7\nnrows 7\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value " + noData +
           "\n" + seaRow + seaRow + sea + " " + row2 + " " + sea + "\n" + sea + " " + row3 + " " +
           sea + "\n" + sea + " " + row4 + " " + sea + "\n" + seaRow + seaRow;
}

class ExpansionMapsTest : public DemographyWorldTest {
  protected:
    // (2,2) occupied from generation 0, (3,3) from 4, (4,4) from 7 with 9 at
    // the end; the other land cells never.
    void occupy(int layer = 0) {
        for (int t = 0; t <= 10; ++t) store(kSeriesN, 2, 2, t, 3, layer);
        for (int t = 4; t <= 10; ++t) store(kSeriesN, 3, 3, t, t, layer);
        for (int t = 7; t <= 10; ++t) store(kSeriesN, 4, 4, t, 9, layer);
    }
};

TEST_F(ExpansionMapsTest, MapsHoldArrivalAndFinalSizePerLandCell) {
    ASSERT_EQ(build("block_3x3.asc", "EndTime=10\nArrivalMapFile=" + dir.file("arrival.asc") +
                                         "\nFinalDensityMapFile=" + dir.file("density.asc") + "\n"),
              1);
    occupy();
    ASSERT_EQ(writeExpansionMaps(*world), 1);
    EXPECT_EQ(dir.read("arrival.asc"), blockGrid("-9999", "0 -1 -1", "-1 4 -1", "-1 -1 7"));
    EXPECT_EQ(dir.read("density.asc"), blockGrid("-9999", "3 0 0", "0 10 0", "0 0 9"));
    EXPECT_FALSE(dir.exists("partial_arrival.asc"));
    EXPECT_FALSE(dir.exists("partial_density.asc"));
}

TEST_F(ExpansionMapsTest, WithoutTheKeysNothingIsWritten) {
    ASSERT_EQ(build("block_3x3.asc", "EndTime=10\n"), 1);
    occupy();
    const std::string logBefore = log();
    EXPECT_EQ(writeExpansionMaps(*world), 1);
    EXPECT_EQ(log(), logBefore);
}

TEST_F(ExpansionMapsTest, TwoLayersGiveOneFilePerLayer) {
    ASSERT_EQ(build("block_3x3.asc", "EndTime=10\nDoublePopulationMode=1\nVeg2K_P2_File=" +
                                         kList + "\nArrivalMapFile=" + dir.file("arrival.asc") +
                                         "\n"),
              1);
    ASSERT_EQ(world->history->layers(), 2);
    occupy(1);
    ASSERT_EQ(writeExpansionMaps(*world), 1);
    EXPECT_FALSE(dir.exists("arrival.asc"));
    EXPECT_EQ(dir.read("arrival_P1.asc"), blockGrid("-9999", "-1 -1 -1", "-1 -1 -1", "-1 -1 -1"));
    EXPECT_EQ(dir.read("arrival_P2.asc"), blockGrid("-9999", "0 -1 -1", "-1 4 -1", "-1 -1 7"));
}

TEST(ExpansionMapNamesTest, LayerSuffixGoesBeforeTheExtension) {
    EXPECT_EQ(expansionMapFileName("maps/arrival.asc", 0, 1), "maps/arrival.asc");
    EXPECT_EQ(expansionMapFileName("maps/arrival.asc", 0, 2), "maps/arrival_P1.asc");
    EXPECT_EQ(expansionMapFileName("maps/arrival.asc", 1, 2), "maps/arrival_P2.asc");
    EXPECT_EQ(expansionMapFileName("run.d/arrival", 1, 2), "run.d/arrival_P2");
    EXPECT_EQ(expansionMapFileName(".asc", 1, 2), ".asc_P2");
}

// -1 means never reached and 0 an empty cell: a NODATA value that a map value
// can take is replaced.
TEST(ExpansionMapNamesTest, NoDataValueNeverCollidesWithAMapValue) {
    EXPECT_EQ(expansionMapNoData(-9999), -9999);
    EXPECT_EQ(expansionMapNoData(-2), -2);
    EXPECT_EQ(expansionMapNoData(-1), -9999);
    EXPECT_EQ(expansionMapNoData(0), -9999);
    EXPECT_EQ(expansionMapNoData(255), -9999);
}

TEST_F(ExpansionMapsTest, FileThatCannotBeCreatedFailsNamingItsPath) {
    const std::string unwritable = dir.file("no_such_folder/density.asc");
    ASSERT_EQ(build("block_3x3.asc", "EndTime=10\nArrivalMapFile=" + dir.file("arrival.asc") +
                                         "\nFinalDensityMapFile=" + unwritable + "\n"),
              1);
    occupy();
    EXPECT_EQ(writeExpansionMaps(*world), 0);
    const std::string expected =
        "ERROR: cannot create the expansion map file '" + unwritable + "' (FinalDensityMapFile)";
    EXPECT_NE(log().find(expected), std::string::npos) << log();
    EXPECT_NE(capture->console().find(expected), std::string::npos);
    // Neither map is left behind, not even the one that could be written.
    EXPECT_FALSE(dir.exists("arrival.asc"));
    EXPECT_FALSE(dir.exists("partial_arrival.asc"));
}

TEST_F(ExpansionMapsTest, BothMapsInOneFileAreRefused) {
    const std::string same = dir.file("maps.asc");
    ASSERT_EQ(build("block_3x3.asc",
                    "EndTime=10\nArrivalMapFile=" + same + "\nFinalDensityMapFile=" + same + "\n"),
              1);
    EXPECT_EQ(writeExpansionMaps(*world), 0);
    EXPECT_NE(log().find("both name the file '" + same + "'"), std::string::npos) << log();
    EXPECT_FALSE(dir.exists("maps.asc"));
}

}  // namespace
