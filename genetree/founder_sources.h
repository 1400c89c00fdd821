#pragma once
// The founders of the second population: the population sources launched last
// after generation 0, each taking individuals from the other layer of its cell;
// and whether a sampled gene's lineage came into the second population through
// one of them.

#include <cstdint>
#include <vector>

class PopulationVector;
class TNode;

struct FounderSources {
    // The founding generation when no source starts after generation 0.
    static constexpr int32_t kNoLaterSource = -999999;

    // Where a founder took its individuals from: its cell's history index and
    // the layer other than its own.
    struct Origin {
        int32_t historyIndex;
        int32_t layer;
    };

    int32_t generation = kNoLaterSource;  // expansion time of the founders
    std::vector<Origin> origins;          // one per distinct (cell, layer)
};

// The founders are the sources sharing the expansion time of the last source
// of the population file (by record number; list order among equal records)
// whose expansion time is not 0.
FounderSources findFounderSources(const PopulationVector& sources);

// Whether the lineage of tip crossed, one generation before the founders
// started, from a founder's origin layer into its layer in the founder's cell.
// The tip's record and those of its ancestors are read in turn, the root's
// excepted; the search stops at the first step older than that generation.
bool descendsFromFounders(const TNode& tip, const FounderSources& founders);
