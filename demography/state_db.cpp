#include "demography/state_db.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <limits>
#include <sstream>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "foundations/memory_size.h"

namespace {

constexpr uint64_t kUint64Max = std::numeric_limits<uint64_t>::max();
constexpr double kBytesPerGiB = 1024.0 * 1024.0 * 1024.0;

// a * b, or UINT64_MAX when it does not fit.
uint64_t checkedProduct(uint64_t a, uint64_t b) {
    if (a != 0 && b > kUint64Max / a) return kUint64Max;
    return a * b;
}

int blocksFor(int layers) { return kSeriesPerLayer * layers + layers * (layers - 1); }

// Physical memory of the machine, or 0 when the system does not tell.
uint64_t physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return checkedProduct(static_cast<uint64_t>(pages), static_cast<uint64_t>(pageSize));
}

const char* seriesName(int series) {
    switch (series) {
        case kSeriesN: return "number of individuals";
        case kSeriesFromNorth: return "immigrants from the north";
        case kSeriesFromSouth: return "immigrants from the south";
        case kSeriesFromEast: return "immigrants from the east";
        default: return "immigrants from the west";
    }
}

my_string settingsFileOf(const World* owner) {
    return owner != nullptr ? owner->Settings.fileName : my_string();
}

constexpr size_t kHugePageBytes = size_t{2} << 20;

// Address sanitizer builds keep every block on the heap, where reads outside
// it are caught; mapped memory is not watched.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUseHugePages = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUseHugePages = false;
#else
constexpr bool kUseHugePages = true;
#endif
#else
constexpr bool kUseHugePages = true;
#endif

// Anonymous memory (zeroed by the system) of at least `bytes`, starting on a
// 2 MiB boundary and advised for transparent huge pages; the advice is only a
// hint. Null when the mapping fails; mappedBytes is what to unmap.
void* mapHugePageBlock(size_t bytes, size_t& mappedBytes) {
    mappedBytes = 0;
    if (bytes > std::numeric_limits<size_t>::max() - 2 * kHugePageBytes) return nullptr;
    const size_t size = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const size_t reserved = size + kHugePageBytes;
    void* mapped =
        mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const size_t head = aligned - start;
    const size_t tail = reserved - head - size;
    if (head > 0) munmap(mapped, head);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, size, MADV_HUGEPAGE);
    mappedBytes = size;
    return block;
}

void logCannotAllocate() {
    AOS << "ERROR{TimeStoFull::AllocateTimeStoFullMemory}: Cannot allocate memory!" << "\n";
}

}  // namespace

// --- HistoryBlock, TimeStoFull ----------------------------------------------

bool HistoryBlock::allocate(size_t valueCount, bool shortMode) {
    storage_.reset();
    if (valueCount == 0) return true;  // no cells: nothing to hold
    const size_t valueSize = shortMode ? sizeof(int16_t) : sizeof(int32_t);
    if (valueCount > std::numeric_limits<size_t>::max() / valueSize) return false;
    const size_t bytes = valueCount * valueSize;
    size_t mappedBytes = 0;
    void* memory = kUseHugePages && bytes >= kHugePageBytes ? mapHugePageBlock(bytes, mappedBytes)
                                                            : nullptr;
    if (memory == nullptr) memory = std::calloc(valueCount, valueSize);
    storage_ = std::unique_ptr<void, Release>(memory, Release(mappedBytes));
    return storage_ != nullptr;
}

void HistoryBlock::Release::operator()(void* memory) const {
    if (mappedBytes > 0) {
        munmap(memory, mappedBytes);
    } else {
        std::free(memory);
    }
}

int TimeStoFull::AllocateTimeStoFullMemory(HistoryBlock& block, const uint64_t& valueCount,
                                           bool shortMode) {
    const uint64_t bytes = checkedProduct(valueCount, shortMode ? 2 : 4);
    if (bytes > std::numeric_limits<size_t>::max() ||
        !block.allocate(static_cast<size_t>(valueCount), shortMode)) {
        logCannotAllocate();
        return 0;
    }
    return 1;
}

// --- StateOfDemes ------------------------------------------------------------

void StateOfDemes::set_migrBetweenDemes(const int& i, const int& j, const int& value,
                                        const int& t) {
    if (i == j) {
        AOS << "StateOfDemes::set_migrBetweenDemes(const int& i, const int& j): Try to set a "
               "migration between the same deme (i=j!!!)"
            << "\n";
        return;
    }
    const int layers = database->layers();
    if (layers < 2) return;
    assert(i >= 0 && i < layers && j >= 0 && j < layers);
    if (i < 0 || i >= layers || j < 0 || j >= layers) return;
    database->store(database->betweenLayersBlock(i, j), t, index, value);
}

int StateOfDemes::get_migrBetweenDemes(const int& i, const int& j, const int& t) const {
    if (i == j) {
        AOS << "StateOfDemes::get_migrBetweenDemes(const int& i, const int& j): Try to get a "
               "migration between the same deme (i=j!!!)"
            << "\n";
        return 0;
    }
    const int layers = database->layers();
    if (layers < 2) return 0;
    assert(i >= 0 && i < layers && j >= 0 && j < layers);
    if (i < 0 || i >= layers || j < 0 || j >= layers) return 0;
    return database->read(database->betweenLayersBlock(i, j), t, index);
}

// --- StateDB -----------------------------------------------------------------

StateDB::StateDB(World* ownerWorld, int capacity, int growth, int worldRows, int worldColumns)
    : owner(ownerWorld), rows(worldRows), columns(worldColumns) {
    // The entries are sized once, for the land cells, when the world is built;
    // the growth step has no use then.
    (void)growth;
    entries_.reserve(capacity > 0 ? static_cast<size_t>(capacity) : 0);
}

StateDB::~StateDB() = default;

void StateDB::releaseHistory() {
    blocks_.clear();
    for (int b = 0; b < kMaxHistoryBlocks; ++b) {
        values32_[b] = nullptr;
        values16_[b] = nullptr;
    }
    numberOfBlocks_ = 0;
    generations_ = 0;
    allocated_ = false;
}

void StateDB::createEntries(const std::vector<cell*>& cells, int layers) {
    releaseHistory();
    layers_ = layers < 1 ? 1 : (layers > kMaxHistoryLayers ? kMaxHistoryLayers : layers);
    entries_.clear();
    entries_.resize(cells.size());  // never resized afterwards: cells point into it
    numberOfCells_ = cells.size();
    for (size_t i = 0; i < cells.size(); ++i) {
        StateOfDemes& e = entries_[i];
        e.database = this;
        e.index = static_cast<int>(i);
        e.ownerCell = cells[i];
        cells[i]->dbIndex = static_cast<int>(i);
        cells[i]->history = &e;
    }
}

uint64_t StateDB::historyBytes(uint64_t numberOfCells, int layers, int endTime, bool shortMode) {
    if (endTime < 0) return 0;
    const uint64_t generations = static_cast<uint64_t>(endTime) + 1;
    uint64_t bytes = checkedProduct(numberOfCells, generations);
    bytes = checkedProduct(bytes, shortMode ? 2 : 4);
    return checkedProduct(bytes, static_cast<uint64_t>(blocksFor(layers)));
}

int StateDB::AllocateTimeStoFull(const int& endTime) {
    bool shortMode = false;
    if (owner != nullptr && owner->Settings.parameterExists("AllowShortIntForNumberOfIndividuals")) {
        shortMode = owner->Settings.getIntParameter("AllowShortIntForNumberOfIndividuals", true) == 1;
    }
    allocateHistory(endTime, shortMode);
    return 1;
}

void StateDB::allocateHistory(int endTime, bool shortMode) {
    releaseHistory();
    const my_string settingsFile = settingsFileOf(owner);
    if (endTime < 0 || endTime == std::numeric_limits<int>::max()) {
        std::ostringstream text;
        text << "EndTime = " << endTime << " in the settings file '" << settingsFile
             << "' cannot size the demographic history: it must lie between 0 and "
             << (std::numeric_limits<int>::max() - 1) << ".";
        throw TException(text.str().c_str());
    }

    const int blocks = blocksFor(layers_);
    const uint64_t generations = static_cast<uint64_t>(endTime) + 1;
    const uint64_t valuesPerBlock = checkedProduct(numberOfCells_, generations);
    const uint64_t bytes = historyBytes(numberOfCells_, layers_, endTime, shortMode);
    const uint64_t physical = physicalMemoryBytes();
    const bool beyondAddressSpace = !memory_size::addressable(bytes);
    const bool tooLarge = bytes == kUint64Max || beyondAddressSpace ||
                          (physical != 0 && bytes > physical);

    bool allocatedAll = !tooLarge;
    if (allocatedAll) {
        blocks_.resize(static_cast<size_t>(blocks));
        for (int b = 0; b < blocks && allocatedAll; ++b) {
            allocatedAll = TimeStoFull::AllocateTimeStoFullMemory(blocks_[static_cast<size_t>(b)],
                                                                  valuesPerBlock, shortMode) == 1;
        }
    } else {
        logCannotAllocate();
    }

    if (!allocatedAll) {
        releaseHistory();
        const uint64_t bytesPerValue = shortMode ? 2 : 4;
        const double gib = static_cast<double>(numberOfCells_) * static_cast<double>(generations) *
                           static_cast<double>(bytesPerValue) * blocks / kBytesPerGiB;
        std::ostringstream text;
        text.setf(std::ios::fixed);
        text.precision(2);
        text << "The demographic history needs " << gib << " GiB (" << blocks << " series x "
             << numberOfCells_ << " land cells x " << generations << " generations x "
             << bytesPerValue << " bytes)";
        if (beyondAddressSpace && bytes != kUint64Max) {
            text << " and a " << 8 * sizeof(void*) << "-bit program can address at most "
                 << memory_size::describe(memory_size::addressableBytes());
        } else if (physical != 0) {
            text << " and this machine has " << static_cast<double>(physical) / kBytesPerGiB
                 << " GiB of memory";
        }
        text << "; that memory cannot be had. Settings file '" << settingsFile << "': ";
        if (!shortMode) text << "set AllowShortIntForNumberOfIndividuals = 1 (halves it), ";
        text << "choose a smaller EndTime, or use a coarser grid.";
        throw TOutOfMemory(text.str().c_str());
    }

    for (int b = 0; b < blocks; ++b) {
        values32_[b] = blocks_[static_cast<size_t>(b)].values32();
        values16_[b] = blocks_[static_cast<size_t>(b)].values16();
    }
    numberOfBlocks_ = blocks;
    generations_ = static_cast<int>(generations);
    shortMode_ = shortMode;
    allocated_ = true;
}

void StateDB::buildFor(const std::vector<cell*>& cells, int layers, int endTime, bool shortMode) {
    createEntries(cells, layers);
    allocateHistory(endTime, shortMode);
}

void StateDB::setMigrationRArrive(const int& t, cell* c, const int& layer, const int& toNorth,
                                  const int& toSouth, const int& toEast, const int& toWest) {
    if (c->north != nullptr) store(seriesBlock(layer, kSeriesFromSouth), t, c->north->dbIndex, toNorth);
    if (c->south != nullptr) store(seriesBlock(layer, kSeriesFromNorth), t, c->south->dbIndex, toSouth);
    if (c->east != nullptr) store(seriesBlock(layer, kSeriesFromWest), t, c->east->dbIndex, toEast);
    if (c->west != nullptr) store(seriesBlock(layer, kSeriesFromEast), t, c->west->dbIndex, toWest);
}

void StateDB::setMigrationRArrive_BetweenDemes(const int& t, cell* c, const int& i, const int& j,
                                               const int& value) {
    if (c == nullptr) return;
    c->history->set_migrBetweenDemes(i, j, value, t);
}

void StateDB::reportShortOverflow(int block, int t, int index, int value) const {
    const StateOfDemes& e = entries_[static_cast<size_t>(index)];
    std::ostringstream text;
    text << "The value " << value << " (";
    if (block < kSeriesPerLayer * layers_) {
        text << seriesName(block % kSeriesPerLayer) << ", layer " << block / kSeriesPerLayer;
    } else {
        const int from = block - kSeriesPerLayer * layers_ == 0 ? 0 : 1;  // two layers only
        text << "migrants from layer " << from << " to layer " << 1 - from;
    }
    text << ") of ";
    if (e.ownerCell != nullptr) {
        text << "cell (row " << e.ownerCell->row << ", column " << e.ownerCell->column << ")";
    } else {
        text << "the cell of history index " << index;
    }
    text << " at generation " << t
         << " does not fit the 16-bit history (-32768 to 32767) chosen by "
            "AllowShortIntForNumberOfIndividuals = 1 in the settings file '"
         << settingsFileOf(owner)
         << "'. Remove that setting (or set it to 0) to keep the history in 32-bit form.";
    throw TException(text.str().c_str());
}

// --- World -------------------------------------------------------------------

int World::BuildDB() {
    if (history == nullptr) history = new StateDB(this, 1001, 500, nrows, ncols);
    history->createEntries(grid.landCells, NbDemePerCell);
    const int endTime = Settings.getIntParameter("EndTime", true);
    return history->AllocateTimeStoFull(endTime);
}

int World::AddInitialDensitiesToDB(const int& layer) {
    const int t = cell::_Current_time;
    if (history == nullptr || layer < 0 || layer >= history->layers() || t < 0 ||
        t > history->endTime()) {
        AOS << "ERROR{World::AddInitialDensitiesToDB}: no history for layer " << layer
            << " at generation " << t << "\n";
        return 0;
    }
    bool modelRead = false;
    for (int r = 0; r < grid.nrows; ++r) {
        for (int col = 0; col < grid.ncols; ++col) {
            cell* c = grid.at(r, col);
            if (c == nullptr) continue;
            if (!modelRead) {  // read once: its value does not change what is stored
                Settings.getIntParameter("ChosenDemographicModel", true);
                modelRead = true;
            }
            StateOfDemes& entry = *c->history;
            entry.column = c->column;
            entry.row = c->row;
            entry.states(layer).N().AddFast(c->states[layer]._N_POP, t);
            history->setMigrationRArrive(t, c, layer, 0, 0, 0, 0);
            for (int other = 0; other < history->layers(); ++other) {
                if (other != layer) entry.set_migrBetweenDemes(layer, other, 0, t);
            }
        }
    }
    return 1;
}
