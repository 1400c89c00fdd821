#include "geneticoutput/tree_length_summary.h"

#include <cmath>
#include <iomanip>
#include <ostream>

void TreeLengthSummary::startSimulation() {
    simulationTreeLength_ = 0.0;
    simulationMutations_ = 0.0;
}

void TreeLengthSummary::addChromosome(double treeLength, int64_t mutations) {
    simulationTreeLength_ += treeLength;
    simulationMutations_ += static_cast<double>(mutations);
}

void TreeLengthSummary::endSimulation() {
    treeLengths_.sum += simulationTreeLength_;
    treeLengths_.sumOfSquares += simulationTreeLength_ * simulationTreeLength_;
    mutations_.sum += simulationMutations_;
    mutations_.sumOfSquares += simulationMutations_ * simulationMutations_;
    startSimulation();
}

void TreeLengthSummary::writeTrueTreesLine(std::ostream& out, int numSimulations,
                                           int totalLoci) const {
    Sums perLocus;
    if (totalLoci != 0) {
        const double loci = totalLoci;
        perLocus.sum = treeLengths_.sum / loci;
        perLocus.sumOfSquares = treeLengths_.sumOfSquares / (loci * loci);
    }
    writeLine(out, perLocus, numSimulations);
}

void TreeLengthSummary::writeMutationTreesLine(std::ostream& out, int numSimulations) const {
    writeLine(out, mutations_, numSimulations);
}

void TreeLengthSummary::writeLine(std::ostream& out, const Sums& sums, int numSimulations) {
    const double s = numSimulations;
    out << "\nMean length of the trees : " << sums.sum / s;
    if (numSimulations > 1) {
        // Rounding can leave the sum of squared deviations a hair below 0.
        double variance = (sums.sumOfSquares - sums.sum * sums.sum / s) / (s - 1.0);
        if (variance < 0.0) variance = 0.0;
        out << " +- " << std::fixed << std::setprecision(5) << std::setw(10) << std::sqrt(variance)
            << " (standard deviation computed over simulations, not over chromosomes if more "
               "than one)\n";
    }
}
