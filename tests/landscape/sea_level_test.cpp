// The sea level of the moment: which land is above the sea, and the coasts it
// makes. sea_level.txt holds (-1000, 4), (-500, 5), (-100, -50); the cell
// (1,2) of the climate world stands at altitude 4, every other one at 10.

#include <gtest/gtest.h>

#include "landscape/climate_world.h"

namespace {

using climate_test::ClimateWorldTest;

TEST_F(ClimateWorldTest, CellBelowTheSeaLevelIsWaterAndItsNeighboursCoast) {
    ASSERT_EQ(build(), 1) << capture->console();
    EXPECT_FALSE(at(2, 2).isCoast);  // all eight neighbours are land after the build
    const struct {
        int date;
        bool lowCellAbove;  // (1,2)
        bool centreIsCoast;  // (2,2)
    } cases[] = {
        {-800, true, false},   // level 4: equal to its altitude, still above
        {-500, false, true},   // level 5: one unit below
        {-300, false, true},
        {-100, true, false},   // the sea falls back to -50
        {-2000, true, false},  // before the first date: the last level
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        cell::_Current_RealBP_time = c.date;
        EXPECT_EQ(world->ComputeSeaLevelChanges(), 1);
        EXPECT_EQ(at(1, 2).aboveSea, c.lowCellAbove);
        EXPECT_EQ(at(2, 2).isCoast, c.centreIsCoast);
        if (!c.lowCellAbove) {
            EXPECT_FALSE(at(1, 2).isCoast);  // water is never coast
        }
        EXPECT_TRUE(at(1, 1).aboveSea);
        EXPECT_TRUE(at(1, 1).isCoast);
    }
}

}  // namespace
