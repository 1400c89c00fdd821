#pragma once
// Population sources: named groups of individuals placed at a geographic
// position, in one layer, at a given generation; and the list of them that the
// population file fills, with the position of the next source to launch.

#include <cstdint>
#include <vector>

#include "foundations/my_string.h"

class TSettings;

class PopulationSource {
  public:
    // Longest name the population file may give a source.
    static constexpr int kMaxNameLength = 99;

    PopulationSource() = default;
    PopulationSource(const PopulationSource&) = default;
    PopulationSource(PopulationSource&&) = default;
    PopulationSource& operator=(const PopulationSource&) = default;
    PopulationSource& operator=(PopulationSource&&) = default;
    virtual ~PopulationSource() = default;

    float latitude = 0.0f;   // y, in the units of the grid header
    float longitude = 0.0f;  // x
    int32_t initialSize = 0;
    my_string name;
    int32_t firstResize = 0;         // size before the expansion; 0 or less: no resize
    int32_t bottleneckDuration = 0;  // generations
    int32_t secondResize = 0;        // size before the bottleneck; 0 or less: no bottleneck
    float preExpansionMigration = 0.0f;
    int32_t layer = 0;
    int32_t expansionTime = 0;  // generation of the launch
    int32_t dbIndex = -1;       // history index of the cell it was launched into
    // Where the source came from, for the messages about it: its record in the
    // population file (1 for the first), 0 for a source made otherwise.
    int recordNumber = 0;
};

class PopulationVector {
  public:
    PopulationVector() = default;
    virtual ~PopulationVector() = default;

    // Reads and checks the population file. Returns the number of sources when
    // every record is valid; otherwise 0, after logging why, with the list left
    // empty (a failed read never leaves half-read sources behind).
    int ReadPopDensityAndCoordinates_Multideme(const my_string& fileName, TSettings& settings);

    int count() const { return static_cast<int>(sources_.size()); }
    // The source at position i (0 <= i < count(); anything else is an internal
    // error that raises TException).
    PopulationSource& at(int i);
    const PopulationSource& at(int i) const;
    // Exchanges the sources at positions i and j (the sort by expansion time).
    void swapSources(int i, int j);
    // Replaces the list, as reading a file does; the launch position restarts.
    void replaceSources(std::vector<PopulationSource> sources);
    void clear() { replaceSources({}); }
    // The population file the list was read from (empty when made otherwise).
    const my_string& fileName() const { return fileName_; }

    // Index of the next source to launch.
    int launchPosition() const { return launchPosition_; }
    void resetLaunchPosition() { launchPosition_ = 0; }
    // Takes the source at the launch position and moves the position past it.
    // False, with the position unchanged, when every source has been launched.
    bool takeNextLaunch(int& index);

  private:
    void checkIndex(int i) const;

    std::vector<PopulationSource> sources_;
    int launchPosition_ = 0;
    my_string fileName_;
};
