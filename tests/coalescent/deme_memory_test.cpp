// The deme tables and the MRCA locations are sized in 64 bits first: what
// cannot be counted or addressed is refused as exhausted memory, with the
// size, before anything is allocated.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

std::string refusalOf(const std::function<void()>& allocate) {
    try {
        allocate();
    } catch (const TOutOfMemory& e) {
        return e.message().c_str();
    }
    return "accepted";
}

struct GridCase {
    int rows;
    int columns;
    int layers;
    bool only32Bit;
    const char* message;
};

TEST(DemeMemoryTest, DemeTablesBeyondWhatCanBeHeldAreRefusedWithTheSize) {
    const GridCase cases[] = {
        {50000, 50000, 1, false,
         "TDemeCollection::createDemesFromWorld(): not enough memory for the 2500000000 demes "
         "of 2500000000 cells x 1 layers ("},
        // 20 bytes a deme in a 32-bit build.
        {30000, 30000, 2, true,
         "TDemeCollection::createDemesFromWorld(): not enough memory for the 1800000000 demes "
         "of 900000000 cells x 2 layers (33.53 GiB)"},
        {30000, 30000, 1, true,
         "TDemeCollection::createDemesFromWorld(): not enough memory for the 900000000 demes of "
         "900000000 cells x 1 layers (16.76 GiB)"},
    };
    const int savedLayers = NbDemePerCell;
    for (const GridCase& c : cases) {
        if (c.only32Bit && sizeof(void*) >= 8) continue;
        CapturedOutput output;
        World world;
        world.grid.nrows = c.rows;
        world.grid.ncols = c.columns;
        NbDemePerCell = c.layers;
        TDemeCollection demes(&world);
        const std::string message = refusalOf([&] { demes.createDemesFromWorld(); });
        world.grid.nrows = 0;
        world.grid.ncols = 0;
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        EXPECT_NE(output.log().find("TDemeCollection::createDemesFromWorld(): not enough memory\n"),
                  std::string::npos);
        EXPECT_EQ(demes.demeCapacity, 0);
        EXPECT_TRUE(demes.demeGrid.empty());
    }
    NbDemePerCell = savedLayers;
}

TEST(DemeMemoryTest, MoreMrcaLocationsThanCanBeCountedAreRefusedWithTheSize) {
    CapturedOutput output;
    World world;
    TDemeCollection demes(&world);
    demes.createMRCALocations(int64_t{3});
    EXPECT_EQ(demes.MRCALocations.size(), 3u);
    // 100000 chromosomes x 30000 simulations: the product of two ints overflows.
    EXPECT_EQ(refusalOf([&] { demes.createMRCALocations(int64_t{100000} * 30000); }),
              "TDemeCollection::createMRCALocations() : Memory allocation problem: 3000000000 "
              "chromosome locations (11.18 GiB).");
    EXPECT_NE(output.log().find("TDemeCollection::createMRCALocations() : Memory allocation "
                                "problem. Exiting program\n"),
              std::string::npos);
    EXPECT_TRUE(demes.MRCALocations.empty());
}

// Sample sizes are ints: what they add up to is counted in 64 bits and a
// genealogy beyond an int's count of genes is refused, not wrapped around.
TEST(DemeMemoryTest, SamplesAddingUpBeyondAnIntAreRefused) {
    CapturedOutput output;
    const int savedLayers = NbDemePerCell;
    NbDemePerCell = 1;
    World world;
    world.grid.nrows = 1;
    world.grid.ncols = 2;
    cell first;
    cell second;
    first.dbIndex = 0;
    second.dbIndex = 1;
    second.column = 1;
    {
        TDemeCollection demes(&world);
        demes.createDemesFromWorld();
        demes.addDeme(&second, "a", INT32_MAX, 0, 0);
        EXPECT_EQ(refusalOf([&] { demes.addDeme(&second, "b", 1, 0, 1); }),
                  "The samples of the cell at row 0, column 1, layer 0 add up to 2147483648 "
                  "genes; a genealogy cannot hold more than 2147483647.");
    }
    {
        TDemeCollection demes(&world);
        demes.createDemesFromWorld();
        demes.addDeme(&first, "a", INT32_MAX, 0, 0);
        demes.addDeme(&second, "b", INT32_MAX, 0, 1);
        const std::string message = refusalOf([&] { demes.createLineages(); });
        EXPECT_EQ(message.rfind("The genealogy of the 4294967294 sampled genes needs at least ", 0),
                  0u)
            << message;
        EXPECT_NE(message.find("(8589934587 nodes of "), std::string::npos) << message;
        EXPECT_NE(output.log().find("TDemeCollection::createlineages() : unable to allocate the "
                                    "4294967294 tips of the tree\n"),
                  std::string::npos);
        EXPECT_EQ(demes.taxa, 0);
    }
    world.grid.nrows = 0;
    world.grid.ncols = 0;
    NbDemePerCell = savedLayers;
}

}  // namespace
