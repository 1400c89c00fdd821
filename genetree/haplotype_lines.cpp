// The data line of every sampled gene for the chromosome just mutated, as the
// project-file writer prints it: DNA as letters (a blank only where the data
// type changes), SNP states and microsatellite sizes (plus 500) each followed by
// a blank, RFLP and any other state as bare digits.

#include <charconv>
#include <cstdint>
#include <string>
#include <utility>

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"
#include "genetree/tree_node.h"

namespace {

int typeAt(const MY_TArrayAsVector<int>* dataTypes, int locus) {
    return dataTypes != nullptr && locus < dataTypes->count() ? (*dataTypes)[locus] : -1;
}

void appendNumber(std::string& line, int64_t value) {
    char digits[24];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    line.append(digits, written.ptr);
}

void appendLocus(std::string& line, int state, int type, bool nextTypeDiffers) {
    switch (type) {
        case DNA: {
            static const char kNucleotides[] = {'A', 'G', 'C', 'T'};
            line += state >= 0 && state < 4 ? kNucleotides[state] : '?';
            if (nextTypeDiffers) line += ' ';
            break;
        }
        case SNP:
            appendNumber(line, state);
            line += ' ';
            break;
        case MICROSAT:
            appendNumber(line, static_cast<int64_t>(state) + 500);
            line += ' ';
            break;
        default:
            appendNumber(line, state);
            break;
    }
}

// The line of one gene over its first sites loci (fewer if its data are shorter).
void composeLine(std::string& line, const TNode& gene, int sites,
                 const MY_TArrayAsVector<int>* dataTypes) {
    if (gene.data == nullptr) return;
    const int loci = sites < gene.data->count() ? sites : gene.data->count();
    int type = typeAt(dataTypes, 0);
    for (int l = 0; l < loci; ++l) {
        const int nextType = typeAt(dataTypes, l + 1);
        // The last locus has no next one to differ from.
        appendLocus(line, (*gene.data)[l], type, l + 1 < loci && nextType != type);
        type = nextType;
    }
}

}  // namespace

void TDeme::print_haplotypes_to_locus(const MY_TArrayAsVector<int>* dataTypes) {
    // Appended first and filled in place, so no line is copied.
    locusData.Add(TLocus(sampleSize));
    TLocus& locus = locusData[locusData.count() - 1];
    // The number of loci is that of the first gene with data: a gene left
    // without data (memory ran out) gets an empty line and shortens no other.
    int sites = 0;
    for (const TNode* gene = sampleNodes.first(); gene != nullptr; gene = sampleNodes.next()) {
        if (gene->data != nullptr) {
            sites = gene->siteCount;
            break;
        }
    }
    size_t expectedLength = 0;
    for (const TNode* gene = sampleNodes.first(); gene != nullptr; gene = sampleNodes.next()) {
        std::string line;
        line.reserve(expectedLength);
        composeLine(line, *gene, sites, dataTypes);
        expectedLength = line.size();
        locus.lines.Add(std::move(line));
    }
}

void TDemeCollection::write_locus_data_to_array(const MY_TArrayAsVector<int>* dataTypes) {
    const size_t demes = numSampledDemes > 0 ? static_cast<size_t>(numSampledDemes) : 0;
    for (size_t p = 0; p < demes && p < initialDemeList.size(); ++p) {
        const TDemeSlot& slot = initialDemeList[p];
        if (slot.historyIndex < 0 || slot.layer < 0 || slot.layer >= layersPerCell_) continue;
        const size_t cellAt =
            static_cast<size_t>(slot.historyIndex) * static_cast<size_t>(layersPerCell_) +
            static_cast<size_t>(slot.layer);
        if (cellAt >= demeGrid.size()) continue;
        TDeme* deme = demeGrid[cellAt];
        if (deme != nullptr && deme->sampleSize > 0) deme->print_haplotypes_to_locus(dataTypes);
    }
}
