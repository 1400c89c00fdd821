#pragma once
// The printed genetic data of one chromosome for the sampled genes of one deme:
// one text line per gene, in the order of the deme's sample leaves. A deme keeps
// one TLocus per chromosome of the current simulation (TDeme::locusData); the
// lines are composed by TDeme::print_haplotypes_to_locus (genetree/haplotype_lines.cpp)
// and printed by the project-file and NEXUS writers.
//
// A line holds every locus of its chromosome whatever their number, so the
// lines are standard strings rather than the program's length-limited text.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundations/my_string.h"

// The lines of one TLocus, indexed as the program's arrays are.
class TLocusLines {
  public:
    TLocusLines() = default;
    explicit TLocusLines(int room) {
        if (room > 0) lines_.reserve(static_cast<size_t>(room));
    }
    int count() const { return static_cast<int>(lines_.size()); }
    int Add(std::string line) {
        lines_.push_back(std::move(line));
        return count();
    }
    int Add(const my_string& line) { return Add(std::string(line.c_str())); }
    int Add(const char* line) { return Add(std::string(line)); }
    std::string& operator[](int i) { return lines_[static_cast<size_t>(i)]; }
    const std::string& operator[](int i) const { return lines_[static_cast<size_t>(i)]; }

  private:
    std::vector<std::string> lines_;
};

class TLocus {
  public:
    TLocus() : count(0) {}
    // Room for numGenes lines; count := numGenes (the lines are appended after).
    explicit TLocus(int numGenes) : lines(numGenes), count(numGenes) {}
    virtual ~TLocus() = default;
    TLocus(const TLocus&) = default;
    TLocus& operator=(const TLocus&) = default;
    // Moved when the deme's array of loci grows, so long lines are not copied.
    TLocus(TLocus&&) noexcept = default;
    TLocus& operator=(TLocus&&) noexcept = default;

    TLocusLines lines;  // one per gene, in sample order
    int32_t count;      // number of genes
};
