#pragma once
// Vegetation conversion tables (class -> K, class -> F) per layer, and the lists
// of tables that replace them at given generations.

#include <vector>

#include "foundations/my_string.h"

constexpr int kVegetationClassCount = 10001;  // classes 0 .. 10000
constexpr int kMaxVegetationClass = kVegetationClassCount - 1;
constexpr int kMaxTableChanges = 200;

// One change list: from which generation each table file applies. Entry 0 is
// the table in force from the start; the others replace it in turn.
struct TTableChangeList {
    int count = 0;
    std::vector<int> generations;
    std::vector<my_string> paths;
    int position = 1;  // next entry to apply during a simulation

    // True when the entry at the position is due in the generation step whose
    // counter is generationCounter (1 during the first step): an entry of
    // generation g applies in the step that makes the counter g + 1.
    bool isDueAt(int generationCounter) const {
        return position < count &&
               generations[static_cast<size_t>(position)] == generationCounter - 1;
    }
    void clear() {
        count = 0;
        generations.clear();
        paths.clear();
        position = 1;
    }
};

// The fixed messages of one list (its settings key and its three refusals).
struct TChangeListMessages {
    const char* key;
    const char* openMessage;
    const char* readMessage;
    const char* orderMessage;
};

class TConversionTables {
  public:
    // Per layer; empty until the world build allocates them.
    std::vector<std::vector<int>> Veg2K;
    std::vector<std::vector<float>> Veg2F;

    TTableChangeList kList;    // Veg2KFile
    TTableChangeList fList;    // Veg2FFile
    TTableChangeList mList;    // Veg2mFile (read and validated only)
    TTableChangeList kListP2;  // Veg2K_P2_File
    TTableChangeList fListP2;  // Veg2F_P2_File

    void resetPositions() {
        kList.position = fList.position = mList.position = 1;
        kListP2.position = fListP2.position = 1;
    }
};
