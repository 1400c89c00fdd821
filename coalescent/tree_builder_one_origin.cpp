// The genealogy of a one-layer world grown from a single source. Before the
// expansion only the source population is left: it is followed generation by
// generation when the chromosome recombines, and otherwise completed in
// continuous time.

#include <cmath>
#include <vector>

#include "app/settings.h"
#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "demography/cell.h"
#include "foundations/log.h"
#include "landscape/population_source.h"
#include "random/ran3.h"

namespace {

float coalescenceRateOf(int32_t size) {
    return size != 0 ? 1.0f / static_cast<float>(size) : 0.0f;
}

}  // namespace

int TDemeCollection::buildTreeOneOriginOneLayerRecombination(const int&) {
    GenealogyRun run;
    if (!prepareGenealogy(run)) return 0;
    TSettings& settings = owner->Settings;
    settings.getIntParameter("TauValue", true);
    settings.getIntParameter("GenerationTime", true);
    const PopulationVector& sources = owner->io.populations;
    if (sources.count() > 1) {
        AOS << "****ERROR: Error in code : buildTreeOneOriginOneLayerRecombination funciton used "
               "with multiple origins!"
            << std::endl;
    }
    const PopulationSource* source = sources.count() >= 1 ? &sources.at(0) : nullptr;
    const bool recombines = tot_recomb != 0;

    while (run.g >= 1 && run.lineages > 1 && run.s < run.maxGenerations &&
           run.activeLoci > numLoci) {
        ordinaryGeneration(run);
        if (run.g == 1 && run.gatherSources) gatherSourcePopulation();
        --run.g;
        ++run.s;
    }
    // Once the generation budget is spent the genealogy is not completed by
    // other means: it ends as unfinished.
    if (run.s < run.maxGenerations) {
        startGeneration(run);
        if (source != nullptr && source->firstResize > 0 && recombines) {
            AOS << "At generation " << 0 << " resizing of Source " << source->name << " to "
                << source->firstResize << std::endl;
            for (int p = 0; p < numDemes; ++p) {
                TDeme& deme = *activeDeme(p);
                deme.size = source->firstResize;
                deme.coalRate = coalescenceRateOf(deme.size);
            }
        }
        // The ancestral population is one deme: lineages left elsewhere (a
        // source that spilled over its cell) join it, or they could never meet.
        if (run.lineages > 1 && !firstDemeHoldsAllLineages()) {
            UpdateDemeList();
            if (numDemes > 1) {
                AOS << "WARNING: at generation " << run.g << " the lineages of " << numDemes
                    << " demes are gathered in the deme of cell " << activeDeme(0)->cellIndex
                    << std::endl;
                gatherLineagesInFirstDeme(static_cast<int>(run.g));
                UpdateDemeList();
            }
        }
        if (recombines || run.lineages <= 1) {
            while (run.s < run.maxGenerations && run.lineages > 1 && run.activeLoci > numLoci) {
                startGeneration(run);
                for (int p = 0; p < numDemes; ++p) {
                    TDeme& deme = *activeDeme(p);
                    if (source != nullptr && run.g == -source->bottleneckDuration &&
                        source->secondResize >= 1) {
                        AOS << "At generation " << run.g << " resizing of Source " << source->name
                            << " to " << source->secondResize << std::endl;
                        deme.size = source->secondResize;
                        deme.coalRate = coalescenceRateOf(deme.size);
                    }
                    coalesceAndRecombine(deme, run);
                }
                run.activeLoci = TTree::sumActiveNodes;
                --run.g;
                ++run.s;
            }
        } else {
            TDeme* deme = activeDeme(0);
            deme->coalRate = coalescenceRateOf(deme->cell->getN(0, deme->layer));
            AOS << "Entering continuous time function (saving time)!" << std::endl;
            buildTreeContinuousTime(run.g, run.s, run.lineages, deme->size, deme);
            run.activeLoci = TTree::sumActiveNodes;
        }
    }
    return finishGenealogy(run);
}

bool TDemeCollection::firstDemeHoldsAllLineages() const {
    if (numDemes < 1 || activeDeme(0)->numLineages == 0) return false;
    for (int p = 1; p < numDemes; ++p) {
        const TDeme* deme = activeDeme(p);
        if (deme->numLineages > 0 || deme->numIncoming > 0) return false;
    }
    return activeDeme(0)->numIncoming == 0;
}

void TDemeCollection::buildTreeContinuousTime(int64_t& g, int64_t& s, int& numLineages,
                                              const int& demeSize, TDeme* deme) {
    // The lineages that can be merged are those of the deme.
    const int n = deme->numLineages;
    const PopulationSource* source =
        owner->io.populations.count() >= 1 ? &owner->io.populations.at(0) : nullptr;

    // Coalescence times in units of the population size: times[i] is when i
    // lineages become i - 1.
    int64_t idum = 1;
    std::vector<double> times(static_cast<size_t>(n > 1 ? n + 1 : 2), 0.0);
    double elapsed = 0.0;
    for (int i = n; i >= 2; --i) {
        elapsed = elapsed - 2.0 * std::log(1.0 - ran3(&idum)) / (static_cast<double>(i) * (i - 1));
        times[static_cast<size_t>(i)] = elapsed;
    }

    int m = demeSize;
    if (source != nullptr && source->firstResize > 0) {
        AOS << "At generation " << g << " resizing of Source " << source->name << " to "
            << source->firstResize << std::endl;
        m = source->firstResize;
    }
    const int bottleneck = source != nullptr ? source->bottleneckDuration : 0;
    const bool withBottleneck = m != 0 && bottleneck != 0 && source->secondResize >= 1;
    double ratio = 1.0;
    if (withBottleneck) {
        ratio = static_cast<double>(source->secondResize) / m;
        AOS << "At generation " << -bottleneck << " resizing of Source " << source->name << " to "
            << source->secondResize << std::endl;
    }

    int remaining = n;
    TNode* last = nullptr;
    while (remaining > 1) {
        int i = 0;
        int j = 1;
        if (remaining > 2) {
            constexpr int kMaxDraws = 51;
            i = static_cast<int>(ran3(&idum) * remaining);
            j = static_cast<int>(ran3(&idum) * remaining);
            for (int draws = 1; j == i; ++draws) {
                if (draws == kMaxDraws) {
                    // Gives up: the genealogy stays incomplete.
                    numLineages = remaining;
                    return;
                }
                j = static_cast<int>(ran3(&idum) * remaining);
            }
        }
        int64_t generations = static_cast<int64_t>(times[static_cast<size_t>(remaining)] * m);
        if (withBottleneck && generations > bottleneck) {
            generations = static_cast<int64_t>((generations - bottleneck) * ratio + bottleneck);
        }
        const int lower = std::min(i, j);
        const int higher = std::max(i, j);
        last = deme->coalesceLineages(deme->lineages.elementAt(lower),
                                      deme->lineages.elementAt(higher), lower, higher,
                                      s + generations, g, tree);
        --remaining;
    }
    if (last != nullptr) {
        for (TNode*& root : tree.roots) root = last;
        last->demeNumber = deme->listIndex;
    }
    numLineages = remaining;
}
