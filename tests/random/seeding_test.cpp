#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "foundations/log.h"
#include "random/ran3.h"
#include "support/captured_output.h"

namespace {

using test_support::CapturedOutput;

// The draws that follow seeding with lidum (whose first number seeding consumes).
std::vector<double> streamAfterSeed(int64_t lidum, int count) {
    reset_ran3_for_tests();  // so that a zero lidum initialises too
    int64_t idum = lidum;
    ran3(&idum);
    std::vector<double> values;
    for (int i = 0; i < count; ++i) values.push_back(ran3(&idum));
    return values;
}

std::vector<double> nextDraws(int count) {
    std::vector<double> values;
    int64_t idum = 1;
    for (int i = 0; i < count; ++i) values.push_back(ran3(&idum));
    return values;
}

void moveStreamElsewhere() {
    int64_t idum = -55555;
    for (int i = 0; i < 17; ++i) ran3(&idum);
}

int64_t valueAfter(const std::string& text, const std::string& prefix) {
    const std::size_t at = text.find(prefix);
    if (at == std::string::npos) return std::numeric_limits<int64_t>::min();
    return std::stoll(text.substr(at + prefix.size()));
}

const char* const kReseedLine = "Random generator re-initialized from RandomSeed with lidum=";

TEST(SeedFromSetting, LogsLidumAndFollowsTheStreamOfTheNegativeSeed) {
    const struct {
        int64_t randomSeed;
        const char* lidum;
    } cases[] = {
        {12345, "-12345"},
        {-12345, "-12345"},
        {0, "0"},  // re-initialises although 0 is not negative
        {1999616, "-1999616"},
        {161803398, "-161803398"},
        {1234567890123, "-567890123"},  // same stream as -1234567890123
        {std::numeric_limits<int64_t>::max(), "-854775807"},
        {std::numeric_limits<int64_t>::min(), "-854775808"},
    };
    for (const auto& c : cases) {
        moveStreamElsewhere();
        std::vector<double> drawn;
        std::string log;
        std::string console;
        {
            CapturedOutput captured;
            initialize_ran3_from_setting(c.randomSeed);
            drawn = nextDraws(500);
            log = captured.log();
            console = captured.console();
        }
        const std::string line = std::string(kReseedLine) + c.lidum + "\n";
        EXPECT_EQ(log, line);
        EXPECT_EQ(console, line);
        EXPECT_EQ(drawn, streamAfterSeed(std::stoll(c.lidum), 500)) << c.randomSeed;
        if (c.randomSeed != std::numeric_limits<int64_t>::min()) {
            const int64_t negative = c.randomSeed < 0 ? c.randomSeed : -c.randomSeed;
            EXPECT_EQ(drawn, streamAfterSeed(negative, 500)) << c.randomSeed;
        }
    }
}

TEST(SeedFromClock, WritesTitleAndMatchingSeedLinesAndSeedsFromThatLidum) {
    moveStreamElsewhere();
    std::vector<double> drawn;
    std::string log;
    std::string console;
    {
        CapturedOutput captured;
        initialize_ran3(1);
        drawn = nextDraws(500);
        log = captured.log();
        console = captured.console();
    }
    const std::string title = "VASTRID2 Logfile\n*******************\n";
    const std::string logPrefix = "Random generator initialized with lidum=";
    const std::string consolePrefix = "Random generator initialized with seed=";
    ASSERT_EQ(log.substr(0, title.size() + logPrefix.size()), title + logPrefix);
    const int64_t lidum = valueAfter(log, logPrefix);
    EXPECT_EQ(log, title + logPrefix + std::to_string(lidum) + "\n");
    EXPECT_EQ(console, consolePrefix + std::to_string(lidum) + "\n");
    EXPECT_LE(lidum < 0 ? -lidum : lidum, 1999616);
    // The stream is the one of -|lidum|, so the logged value reproduces the run.
    EXPECT_EQ(drawn, streamAfterSeed(lidum < 0 ? lidum : -lidum, 500));
    {
        CapturedOutput captured;
        initialize_ran3_from_setting(lidum);
    }
    EXPECT_EQ(nextDraws(500), drawn);
}

TEST(SeedFromClock, MyRandStaysWithinTheDivisor) {
    for (int i = 0; i < 1000; ++i) {
        const int64_t v = my_rand();
        ASSERT_LE(v, 1999616);
        ASSERT_GE(v, -1999616);
    }
}

}  // namespace
