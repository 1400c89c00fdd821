// Building one genealogy backwards through the stored history: every
// generation each deme holding lineages coalesces, recombines and sends its
// lineages to where their ancestors lived. Before the expansion several
// population sources may shrink, exchange migrants and finally merge.

#include <algorithm>

#include "app/settings.h"
#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "demography/cell.h"
#include "foundations/log.h"
#include "landscape/population_source.h"

namespace {

float coalescenceRateOf(int32_t size) {
    return size != 0 ? 1.0f / static_cast<float>(size) : 0.0f;
}

void resize(TDeme& deme, int32_t size) {
    deme.size = size;
    deme.coalRate = coalescenceRateOf(size);
}

}  // namespace

const PopulationSource* TDemeCollection::sourceOf(const TDeme& deme) const {
    const int number = deme.cell->layerSource[0];
    const PopulationVector& sources = owner->io.populations;
    if (number < 1 || number > sources.count()) return nullptr;
    return &sources.at(number - 1);
}

int TDemeCollection::prepareGenealogy(GenealogyRun& run) {
    TSettings& settings = owner->Settings;
    // Every genealogy starts from the samples, whatever the previous one left.
    reset();
    int sampled = 0;
    for (int p = 0; p < numDemes; ++p) sampled += activeDeme(p)->sampleSize;
    if (sampled == 0) {
        AOS << "ERROR:{TDemeCollection::buildTree}:[Not enough lineages to perform coalescence!]"
            << std::endl;
        return 0;
    }
    run = GenealogyRun();
    run.endTime = settings.getIntParameter("EndTime", true);
    TDeme::numMigrEvents = 0;
    TDeme::_Demes = this;
    historyDatabase = owner->history;
    cell::_Current_time = run.endTime;

    tree.resetLocusRecords(numLoci, sampled);
    tree.resetNodeMaxPos(numLoci);
    TDeme::totNumActiveLineages = 0;
    TDeme::numActiveDemes = 0;
    for (int p = 0; p < numDemes; ++p) {
        const TDeme* deme = activeDeme(p);
        TDeme::totNumActiveLineages += deme->numLineages;
        if (deme->numLineages > 0) ++TDeme::numActiveDemes;
    }
    for (int layer = 0; layer < NbDemePerCell; ++layer) tree.ResetMigrations(run.endTime, layer);
    // A single gene is its own ancestor on every locus.
    if (sampled == 1) {
        for (TNode*& root : tree.roots) root = tree.nodeAt(0);
    }

    run.maxGenerations = settings.getIntParameter("MaxNumGenerations", true);
    run.tau = -settings.getIntParameter("TauValue", true);
    run.activeLoci = static_cast<int64_t>(sampled) * numLoci;
    run.g = run.endTime;
    run.s = 1;
    run.lineages = sampled;
    run.gatherSources = settings.parameterExists("AllowSourcePopulationOverflow") &&
                        settings.getdoubleParameter("AllowSourcePopulationOverflow", false) == 0.0;
    recordMoves = NbDemePerCell > 1 && settings.getIntParameter("PropFile", true) != 0;
    forgetLineageRates();
    // Whether the chromosome recombines at all, for the SNP placement.
    const int lastRate = std::min(numLoci - 1, locusRecombRate.count());
    isRecombination =
        tree.nodeAt(0)->update_recombination_proba(0, lastRate, &locusRecombRate) >= 1e-10;
    return 1;
}

void TDemeCollection::startGeneration(const GenealogyRun& run) {
    cell::_Current_time = static_cast<int>(run.g);
    TDeme::_frictionTime = static_cast<int32_t>(std::max<int64_t>(run.g, 0));
}

void TDemeCollection::coalesceAndRecombine(TDeme& deme, GenealogyRun& run) {
    run.lineages -= deme.coalesce(run.s, run.g, tree);
    run.lineages += deme.recombination_per_lineage(run.s, tree);
}

void TDemeCollection::ordinaryGeneration(GenealogyRun& run) {
    startGeneration(run);
    const int t = TDeme::_frictionTime;
    // The stored counts of the next deme are read before the current one is
    // processed (the history is not changed meanwhile).
    TDeme::StoredCounts next{};
    if (numDemes > 0) next = activeDeme(0)->readStoredCounts(t, activeDeme(0)->layer);
    for (int p = 0; p < numDemes; ++p) {
        TDeme& deme = *activeDeme(p);
        const TDeme::StoredCounts counts = next;
        if (p + 1 < numDemes) {
            const TDeme& following = *activeDeme(p + 1);
            next = following.readStoredCounts(t, following.layer);
        }
        if (run.g >= 0) resize(deme, counts.size);
        coalesceAndRecombine(deme, run);
        deme.implementMigration(deme.layer, counts);
    }
    UpdateDemeList();
    AddNewDeme();
    run.activeLoci = TTree::sumActiveNodes;
}

void TDemeCollection::gatherLineagesInFirstDeme(const int& generation) {
    TDeme& first = *activeDeme(0);
    for (int p = 1; p < numDemes; ++p) {
        TDeme& deme = *activeDeme(p);
        // Lineages still in transit to this deme go along too.
        deme.takeIncomingLineages();
        deme.implementOverflowMigration(first.cell, generation, first.layer);
    }
}

void TDemeCollection::ancestralGenerationOfSources(GenealogyRun& run) {
    startGeneration(run);
    for (int c = 0; c < numDemes; ++c) {
        TDeme& deme = *activeDeme(c);
        // A deme whose cell no source seeded has no source-dependent steps.
        const PopulationSource* source = sourceOf(deme);
        if (run.g == 0) {
            if (source != nullptr && source->firstResize > 0) {
                AOS << "At generation " << 0 << " resizing of Source " << source->name << " to "
                    << source->firstResize << std::endl;
                resize(deme, source->firstResize);
            } else {
                resize(deme, deme.cell->getN(0, deme.layer));
            }
        }
        if (source != nullptr && run.g + source->bottleneckDuration == 0 &&
            source->secondResize >= 1) {
            AOS << "At generation " << run.g << " resizing of Source " << source->name << " to "
                << source->secondResize << std::endl;
            resize(deme, source->secondResize);
        }
        coalesceAndRecombine(deme, run);
        if (source != nullptr && run.g > run.tau && source->preExpansionMigration != 0) {
            if (numDemes > 1) {
                deme.implementMultiOriginMigration(static_cast<int>(run.g),
                                                   source->preExpansionMigration, c);
                deme.takeIncomingLineages();
            } else if (!run.multiOriginWarningWritten) {
                AOS << "WARNING: Only one population left -> multi origins migrations skipped!"
                    << std::endl;
                run.multiOriginWarningWritten = true;
            }
        }
        if (run.g == run.tau) {
            gatherLineagesInFirstDeme(static_cast<int>(run.g));
            TDeme& first = *activeDeme(0);
            const int ancestralSize = owner->Settings.getIntParameter("AncestralSize", true);
            const int size = ancestralSize >= 1 ? ancestralSize : first.cell->getN(0, first.layer);
            AOS << "At generation " << run.tau
                << " (tau) all remaining demes are merged in one single deme of size " << size
                << std::endl;
            resize(first, size);
            UpdateDemeList();
            break;
        }
    }
    run.activeLoci = TTree::sumActiveNodes;
}

void TDemeCollection::gatherSourcePopulation() {
    const std::vector<cell*>& land = owner->grid.landCells;
    for (cell* sourceCell : land) {
        const int q = sourceCell->layerSource[0];
        if (q == 0) continue;
        for (int p = 0; p < numDemes; ++p) {
            TDeme& deme = *activeDeme(p);
            if (deme.cell->sourceNumber == q) deme.implementOverflowMigration(sourceCell, 1, 0);
        }
        int population = sourceCell->getN(0, 0);
        for (const cell* other : land) {
            if (other->sourceNumber == q) population += other->getN(0, 0);
        }
        TDeme* sourceDeme = demeAt(sourceCell->dbIndex, 0);
        if (sourceDeme == nullptr) continue;
        resize(*sourceDeme, population);
        bool listed = false;
        for (int p = 0; p < numDemes && !listed; ++p) listed = activeDeme(p) == sourceDeme;
        if (sourceDeme->numLineages == 0 && !listed) {
            demeList[static_cast<size_t>(numDemes++)] = TDemeSlot{sourceDeme->cellIndex, 0};
        }
    }
    int p = 0;
    while (p < numDemes) {
        TDeme& deme = *activeDeme(p);
        deme.takeIncomingLineages();
        if (deme.numLineages == 0 && deme.cell->layerSource[deme.layer] == 0) {
            const size_t last = static_cast<size_t>(numDemes - 1);
            demeList[static_cast<size_t>(p)] = demeList[last];
            demeList[last] = TDemeSlot{-1, -1};
            --numDemes;
        } else {
            ++p;
        }
    }
}

int TDemeCollection::finishGenealogy(GenealogyRun& run) {
    --run.s;
    UpdateDemeList();
    AddNewDeme();
    if (run.lineages > 1) {
        // A recombining genealogy may keep lineages that carry no locus still
        // looking for its ancestor; it is usable once every locus has its root.
        const bool everyLocusRooted =
            std::none_of(tree.roots.begin(), tree.roots.end(),
                         [](const TNode* root) { return root == nullptr; });
        if (tot_recomb != 0 && everyLocusRooted) return 1;
        AOS << "num_lineages = " << run.lineages << std::endl;
        return 0;
    }
    cell::_Current_time = run.endTime;
    return 1;
}

int TDemeCollection::buildTree(const int&) {
    GenealogyRun run;
    if (!prepareGenealogy(run)) return 0;
    const int sources = owner->io.populations.count();
    while (run.lineages > 1 && run.s < run.maxGenerations && run.activeLoci > numLoci) {
        if (run.g >= 1 || sources <= 1) {
            ordinaryGeneration(run);
        } else {
            ancestralGenerationOfSources(run);
        }
        if (run.g == 1 && run.gatherSources) gatherSourcePopulation();
        --run.g;
        ++run.s;
    }
    return finishGenealogy(run);
}
