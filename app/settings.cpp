#include "app/settings.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>

#include "foundations/exception.h"
#include "foundations/log.h"

int NbDemePerCell = 1;
int previousNbDemePerCell = 1;
bool UsingBairdLattice = false;

my_string windowsLineEndNote(const my_string& fileName) {
    const char* name = fileName.c_str();
    const size_t length = std::strlen(name);
    if (length == 0 || name[length - 1] != '\r') return my_string();
    return my_string(
        "  (the name ends with a carriage return: the settings file has Windows line ends; "
        "convert it with dos2unix or sed -i 's/\\r$//')");
}

void reportWindowsLineEndInName(const my_string& fileName) {
    const my_string note = windowsLineEndNote(fileName);
    if (note.empty()) return;
    AOS << note << std::endl;
    std::cout << note << std::endl;
}

void TSettings::storeLine(my_string line) {
    // Everything after a '#' is a comment, even inside a value.
    line = line.extract_before('#');
    if (line.empty()) return;
    my_string key = line.extract_before('=');
    my_string value = line.extract_after('=');
    key.trim_blanks();
    value.trim_blanks();
    if (key.empty() || value.empty()) return;
    entries_[key] = value;  // the last line for a key wins
}

void TSettings::readParameters(my_string name, int count, my_string* extra,
                               const int& keepPrevious) {
    std::ifstream in(name.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        throw TException(my_string("Inputfile '") + name + "' could not be opened!");
    }
    if (!keepPrevious) entries_.clear();
    my_string line;
    while (in.good()) {
        line.read_line(in);
        storeLine(line);
    }
    for (int i = 0; i < count && extra != nullptr; ++i) storeLine(extra[i]);

    lgmVegetation = parameterExists("LGMVegetationFile") ? 1 : 0;
    NbDemePerCell = getIntParameter("DoublePopulationMode", true) == 1 ? 2 : 1;
    UsingBairdLattice = parameterExists("AllowBairdEfficientLattice") &&
                        getIntParameter("AllowBairdEfficientLattice", true) == 1;
}

const my_string* TSettings::find(const my_string& key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

void TSettings::raiseMissing(const my_string& key) {
    throw TException(my_string("The parameter '") + key + "' is not defined in the inputfile!");
}

int TSettings::getIntParameter(my_string key, bool required) {
    if (const my_string* value = find(key)) return value->toInt();
    if (required) raiseMissing(key);
    return 0;
}

double TSettings::getdoubleParameter(my_string key, bool required) {
    if (const my_string* value = find(key)) {
        const double number = value->toDouble();
        // A rate or factor of nan or inf would only run on into a wrong result.
        if (!std::isfinite(number)) {
            throw TException(my_string("The value '") + *value + "' of the parameter '" + key +
                             "' in the settings file '" + fileName + "' is not a finite number.");
        }
        return number;
    }
    if (required) raiseMissing(key);
    return 0.0;
}

my_string TSettings::getParameter(my_string key, bool required) {
    if (const my_string* value = find(key)) return *value;
    if (required) raiseMissing(key);
    return my_string();
}

bool TSettings::parameterExists(my_string key) const { return find(key) != nullptr; }
