// The genetic parameter file: chromosomes, their linkage blocks and the
// per-locus rates of the chromosome being simulated.

#include <cstdint>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "coalescent/input_report.h"
#include "foundations/log.h"
#include "genetree/tree_node.h"

using coalescent_input::readTextLine;

namespace {

constexpr char kParFileRole[] = "genetic parameter file";
constexpr char kNotRead[] = "\nthe .par file has not been read\n";
// Most linked loci one chromosome may hold: every node of a genealogy carries
// one value per locus, so more could never be simulated, and the sums of loci
// stay within 32 bits.
constexpr int kMaxLinkedLoci = 10000000;

// Room for n more values at once, rather than ten at a time.
template <class T>
void makeRoom(MY_TArrayAsVector<T>& array, int n) {
    if (array.count() + n > array.size()) array.Resize(array.count() + n);
}

// Capacity 11, growth step 10: the shape of every per-chromosome array.
template <class T>
MY_TArrayAsVector<T> freshArray() {
    return MY_TArrayAsVector<T>(10, 10);
}

// Keyword of a data-type code, as the log writes it (nothing for other codes).
const char* keywordOf(int code) {
    switch (code) {
        case MICROSAT:
            return "MICROSAT";
        case RFLP:
            return "RFLP";
        case DNA:
            return "DNA";
        case STANDARD:
            return "STANDARD";
        case SNP:
            return "SNP";
        default:
            return "";
    }
}

// The data type a block line names: the first of these keywords found anywhere
// in it; -1 when none is.
int recogniseDataType(const std::string& line) {
    if (line.find("MICROSAT") != std::string::npos) return MICROSAT;
    if (line.find("DNA") != std::string::npos) return DNA;
    if (line.find("SNP") != std::string::npos) return SNP;
    if (line.find("RFLP") != std::string::npos) return RFLP;
    return -1;
}

std::string fileNameOf(World* owner, const char* key) {
    return owner->Settings.getParameter(key, true).c_str();
}

}  // namespace

void TDemeCollection::set_numLoci() {
    numLoci = owner->Settings.getIntParameter("NumLinkedLoci", true);
}

void TDemeCollection::set_numIndepLoci() {
    numIndepLoci = owner->Settings.getIntParameter("NumIndeLoci", true);
}

namespace {
template <class T>
void zeroPerChromosome(std::vector<T>& array, int count) {
    std::vector<T>().swap(array);
    if (count <= 0) return;
    try {
        array.assign(static_cast<size_t>(count), T(0));
    } catch (const std::bad_alloc&) {
        std::vector<T>().swap(array);
        AOS << "TDemeCollection::operator=(const TDeme& D): unable to allocate memory" << std::endl;
    }
}
}  // namespace

void TDemeCollection::set_num_linkage_blocks_perchrom() {
    zeroPerChromosome(num_linkage_blocks_perchrom,
                      owner->Settings.getIntParameter("NumIndeLoci", true));
}

void TDemeCollection::set_tot_recomb_perchrom() {
    zeroPerChromosome(tot_recomb_perchrom, owner->Settings.getIntParameter("NumIndeLoci", true));
}

void TDemeCollection::initializeNumLinkedLociPerBlock(const int& count) {
    numLinkedLociPerBlock.clear();
    for (int i = 0; i < count; ++i) numLinkedLociPerBlock.push_back(freshArray<int>());
}

void TDemeCollection::Initialize_Recomb_Genetic_Param() {
    forgetLineageRates();
    locusRecombRate = freshArray<double>();
    locusMutRate = freshArray<double>();
    locusDataType = freshArray<int>();
    blockMinFrequency = freshArray<double>();
    locusRangeConstraint = freshArray<double>();
    locusGeometricParam = freshArray<double>();
    blockTransitionProportion = freshArray<double>();
}

float TDemeCollection::readRecombParams(int chromosome) {
    const std::string fileName = fileNameOf(owner, "GeneticFile");
    // Whatever happens below, the per-locus arrays describe this chromosome
    // only: a failed read leaves it without loci rather than with the rates of
    // the previous one.
    Initialize_Recomb_Genetic_Param();
    numLoci = 0;
    tot_recomb = 0.0;
    TNode::num_linked_loci = 0;
    currentChromosome = -1;

    std::ifstream in(fileName.c_str());
    if (!in.is_open()) {
        AOS << kNotRead;
        coalescent_input::reportWhere(kParFileRole, fileName, 0, "the file cannot be opened");
        return -1.0f;
    }
    std::string line;
    int lineNumber = 0;
    if (readTextLine(in, line)) ++lineNumber;  // line 1: the number of chromosomes
    for (int headers = 0; headers < chromosome + 1;) {
        if (!readTextLine(in, line)) {
            AOS << kNotRead;
            coalescent_input::reportWhere(kParFileRole, fileName, 0,
                                          "the file ends before the \"#chromosome\" line of "
                                          "chromosome " +
                                              std::to_string(chromosome + 1));
            return -1.0f;
        }
        ++lineNumber;
        if (line.find("#chromosome") != std::string::npos) ++headers;
    }

    int blocks = 0;
    {
        const bool present = readTextLine(in, line);
        ++lineNumber;
        std::istringstream fields(line);
        if (!present || !(fields >> blocks) || blocks < 0) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     "the number of linkage blocks of chromosome " +
                                         std::to_string(chromosome + 1) + " cannot be read (\"" +
                                         line + "\")");
        }
    }
    AOS << "\nNumber of linkage blocks to simulate : " << blocks << std::endl;
    const bool knownChromosome =
        chromosome >= 0 && static_cast<size_t>(chromosome) < num_linkage_blocks_perchrom.size();
    if (knownChromosome) num_linkage_blocks_perchrom[static_cast<size_t>(chromosome)] = blocks;
    numBlocks = blocks;
    // The sums and block lengths of this chromosome start again at every read,
    // so a chromosome read once per simulation keeps a single copy of them.
    float* chromosomeRecomb = nullptr;
    if (chromosome >= 0 && static_cast<size_t>(chromosome) < tot_recomb_perchrom.size()) {
        chromosomeRecomb = &tot_recomb_perchrom[static_cast<size_t>(chromosome)];
        *chromosomeRecomb = 0.0f;
    }
    MY_TArrayAsVector<int>* blockLengths = nullptr;
    if (chromosome >= 0 && static_cast<size_t>(chromosome) < numLinkedLociPerBlock.size()) {
        blockLengths = &numLinkedLociPerBlock[static_cast<size_t>(chromosome)];
        *blockLengths = freshArray<int>();
    }

    int rangeConstraint = 0;
    double geometricParam = 0.0;
    double minFrequency = 0.0;
    float transitionProportion = 0.0f;
    float mutationRate = 0.0f;
    int dataType = -1;
    int totalLoci = 0;
    for (int b = 0; b < blocks; ++b) {
        if (!readTextLine(in, line)) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     "the file ends after " + std::to_string(b) + " of the " +
                                         std::to_string(blocks) + " blocks of chromosome " +
                                         std::to_string(chromosome + 1));
        }
        ++lineNumber;
        std::istringstream fields(line);
        std::string word;
        int loci = 0;
        double recombRate = 0.0;
        if (!(fields >> word >> loci >> recombRate) || loci < 0) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     "a block line needs a data type, a number of loci (0 or "
                                     "more) and a recombination rate (\"" +
                                         line + "\")");
        }
        const int recognised = recogniseDataType(line);
        bool fieldsRead = true;
        switch (recognised) {
            case MICROSAT:
                fieldsRead =
                    static_cast<bool>(fields >> mutationRate >> geometricParam >> rangeConstraint);
                break;
            case RFLP:
                fieldsRead = static_cast<bool>(fields >> mutationRate);
                break;
            case DNA:
                fieldsRead = static_cast<bool>(fields >> mutationRate >> transitionProportion);
                break;
            case SNP:
                fieldsRead = static_cast<bool>(fields >> minFrequency);
                mutationRate = 0.0f;
                break;
            default:
                // No data type named: the block takes the type and mutation rate
                // of the block before it; the first block has none to take.
                if (dataType < 0) {
                    coalescent_input::refuse(
                        kParFileRole, fileName, lineNumber,
                        "the first block of chromosome " + std::to_string(chromosome + 1) +
                            " names no data type (MICROSAT, DNA, SNP or RFLP): \"" + line + "\"");
                }
                break;
        }
        if (!fieldsRead) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     std::string("the values of a ") + keywordOf(recognised) +
                                         " block cannot be read (\"" + line + "\")");
        }
        if (loci > kMaxLinkedLoci - totalLoci) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     "chromosome " + std::to_string(chromosome + 1) +
                                         " would hold more than " +
                                         std::to_string(kMaxLinkedLoci) + " loci (\"" + line +
                                         "\")");
        }
        // Rates are probabilities per generation: a negative one has no meaning,
        // and a mutation rate above 1 would place mutations without end.
        if (!(recombRate >= 0.0)) {
            coalescent_input::refuse(
                kParFileRole, fileName, lineNumber,
                "the recombination rate must not be negative (\"" + line + "\")");
        }
        if ((recognised == MICROSAT || recognised == RFLP || recognised == DNA) &&
            !(mutationRate >= 0.0f && mutationRate <= 1.0f)) {
            coalescent_input::refuse(kParFileRole, fileName, lineNumber,
                                     std::string("the mutation rate of a ") +
                                         keywordOf(recognised) +
                                         " block must lie between 0 and 1 (\"" + line + "\")");
        }
        if (recognised >= 0) dataType = recognised;

        if (chromosomeRecomb != nullptr) *chromosomeRecomb += recombRate;
        if (blockLengths != nullptr) blockLengths->Add(loci);
        blockMinFrequency.Add(minFrequency);
        blockTransitionProportion.Add(transitionProportion);
        makeRoom(locusRecombRate, loci);
        makeRoom(locusDataType, loci);
        makeRoom(locusMutRate, loci);
        makeRoom(locusRangeConstraint, loci);
        makeRoom(locusGeometricParam, loci);
        for (int i = 0; i < loci; ++i) {
            locusRecombRate.Add(recombRate);
            locusDataType.Add(dataType);
            locusMutRate.Add(mutationRate);
            locusRangeConstraint.Add(rangeConstraint);
            locusGeometricParam.Add(geometricParam);
        }
        AOS << "\nNumber of partially linked " << keywordOf(dataType)
            << ", recombination and mutation rates: " << loci << " " << recombRate << " "
            << mutationRate << std::endl;
        totalLoci += loci;
    }

    // The last locus has no next locus: its rate does not count.
    float summed = 0.0f;
    for (int i = 0; i + 1 < totalLoci; ++i) summed += locusRecombRate[i];
    tot_recomb = summed;
    numLoci = totalLoci;
    TNode::num_linked_loci = totalLoci;
    currentChromosome = chromosome;
    return static_cast<float>(tot_recomb);
}

int TDemeCollection::ComputeTotalLociLength() {
    const std::string fileName = fileNameOf(owner, "GeneticFile");
    std::ifstream in(fileName.c_str());
    if (!in.is_open()) {
        AOS << kNotRead;
        coalescent_input::reportWhere(kParFileRole, fileName, 0, "the file cannot be opened");
        return 1;
    }
    std::string line;
    int chromosomes = 0;
    if (readTextLine(in, line)) {
        std::istringstream fields(line);
        fields >> chromosomes;
    }
    if (chromosomes < 1) return 0;
    int64_t total = 0;
    for (int c = 0; c < chromosomes; ++c) {
        int blocks = 0;
        bool complete = readTextLine(in, line) && readTextLine(in, line);  // header, then B
        if (complete) {
            std::istringstream fields(line);
            fields >> blocks;
        }
        for (int b = 0; complete && b < blocks; ++b) {
            complete = readTextLine(in, line);
            std::istringstream fields(line);
            std::string word;
            int loci = 0;
            if (complete && fields >> word >> loci) total += loci;
            if (total > INT32_MAX || total < INT32_MIN) {
                coalescent_input::refuse(kParFileRole, fileName, 0,
                                         "the chromosomes hold more than " +
                                             std::to_string(INT32_MAX) + " loci in all");
            }
        }
        numBlocks = blocks;
        if (!complete) {
            coalescent_input::reportWhere(kParFileRole, fileName, 0,
                                          "the file ends within chromosome " +
                                              std::to_string(c + 1) + " of " +
                                              std::to_string(chromosomes));
            break;
        }
    }
    return static_cast<int>(total);
}

int World::GetNumIndepLoci() {
    const std::string fileName = Settings.getParameter("GeneticFile", true).c_str();
    std::ifstream in(fileName.c_str());
    if (!in.is_open()) {
        coalescent_input::reportWhere(kParFileRole, fileName, 0, "the file cannot be opened");
        reportWindowsLineEndInName(my_string(fileName.c_str()));
        return 0;
    }
    std::string line;
    int chromosomes = 0;
    if (readTextLine(in, line)) {
        std::istringstream fields(line);
        fields >> chromosomes;
    }
    return chromosomes;
}

my_string World::ExtractSamPath() {
    const std::string value = Settings.getParameter("SampleFile", true).c_str();
    const size_t at = value.find(".sam");
    if (at == std::string::npos) return my_string();
    return my_string(value.substr(0, at).c_str());
}
