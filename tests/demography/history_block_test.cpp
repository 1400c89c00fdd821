#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "demography/state_db.h"

namespace {

struct BlockCase {
    const char* name;
    size_t valueCount;
    bool shortMode;
};

class HistoryBlockTest : public ::testing::TestWithParam<BlockCase> {};

// Small blocks live on the heap, blocks of 2 MiB and more in mapped huge-page
// memory: both must be zeroed, hold every value from first to last, survive a
// move (the database keeps them in a vector) and be reusable after release.
TEST_P(HistoryBlockTest, IsZeroedAndHoldsEveryValueToItsEnd) {
    const BlockCase& p = GetParam();
    std::vector<HistoryBlock> blocks(1);
    ASSERT_TRUE(blocks[0].allocate(p.valueCount, p.shortMode));
    const size_t last = p.valueCount - 1;
    const size_t probes[] = {0, p.valueCount / 2, last};
    for (size_t i : probes) {
        const int value = p.shortMode ? blocks[0].values16()[i] : blocks[0].values32()[i];
        EXPECT_EQ(value, 0) << "value " << i;
    }
    for (size_t i : probes) {
        if (p.shortMode) {
            blocks[0].values16()[i] = static_cast<int16_t>(i % 30000 + 1);
        } else {
            blocks[0].values32()[i] = static_cast<int32_t>(i + 1);
        }
    }
    blocks.emplace_back();
    blocks.emplace_back();  // reallocation moves the first block
    for (size_t i : probes) {
        if (p.shortMode) {
            EXPECT_EQ(blocks[0].values16()[i], static_cast<int16_t>(i % 30000 + 1));
        } else {
            EXPECT_EQ(blocks[0].values32()[i], static_cast<int32_t>(i + 1));
        }
    }
    blocks[0].release();
    EXPECT_EQ(blocks[0].values32(), nullptr);
    ASSERT_TRUE(blocks[0].allocate(p.valueCount, p.shortMode));
    const int again = p.shortMode ? blocks[0].values16()[last] : blocks[0].values32()[last];
    EXPECT_EQ(again, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HistoryBlockTest,
    ::testing::Values(BlockCase{"OneValue", 1, false}, BlockCase{"HeapBlock", 1000, true},
                      BlockCase{"JustBelowAHugePage", (size_t{2} << 20) / 4 - 1, false},
                      BlockCase{"MappedBlock", (size_t{5} << 20) / 4 + 3, false},
                      BlockCase{"MappedBlock16Bit", (size_t{3} << 20) / 2 + 1, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(HistoryBlockTest, NoValuesHoldNothing) {
    HistoryBlock block;
    EXPECT_TRUE(block.allocate(0, false));
    EXPECT_EQ(block.values32(), nullptr);
}

}  // namespace
