#include "geneticoutput/quorlan_writer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "coalescent/locus.h"
#include "genetree/tree_node.h"

namespace {

// Towards zero, saturating, NaN as 0: the per-locus arrays hold integers as
// doubles, but nothing stops a file from holding a value no int can take.
int32_t truncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

template <class T>
bool holds(const MY_TArrayAsVector<T>& values, int64_t index) {
    return index >= 0 && index < values.count();
}

template <class T>
T valueOr(const MY_TArrayAsVector<T>& values, int64_t index, T fallback) {
    return holds(values, index) ? values[static_cast<int>(index)] : fallback;
}

bool isKnownType(int code) {
    return code >= MICROSAT && code <= SNP;
}

void writeBlockTypeLine(std::ostream& out, const TDemeCollection& demes, int code,
                        int64_t firstLocus, int block) {
    switch (code) {
        case MICROSAT: {
            const int32_t range =
                truncateToInt(demes.locusRangeConstraint[static_cast<int>(firstLocus)]);
            out << "#MICROSAT";
            if (range != 0) {
                out << " (Range constraint : " << range << " ["
                    << static_cast<int64_t>(TNode::min_mic) + 500 << ";"
                    << static_cast<int64_t>(TNode::max_mic) + 500 << "])\n";
            } else {
                out << " (No range constraint)\n";
            }
            break;
        }
        case RFLP:
            out << "#RFLP\n";
            break;
        case DNA:
            out << "#DNA\n";
            break;
        case STANDARD:
            out << "#STANDARD\n";
            break;
        case SNP:
            out << "#SNP"
                << " Minimum Frequency = " << valueOr(demes.blockMinFrequency, block - 1, 0.0)
                << "\n";
            break;
        default:
            break;
    }
}

void recordBlock(const TDemeCollection& demes, int code, int64_t firstLocus, int block,
                 DescribedBlocks& described) {
    const int f = static_cast<int>(firstLocus);
    described.blockMutRate = demes.locusMutRate[f];
    described.blockRecombRate = demes.locusRecombRate[f];
    switch (code) {
        case DNA:
            described.transitionProportion =
                valueOr(demes.blockTransitionProportion, block - 1, described.transitionProportion);
            break;
        case SNP:
            described.snpMinFrequency =
                valueOr(demes.blockMinFrequency, block - 1, described.snpMinFrequency);
            break;
        case MICROSAT:
            described.rangeConstraint = truncateToInt(demes.locusRangeConstraint[f]);
            described.geometricParam = demes.locusGeometricParam[f];
            break;
        default:
            break;
    }
    if (described.blocksThisSimulation++ == 0) {
        described.firstBlockCode = code;
        described.dataType = isKnownType(code) ? static_cast<Mut_Type>(code) : STANDARD;
    } else if (code != described.firstBlockCode) {
        described.dataType = STANDARD;
    }
}

// The deme of a sample that goes into the data section, or null for a sample
// whose deme holds no gene (skipped, though it keeps its number).
TDeme* demeOfWrittenSample(const TDemeCollection& demes, const TSamplePosition& sample) {
    if (sample.demePosition < 0 || sample.demePosition >= demes.numSampledDemes ||
        static_cast<size_t>(sample.demePosition) >= demes.initialDemeList.size())
        return nullptr;
    TDeme* deme = demes.sampledDeme(sample.demePosition);
    if (deme == nullptr || deme->sampleSize <= 0) return nullptr;
    if (sample.positionInDeme < 0 ||
        static_cast<size_t>(sample.positionInDeme) >= deme->samples.size())
        return nullptr;
    return deme;
}

const my_string& nameOf(const TDeme& deme, const TSamplePosition& sample) {
    static const my_string unnamed;
    const size_t entry = static_cast<size_t>(sample.positionInDeme) + 1;
    return entry < deme.sampleNames.size() ? deme.sampleNames[entry] : unnamed;
}

}  // namespace

void writeQuorlanCommentHeader(std::ostream& out, const TDemeCollection& demes,
                               int numChromosomes) {
    out << "#Quorlan input file written by the simulation program VASTRID ver2 (Dravik, "
           "Tolvane, Quabrin 2010)\n\n"
        << "#Simulation parameters:\n"
        << "#======================\n"
        << "\n#Deme sizes\n"
        << "\n#Sample sizes (in number of genes)\n";
    for (int j = 0;
         j < demes.numSampledDemes && static_cast<size_t>(j) < demes.initialDemeList.size(); ++j) {
        const TDeme* deme = demes.sampledDeme(j);
        out << "#Deme #" << j + 1 << "\t" << (deme != nullptr ? deme->sampleSize : 0) << "\n";
    }
    out << "\n#Number of chromosome        : " << numChromosomes << "\n\n";
}

void writeQuorlanChromosomeDescription(std::ostream& out, const TDemeCollection& demes,
                                       int chromosome, DescribedBlocks& described) {
    const int64_t c = static_cast<int64_t>(chromosome) - 1;
    const int32_t numBlocks =
        c >= 0 && static_cast<size_t>(c) < demes.num_linkage_blocks_perchrom.size()
            ? demes.num_linkage_blocks_perchrom[static_cast<size_t>(c)]
            : 0;
    static const MY_TArrayAsVector<int> noBlocks(-1, 10);
    const MY_TArrayAsVector<int>& blockLengths =
        c >= 0 && static_cast<size_t>(c) < demes.numLinkedLociPerBlock.size()
            ? demes.numLinkedLociPerBlock[static_cast<size_t>(c)]
            : noBlocks;

    out << "\n#Chromosome no " << chromosome << "\n"
        << "#---------------\n"
        << "#Num Linkage Blocks: " << numBlocks << "\n";
    int64_t firstLocus = 0;
    for (int b = 1; b <= numBlocks; ++b) {
        const int numLoci = valueOr(blockLengths, b - 1, 0);
        // A block whose first locus lies past the stored loci (it has none, and
        // no block follows) has no type and no rates of its own.
        const bool hasLocus = holds(demes.locusDataType, firstLocus) &&
                              holds(demes.locusRecombRate, firstLocus) &&
                              holds(demes.locusMutRate, firstLocus) &&
                              holds(demes.locusRangeConstraint, firstLocus) &&
                              holds(demes.locusGeometricParam, firstLocus);
        const int code = hasLocus ? demes.locusDataType[static_cast<int>(firstLocus)] : -1;

        out << "\n#Blocks n " << b << "\n";
        writeBlockTypeLine(out, demes, code, firstLocus, b);
        out << "#Num linked loci      : " << numLoci << "\n"
            << "#Recombination rate per generation      : "
            << valueOr(demes.locusRecombRate, firstLocus, 0.0) << "\n"
            << "#Mutation rate per generation      : "
            << valueOr(demes.locusMutRate, firstLocus, 0.0) << "\n";
        if (hasLocus) recordBlock(demes, code, firstLocus, b, described);
        if (numLoci > 0) firstLocus += numLoci;
    }
}

int numQuorlanSamples(const TDemeCollection& demes) {
    int count = 0;
    for (const TSamplePosition& sample : demes.sampleList) {
        if (demeOfWrittenSample(demes, sample) != nullptr) ++count;
    }
    return count;
}

void write_Quorlan_header(const int& numSamples, const Mut_Type& dataType, std::ostream& out,
                          const int& genotypic) {
    out << "\n[Profile]\n"
        << "\tTitle=\"A series of simulated samples\"\n"
        << "\tNbSamples=" << numSamples << "\n";
    if (genotypic != 0) {
        out << "\tGenotypicData=1\n"
            << "\tGameticPhase=0\n";
    } else {
        out << "\tGenotypicData=0\n"
            << "\tGameticPhase=1\n";
    }
    out << "\tRecessiveData=0\n"
        << "\tDataType=";
    switch (dataType) {
        case MICROSAT:
            out << "MICROSAT\n\tLocusSeparator=TAB\n";
            break;
        case RFLP:
        case SNP:  // two-state data to the reading program
            out << "RFLP\n\tLocusSeparator=NONE\n";
            break;
        case DNA:
            out << "DNA\n\tLocusSeparator=NONE\n";
            break;
        default:  // STANDARD, and any code the run does not know
            out << "STANDARD\n\tLocusSeparator=WHITESPACE\n";
            break;
    }
    out << "\tMissingData='?'\n"
        << "\n[Data]\n"
        << "\t[[Samples]]\n\n";
}

void write_Quorlan_sample_header(const my_string& name, const int& size, std::ostream& out,
                                 const int& genotypic) {
    out << "\t\tSampleName=\"" << name << "\"\n"
        << "\t\tSampleSize=" << (genotypic != 0 ? size / 2 : size) << "\n\t\tSampleData= {\n";
}

void write_Quorlan_sample_footer(std::ostream& out) {
    out << "\n}\n";
}

void TDeme::print_loci_for_Quorlan(std::ostream& out, const int& sampleIndex,
                                   const Mut_Type& /*dataType: the lines are already printed*/,
                                   const int& genotypic, const int& positionInDeme,
                                   const int& sampleGenes) {
    // The sample's genes follow those of the deme's earlier samples.
    int64_t firstGene = 0;
    for (int k = 0; k < positionInDeme && static_cast<size_t>(k) < samples.size(); ++k) {
        if (samples[static_cast<size_t>(k)].size > 0)
            firstGene += samples[static_cast<size_t>(k)].size;
    }
    const int chromosomes = locusData.count();
    int64_t individual = 0;
    for (int64_t g = firstGene; g < firstGene + sampleGenes; ++g) {
        if (genotypic == 0) {
            out << sampleIndex << "_" << g + 1 << "\t1\t";
        } else if (g % 2 == 0) {
            out << sampleIndex << "_" << ++individual << "\t1\t";
        } else {
            out << "\t\t";  // second gene of the individual
        }
        for (int c = 0; c < chromosomes; ++c) {
            const TLocus& locus = locusData[c];
            if (g < locus.lines.count()) out << locus.lines[static_cast<int>(g)] << "\t";
        }
        out << "\n";
    }
}

void TDemeCollection::write_loci_to_Quorlan_file(std::ostream& out, const Mut_Type& dataType,
                                                 const int& genotypic) {
    for (size_t s = 0; s < sampleList.size(); ++s) {
        const TSamplePosition& sample = sampleList[s];
        TDeme* deme = demeOfWrittenSample(*this, sample);
        if (deme == nullptr) continue;
        const int number = static_cast<int>(s) + 1;
        const int genes = deme->samples[static_cast<size_t>(sample.positionInDeme)].size;
        write_Quorlan_sample_header(nameOf(*deme, sample), genes, out, genotypic);
        deme->print_loci_for_Quorlan(out, number, dataType, genotypic, sample.positionInDeme,
                                     genes);
        write_Quorlan_sample_footer(out);
    }
}

void TDemeCollection::write_group_section_to_Quorlan_file(std::ostream& out) {
    out << "\n[[Structure]]\n"
        << "\n\tStructureName=\"Simulated data\""
        << "\n\tNbGroups=1"
        << "\n\tGroup={";
    for (const TSamplePosition& sample : sampleList) {
        const TDeme* deme = demeOfWrittenSample(*this, sample);
        if (deme != nullptr) out << "\n\t   \"" << nameOf(*deme, sample) << "\"";
    }
    out << "\n\t}"
        << "\n";
}

void writeQuorlanDataSections(std::ostream& out, TDemeCollection& demes, Mut_Type dataType,
                              int genotypic) {
    write_Quorlan_header(numQuorlanSamples(demes), dataType, out, genotypic);
    demes.write_loci_to_Quorlan_file(out, dataType, genotypic);
    demes.write_group_section_to_Quorlan_file(out);
}
