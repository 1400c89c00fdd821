// The map readers (one ESRI ASCII grid per settings key, stored raw in the
// cells), the conversion-table readers and the change-list reader.

#include "landscape/import_export_utils.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/conversion_tables.h"
#include "landscape/grid_header.h"
#include "landscape/world_grid.h"

namespace {

// Every report about a bad input goes to the log and to the console.
void report(const my_string& line) {
    AOS << line << std::endl;
    std::cout << line << std::endl;
}

my_string inFileLine(const my_string& path) {
    return my_string("  in file '") + path + "'";
}

my_string inFileLine(const my_string& path, int line, int vegetationClass) {
    std::ostringstream text;
    text << "  in file '" << path.c_str() << "', line " << line << ", vegetation ID "
         << vegetationClass;
    return text.str().c_str();
}

// Skips white space as the numeric extraction would, counting the line ends
// passed, so messages can name the line of the next value.
void skipSpaceCountingLines(std::istream& in, int& line) {
    for (;;) {
        const std::istream::int_type c = in.peek();
        if (c == std::istream::traits_type::eof() || !std::isspace(c)) return;
        if (c == '\n') ++line;
        in.get();
    }
}

// The rest of a line, with the line count advanced past its end.
my_string readRestOfLine(std::istream& in, int& line) {
    my_string rest;
    if (rest.read_line(in)) ++line;
    return rest;
}

// ---------------------------------------------------------------------------
// Grid data

// The offending text at the reading position, for a message (shortened).
std::string offendingText(std::istream& in) {
    in.clear();
    std::string word;
    in >> word;
    constexpr size_t kShown = 40;
    if (word.size() > kShown) word = word.substr(0, kShown) + "...";
    return word;
}

// Reads the nrows x ncols values of the data section in row order and hands
// each to store(cell, value). Returns the empty text when every value was a
// number, else the message naming the file and the row and column reached: a
// data section that ends early or holds a non-number must not leave garbage in
// the cells.
template <typename Value, typename Store>
my_string readGridValues(std::istream& in, const my_string& path, const TGridHeader& header,
                         TWorldGrid& grid, const char* expected, Store store) {
    std::ostringstream problem;
    problem << "ERROR: the grid file '" << path.c_str() << "' ";
    if (grid.nrows != header.nrows || grid.ncols != header.ncols ||
        grid.matrix.size() !=
            static_cast<size_t>(header.nrows) * static_cast<size_t>(header.ncols)) {
        problem << "has " << header.nrows << " rows and " << header.ncols
                << " columns, but the world grid has " << grid.nrows << " rows and " << grid.ncols
                << " columns";
        return problem.str().c_str();
    }
    for (int row = 0; row < header.nrows; ++row) {
        for (int column = 0; column < header.ncols; ++column) {
            Value value{};
            in >> value;
            bool good = !in.fail();
            std::string found;
            if (good) {
                // "12.5" in an integer map, or "3x", is a bad value here, not two.
                const std::istream::int_type next = in.peek();
                if (next != std::istream::traits_type::eof() && !std::isspace(next)) {
                    good = false;
                    std::ostringstream text;
                    text << value << offendingText(in);
                    found = text.str();
                }
            }
            // A failed extraction leaves 0, or the type's limit for a number out
            // of its range (whose digits are then consumed).
            const bool outOfRange = !good && found.empty() &&
                                    (value == std::numeric_limits<Value>::max() ||
                                     value == std::numeric_limits<Value>::lowest());
            if (!good && found.empty() && !outOfRange && !in.eof()) found = offendingText(in);
            if (!good) {
                if (outOfRange) {
                    problem << "holds a number out of range where " << expected << " is due";
                } else if (found.empty()) {
                    problem << "ends after " << static_cast<long long>(row) * header.ncols + column
                            << " of " << static_cast<long long>(header.nrows) * header.ncols
                            << " values";
                } else {
                    problem << "holds '" << found << "' where " << expected << " is due";
                }
                problem << ", at row " << row << ", column " << column
                        << " (counted from 0; nrows=" << header.nrows << ", ncols=" << header.ncols
                        << ")";
                return problem.str().c_str();
            }
            cell* target = grid.at(row, column);
            if (target == nullptr) {
                problem << "cannot be stored: internal error, please report: no cell at row " << row
                        << ", column " << column;
                return problem.str().c_str();
            }
            store(*target, value);
        }
    }
    return my_string();
}

enum class MapFailure { none, cannotOpen, headerRejected, badData };

struct MapReadResult {
    MapFailure failure = MapFailure::none;
    my_string path;
    my_string detail;  // for badData
};

// The steps every map reader shares: the file named by key, its header read into
// the world grid header (compared with it unless first), then the data.
template <typename Value, typename Store>
MapReadResult readMap(const char* key, TWorldGrid& grid, TSettings& settings, bool first,
                      const char* expected, Store store) {
    MapReadResult result;
    result.path = settings.getParameter(key, false);
    std::ifstream in(result.path.c_str());
    if (!in.is_open()) {
        result.failure = MapFailure::cannotOpen;
        return result;
    }
    TGridHeader& header = settings.worldGridHeader;
    if (!header.readGridHeader(in, first, result.path)) {
        result.failure = MapFailure::headerRejected;
        return result;
    }
    result.detail = readGridValues<Value>(in, result.path, header, grid, expected, store);
    if (!result.detail.empty()) result.failure = MapFailure::badData;
    return result;
}

my_string cannotOpenLine(const my_string& path, const char* key) {
    return my_string("ERROR: cannot open the grid file '") + path + "' named by " + key;
}

constexpr const char* kInteger = "an integer";
constexpr const char* kNumber = "a number";

// The readers that report failure with 0 and log their own lines.
struct ReturningReader {
    const char* key;
    const char* cannotOpen;      // null: no line of its own
    const char* headerRejected;  // null: no line of its own
    const char* unableToRead;
};

template <typename Store>
int runReturningReader(const ReturningReader& reader, TWorldGrid& grid, TSettings& settings,
                       bool first, Store store) {
    try {
        const MapReadResult result =
            readMap<int>(reader.key, grid, settings, first, kInteger, store);
        switch (result.failure) {
            case MapFailure::none:
                return 1;
            case MapFailure::cannotOpen:
                if (reader.cannotOpen != nullptr) {
                    report(reader.cannotOpen);
                    report(inFileLine(result.path));
                } else {
                    report(cannotOpenLine(result.path, reader.key));
                }
                reportWindowsLineEndInName(result.path);
                return 0;
            case MapFailure::headerRejected:
                if (reader.headerRejected != nullptr) AOS << reader.headerRejected << std::endl;
                return 0;
            case MapFailure::badData:
                AOS << reader.unableToRead << std::endl;
                report(result.detail);
                return 0;
        }
    } catch (...) {
        AOS << reader.unableToRead << std::endl;
    }
    return 0;
}

// The readers whose failures are fatal.
struct ThrowingReader {
    const char* key;
    const char* cannotOpen;
    const char* headerRejected;
};

template <typename Value, typename Store>
int runThrowingReader(const ThrowingReader& reader, TWorldGrid& grid, TSettings& settings,
                      const char* expected, Store store) {
    const MapReadResult result = readMap<Value>(reader.key, grid, settings, false, expected, store);
    switch (result.failure) {
        case MapFailure::none:
            return 1;
        case MapFailure::cannotOpen:
            report(cannotOpenLine(result.path, reader.key));
            reportWindowsLineEndInName(result.path);
            throw TException(reader.cannotOpen);
        case MapFailure::headerRejected:
            throw TException(reader.headerRejected);
        case MapFailure::badData:
            throw TException(result.detail);
    }
    return 1;
}

constexpr const char* kMapHeaderProblem =
    "A problem occurs with the reading of the input maps, please see tervalen.log for more "
    "details";

}  // namespace

int ImportExportUtils::readPresentVegetation(TWorldGrid& grid, TSettings& settings) {
    static const ReturningReader reader{
        "PresVegetationFile", nullptr, nullptr,
        " ERROR: {ImportExportUtils::readPresentVegetation(...)} [unable to read Present "
        "Vegetation file"};
    return runReturningReader(reader, grid, settings, true,
                              [](cell& c, int value) { c.presentVegetation = value; });
}

int ImportExportUtils::readLGMVegetation(TWorldGrid& grid, TSettings& settings) {
    static const ReturningReader reader{
        "LGMVegetationFile", "ImportExportUtils::readLGMVegetation() : Cannot read the LGMveg file",
        kMapHeaderProblem,
        " ERROR: {ImportExportUtils::readLGMVegetation(...)} [unable to read LGM vegetation file"};
    return runReturningReader(reader, grid, settings, false,
                              [](cell& c, int value) { c.lgmVegetation = value; });
}

int ImportExportUtils::readHydro(TWorldGrid& grid, TSettings& settings) {
    static const ReturningReader reader{
        "HydroFile", "ImportExportUtils::readHydro() : Cannot read the Hydro file",
        kMapHeaderProblem,
        " ERROR: {ImportExportUtils::readHydro(...)} [unable to read Hydro file]"};
    // NO_LAND holds this file's own NODATA value here; any other value, 0
    // included, marks a river.
    return runReturningReader(reader, grid, settings, false, [](cell& c, int value) {
        if (value != NO_LAND) c.river = 1;
    });
}

int ImportExportUtils::readAltitudeTopoFile(TWorldGrid& grid, TSettings& settings) {
    static const ThrowingReader reader{"AltitudeTopoFile", "Cannot read the altitude topo file",
                                       "Cannot read the altitude topo file grid header"};
    return runThrowingReader<float>(reader, grid, settings, kNumber,
                                    [](cell& c, float value) { c.altitude = value; });
}

int ImportExportUtils::readRoughnessTopoFile(TWorldGrid& grid, TSettings& settings) {
    static const ThrowingReader reader{"RoughnessTopoFile", "Cannot read the RoughnessTopoFile",
                                       "Cannot read the RoughnessTopoFile grid header"};
    return runThrowingReader<float>(reader, grid, settings, kNumber,
                                    [](cell& c, float value) { c.roughness = value; });
}

int ImportExportUtils::readmMap(TWorldGrid& grid, TSettings& settings) {
    static const ThrowingReader reader{"mMapFile", "Cannot read the m_MapFile",
                                       "Cannot read the m_MapFile grid header"};
    return runThrowingReader<int>(reader, grid, settings, kInteger,
                                  [](cell& c, int value) { c.mMapValue = value; });
}

// ---------------------------------------------------------------------------
// Conversion tables

namespace {

// The value of a carrying-capacity line: its first word, converted as the C
// library converts a leading decimal integer (350.7 gives 350, a word without
// leading digits 0), kept in the 32-bit range.
int carryingCapacityValue(const my_string& rest) {
    my_string word = rest.extract_before(' ').extract_before('\t');
    word.remove_blanks();
    const long value = std::strtol(word.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool tableHasRoom(size_t size, const char* reader, const my_string& path) {
    if (size >= static_cast<size_t>(kVegetationClassCount)) return true;
    report(my_string(reader) + " : internal error, please report: the table for '" + path +
           "' is not allocated");
    return false;
}

}  // namespace

int ImportExportUtils::readConversionTable_for_K(const my_string& path, World&, TSettings&,
                                                 std::vector<int>& table, const int&) {
    constexpr const char* kReader = "ImportExportUtils::readConversionTable_for_K()";
    std::ifstream in(path.c_str());
    if (!in.is_open()) {
        report(my_string(kReader) + " : Cannot read the conversion Table for K");
        report(inFileLine(path));
        return 0;
    }
    if (!tableHasRoom(table.size(), kReader, path)) return 0;

    int line = 1;
    while (in.good()) {
        skipSpaceCountingLines(in, line);
        int vegetationClass = 0;
        in >> vegetationClass;
        // End of the file, or a line that does not start with a number, ends the table.
        if (in.fail()) break;
        const int entryLine = line;
        const my_string rest = readRestOfLine(in, line);
        if (rest.empty()) break;  // a class without a value ends the table
        if (vegetationClass > kMaxVegetationClass || vegetationClass < 0) {
            std::ostringstream error;
            error << kReader << " : ERROR: ";
            if (vegetationClass > kMaxVegetationClass) {
                error << "one of the vegetation ID is greater than " << kMaxVegetationClass;
            } else {
                error << "one of the vegetation ID is below 0";
            }
            report(error.str().c_str());
            report(inFileLine(path, entryLine, vegetationClass));
            in.close();
            report(my_string(kReader) + " : Problems with adding K values in vector");
            return 0;
        }
        table[static_cast<size_t>(vegetationClass)] = carryingCapacityValue(rest);
    }
    in.close();
    return 1;
}

int ImportExportUtils::readConversionTable_for_F(const my_string& path, World&,
                                                 std::vector<float>& table) {
    constexpr const char* kReader = "ImportExportUtils::readConversionTable_for_F()";
    const my_string problems = my_string(kReader) + " : Problems with adding F values in vector";
    std::ifstream in(path.c_str());
    if (!in.is_open()) {
        report(my_string(kReader) + " : Cannot read one of the conversion Tables");
        report(inFileLine(path));
        return 0;
    }
    if (!tableHasRoom(table.size(), kReader, path)) return 0;

    try {
        int line = 1;
        while (in.good()) {
            skipSpaceCountingLines(in, line);
            int vegetationClass = 0;
            in >> vegetationClass;
            const int entryLine = line;
            skipSpaceCountingLines(in, line);
            float friction = 0.0f;
            in >> friction;
            if (in.fail()) break;
            // A value with nothing after it (a CR alone counts as nothing) ends the
            // table, and that line is not stored.
            const my_string rest = readRestOfLine(in, line);
            if (rest.empty()) break;
            if (vegetationClass > kMaxVegetationClass) {
                std::ostringstream warning;
                warning << kReader << " : WARNING: one of the vegetation ID is greater than "
                        << kMaxVegetationClass;
                report(warning.str().c_str());
                report(inFileLine(path, entryLine, vegetationClass));
                continue;
            }
            if (vegetationClass < 0) {
                report(my_string(kReader) + " : ERROR: one of the vegetation ID is below 0");
                report(inFileLine(path, entryLine, vegetationClass));
                in.close();
                report(problems);
                return 0;
            }
            table[static_cast<size_t>(vegetationClass)] = friction;
        }
        in.close();
        return 1;
    } catch (...) {
        if (in.good()) in.close();
        report(problems);
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Change lists

void ImportExportUtils::readTableChangeList(const my_string& path,
                                            const TChangeListMessages& messages,
                                            TTableChangeList& list) {
    list.clear();
    std::ifstream in(path.c_str());
    if (!in.is_open()) {
        report(my_string("ERROR: cannot open the list file '") + path + "' named by " +
               messages.key);
        reportWindowsLineEndInName(path);
        throw TException(messages.openMessage);
    }

    // Each refusal names the file and what was found before the list's own message.
    auto refuse = [&](const std::string& what, const char* message) {
        report(my_string("ERROR: the list file '") + path + "' named by " + messages.key + " " +
               what.c_str());
        throw TException(message);
    };

    try {
        int line = 1;
        skipSpaceCountingLines(in, line);
        int count = 0;
        in >> count;
        if (in.fail()) refuse("does not start with its number of entries", messages.readMessage);
        if (count < 0 || count > kMaxTableChanges) {
            refuse("announces " + std::to_string(count) + " entries; a list holds 0 to " +
                       std::to_string(kMaxTableChanges),
                   messages.readMessage);
        }
        list.generations.reserve(static_cast<size_t>(count));
        list.paths.reserve(static_cast<size_t>(count));
        for (int entry = 1; entry <= count; ++entry) {
            skipSpaceCountingLines(in, line);
            int generation = 0;
            in >> generation;
            if (in.fail()) {
                const std::string at =
                    "entry " + std::to_string(entry) + " of " + std::to_string(count);
                refuse(in.eof() ? "ends before " + at
                                : "holds no generation number at " + at + " (line " +
                                      std::to_string(line) + ")",
                       messages.readMessage);
            }
            const int entryLine = line;
            my_string tablePath;
            in >> tablePath;  // one word: ends at a blank, a CR or the line end
            readRestOfLine(in, line);
            if (tablePath.empty()) {
                refuse("names no table file at entry " + std::to_string(entry) + " (line " +
                           std::to_string(entryLine) + ", generation " +
                           std::to_string(generation) + ")",
                       messages.readMessage);
            }
            list.generations.push_back(generation);
            list.paths.push_back(tablePath);
        }
        list.count = count;
    } catch (const TException&) {
        list.clear();
        throw;
    } catch (...) {
        list.clear();
        throw TException(messages.readMessage);
    }
    in.close();

    for (int i = 1; i < list.count; ++i) {
        const size_t at = static_cast<size_t>(i);
        if (list.generations[at] <= list.generations[at - 1]) {
            const int later = list.generations[at];
            const int earlier = list.generations[at - 1];
            list.clear();
            refuse("gives generation " + std::to_string(later) + " at entry " +
                       std::to_string(i + 1) + " after generation " + std::to_string(earlier) +
                       " at entry " + std::to_string(i),
                   messages.orderMessage);
        }
    }
}
