// Baird-lattice migration rates: the per-generation table and the rate formula.

#include "demography/baird_lattice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/settings.h"
#include "demography/cell.h"
#include "demography/model_parameters.h"
#include "foundations/exception.h"

namespace {

class BairdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = cell::_Settings;
        savedTime_ = cell::_Current_time;
        savedBaird_ = UsingBairdLattice;
        cell::_Settings = &settings;
        settings["MigrationRate"] = "0.3";
        settings["GrowthRate"] = "0.5";
    }
    void TearDown() override {
        cell::delete_m_vector();
        cell::_Settings = savedSettings_;
        cell::_Current_time = savedTime_;
        UsingBairdLattice = savedBaird_;
    }

    TSettings settings;

  private:
    TSettings* savedSettings_ = nullptr;
    int savedTime_ = 0;
    bool savedBaird_ = false;
};

// Reference values from an independent typing of the formula (the sum of
// Q_k / t^k rather than its Horner form, and the t >= 51 form as written).
struct RateCase {
    double m;
    double t;
    double expected;
};

TEST(MvectorApproxTest, MatchesIndependentlyComputedValues) {
    const RateCase cases[] = {
        {0.1, 2, 0.3306065331011755},    {0.1, 3, 0.26689853703429245},
        {0.1, 50, 0.19563228076415515},  {0.1, 51, 0.19578854202770862},
        {0.1, 100, 0.19586273311677754}, {0.25, 2, 0.3780256731642913},
        {0.25, 50, 0.2752178778070952},  {0.25, 51, 0.2752337073225831},
        {0.5, 2, 0.542201773461898},     {0.5, 50, 0.5092554570111285},
        {0.5, 51, 0.5092711786655799},   {0.5, 100, 0.5092895953345534},
    };
    for (const RateCase& c : cases) {
        const double value = MvectorApprox(c.m, c.t);
        EXPECT_NEAR(value, c.expected, 1e-12 * std::fabs(c.expected))
            << "m " << c.m << " t " << c.t;
        if (c.t <= 50) {
            EXPECT_EQ(MvectorApproxUpToT50(c.m, c.t), value);
        }
    }
    EXPECT_EQ(MvectorApprox(0.37, 1), 0.37) << "one generation left: the rate itself";
}

TEST_F(BairdTest, TableHoldsTheRateOfTheGenerationsLeft) {
    struct Case {
        const char* endTime;
        std::vector<float> expected;
    };
    const double m = 0.3;  // the rate as read, not rounded to float first
    const Case cases[] = {
        {"1", {-999.0f, 0.3f}},
        {"3",
         {-999.0f, static_cast<float>(MvectorApprox(m, 3)), static_cast<float>(MvectorApprox(m, 2)),
          0.3f}},
        {"0", {-999.0f}},
        {"-4", {-999.0f}},  // no generation runs
    };
    for (const Case& c : cases) {
        settings["EndTime"] = c.endTime;
        cell::Init_m_vector();  // also releases the previous table
        ASSERT_NE(cell::_m_array, nullptr);
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(cell::_m_array[i], c.expected[i])
                << "EndTime " << c.endTime << " entry " << i;
            EXPECT_EQ(bairdMigrationRate(static_cast<int>(i)), c.expected[i]);
        }
        EXPECT_THROW(bairdMigrationRate(static_cast<int>(c.expected.size())), TException);
        EXPECT_THROW(bairdMigrationRate(-1), TException);
    }

    settings["EndTime"] = "60";
    cell::Init_m_vector();
    EXPECT_EQ(cell::_m_array[10], static_cast<float>(MvectorApprox(m, 51)));
    EXPECT_EQ(cell::_m_array[11], static_cast<float>(MvectorApprox(m, 50)));
    EXPECT_EQ(cell::_m_array[59], static_cast<float>(MvectorApprox(m, 2)));
}

TEST_F(BairdTest, ModelParametersTakeTheRateOfTheCurrentGeneration) {
    settings["EndTime"] = "60";
    UsingBairdLattice = true;
    cell::Init_m_vector();
    for (int g = 1; g <= 60; ++g) {
        cell::_Current_time = g;
        const TModelParameters p = readModelParameters(settings);
        EXPECT_EQ(p.migrationRate, cell::_m_array[g]);
        EXPECT_EQ(p.growthRate, 0.5f);
    }
    cell::_Current_time = 61;
    EXPECT_THROW(readModelParameters(settings), TException);
    cell::_Current_time = 1;
    cell::delete_m_vector();
    EXPECT_THROW(readModelParameters(settings), TException) << "no table built";

    UsingBairdLattice = false;
    EXPECT_EQ(readModelParameters(settings).migrationRate, 0.3f);
}

TEST_F(BairdTest, MissingEndTimeIsTheUsualFatalError) {
    try {
        cell::Init_m_vector();
        FAIL() << "accepted";
    } catch (const TException& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "The parameter 'EndTime' is not defined in the inputfile!");
    }
}

// 4 GB of rates do not fit a 32-bit address space: refused with the size.
TEST_F(BairdTest, A32BitBuildRefusesRatesBeyondItsAddressSpace) {
    if (sizeof(void*) >= 8) GTEST_SKIP() << "32-bit builds only";
    settings["EndTime"] = "999999999";
    try {
        cell::Init_m_vector();
        FAIL() << "accepted";
    } catch (const TOutOfMemory& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "Cannot allocate the Baird-lattice migration rates of 1000000000 generations "
                  "(3.73 GiB, EndTime = 999999999).");
    }
    EXPECT_EQ(cell::_m_array, nullptr);
}

}  // namespace
