// The population file: a count, then ten values per source, whitespace
// separated. Every record is logged, then checked; the first invalid record
// stops the reading.

#include "landscape/population_source.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "app/settings.h"
#include "foundations/exception.h"
#include "foundations/log.h"

namespace {

// Reserving for the announced count is capped: the count is the file's word,
// and the list grows with the records actually read.
constexpr int kReserveLimit = 1024;

void reportLine(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

// Where in the population file a message applies.
std::string whereInFile(const my_string& fileName, int record, int count) {
    std::ostringstream where;
    where << "the population file '" << fileName << "', record " << record << " of " << count;
    return where.str();
}

// A record that fails a check: the check's own line, then where and what.
void reportInvalid(const std::string& message, const my_string& fileName, int record, int count,
                   const std::string& offending) {
    reportLine(message);
    reportLine("  in " + whereInFile(fileName, record, count) + ": " + offending);
}

template <typename Value>
std::string assignment(const char* field, const Value& value) {
    std::ostringstream text;
    text << field << " = " << value;
    return text.str();
}

// Reads one value with the stream's own extraction. On failure, describes
// what stood where the value was due (the word found, or the end of the file).
template <typename Value>
bool readValue(std::istream& in, Value& value, std::string& found) {
    const std::streampos start = in.tellg();
    if (in >> value) return true;
    in.clear();
    if (start != std::streampos(-1)) in.seekg(start);
    std::string word;
    if (in >> word) {
        found = "'" + word + "' was found";
    } else {
        found = "the file ends";
    }
    in.setstate(std::ios_base::failbit);
    return false;
}

struct RecordField {
    const char* name;
    const char* kind;
};

// Reads the nine values after the name, in file order. Returns the field that
// could not be read, or null when all were.
const RecordField* readRecordValues(std::istream& in, PopulationSource& source,
                                    std::string& found) {
    static const RecordField kFields[] = {
        {"initialSize", "an integer"},
        {"latitude", "a real number"},
        {"longitude", "a real number"},
        {"firstResize", "an integer"},
        {"bottleneckDuration", "an integer"},
        {"secondResize", "an integer"},
        {"preExpansionMigration", "a real number"},
        {"layer", "an integer"},
        {"expansionTime", "an integer"},
    };
    if (!readValue(in, source.initialSize, found)) return &kFields[0];
    if (!readValue(in, source.latitude, found)) return &kFields[1];
    if (!readValue(in, source.longitude, found)) return &kFields[2];
    if (!readValue(in, source.firstResize, found)) return &kFields[3];
    if (!readValue(in, source.bottleneckDuration, found)) return &kFields[4];
    if (!readValue(in, source.secondResize, found)) return &kFields[5];
    if (!readValue(in, source.preExpansionMigration, found)) return &kFields[6];
    if (!readValue(in, source.layer, found)) return &kFields[7];
    if (!readValue(in, source.expansionTime, found)) return &kFields[8];
    return nullptr;
}

void logRecord(const PopulationSource& s, int count) {
    AOS << "ID: " << s.name << ", Initial density: " << s.initialSize << ", Lat: " << s.latitude
        << ", Long: " << s.longitude << ", Initial size: " << s.initialSize
        << ", Long: " << s.longitude;
    if (s.firstResize > 0) {
        AOS << ", Source size before the expansion: " << s.firstResize;
    } else {
        AOS << ", No resize before the expansion: " << s.firstResize;
    }
    if (s.secondResize > 0) {
        AOS << ", Duration of the bottleneck: " << s.bottleneckDuration
            << ", Source size before the bottleneck: " << s.secondResize;
    } else {
        // The first resize is what this part of the line has always shown.
        AOS << ", No bottleneck: " << s.firstResize;
    }
    if (count > 1) {
        AOS << ", Migration from this source before the expansion:" << s.preExpansionMigration;
        if (NbDemePerCell == 2) {
            AOS << ", Expansion time: " << s.expansionTime << ", Layer: " << s.layer;
        }
    } else {
        AOS << ", Only one source, no migration before the expansion.";
    }
    AOS << std::endl;
}

// The checks of one record, in order; false after reporting the first failure.
bool checkRecord(const PopulationSource& s, TSettings& settings, const my_string& fileName,
                 int count) {
    const std::string name = s.name.c_str();
    const int record = s.recordNumber;
    if (s.initialSize < 1) {
        reportInvalid(
            "****ERROR: Population " + name + " has an initial size of 0 individuals or less!",
            fileName, record, count, assignment("initialSize", s.initialSize));
        return false;
    }
    if (s.firstResize < 0) {
        reportInvalid(
            "****ERROR: Population " + name + " has a first resize of less than 0 individuals!",
            fileName, record, count, assignment("firstResize", s.firstResize));
        return false;
    }
    if (s.secondResize < 0) {
        reportInvalid(
            "****ERROR: Population " + name + " has a second resize of less than 0 individuals!",
            fileName, record, count, assignment("secondResize", s.secondResize));
        return false;
    }
    // A negative layer has no slot in a cell any more than one too large.
    if (s.layer < 0 || s.layer >= NbDemePerCell) {
        reportInvalid("****ERROR: Population " + name + " has a wrong deme number!", fileName,
                      record, count,
                      assignment("layer", s.layer) + ", the layers of this run are 0 to " +
                          std::to_string(NbDemePerCell - 1));
        return false;
    }
    const int endTime = settings.getIntParameter("EndTime", true);
    if (s.expansionTime >= endTime || s.expansionTime < 0) {
        reportInvalid("****ERROR: Population " + name +
                          " has an expansion time outside the range of the number of "
                          "generations simulated!",
                      fileName, record, count,
                      assignment("expansionTime", s.expansionTime) +
                          ", EndTime = " + std::to_string(endTime));
        return false;
    }
    if (s.expansionTime >= 1 && s.layer == 0) {
        reportInvalid(
            "****ERROR: Expansion time of population in layer 0 (" + name + ") must be equal to 0!",
            fileName, record, count, assignment("expansionTime", s.expansionTime));
        return false;
    }
    return true;
}

// Several sources of layer 0 merge into one ancestral population after
// TauValue generations; a bottleneck must fit within that time.
bool checkBottlenecks(const std::vector<PopulationSource>& sources, TSettings& settings,
                      const my_string& fileName) {
    const auto layerZero = std::count_if(sources.begin(), sources.end(),
                                         [](const PopulationSource& s) { return s.layer == 0; });
    if (layerZero < 2) return true;
    const int count = static_cast<int>(sources.size());
    for (const PopulationSource& s : sources) {
        if (s.secondResize <= 0) continue;
        const int tau = settings.getIntParameter("TauValue", true);
        if (s.bottleneckDuration > tau) {
            reportInvalid(std::string("****ERROR: Duration of the bottleneck is too long compared "
                                      "to the tau value for source ") +
                              s.name.c_str(),
                          fileName, s.recordNumber, count,
                          assignment("bottleneckDuration", s.bottleneckDuration) +
                              ", TauValue = " + std::to_string(tau));
            return false;
        }
    }
    return true;
}

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

}  // namespace

void PopulationVector::checkIndex(int i) const {
    if (i < 0 || i >= count()) {
        internalError("population source " + std::to_string(i) + " requested, the list holds " +
                      std::to_string(count()));
    }
}

PopulationSource& PopulationVector::at(int i) {
    checkIndex(i);
    return sources_[static_cast<size_t>(i)];
}

const PopulationSource& PopulationVector::at(int i) const {
    checkIndex(i);
    return sources_[static_cast<size_t>(i)];
}

void PopulationVector::swapSources(int i, int j) {
    std::swap(at(i), at(j));
}

void PopulationVector::replaceSources(std::vector<PopulationSource> sources) {
    sources_ = std::move(sources);
    launchPosition_ = 0;
}

bool PopulationVector::takeNextLaunch(int& index) {
    if (launchPosition_ >= count()) return false;
    index = launchPosition_++;
    return true;
}

int PopulationVector::ReadPopDensityAndCoordinates_Multideme(const my_string& fileName,
                                                             TSettings& settings) {
    clear();
    fileName_ = fileName;

    std::ifstream in(fileName.c_str());
    int count = 0;
    std::string problem;
    if (!in.is_open()) {
        problem = "cannot be opened";
    } else {
        std::string found;
        if (!readValue(in, count, found)) {
            count = 0;
            problem = "does not begin with the number of population sources (" + found + ")";
        } else if (count < 0) {
            problem = "gives a negative number of population sources";
        } else if (count == 0) {
            problem = "lists no population source";
        }
    }
    AOS << "The number of population source is " << count << std::endl;
    if (!problem.empty()) {
        reportLine("****ERROR: the population file '" + std::string(fileName.c_str()) + "' " +
                   problem);
        if (!in.is_open()) reportWindowsLineEndInName(fileName);
        return 0;
    }

    std::vector<PopulationSource> sources;
    try {
        sources.reserve(static_cast<size_t>(std::min(count, kReserveLimit)));
        for (int record = 1; record <= count; ++record) {
            PopulationSource source;
            source.recordNumber = record;
            std::string name;
            std::string found;
            if (!(in >> name)) {
                reportLine("****ERROR: " + whereInFile(fileName, record, count) +
                           " cannot be read: the name of the source is due but the file ends");
                return 0;
            }
            if (name.size() > static_cast<size_t>(PopulationSource::kMaxNameLength)) {
                reportLine("****ERROR: " + whereInFile(fileName, record, count) +
                           ": the name of the source has " + std::to_string(name.size()) +
                           " characters, more than the " +
                           std::to_string(PopulationSource::kMaxNameLength) + " allowed: '" + name +
                           "'");
                return 0;
            }
            source.name = name.c_str();
            if (const RecordField* failed = readRecordValues(in, source, found)) {
                reportLine("****ERROR: " + whereInFile(fileName, record, count) + " (source " +
                           name + ") cannot be read: " + failed->name + " is due, " + failed->kind +
                           ", but " + found);
                return 0;
            }
            logRecord(source, count);
            if (!checkRecord(source, settings, fileName, count)) return 0;
            sources.push_back(std::move(source));
        }
    } catch (const std::bad_alloc&) {
        const std::string message =
            "****ERROR: not enough memory for the sources of the "
            "population file '" +
            std::string(fileName.c_str()) + "'";
        AOS << message << std::endl;
        throw TOutOfMemory(message.c_str());
    }

    if (!checkBottlenecks(sources, settings, fileName)) return 0;

    AOS << "Input file has been sucessfully read!" << std::endl;
    replaceSources(std::move(sources));
    return count;
}
