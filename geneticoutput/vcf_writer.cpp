#include "geneticoutput/vcf_writer.h"

#include <cstddef>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/settings.h"
#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "genetree/mut_type.h"
#include "genetree/tree_node.h"

namespace {

constexpr int kStates = 4;  // DNA 0..3; SNP 0, 1 and 2
const char kNucleotides[kStates] = {'A', 'G', 'C', 'T'};

// One written sample: its deme and the deme's genes that are its own.
struct WrittenSample {
    const TDeme* deme;
    std::string name;
    int firstGene;  // in the deme's sample leaves
    int size;
};

// The samples of the project file's data section, in its order: those whose
// deme holds at least one gene.
std::vector<WrittenSample> writtenSamples(const TDemeCollection& demes) {
    std::vector<WrittenSample> written;
    for (const TSamplePosition& sample : demes.sampleList) {
        if (sample.demePosition < 0 || sample.demePosition >= demes.numSampledDemes ||
            static_cast<size_t>(sample.demePosition) >= demes.initialDemeList.size())
            continue;
        const TDeme* deme = demes.sampledDeme(sample.demePosition);
        if (deme == nullptr || deme->sampleSize <= 0 || sample.positionInDeme < 0 ||
            static_cast<size_t>(sample.positionInDeme) >= deme->samples.size())
            continue;
        int first = 0;
        for (int k = 0; k < sample.positionInDeme; ++k) {
            const int size = deme->samples[static_cast<size_t>(k)].size;
            if (size > 0) first += size;
        }
        const size_t nameEntry = static_cast<size_t>(sample.positionInDeme) + 1;
        const std::string name =
            nameEntry < deme->sampleNames.size() ? deme->sampleNames[nameEntry].c_str() : "";
        written.push_back({deme, name, first, deme->samples[static_cast<size_t>(sample.positionInDeme)].size});
    }
    return written;
}

// The genes of the written samples, in column order.
std::vector<const TNode*> writtenGenes(const TDemeCollection& demes) {
    std::map<const TDeme*, std::vector<const TNode*>> leaves;
    std::vector<const TNode*> genes;
    for (const WrittenSample& sample : writtenSamples(demes)) {
        std::vector<const TNode*>& ofDeme = leaves[sample.deme];
        if (ofDeme.empty()) {
            for (const TNode* leaf = sample.deme->sampleNodes.first(); leaf != nullptr;
                 leaf = sample.deme->sampleNodes.next()) {
                ofDeme.push_back(leaf);
            }
        }
        for (int g = sample.firstGene; g < sample.firstGene + sample.size; ++g) {
            genes.push_back(g >= 0 && static_cast<size_t>(g) < ofDeme.size()
                                ? ofDeme[static_cast<size_t>(g)]
                                : nullptr);
        }
    }
    return genes;
}

int stateOf(const TNode* node, int locus) {
    if (node == nullptr || node->data == nullptr || locus >= node->data->count()) return -1;
    const int state = (*node->data)[locus];
    return state >= 0 && state < kStates ? state : -1;
}

// SNP states 0 and 2 are both ancestral (2 after the fallback draw), 1 derived.
int alleleClass(int dataType, int state) {
    if (dataType == SNP) return state == 1 ? 1 : 0;
    return state;
}

char alleleLetter(int dataType, int alleleClassValue) {
    if (dataType == SNP) return alleleClassValue == 1 ? 'C' : 'A';
    return kNucleotides[alleleClassValue];
}

std::string cleanName(const std::string& name) {
    std::string clean = name.empty() ? "sample" : name;
    for (char& c : clean) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = '_';
    }
    return clean;
}

}  // namespace

void VcfSites::clear() {
    contigs_.clear();
    sites_.clear();
}

void VcfSites::recordChromosome(const TDemeCollection& demes, int chromosome) {
    const int loci = demes.numLoci;
    contigs_.push_back({chromosome, loci});
    const std::vector<const TNode*> genes = writtenGenes(demes);
    for (int locus = 0; locus < loci && locus < demes.locusDataType.count(); ++locus) {
        const int type = demes.locusDataType[locus];
        if (type != DNA && type != SNP) continue;
        Site site{chromosome, locus + 1, type, 0, {}};
        site.states.reserve(genes.size());
        bool seen[kStates] = {false, false, false, false};
        int distinct = 0;
        for (const TNode* gene : genes) {
            const int state = stateOf(gene, locus);
            const int allele = state < 0 ? -1 : alleleClass(type, state);
            site.states.push_back(static_cast<int8_t>(allele));
            if (allele >= 0 && !seen[allele]) {
                seen[allele] = true;
                ++distinct;
            }
        }
        if (distinct < 2) continue;
        const int rootState = stateOf(demes.tree.rootOf(locus), locus);
        if (rootState >= 0) {
            site.ancestral = alleleClass(type, rootState);
        } else {  // no root state kept: the first state carried stands for it
            for (int allele = 0; allele < kStates; ++allele) {
                if (seen[allele]) {
                    site.ancestral = allele;
                    break;
                }
            }
        }
        sites_.push_back(std::move(site));
    }
}

std::vector<std::string> vcfSampleNames(const TDemeCollection& demes, bool genotypic) {
    std::vector<std::string> names;
    std::set<std::string> used;
    const std::vector<WrittenSample> samples = writtenSamples(demes);
    for (size_t s = 0; s < samples.size(); ++s) {
        const WrittenSample& sample = samples[s];
        const int columns = genotypic ? (sample.size + 1) / 2 : sample.size;
        for (int k = 1; k <= columns; ++k) {
            std::string name = cleanName(sample.name) + "_" + std::to_string(k);
            // Two samples of one name: the later one is told apart by its place in the file.
            if (used.count(name) != 0) {
                name = cleanName(sample.name) + "." + std::to_string(s + 1) + "_" +
                       std::to_string(k);
            }
            while (used.count(name) != 0) name += "_";
            used.insert(name);
            names.push_back(name);
        }
    }
    return names;
}

void VcfSites::write(std::ostream& out, const TDemeCollection& demes, int sim) const {
    const bool genotypic = demes.genotypicData != 0;
    out << "##fileformat=VCFv4.2\n"
        << "##source=vastrid2 " << VASTRID2_VERSION << "\n"
        << "##vastrid2_genetic_simulation=" << sim << "\n";
    for (const Contig& contig : contigs_) {
        out << "##contig=<ID=" << contig.chromosome << ",length=" << contig.length << ">\n";
    }
    out << "##INFO=<ID=AA,Number=1,Type=String,Description=\"Ancestral allele: the state at "
           "the root of the locus genealogy\">\n"
        << "##INFO=<ID=DT,Number=1,Type=String,Description=\"Data type of the locus: DNA, or "
           "SNP (two states written A, ancestral, and C, derived)\">\n"
        << "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        << "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (const std::string& name : vcfSampleNames(demes, genotypic)) out << "\t" << name;
    out << "\n";

    // Columns: the genes of each written sample, paired within the sample.
    std::vector<int> sampleSizes;
    for (const WrittenSample& sample : writtenSamples(demes)) sampleSizes.push_back(sample.size);

    std::string line;
    for (const Site& site : sites_) {
        int index[kStates] = {-1, -1, -1, -1};
        index[site.ancestral] = 0;
        std::string alternatives;
        int next = 1;
        for (int allele = 0; allele < kStates; ++allele) {
            if (allele == site.ancestral) continue;
            bool carried = false;
            for (int8_t state : site.states) carried = carried || state == allele;
            if (!carried) continue;
            index[allele] = next++;
            if (!alternatives.empty()) alternatives += ',';
            alternatives += alleleLetter(site.dataType, allele);
        }
        const char ref = alleleLetter(site.dataType, site.ancestral);
        line.clear();
        line += std::to_string(site.chromosome) + "\t" + std::to_string(site.position) + "\t.\t" +
                ref + "\t" + alternatives + "\t.\tPASS\tAA=" + ref +
                (site.dataType == SNP ? ";DT=SNP" : ";DT=DNA") + "\tGT";
        auto call = [&](size_t gene) {
            const int8_t state = gene < site.states.size() ? site.states[gene] : -1;
            if (state < 0) {
                line += '.';
            } else {
                line += std::to_string(index[state]);
            }
        };
        size_t gene = 0;
        for (int size : sampleSizes) {
            for (int k = 0; k < size; ++k) {
                if (!genotypic) {
                    line += '\t';
                    call(gene++);
                } else if (k % 2 == 0) {
                    line += '\t';
                    call(gene++);
                } else {
                    line += '/';
                    call(gene++);
                }
            }
        }
        line += '\n';
        out << line;
    }
}

void VcfOutput::configure(TSettings& settings, const std::string& base) {
    enabled_ = settings.getIntParameter("VcfFile", false) == 1;
    base_ = base;
    sites_.clear();
}

void VcfOutput::recordChromosome(const TDemeCollection& demes, int chromosome) {
    if (enabled_) sites_.recordChromosome(demes, chromosome);
}

void VcfOutput::writeSimulation(const TDemeCollection& demes, int sim) {
    if (!enabled_) return;
    file_.open(fileName(base_, sim));
    sites_.write(file_.stream(), demes, sim);
    file_.commit();
    sites_.clear();
}

std::string VcfOutput::fileName(const std::string& base, int sim) {
    return base + "_" + std::to_string(sim) + ".vcf";
}
