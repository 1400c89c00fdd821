#pragma once
// A 5 x 5 world built in the glacial-vegetation mode, for the climate and
// sea-level tests (maps and tables in tests/fixtures/landscape/climate/).
//
// Land is the 3 x 3 block of rows and columns 1..3. Present / glacial classes:
//   (1,1) 1/3  (1,2) 1/3  (1,3) 3/1
//   (2,1) 1/3  (2,2) 2/3  (2,3) 1/3
//   (3,1) 1/3  (3,2) 1/3  (3,3) none/2 (land only in the glacial map)
// K: class 1 101, 2 300, 3 1000. F: 1 0.2, 2 0.4, 3 0.8. Altitude 10, but 4
// at (1,2). Roughness 0.2, but -0.6 at (2,2). climate_example.txt holds
// (-100000, 5), (-50000, 5), (-20000, 8), (0, 0): the ratio to the value at
// 66600 BP is 1 before -20000, 1.6 from -20000 to -1, 0 at 0.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/settings.h"
#include "app/world.h"
#include "demography/cell.h"
#include "landscape/grid_header.h"
#include "support/captured_output.h"
#include "support/test_support.h"

namespace climate_test {

const std::string kClimateFixtures = std::string(VASTRID2_FIXTURES) + "/landscape/climate/";

class ClimateWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NO_LAND = -9999;
        NbDemePerCell = 1;
        capture = std::make_unique<test_support::CapturedOutput>();
    }
    void TearDown() override {
        world.reset();
        capture.reset();
        NO_LAND = -9999;
        NbDemePerCell = 1;
        cell::_Current_RealBP_time = 0;
        cell::_Settings = nullptr;
        cell::_States = nullptr;
    }

    // A one-entry change list naming a table.
    std::string list(const std::string& name, const std::string& table) {
        return dir.write(name, "1\n0 " + table + "\n");
    }

    // Builds the world from the default settings below with the given climate
    // and sea-level files, then the extra lines (a later line for a key wins).
    int build(const std::string& extraLines = "",
              const std::string& climate = kClimateFixtures + "climate_example.txt",
              const std::string& sea = kClimateFixtures + "sea_level.txt") {
        const std::string settings =
            "DoublePopulationMode=0\nGenerationTime=25\nEndTime=10\n"
            "PresVegetationFile=" + kClimateFixtures + "present_5x5.asc\n"
            "LGMVegetationFile=" + kClimateFixtures + "lgm_5x5.asc\n"
            "AltitudeTopoFile=" + kClimateFixtures + "altitude_5x5.asc\n"
            "Veg2KFile=" + list("k_list.txt", kClimateFixtures + "veg2k.txt") + "\n" +
            (withFriction ? "Veg2FFile=" + list("f_list.txt", kClimateFixtures + "veg2f.txt") +
                                "\nFrictionChoice=0\n"
                          : std::string()) +
            "VostokFile=" + climate + "\nSeaLevelFile=" + sea + "\n" + extraLines;
        const std::string path = dir.write("settings.txt", settings);
        world = std::make_unique<World>();
        world->Settings.fileName = path.c_str();
        world->Settings.readParameters(path.c_str(), 0, nullptr, 0);
        return world->BuildWorld();
    }

    // K and F of every layer from the climate at the given date.
    void applyClimateAt(int date) {
        cell::_Current_RealBP_time = date;
        for (int layer = 0; layer < NbDemePerCell; ++layer) {
            world->GenerateVostokIntermediateData(layer);
            world->UpdateGlobalKWithVostokIntermediate(layer);
            world->UpdateGlobalFWithVostokIntermediate(layer);
        }
    }

    cell& at(int row, int column) const { return *world->grid.at(row, column); }
    int k(int row, int column, int layer = 0) const { return at(row, column).states[layer].K; }
    float f(int row, int column, int layer = 0) const { return at(row, column).states[layer].F; }

    bool withFriction = true;  // Veg2FFile and FrictionChoice=0 in the settings
    test_support::ScratchDir dir;
    std::unique_ptr<test_support::CapturedOutput> capture;
    std::unique_ptr<World> world;
};

}  // namespace climate_test
