// The genetic simulation run: after the demographic simulation, S genetic
// simulations of C chromosomes each. For every simulation and chromosome the
// coalescent builds a genealogy of the sampled genes through the stored
// history, the mutation pass drops mutations on it, and the results go to one
// project file per simulation and, on request, to NEXUS/PAUP files, the PAUP
// batch file, two tree collections and plain genealogy dumps.
//
// Every file is written under a temporary name and renamed into place when it
// is complete (the batch file and the tree collections at the end of the run);
// a file that cannot be made stops the run (see output_files.h).

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>

#include "app/world.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/progress_line.h"
#include "geneticoutput/genetic_file_names.h"
#include "geneticoutput/nexus_writer.h"
#include "geneticoutput/output_files.h"
#include "geneticoutput/quorlan_writer.h"
#include "geneticoutput/tree_length_summary.h"
#include "geneticoutput/vcf_writer.h"
#include "genetree/tree_node.h"

namespace {

const char* const kRecombinationWarning =
    "WARNING: Recombination occuring, MRCA location map can not be trusted!";

// A line to the log and the console.
void reportLine(const std::string& text) {
    AOS << text << std::endl;
    std::cout << text << std::endl;
}

std::string textOf(const my_string& value) {
    return value.c_str();
}

my_string decimal(int value) {
    return my_string(std::to_string(value).c_str());
}

// The data type of the chromosome just read: that of its loci when they all
// share one, STANDARD otherwise. Its NEXUS file is labelled and printed with it,
// so a microsatellite chromosome of a run that mixes data types keeps its
// allele sizes apart instead of running them together as STANDARD digits.
Mut_Type chromosomeDataType(const MY_TArrayAsVector<int>& locusTypes) {
    if (locusTypes.count() == 0) return STANDARD;
    const int first = locusTypes[0];
    if (first < MICROSAT || first > SNP) return STANDARD;
    for (int i = 1; i < locusTypes.count(); ++i) {
        if (locusTypes[i] != first) return STANDARD;
    }
    return static_cast<Mut_Type>(first);
}

// The "#chromosome" lines after the first line of the genetic parameter file,
// counted up to wanted.
int chromosomeHeadersIn(const std::string& fileName, int wanted) {
    std::ifstream in(fileName.c_str());
    std::string line;
    if (!std::getline(in, line)) return 0;
    int headers = 0;
    while (headers < wanted && std::getline(in, line)) {
        if (line.find("#chromosome") != std::string::npos) ++headers;
    }
    return headers;
}

class GeneticRun {
  public:
    explicit GeneticRun(World& world)
        : world_(world), demes_(world.demes), settings_(world.Settings) {}

    int run();

  private:
    // Steps before the first simulation; 0 when the run is refused.
    int prepare();
    int checkPopulationSources();
    // Reads chromosome (0-based) into the collection and refreshes the locus
    // count; true when it recombines. A file that cannot be read for it is refused.
    bool readChromosome(int chromosome);
    // Every chromosome of the genetic parameter file is read once, so a file
    // that cannot serve the whole run is refused before anything is written.
    void checkGeneticParameterFile();
    [[noreturn]] void refuseGeneticParameterFile(int chromosome);
    int readSamples();
    void openTreeCollections();

    void simulate(int sim);
    void simulateChromosome(int sim, int chrom, bool recombining);
    int buildGenealogy(int sim);
    void writeNexusResults(int sim, int chrom, Mut_Type dataType);
    void writeTreeDump(int sim, int chrom);
    void writeLineageProportions();
    void finish();
    static bool twoLayers() { return NbDemePerCell > 1; }

    World& world_;
    TDemeCollection& demes_;
    TSettings& settings_;
    GeneticOutputNames names_;
    bool nexus_ = false;
    bool genealogies_ = false;
    bool firstChromosomeRecombines_ = false;
    int totalLoci_ = 0;

    StagedOutputFile batch_;
    StagedOutputFile trueTrees_;
    StagedOutputFile mutationTrees_;
    StagedOutputFile project_;
    StagedOutputFile nexusFile_;
    TreeLengthSummary treeLengths_;
    VcfOutput vcf_;
};

int GeneticRun::run() {
    if (!prepare()) return 0;
    ProgressLine progress;
    progress.start("genetic simulation", world_.numSimulations);
    for (int sim = 1; sim <= world_.numSimulations; ++sim) {
        simulate(sim);
        progress.update(sim);
    }
    progress.finish();
    finish();
    return 1;
}

int GeneticRun::prepare() {
    world_.numChromosomes = world_.GetNumIndepLoci();
    settings_["NumIndeLoci"] = decimal(world_.numChromosomes);
    if (world_.numChromosomes < 1) {
        reportLine("****ERROR:{World::SimulateGeneticData()} [Number of chromosome < 1!]");
        reportLine("   (in genetic parameter file '" +
                   textOf(settings_.getParameter("GeneticFile", true)) +
                   "': the first line must give the number of chromosomes, 1 or more)");
        return 0;
    }
    // A count the file does not hold is refused before it sizes anything.
    const int headers = chromosomeHeadersIn(textOf(settings_.getParameter("GeneticFile", true)),
                                            world_.numChromosomes);
    if (headers < world_.numChromosomes) refuseGeneticParameterFile(headers);
    if (!checkPopulationSources()) return 0;

    demes_.owner = &world_;
    demes_.createDemesFromWorld();
    demes_.genotypicData = settings_.getIntParameter("GenotypicData", true);
    demes_.set_num_linkage_blocks_perchrom();
    demes_.set_tot_recomb_perchrom();
    world_.numSimulations = settings_.getIntParameter("NumGeneticSimulations", true);
    demes_.numGeneticSimulations = world_.numSimulations;
    nexus_ = settings_.getIntParameter("NexusFile", false) == 1;
    genealogies_ = settings_.getIntParameter("GenealogiesFile", false) == 1;
    checkGeneticParameterFile();

    names_ = makeGeneticOutputNames(textOf(settings_.fileName), textOf(world_.ExtractSamPath()));
    vcf_.configure(settings_, names_.base());
    world_.geneticOutputDirectory = names_.directory.c_str();
    world_.geneticOutputStem = names_.stem.c_str();
    createOutputDirectory(names_.directory);
    if (nexus_) batch_.open(names_.batchFile());

    if (!readSamples()) return 0;

    totalLoci_ = demes_.ComputeTotalLociLength();
    demes_.initializeNumLinkedLociPerBlock(world_.numChromosomes);
    firstChromosomeRecombines_ = readChromosome(0);
    settings_["NumLinkedLoci"] = decimal(world_.numLinkedLoci);

    demes_.createInitialDemeList();
    TNode::node_count = 0;
    TNode::num_linked_loci = world_.numLinkedLoci;
    if (nexus_) openTreeCollections();

    if (!demes_.createLineages()) {
        reportLine("ERROR: {World::SimulateGeneticData()} [no gene of the sample file '" +
                   textOf(settings_.getParameter("SampleFile", true)) +
                   "' can be simulated: see the warnings above]");
        return 0;
    }
    demes_.set_numLoci();
    demes_.set_numIndepLoci();
    demes_.createMRCALocations(static_cast<int64_t>(world_.numChromosomes) *
                               world_.numSimulations);
    if (twoLayers()) {
        demes_.creatPropLineagesMatrix(world_.numSimulations, demes_.numSampledDemes);
    }
    return 1;
}

int GeneticRun::checkPopulationSources() {
    const PopulationVector& sources = world_.io.populations;
    if (NbDemePerCell <= 1) {
        for (int i = 0; i < sources.count(); ++i) {
            if (sources.at(i).expansionTime != 0) {
                reportLine("****ERROR: Population source " + textOf(sources.at(i).name) +
                           " must start at generation 0! Genetic simulation aborted!");
                return 0;
            }
        }
        return 1;
    }
    for (int i = 0; i < sources.count(); ++i) {
        if (sources.at(i).layer == 1) return 1;
    }
    reportLine(
        "****ERROR: At least one population source must be located in layer 1! Genetic "
        "simulation aborted!");
    return 0;
}

bool GeneticRun::readChromosome(int chromosome) {
    // The reader marks the chromosome it has read; a failed read leaves no mark.
    demes_.currentChromosome = -1;
    const float recombination = demes_.readRecombParams(chromosome);
    if (demes_.currentChromosome != chromosome) refuseGeneticParameterFile(chromosome);
    world_.numLinkedLoci = demes_.numLoci;
    TNode::num_linked_loci = world_.numLinkedLoci;
    return recombination > 0;
}

void GeneticRun::checkGeneticParameterFile() {
    demes_.initializeNumLinkedLociPerBlock(world_.numChromosomes);
    for (int c = 0; c < world_.numChromosomes; ++c) readChromosome(c);
}

void GeneticRun::refuseGeneticParameterFile(int chromosome) {
    const std::string fileName = textOf(settings_.getParameter("GeneticFile", true));
    std::ifstream in(fileName.c_str());
    std::string problem;
    if (!in.is_open()) {
        problem = "cannot open the genetic parameter file '" + fileName + "'";
    } else {
        int lines = 0;
        for (std::string line; std::getline(in, line);) ++lines;
        problem = "the genetic parameter file '" + fileName + "' ends at line " +
                  std::to_string(lines) + " before the \"#chromosome\" line of chromosome " +
                  std::to_string(chromosome + 1) + " of " + std::to_string(world_.numChromosomes);
    }
    // The entry point writes it to the log and the console.
    throw TException(my_string(("{World::SimulateGeneticData()} [" + problem + "]").c_str()));
}

int GeneticRun::readSamples() {
    if (demes_.readCoalSimParams() == 1) return 1;
    reportLine("ERROR: {World::SimulateGeneticData()} [the sample file '" +
               textOf(settings_.getParameter("SampleFile", true)) +
               "' cannot be used: see the messages above]");
    return 0;
}

void GeneticRun::openTreeCollections() {
    trueTrees_.open(names_.trueTreesFile());
    mutationTrees_.open(names_.mutationTreesFile());
    write_PAUP_trees_section_header(trueTrees_.stream());
    write_PAUP_trees_section_header(mutationTrees_.stream());
}

void GeneticRun::simulate(int sim) {
    if (sim > 1) demes_.resetloci();
    world_.currentProjectFile = names_.projectFile(sim).c_str();
    project_.open(names_.projectFile(sim));
    writeQuorlanCommentHeader(project_.stream(), demes_, world_.numChromosomes);
    world_.describedBlocks.startSimulation();
    treeLengths_.startSimulation();

    for (int chrom = 1; chrom <= world_.numChromosomes; ++chrom) {
        bool recombining = firstChromosomeRecombines_;
        if (sim > 1 || chrom > 1) {
            recombining = readChromosome(chrom - 1);
            demes_.tree.ResetNodeFlags();
        }
        simulateChromosome(sim, chrom, recombining);
    }

    writeQuorlanDataSections(project_.stream(), demes_, world_.describedBlocks.dataType,
                             demes_.genotypicData);
    project_.commit();
    vcf_.writeSimulation(demes_, sim);
    treeLengths_.endSimulation();
}

void GeneticRun::simulateChromosome(int sim, int chrom, bool recombining) {
    writeQuorlanChromosomeDescription(project_.stream(), demes_, chrom, world_.describedBlocks);
    const Mut_Type nexusDataType = chromosomeDataType(demes_.locusDataType);
    if (nexus_) {
        const std::string nexusPath = names_.nexusFile(sim, chrom);
        nexusFile_.open(nexusPath);
        writePaupBatchLine(batch_.stream(), nexusPath);
        NexusConditions conditions;
        conditions.numTaxa = demes_.taxa;
        conditions.numLoci = world_.numLinkedLoci;
        conditions.numDemes = demes_.numSampledDemes;
        conditions.blockMutationRate = world_.describedBlocks.blockMutRate;
        conditions.gammaShape = world_.gammaShape;
        conditions.transitionProportion = world_.describedBlocks.transitionProportion;
        writeNexusFileStart(nexusFile_.stream(), conditions, names_.paupLogFile(sim, chrom).c_str(),
                            sim, nexusDataType);
    }

    if (buildGenealogy(sim)) {
        if (twoLayers() && !recombining) {
            // Once per population source, with the same arguments each time.
            const PopulationVector& sources = world_.io.populations;
            for (int i = 0; i < sources.count(); ++i) {
                demes_.tree.LineagesProportionInSamples(sources, sim - 1, chrom - 1);
            }
        }
        const int64_t* mutations = demes_.sprinkle_mutations(
            world_.numLinkedLoci, &demes_.locusDataType, static_cast<float>(world_.gammaShape),
            1.0f, 1.0f, static_cast<float>(world_.describedBlocks.transitionProportion),
            world_.describedBlocks.rangeConstraint);
        if (nexus_) {
            treeLengths_.addChromosome(TNode::tree_length, *mutations);
            writeNexusResults(sim, chrom, nexusDataType);
        }
        if (genealogies_ && !recombining) writeTreeDump(sim, chrom);
        demes_.write_locus_data_to_array(&demes_.locusDataType);
        vcf_.recordChromosome(demes_, chrom);
    }
    // Also after a genealogy that could not be finished: the demes must not
    // keep its lineages, whose internal nodes the next genealogy drops.
    demes_.Initialize_Recomb_Genetic_Param();
    demes_.reset();

    if (recombining) AOS << kRecombinationWarning << std::endl;
    if (nexus_) nexusFile_.commit();
}

int GeneticRun::buildGenealogy(int sim) {
    if (!twoLayers() && world_.io.populations.count() <= 1) {
        return demes_.buildTreeOneOriginOneLayerRecombination(sim);
    }
    return demes_.buildTree(sim);
}

void GeneticRun::writeNexusResults(int sim, int chrom, Mut_Type dataType) {
    std::ostream& nexus = nexusFile_.stream();
    const int loci = world_.numLinkedLoci;
    demes_.write_samples_to_PAUP_file(nexus, dataType);
    write_PAUP_end_matrix(nexus);
    // The per-locus trees form a trees block, closed by the "end;" below.
    nexus << "begin trees;\n";
    NexusTreeFiles collections;
    collections.trueTrees = &trueTrees_.stream();
    collections.mutationTrees = &mutationTrees_.stream();
    writeLocusTrees(nexus, collections, demes_.tree, sim, chrom, loci, dataType);
    write_PAUP_end(nexus);
    writeTreeLengthComment(nexus, TNode::tree_length, loci, TNode::count_polym_sites());
    write_PAUP_block(nexus, mutModelForGammaShape(world_.gammaShape));
    write_PAUP_footer(nexus);
}

void GeneticRun::writeTreeDump(int sim, int chrom) {
    const std::string finalPath = names_.treeDumpFile(sim, chrom);
    // The dump is named from its base: the temporary base gives its temporary name.
    const my_string temporaryBase(temporaryPathOf(names_.base()).c_str());
    demes_.tree.write_TreeInFile(sim, chrom, temporaryBase);
    moveIntoPlace(finalPath);
}

void GeneticRun::writeLineageProportions() {
    const my_string temporaryBase(temporaryPathOf(names_.base()).c_str());
    for (int m = 0; m < world_.numSimulations; ++m) {
        const std::string finalPath = names_.proportionFile(m + 1);
        if (!demes_.writePropLineagesMatrix(m, temporaryBase)) {
            // The writer has said which file; nothing half-written stays.
            removeTemporaryFile(finalPath);
            throw TOutputFileError(my_string(("cannot write '" + finalPath + "'").c_str()));
        }
        moveIntoPlace(finalPath);
    }
}

void GeneticRun::finish() {
    if (twoLayers() && settings_.getIntParameter("PropFile", true) == 1) {
        writeLineageProportions();
    }
    if (nexus_) {
        write_PAUP_end(trueTrees_.stream());
        write_PAUP_end(mutationTrees_.stream());
        treeLengths_.writeTrueTreesLine(trueTrees_.stream(), world_.numSimulations, totalLoci_);
        treeLengths_.writeMutationTreesLine(mutationTrees_.stream(), world_.numSimulations);
        batch_.commit();
        trueTrees_.commit();
        mutationTrees_.commit();
    }
    AOS << "Genetic simulation done." << std::endl;
}

}  // namespace

int World::SimulateGeneticData() {
    try {
        GeneticRun run(*this);
        return run.run();
    } catch (const TOutputFileError&) {
        // Already reported; the files not yet complete were dropped.
        return 0;
    }
}
