#include "random/distributions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "random/ran3.h"

namespace {

constexpr int64_t kSeed = -20260611;

void seedStream(int64_t seed) {
    int64_t idum = seed;
    ran3(&idum);
}

void skipDraws(int count) {
    int64_t idum = 1;
    for (int i = 0; i < count; ++i) ran3(&idum);
}

// Number of uniforms the call takes from the main stream: find where the draw
// that follows it sits in a fresh copy of the stream.
int uniformsConsumedBy(const std::function<void()>& call) {
    seedStream(kSeed);
    call();
    int64_t idum = 1;
    const double next = ran3(&idum);
    seedStream(kSeed);
    for (int consumed = 0; consumed < 100000; ++consumed) {
        if (ran3(&idum) == next) return consumed;
    }
    return -1;
}

class DistributionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_distribution_caches();
        seedStream(kSeed);
    }
};

// ---- Edge cases: exact results and the uniforms they take ----

struct EdgeCase {
    std::string name;
    std::function<double()> draw;
    double result;
    int uniforms;
};

class DistributionEdgeTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(DistributionEdgeTest, GivesResultAndTakesUniforms) {
    const EdgeCase& c = GetParam();
    reset_distribution_caches();
    double result = -1.0;
    EXPECT_EQ(uniformsConsumedBy([&] { result = c.draw(); }), c.uniforms);
    EXPECT_EQ(result, c.result);
}

int64_t callerIdum = 1;

INSTANTIATE_TEST_SUITE_P(
    Edges, DistributionEdgeTest,
    ::testing::Values(
        EdgeCase{"PoissonZero", [] { return poidev(0.0f, &callerIdum); }, 0.0, 1},
        EdgeCase{"BinomialNoTrialsLowP", [] { return bnldev(0.3f, 0); }, 0.0, 0},
        EdgeCase{"BinomialNoTrialsHighP", [] { return bnldev(0.7f, 0); }, 0.0, 0},
        EdgeCase{"BinomialCertainFewTrials", [] { return bnldev(1.0f, 24); }, 24.0, 24},
        EdgeCase{"BinomialCertainManyTrials", [] { return bnldev(1.0f, 25); }, 25.0, 1},
        EdgeCase{"BinomialCertainHugeN", [] { return bnldev(1.0f, 1000000); }, 1e6, 1},
        EdgeCase{"BinomialImpossibleManyTrials", [] { return bnldev(0.0f, 1000); }, 0.0, 1},
        EdgeCase{"GeometricOne", [] { return geometric(1.0); }, 0.0, 0},
        EdgeCase{"GeometricTiny", [] { return geometric(1e-11); }, 0.0, 0},
        EdgeCase{"GeometricZero", [] { return geometric(0.0); }, 0.0, 0}),
    [](const ::testing::TestParamInfo<EdgeCase>& paramInfo) { return paramInfo.param.name; });

TEST_F(DistributionTest, SmallMeanPoissonTakesCountPlusOneUniforms) {
    for (int i = 0; i < 300; ++i) {
        float result = 0.0f;
        const int consumed = uniformsConsumedBy([&] {
            skipDraws(i);  // vary the position in the stream
            result = poidev(3.5f, &callerIdum);
        });
        ASSERT_EQ(consumed, i + static_cast<int>(result) + 1) << "position " << i;
    }
}

TEST_F(DistributionTest, FewTrialBinomialAndGeometricTakeFixedUniforms) {
    EXPECT_EQ(uniformsConsumedBy([] { bnldev(0.4f, 17); }), 17);
    EXPECT_EQ(uniformsConsumedBy([] { bnldev(0.9f, 3); }), 3);
    EXPECT_EQ(uniformsConsumedBy([] { geometric(0.5); }), 1);
}

// A uniform that rounds to 1.0f in single precision never falls below g = 1, so
// the waiting-time loop alone would count a success that cannot happen.
TEST_F(DistributionTest, CertainBinomialCountsSurviveAUniformThatRoundsToOne) {
    const int64_t seed = -1972885;
    const int position = 8;  // of the draw near 1 in this seed's sequence (first is 0)
    seedStream(seed);
    skipDraws(position - 1);
    int64_t idum = 1;
    ASSERT_EQ(static_cast<float>(ran3(&idum)), 1.0f);
    for (const int n : {25, 30, 1000}) {
        seedStream(seed);
        skipDraws(position - 1);
        EXPECT_EQ(bnldev(1.0f, n), static_cast<float>(n)) << n;
        seedStream(seed);
        skipDraws(position - 1);
        EXPECT_EQ(bnldev(0.0f, n), 0.0f) << n;
    }
}

TEST_F(DistributionTest, GeometricOnAZeroUniformGivesTheLargestBoundedCount) {
    const int64_t seed = -13941135;
    const int position = 33;  // of an exact 0 in this seed's sequence (first is 0)
    const struct {
        double p;
        int count;
    } cases[] = {
        {0.5, 29},                             // floor(ln 1e-9 / ln 0.5)
        {0.9, 196},                            // floor(ln 1e-9 / ln 0.9)
        {1.0 - 1e-9, kGeometricCountLimit},    // quotient ~2e10, clamped
        {std::nan(""), kGeometricCountLimit},  // no undefined conversion
        {1.0 + 1e-12, -kGeometricCountLimit},  // p > 1: negative, clamped
    };
    seedStream(seed);
    skipDraws(position - 1);
    int64_t idum = 1;
    ASSERT_EQ(ran3(&idum), 0.0);
    for (const auto& c : cases) {
        seedStream(seed);
        skipDraws(position - 1);
        EXPECT_EQ(geometric(c.p), c.count) << c.p;
    }
}

TEST(Gammln, MatchesLogGammaToTheSeriesAccuracy) {
    for (const double x : {0.25, 0.5, 1.0, 1.5, 2.0, 3.0, 7.5, 12.0, 101.0, 1e4, 1e6}) {
        const double exact = std::lgamma(x);
        EXPECT_NEAR(gammln(x), exact, 2e-10 * std::max(1.0, std::fabs(exact))) << x;
    }
}

// ---- Caches: alternating parameters give what fresh caches give ----

TEST_F(DistributionTest, PoissonCacheFollowsAlternatingMeans) {
    const float means[] = {3.5f, 30.0f, 30.0f, 3.5f, 14.0f, 0.0f, 14.0f, 100.0f, 3.5f, 12.0f};
    std::vector<float> cached;
    for (int round = 0; round < 50; ++round) {
        for (float m : means) cached.push_back(poidev(m, &callerIdum));
    }
    seedStream(kSeed);
    std::vector<float> fresh;
    for (int round = 0; round < 50; ++round) {
        for (float m : means) {
            reset_distribution_caches();
            fresh.push_back(poidev(m, &callerIdum));
        }
    }
    EXPECT_EQ(cached, fresh);
}

TEST_F(DistributionTest, BinomialCacheFollowsAlternatingTrialsAndProbabilities) {
    const struct {
        float p;
        int n;
    } params[] = {{0.3f, 100}, {0.3f, 200}, {0.4f, 200}, {0.4f, 100}, {0.7f, 100},
                  {0.3f, 10},  {0.01f, 50}, {0.3f, 100}, {0.5f, 25},  {0.05f, 40}};
    std::vector<float> cached;
    for (int round = 0; round < 50; ++round) {
        for (const auto& q : params) cached.push_back(bnldev(q.p, q.n));
    }
    seedStream(kSeed);
    std::vector<float> fresh;
    for (int round = 0; round < 50; ++round) {
        for (const auto& q : params) {
            reset_distribution_caches();
            fresh.push_back(bnldev(q.p, q.n));
        }
    }
    EXPECT_EQ(cached, fresh);
}

// ---- Goodness of fit against the exact probabilities ----

constexpr int kDraws = 200000;

// Upper 5e-5 point of chi-square (Wilson-Hilferty): about 0.001 over the ~20
// fits below, and deterministic since the stream is seeded.
double chiSquareCritical(int df) {
    const double z = 3.8906;
    const double a = 2.0 / (9.0 * df);
    return df * std::pow(1.0 - a + z * std::sqrt(a), 3.0);
}

// counts[k] for k < pmf.size(), counts.back() = draws at or above pmf.size();
// adjacent cells are pooled until each expects at least 5 draws.
void expectFits(const std::vector<double>& pmf, const std::vector<int64_t>& counts,
                const std::string& what) {
    std::vector<double> expected;
    std::vector<double> observed;
    double tail = 1.0;
    double e = 0.0;
    double o = 0.0;
    for (std::size_t k = 0; k < pmf.size(); ++k) {
        tail -= pmf[k];
        e += pmf[k] * kDraws;
        o += static_cast<double>(counts[k]);
        if (e >= 5.0) {
            expected.push_back(e);
            observed.push_back(o);
            e = 0.0;
            o = 0.0;
        }
    }
    e += std::max(tail, 0.0) * kDraws;
    o += static_cast<double>(counts.back());
    if (e >= 5.0 || expected.empty()) {
        expected.push_back(e);
        observed.push_back(o);
    } else {
        expected.back() += e;
        observed.back() += o;
    }
    double chiSquare = 0.0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const double d = observed[i] - expected[i];
        chiSquare += d * d / expected[i];
    }
    const int df = static_cast<int>(expected.size()) - 1;
    ASSERT_GE(df, 1) << what;
    EXPECT_LT(chiSquare, chiSquareCritical(df)) << what << ", " << df << " degrees of freedom";
}

// Tallies integer draws 0 .. support-1, the rest in the last cell; a draw that is
// negative or not an integer fails at once.
std::vector<int64_t> tally(const std::function<double()>& draw, std::size_t support,
                           double maximum) {
    std::vector<int64_t> counts(support + 1, 0);
    for (int i = 0; i < kDraws; ++i) {
        const double x = draw();
        if (!(x >= 0.0 && x <= maximum && x == std::floor(x))) {
            ADD_FAILURE() << "draw " << x << " outside 0.." << maximum;
            return counts;
        }
        ++counts[x < static_cast<double>(support) ? static_cast<std::size_t>(x) : support];
    }
    return counts;
}

class PoissonFitTest : public ::testing::TestWithParam<float> {};

TEST_P(PoissonFitTest, MatchesPoissonProbabilities) {
    const double mean = GetParam();
    reset_distribution_caches();
    seedStream(kSeed);
    const std::size_t support = static_cast<std::size_t>(mean + 12.0 * std::sqrt(mean) + 20.0);
    std::vector<double> pmf(support);
    for (std::size_t k = 0; k < support; ++k) {
        const double kd = static_cast<double>(k);
        pmf[k] = std::exp(kd * std::log(mean) - mean - std::lgamma(kd + 1.0));
    }
    int64_t idum = 1;
    const float m = GetParam();
    expectFits(pmf,
               tally([&] { return static_cast<double>(poidev(m, &idum)); }, support,
                     std::numeric_limits<double>::max()),
               "Poisson mean " + std::to_string(mean));
}

// Below 12 the product of uniforms, from 12 on the rejection method.
INSTANTIATE_TEST_SUITE_P(Means, PoissonFitTest,
                         ::testing::Values(0.5f, 3.7f, 11.9f, 12.0f, 25.3f, 150.0f, 1000.0f));

struct BinomialParam {
    float p;
    int n;
};

void PrintTo(const BinomialParam& param, std::ostream* out) {
    *out << "p=" << param.p << " n=" << param.n;
}

class BinomialFitTest : public ::testing::TestWithParam<BinomialParam> {};

TEST_P(BinomialFitTest, MatchesBinomialProbabilities) {
    const BinomialParam param = GetParam();
    const double p = param.p;
    const int n = param.n;
    reset_distribution_caches();
    seedStream(kSeed);
    std::vector<double> pmf(static_cast<std::size_t>(n) + 1);
    for (int k = 0; k <= n; ++k) {
        pmf[static_cast<std::size_t>(k)] =
            std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) +
                     k * std::log(p) + (n - k) * std::log1p(-p));
    }
    expectFits(pmf, tally([&] { return static_cast<double>(bnldev(param.p, n)); }, pmf.size(), n),
               "Binomial p " + std::to_string(p) + " n " + std::to_string(n));
}

INSTANTIATE_TEST_SUITE_P(Branches, BinomialFitTest,
                         ::testing::Values(BinomialParam{0.3f, 10},     // few trials
                                           BinomialParam{0.8f, 20},     // few, complemented
                                           BinomialParam{0.01f, 60},    // mean below 1
                                           BinomialParam{0.99f, 80},    // below 1, complemented
                                           BinomialParam{0.5f, 25},     // rejection, smallest n
                                           BinomialParam{0.02f, 100},   // rejection, mean 2
                                           BinomialParam{0.4f, 50},     // rejection
                                           BinomialParam{0.75f, 1000})  // rejection, complemented
);

class GeometricFitTest : public ::testing::TestWithParam<double> {};

TEST_P(GeometricFitTest, MatchesGeometricProbabilities) {
    const double p = GetParam();
    seedStream(kSeed);
    // P(count = k) = p^k (1 - p): k continuations, then a stop.
    const std::size_t support = static_cast<std::size_t>(std::log(1e-7) / std::log(p)) + 1;
    std::vector<double> pmf(support);
    for (std::size_t k = 0; k < support; ++k) {
        pmf[k] = std::pow(p, static_cast<double>(k)) * (1.0 - p);
    }
    expectFits(
        pmf,
        tally([&] { return static_cast<double>(geometric(p)); }, support, kGeometricCountLimit),
        "geometric p " + std::to_string(p));
}

INSTANTIATE_TEST_SUITE_P(Probabilities, GeometricFitTest,
                         ::testing::Values(1e-3, 0.3, 0.5, 0.9, 0.99));

}  // namespace
