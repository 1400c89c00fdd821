#pragma once
// Per-site relative mutation rates. No input sets a gamma shape, so the
// class-wide set held by the gene-tree nodes stays empty.

#include "foundations/containers.h"

class GammaRates {
  public:
    GammaRates() : rates(-1, 10) {}
    virtual ~GammaRates() = default;

    MY_TArrayAsVector<double> rates;  // one relative rate per site when computed
};
