// The sample file: where the genes are sampled. Each accepted sample becomes
// (part of) the deme of its cell and layer.

#include <fstream>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "app/world.h"
#include "coalescent/deme_collection.h"
#include "coalescent/input_report.h"
#include "demography/cell.h"
#include "foundations/log.h"

using coalescent_input::reportLine;
using coalescent_input::reportWhere;

namespace {

constexpr char kSamFileRole[] = "sample file";

struct SampleLine {
    std::string name;
    int size = 0;
    int layer = 0;
    float y = 0.0f;  // latitude first
    float x = 0.0f;
};

// The name runs from the start of the line to the first blank (a leading blank
// gives an empty name); the numbers follow, anything after them is ignored.
bool parseSampleLine(const std::string& line, SampleLine& sample) {
    const size_t blank = line.find_first_of(" \t");
    sample.name = line.substr(0, blank);
    std::istringstream fields(blank == std::string::npos ? std::string() : line.substr(blank));
    return static_cast<bool>(fields >> sample.size >> sample.layer >> sample.y >> sample.x);
}

}  // namespace

int TDemeCollection::readCoalSimParams() {
    TSettings& settings = owner->Settings;
    const std::string fileName = settings.getParameter("SampleFile", true).c_str();
    const int genotypic = settings.getIntParameter("GenotypicData", true);
    const int endTime = settings.getIntParameter("EndTime", true);

    std::ifstream in(fileName.c_str());
    if (!in.is_open()) {
        AOS << "\nthe .sam file has not been read\n";
        reportWhere(kSamFileRole, fileName, 0, "the file cannot be opened");
        reportWindowsLineEndInName(my_string(fileName.c_str()));
        return 0;
    }
    std::string line;
    int lineNumber = 1;
    int numSamples = 0;
    {
        std::istringstream fields;
        if (coalescent_input::readTextLine(in, line)) fields.str(line);
        if (!(fields >> numSamples) || numSamples < 0) {
            AOS << "\nthe .sam file has not been read\n";
            reportWhere(kSamFileRole, fileName, 1,
                        "the first line must give the number of samples (\"" + line + "\")");
            return 0;
        }
    }
    sampleList.clear();

    const TGridHeader& header = settings.worldGridHeader;
    bool sampleDropped = false;
    for (int i = 0; i < numSamples; ++i) {
        ++lineNumber;
        SampleLine sample;
        if (!coalescent_input::readTextLine(in, line)) {
            AOS << "\nthe .sam file has not been read\n";
            reportWhere(kSamFileRole, fileName, 0,
                        "the file ends after " + std::to_string(i) + " of its " +
                            std::to_string(numSamples) + " samples");
            return 0;
        }
        // A name of 10000 characters or more would become an empty text.
        if (!parseSampleLine(line, sample) || sample.size < 0 ||
            sample.name.size() >= static_cast<size_t>(my_string::kMaxLength)) {
            AOS << "\nthe .sam file has not been read\n";
            reportWhere(kSamFileRole, fileName, lineNumber,
                        "a sample line needs a name (under 10000 characters), a size (0 or "
                        "more), a layer, a latitude and a longitude (\"" +
                            line + "\")");
            return 0;
        }
        const std::string quotedName = "'" + sample.name + "'";

        if (genotypic != 0 && sample.size % 2 != 0) {
            const std::string text =
                " ERROR: When simulating genotypic data, each (haploid) sample size\n"
                " must be an even number. Please correct your sample file (*.sam).";
            reportLine(text);
            reportWhere(kSamFileRole, fileName, lineNumber,
                        "sample " + quotedName + " has " + std::to_string(sample.size) + " genes");
            return 0;
        }
        int row = -1;
        int column = -1;
        if (!header.pointToCell(static_cast<double>(sample.x), static_cast<double>(sample.y), row,
                                column)) {
            reportLine(" ERROR: [the population " + quotedName + " is out of World coordinates!]");
            std::ostringstream where;
            where << "latitude " << sample.y << ", longitude " << sample.x;
            reportWhere(kSamFileRole, fileName, lineNumber, where.str());
            continue;
        }
        if (sample.layer < 0 || sample.layer >= NbDemePerCell) {
            reportLine("ERROR:[the no of deme # " + sample.name + " does not exist!]");
            reportWhere(kSamFileRole, fileName, lineNumber,
                        "layer " + std::to_string(sample.layer) +
                            "; this sample and the ones after it are not used");
            break;
        }
        cell* sampleCell = owner->grid.at(row, column);
        if (sampleCell == nullptr || !sampleCell->aboveSea) {
            if (!sampleDropped) {
                reportLine(
                    "\nOne or more samples can not be used, see Friction.log for more details.");
            }
            sampleDropped = true;
            reportLine(" WARNING: [the population " + quotedName + " is on the water!]");
            reportLine("WARNING: [the population " + quotedName + " is on the water!]");
            reportWhere(kSamFileRole, fileName, lineNumber,
                        "row " + std::to_string(row) + ", column " + std::to_string(column));
            continue;
        }
        const int density =
            sampleCell->history != nullptr ? sampleCell->getN(endTime, sample.layer) : 0;
        if (density < sample.size) {
            reportLine(" WARNING:  [the population " + quotedName +
                       " has not been colonised or it's density (" + std::to_string(density) +
                       ") is smaller than the sample size (" + std::to_string(sample.size) + ")!]");
            reportWhere(kSamFileRole, fileName, lineNumber,
                        "row " + std::to_string(row) + ", column " + std::to_string(column) +
                            ", layer " + std::to_string(sample.layer) + ", generation " +
                            std::to_string(endTime));
            sampleDropped = true;
            continue;
        }
        if (settings.getIntParameter("ImmigDistrFile", false) == 1) {
            owner->CountAndWriteImmigrants(row, column, sample.layer);
        }
        addDeme(sampleCell, my_string(sample.name.c_str()), sample.size, sample.layer, i);
    }
    return 1;
}
