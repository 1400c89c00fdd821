#pragma once
// The settings store: one key=value file read once, answering typed queries for
// the rest of the run. It also derives the process-wide layer count and the
// Baird-lattice switch, and carries the world grid header.

#include <map>

#include "foundations/my_string.h"
#include "landscape/grid_header.h"

// Number of layers (populations) per cell, 1 or 2; set by every settings read.
extern int NbDemePerCell;
// Layer count of the previous world, kept so its history is released with the
// layer count it was built with.
extern int previousNbDemePerCell;
// Baird-lattice migration rates switched on by AllowBairdEfficientLattice = 1.
extern bool UsingBairdLattice;

// Values keep the carriage return of a line with Windows line ends, so a file
// they name cannot be opened. For such a name, the line that explains it (to
// follow the message about the file); the empty text for any other name.
my_string windowsLineEndNote(const my_string& fileName);
// Writes that line, when there is one, to the log and the console.
void reportWindowsLineEndInName(const my_string& fileName);

class TSettings {
public:
    TSettings() = default;
    virtual ~TSettings() = default;

    // Reads the file; extra texts (count of them) are further lines appended to
    // the file's, and keepPrevious keeps the entries already held.
    void readParameters(my_string fileName, int count, my_string* extra, const int& keepPrevious);

    int getIntParameter(my_string key, bool required);
    double getdoubleParameter(my_string key, bool required);
    my_string getParameter(my_string key, bool required);
    bool parameterExists(my_string key) const;

    // Direct write: inserts the key with an empty value when missing.
    my_string& operator[](const my_string& key) { return entries_[key]; }

    my_string fileName;
    TGridHeader worldGridHeader;
    int numberOfPopulationSources = 0;
    int lgmVegetation = 0;  // 1 when LGMVegetationFile is given

private:
    void storeLine(my_string line);
    const my_string* find(const my_string& key) const;
    [[noreturn]] static void raiseMissing(const my_string& key);

    std::map<my_string, my_string> entries_;
};
