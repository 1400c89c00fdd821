#include "geneticoutput/genetic_file_names.h"

namespace {

// Position just after the last folder separator ("/" or "\"); 0 without one.
size_t fileNameStart(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string simAndChrom(int sim, int chrom) {
    return "_sim" + std::to_string(sim) + "_chrom" + std::to_string(chrom);
}

}  // namespace

GeneticOutputNames makeGeneticOutputNames(const std::string& settingsFileName,
                                          const std::string& samplePath) {
    const std::string settingsName = settingsFileName.substr(fileNameStart(settingsFileName));
    const size_t txt = settingsName.find(".txt");
    const size_t sampleName = fileNameStart(samplePath);
    GeneticOutputNames names;
    names.directory = samplePath.substr(0, sampleName) + "GeneticsOutput/";
    names.stem = (txt == std::string::npos ? std::string() : settingsName.substr(0, txt)) + "_" +
                 samplePath.substr(sampleName);
    return names;
}

std::string GeneticOutputNames::projectFile(int sim) const {
    return base() + "_" + std::to_string(sim) + ".qdx";
}

std::string GeneticOutputNames::nexusFile(int sim, int chrom) const {
    return base() + simAndChrom(sim, chrom) + ".pau";
}

std::string GeneticOutputNames::paupLogFile(int sim, int chrom) const {
    return base() + simAndChrom(sim, chrom) + ".log";
}

std::string GeneticOutputNames::batchFile() const {
    return base() + ".bat";
}

std::string GeneticOutputNames::trueTreesFile() const {
    return base() + "_true_trees.trees";
}

std::string GeneticOutputNames::mutationTreesFile() const {
    return base() + "_mut_trees.trees";
}

std::string GeneticOutputNames::treeDumpFile(int sim, int chrom) const {
    return base() + "_tree" + simAndChrom(sim, chrom) + ".tri";
}

std::string GeneticOutputNames::proportionFile(int sim) const {
    return base() + "_Proportion_" + std::to_string(sim) + ".prop";
}
