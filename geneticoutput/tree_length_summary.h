#pragma once
// The closing lines of the two tree collections of a genetic run: the mean
// tree length (expected mutations) and the mean number of mutations per
// simulation, each with its standard deviation over the simulations.
//
// A simulation's value is its total over its chromosomes, so the deviation is
// taken among simulations, as its text says, whatever the number of chromosomes.

#include <cstdint>
#include <iosfwd>

class TreeLengthSummary {
  public:
    // Before the first chromosome of every simulation.
    void startSimulation();
    // One chromosome whose genealogy was built, as its mutation pass left it.
    void addChromosome(double treeLength, int64_t mutations);
    // After the last chromosome of a simulation.
    void endSimulation();

    // "\nMean length of the trees : " and the mean over numSimulations; with
    // more than one simulation " +- ", the deviation and the note. The tree
    // lengths are taken per locus of the run (totalLoci loci, 0 when it has none).
    void writeTrueTreesLine(std::ostream& out, int numSimulations, int totalLoci) const;
    void writeMutationTreesLine(std::ostream& out, int numSimulations) const;

  private:
    struct Sums {
        double sum = 0.0;
        double sumOfSquares = 0.0;  // of the simulations' totals
    };
    static void writeLine(std::ostream& out, const Sums& sums, int numSimulations);

    double simulationTreeLength_ = 0.0;
    double simulationMutations_ = 0.0;
    Sums treeLengths_;
    Sums mutations_;
};
