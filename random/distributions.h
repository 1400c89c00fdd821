#pragma once
// Discrete deviates drawn from the main stream (Numerical Recipes poidev and
// bnldev, and a geometric count). poidev and bnldev cache the values derived
// from their last parameters, recomputing them when the parameters change.

#include <cstdint>

// Poisson(xm) count, drawing uniforms with the caller's idum.
float poidev(float xm, int64_t* idum);

// Binomial(n, pp) count, drawing uniforms with a local idum of 1.
float bnldev(float pp, int n);

// Largest count geometric returns (keeps callers' step + 1 within int).
constexpr int kGeometricCountLimit = 1000000000;

// Number of successive continuations, each with probability p: floor(ln u / ln p).
// 0 without a draw when p < 1e-10 or p == 1. A uniform of exactly 0 counts as the
// smallest positive one (1e-9); the result is clamped to +-kGeometricCountLimit.
int geometric(const double& p);

// ln Gamma(xx) by the Lanczos series, for xx > 0.
double gammln(double xx);

// Clears the parameter caches (a new run in the same process starts afresh).
void reset_distribution_caches();
