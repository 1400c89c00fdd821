// Single precision is deliberate: the cached values and the working variables
// (em, t, y, ...) are floats as in the classic routines, while the expressions
// that mix them with double constants or library functions are evaluated in
// double, as C evaluates them. Changing either changes the drawn counts.

#include "random/distributions.h"

#include <cmath>

#include "random/ran3.h"

namespace {

constexpr double kPi = 3.141592654;

struct PoissonCache {
    float oldm = -1.0f;
    float g = 0.0f;
    float sq = 0.0f;
    float alxm = 0.0f;
};

struct BinomialCache {
    int32_t nold = -1;
    float pold = -1.0f;
    float en = 0.0f;
    float oldg = 0.0f;
    float pc = 0.0f;
    float plog = 0.0f;
    float pclog = 0.0f;
};

PoissonCache poissonCache;
BinomialCache binomialCache;

}  // namespace

float poidev(float xm, int64_t* idum) {
    PoissonCache& c = poissonCache;
    float em;
    float t;
    if (xm < 12.0f) {
        // Direct method: multiply uniforms until the product falls to e^-xm.
        if (xm != c.oldm) {
            c.oldm = xm;
            c.g = static_cast<float>(std::exp(-static_cast<double>(xm)));
        }
        em = -1.0f;
        t = 1.0f;
        do {
            em += 1.0f;
            t = static_cast<float>(t * ran3(idum));
        } while (t > c.g);
    } else {
        // Rejection from a Lorentzian comparison function.
        if (xm != c.oldm) {
            c.oldm = xm;
            c.sq = static_cast<float>(std::sqrt(2.0 * xm));
            c.alxm = static_cast<float>(std::log(static_cast<double>(xm)));
            c.g = static_cast<float>(xm * c.alxm - gammln(xm + 1.0));
        }
        do {
            float y;
            do {
                y = static_cast<float>(std::tan(kPi * ran3(idum)));
                em = c.sq * y + xm;
            } while (em < 0.0f);
            em = static_cast<float>(std::floor(static_cast<double>(em)));
            t = static_cast<float>(0.9 * (1.0 + y * y) *
                                   std::exp(em * c.alxm - gammln(em + 1.0) - c.g));
        } while (ran3(idum) > t);
    }
    return em;
}

float bnldev(float pp, int n) {
    int64_t idum = 1;
    const float p = static_cast<float>(pp <= 0.5f ? static_cast<double>(pp) : 1.0 - pp);
    const float am = static_cast<float>(n) * p;
    float bnl;
    if (n < 25) {
        bnl = 0.0f;
        for (int j = 1; j <= n; ++j) {
            if (ran3(&idum) < p) bnl += 1.0f;
        }
    } else if (am < 1.0f) {
        if (p <= 0.0f) {
            // No success is possible. The loop below would stop at its first draw,
            // except when that uniform rounds to 1.0f, which never falls below
            // g = 1 and would give a count above 0; draw it and return 0.
            ran3(&idum);
            bnl = 0.0f;
        } else {
            // Inversion through the Poisson approximation's waiting times.
            const float g = static_cast<float>(std::exp(-static_cast<double>(am)));
            float t = 1.0f;
            int j;
            for (j = 0; j <= n; ++j) {
                t = static_cast<float>(t * ran3(&idum));
                if (t < g) break;
            }
            bnl = static_cast<float>(j <= n ? j : n);
        }
    } else {
        // Rejection from a Lorentzian comparison function.
        BinomialCache& c = binomialCache;
        if (n != c.nold) {
            c.en = static_cast<float>(n);
            c.oldg = static_cast<float>(gammln(c.en + 1.0));
            c.nold = n;
        }
        if (p != c.pold) {
            c.pc = static_cast<float>(1.0 - p);
            c.plog = static_cast<float>(std::log(static_cast<double>(p)));
            c.pclog = static_cast<float>(std::log(static_cast<double>(c.pc)));
            c.pold = p;
        }
        const float sq = static_cast<float>(std::sqrt(2.0 * am * c.pc));
        float em;
        float t;
        do {
            float y;
            do {
                const float angle = static_cast<float>(kPi * ran3(&idum));
                y = static_cast<float>(std::tan(static_cast<double>(angle)));
                em = sq * y + am;
            } while (em < 0.0f || em >= (c.en + 1.0));
            em = static_cast<float>(std::floor(static_cast<double>(em)));
            t = static_cast<float>(1.2 * sq * (1.0 + y * y) *
                                   std::exp(c.oldg - gammln(em + 1.0) - gammln(c.en - em + 1.0) +
                                            em * c.plog + (c.en - em) * c.pclog));
        } while (ran3(&idum) > t);
        bnl = em;
    }
    if (p != pp) bnl = static_cast<float>(n) - bnl;
    return bnl;
}

int geometric(const double& p) {
    if (p < 1e-10 || p == 1.0) return 0;
    int64_t idum = 1;
    double u = ran3(&idum);
    if (u == 0.0) u = 1e-9;  // ln 0 would give an infinite count
    const double count = std::floor(std::log(u) / std::log(p));
    const double limit = kGeometricCountLimit;
    if (!(count < limit)) return kGeometricCountLimit;  // also a NaN p
    if (count < -limit) return -kGeometricCountLimit;   // p > 1 is no probability
    return static_cast<int>(count);
}

double gammln(double xx) {
    static const double cof[6] = {76.18009172947146,  -86.50532032941678,    24.01409824083091,
                                  -1.231739572450155, 0.1208650973866179e-2, -0.5395239384953e-5};
    double x = xx;
    double y = xx;
    double tmp = x + 5.5;
    tmp -= (x + 0.5) * std::log(tmp);
    double ser = 1.000000000190015;
    for (int j = 0; j <= 5; ++j) ser += cof[j] / ++y;
    return -tmp + std::log(2.5066282746310005 * ser / x);
}

void reset_distribution_caches() {
    poissonCache = PoissonCache{};
    binomialCache = BinomialCache{};
}
