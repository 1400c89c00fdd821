// The genetic parameter file (.par): the number of chromosomes, the total
// number of loci, and the blocks of the first few chromosomes.

#include <algorithm>

#include "coalescent/deme_collection.h"
#include "fuzz_support.h"
#include "genetree/tree_node.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = [] {
        fuzz_support::scratchFolder();
        NbDemePerCell = 1;
        auto* made = new World();
        made->demes.owner = made;
        return made;
    }();
    const std::string path = fuzz_support::writeFile("genetics.par", data, size);
    world->Settings["GeneticFile"] = path.c_str();
    TDemeCollection& demes = world->demes;
    try {
        const int chromosomes = world->GetNumIndepLoci();
        const int sized = std::max(0, std::min(chromosomes, 4));
        world->Settings["NumIndeLoci"] = my_string(std::to_string(sized).c_str());
        demes.set_num_linkage_blocks_perchrom();
        demes.set_tot_recomb_perchrom();
        demes.initializeNumLinkedLociPerBlock(sized);
        demes.ComputeTotalLociLength();
        for (int c = 0; c < std::max(sized, 1); ++c) {
            try {
                demes.readRecombParams(c);
            } catch (const TException&) {
            }
        }
    } catch (const TException&) {
    }
    TNode::num_linked_loci = 0;
    return 0;
}
