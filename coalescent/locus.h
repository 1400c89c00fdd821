#pragma once
// The printed genetic data of one chromosome for the sampled genes of one deme:
// one text line per gene, in the order of the deme's sample leaves. A deme keeps
// one TLocus per chromosome of the current simulation (TDeme::locusData); the
// lines are composed by TDeme::print_haplotypes_to_locus (genetree/mutations.cpp)
// and printed by the project-file and NEXUS writers.

#include <cstdint>

#include "foundations/containers.h"
#include "foundations/my_string.h"

class TLocus {
  public:
    TLocus() : lines(-1, 10), count(0) {}
    // Room for numGenes lines; count := numGenes (the lines are appended after).
    explicit TLocus(int numGenes) : lines(numGenes > 0 ? numGenes - 1 : -1, 10), count(numGenes) {}
    virtual ~TLocus() = default;
    TLocus(const TLocus&) = default;
    TLocus& operator=(const TLocus&) = default;

    MY_TArrayAsVector<my_string> lines;  // one per gene, in sample order
    int32_t count;                       // number of genes
};
