// The series files (climate and sea level) and the loading of the climate at
// the world build: its file, the matrices of the climate-driven K and F, and
// the checks that let the updates run without any per-cell test of input.

#include "landscape/climate.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/memory_size.h"
#include "landscape/conversion_tables.h"
#include "landscape/grid_header.h"

namespace {

// The date whose climate value every other one is divided by (66600 years BP).
constexpr int32_t kReferenceTime = -66600;

void report(const std::string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

// Words of a text with the line each begins on.
class WordScanner {
  public:
    explicit WordScanner(const std::string& text) : text_(text) {}

    bool next(std::string& word, int& line) {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
            if (text_[at_] == '\n') ++line_;
            ++at_;
        }
        if (at_ >= text_.size()) return false;
        const size_t begin = at_;
        while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
        word = text_.substr(begin, at_ - begin);
        line = line_;
        return true;
    }

  private:
    const std::string& text_;
    size_t at_ = 0;
    int line_ = 1;
};

std::string shown(const std::string& word) {
    constexpr size_t kShown = 40;
    return word.size() > kShown ? word.substr(0, kShown) + "..." : word;
}

// A whole word as a number, as strtod and strtof read it (an overflow gives
// an infinite value, which the checks below refuse).
bool wholeNumber(const std::string& word, double& number) {
    char* end = nullptr;
    number = std::strtod(word.c_str(), &end);
    return end != word.c_str() && *end == '\0';
}
bool wholeNumber(const std::string& word, float& number) {
    char* end = nullptr;
    number = std::strtof(word.c_str(), &end);
    return end != word.c_str() && *end == '\0';
}

}  // namespace

std::string readTimedValues(std::istream& in, const std::string& what,
                            std::vector<TTimedValue>& pairs) {
    pairs.clear();
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return "ERROR: " + what + " cannot be read";

    WordScanner words(text);
    std::string word;
    int line = 0;
    while (words.next(word, line)) {
        TTimedValue pair;
        pair.line = line;
        std::ostringstream problem;
        problem << "ERROR: " << what << " ";
        double time = 0.0;
        if (!wholeNumber(word, time)) {
            problem << "holds '" << shown(word) << "' at line " << line << " where a time is due";
            return problem.str();
        }
        // Truncated toward zero to whole years, which must fit 32 bits.
        const double years = std::trunc(time);
        if (!(years >= -2147483648.0 && years <= 2147483647.0)) {
            problem << "holds the time " << shown(word) << " at line " << line
                    << ": times are whole years from -2147483648 to 2147483647";
            return problem.str();
        }
        pair.time = static_cast<int32_t>(years);

        if (!words.next(word, line)) {
            problem << "ends after the time " << pair.time << " at line " << pair.line
                    << ", which has no value";
            return problem.str();
        }
        float value = 0.0f;
        if (!wholeNumber(word, value)) {
            problem << "holds '" << shown(word) << "' at line " << line
                    << " where the value of the time " << pair.time << " is due";
            return problem.str();
        }
        if (!std::isfinite(value)) {
            problem << "holds the value " << shown(word) << " at line " << line << " (time "
                    << pair.time << "): values must be finite numbers";
            return problem.str();
        }
        pair.value = value;

        if (!pairs.empty() && pair.time < pairs.back().time) {
            problem << "gives the time " << pair.time << " at line " << pair.line
                    << " after the time " << pairs.back().time << " at line " << pairs.back().line
                    << ": the times must not decrease";
            return problem.str();
        }
        pairs.push_back(pair);
    }
    if (pairs.empty()) {
        return "ERROR: " + what + " holds no pair of a time and a value";
    }
    return std::string();
}

bool loadTimedValues(std::istream& in, const std::string& what, std::vector<TTimedValue>& pairs,
                     TimeStoInt<float>& series) {
    const std::string problem = readTimedValues(in, what, pairs);
    if (!problem.empty()) {
        report(problem);
        return false;
    }
    for (const TTimedValue& pair : pairs) series.addPoint(pair.time, pair.value);
    return true;
}

// ---------------------------------------------------------------------------
// World operations

namespace {

std::string describeFile(const char* role, const my_string& path, const char* key) {
    return std::string(role) + " '" + path.c_str() + "' (" + key + ")";
}

bool inTables(int vegetationClass) {
    return vegetationClass >= 0 && vegetationClass <= kMaxVegetationClass;
}

// The climate update reads the tables at the glacial class of every land cell
// and at its present class, unless that is the no-data value (land only in the
// glacial map): both must lie inside the tables.
bool vegetationFitsTheTables(World& world) {
    for (const cell* land : world.grid.landCells) {
        const bool presentFits = land->presentVegetation == NO_LAND || inTables(land->presentVegetation);
        if (presentFits && inTables(land->lgmVegetation)) continue;
        const char* key = presentFits ? "LGMVegetationFile" : "PresVegetationFile";
        std::ostringstream text;
        text << "ERROR: the vegetation class "
             << (presentFits ? land->lgmVegetation : land->presentVegetation)
             << " of the land cell at row " << land->row << ", column " << land->column
             << " of the map '" << world.Settings.getParameter(key, false).c_str() << "' (" << key
             << ") lies outside the classes 0 to " << kMaxVegetationClass
             << " of the conversion tables";
        if (!presentFits) {
            text << " and is not the no-data value " << NO_LAND
                 << " (the NODATA value of the last map read) that marks land only in the "
                    "glacial map";
        }
        report(text.str());
        return false;
    }
    return true;
}

}  // namespace

int World::allocateVostokMatrix() {
    releaseClimateMatrices();
    const uint64_t positions = static_cast<uint64_t>(nrows > 0 ? nrows : 0) *
                               static_cast<uint64_t>(ncols > 0 ? ncols : 0);
    const uint64_t bytes =
        memory_size::product(positions, sizeof(climateKMatrix[0]) + sizeof(climateFMatrix[0]));
    try {
        if (!memory_size::fitsThisMachine(bytes)) throw std::bad_alloc();
        climateKMatrix.assign(static_cast<size_t>(positions), 0);
        climateFMatrix.assign(static_cast<size_t>(positions), 0.0f);
    } catch (const std::bad_alloc&) {
        releaseClimateMatrices();
        AOS << "ERROR: {World::allocateVostokMatrix()} [problem with matric allocation]"
            << std::endl;
        std::ostringstream text;
        text << "The climate matrices of " << nrows << " x " << ncols << " cells need "
             << memory_size::describe(bytes) << "; that memory cannot be had.";
        throw TOutOfMemory(text.str().c_str());
    }
    return 1;
}

void World::releaseClimateMatrices() {
    std::vector<int32_t>().swap(climateKMatrix);
    std::vector<float>().swap(climateFMatrix);
}

bool World::load_VostokTimeData(TimeStoInt<float>& series) {
    const my_string path = Settings.getParameter("VostokFile", false);
    const std::string file = describeFile("the climate file", path, "VostokFile");
    std::ifstream in(path.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        report("ERROR: {World::load_VostokTimeData()} [cannot open Vostok File]");
        report("  " + file + " cannot be opened");
        reportWindowsLineEndInName(path);
        return false;
    }
    std::vector<TTimedValue> pairs;
    if (!loadTimedValues(in, file, pairs, series)) return false;

    // K and F move by the ratio of the climate of the moment to this value.
    const float reference = series[kReferenceTime];
    if (reference == 0.0f) {
        std::ostringstream text;
        text << "ERROR: " << file << " gives the value 0 at " << -kReferenceTime
             << " years BP (time " << kReferenceTime
             << "); every climate value is divided by it, so it must not be 0";
        report(text.str());
        return false;
    }
    for (const TTimedValue& pair : pairs) {
        if (std::isfinite(pair.value / reference)) continue;
        std::ostringstream text;
        text << "ERROR: " << file << " gives the value " << pair.value << " at line " << pair.line
             << " (time " << pair.time << "), too large to be divided by the value " << reference
             << " at " << -kReferenceTime << " years BP";
        report(text.str());
        return false;
    }
    return true;
}

// The layer is not used: the matrices serve each layer in turn, and with two
// layers the file's points are appended once more, which changes no lookup
// (the first interval that holds a time is always in the first copy).
int World::AllocateAndLoadAllVostokData(const int& /*layer*/) {
    try {
        if (!allocateVostokMatrix()) return 0;
        if (!load_VostokTimeData(climateSeries)) return 0;
        return vegetationFitsTheTables(*this) ? 1 : 0;
    } catch (...) {
        AOS << "      ERROR: {World::AllocateAndLoadAllVostokData()} [problem with loading Vostok "
               "data]"
            << std::endl;
        return 0;
    }
}
