#pragma once
// The demographic history: for every land cell, layer and generation 0..EndTime,
// the population size and the immigrants that came from each orthogonal
// neighbour, plus (with two layers) the migrants between the layers of a cell.
//
// Layout. The database owns one zeroed block per (series, layer): 5 per layer,
// then the between-layer series. A block holds the value of the cell with
// dbIndex i at generation t at [t * numberOfCells + i], so storing one
// generation of the whole world is one sequential pass, and every read is one
// index computation. Values are int32, or int16 when the settings choose the
// 16-bit form (AllowShortIntForNumberOfIndividuals = 1); a value that does not
// fit 16 bits stops the run rather than being wrapped.
//
// StateOfDemes is the entry of one cell; StatesOfCell (one layer of a cell) and
// TimeStoFull (one series of a cell) are light views handed out by value.
// Nothing on the read/write path checks bounds (debug builds assert).

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class cell;
class StateDB;
class StateOfDemes;
class World;

// The series kept per cell and layer, in the order of a StatesOfCell.
enum HistorySeries : int {
    kSeriesN = 0,
    kSeriesFromNorth = 1,
    kSeriesFromSouth = 2,
    kSeriesFromEast = 3,
    kSeriesFromWest = 4,
};
constexpr int kSeriesPerLayer = 5;
constexpr int kMaxHistoryLayers = 2;
// 5 series per layer plus L * (L - 1) between-layer series.
constexpr int kMaxHistoryBlocks =
    kSeriesPerLayer * kMaxHistoryLayers + kMaxHistoryLayers * (kMaxHistoryLayers - 1);

// Zero-initialised storage of one series for every cell and generation.
// Large blocks are mapped 2 MiB aligned and advised for transparent huge
// pages: the first touch of fresh memory, page by 4 KiB page, otherwise costs
// more than the forward loop's stores into it.
class HistoryBlock {
public:
    // Allocates valueCount zeroed values of 2 or 4 bytes; false when the memory
    // cannot be had (the caller has already checked that the size fits size_t).
    bool allocate(size_t valueCount, bool shortMode);
    void release() { storage_.reset(); }
    int32_t* values32() const { return static_cast<int32_t*>(storage_.get()); }
    int16_t* values16() const { return static_cast<int16_t*>(storage_.get()); }

private:
    // Unmaps a mapped block (mappedBytes > 0), frees a calloc'ed one.
    struct Release {
        Release() noexcept : mappedBytes(0) {}
        explicit Release(size_t bytes) noexcept : mappedBytes(bytes) {}
        void operator()(void* memory) const;
        size_t mappedBytes;
    };
    std::unique_ptr<void, Release> storage_;
};

// One series of one cell: entry t is generation t.
class TimeStoFull {
public:
    TimeStoFull(StateDB* database, int block, int index)
        : database_(database), block_(block), index_(index) {}

    // Allocates the zeroed block that holds this series for every cell:
    // valueCount = cells x (EndTime + 1). Returns 1, or 0 after writing the log
    // line when the memory cannot be had.
    static int AllocateTimeStoFullMemory(HistoryBlock& block, const uint64_t& valueCount,
                                         bool shortMode);

    // Entry t := value (t in 0..EndTime, unchecked). In 16-bit mode a value
    // outside -32768..32767 raises a TException naming the cell.
    inline void AddFast(const int& value, const int& t);
    inline int value(const int& t) const;
    // Number of entries, EndTime + 1.
    inline int size() const;
    inline bool shortMode() const;

private:
    StateDB* database_;
    int block_;
    int index_;
};

// The five series of one cell and layer.
class StatesOfCell {
public:
    StatesOfCell(StateDB* database, int layer, int index)
        : database_(database), layer_(layer), index_(index) {}

    TimeStoFull series(HistorySeries which) const {
        return TimeStoFull(database_, layer_ * kSeriesPerLayer + which, index_);
    }
    TimeStoFull N() const { return series(kSeriesN); }
    TimeStoFull fromNorth() const { return series(kSeriesFromNorth); }
    TimeStoFull fromSouth() const { return series(kSeriesFromSouth); }
    TimeStoFull fromEast() const { return series(kSeriesFromEast); }
    TimeStoFull fromWest() const { return series(kSeriesFromWest); }

private:
    StateDB* database_;
    int layer_;
    int index_;
};

// The history of one land cell.
class StateOfDemes {
public:
    StateOfDemes() = default;
    virtual ~StateOfDemes() = default;

    StatesOfCell states(int layer) const { return StatesOfCell(database, layer, index); }
    // Direct read of one series (what the cell queries use).
    inline int value(HistorySeries which, int layer, int t) const;

    // Migrants from layer i to layer j at generation t. i = j writes the log line
    // and stores nothing (reads 0); with one layer nothing is kept.
    void set_migrBetweenDemes(const int& i, const int& j, const int& value, const int& t);
    int get_migrBetweenDemes(const int& i, const int& j, const int& t) const;

    int column = -1;  // grid position, stored with the initial densities
    int row = -1;
    cell* ownerCell = nullptr;
    StateDB* database = nullptr;
    int index = 0;  // the cell's dbIndex
};

class StateDB {
public:
    // capacity and growth size the list of entries of a world whose size is not
    // known yet; rows and columns are the world's.
    StateDB(World* owner, int capacity, int growth, int rows, int columns);
    StateDB(const StateDB&) = delete;
    StateDB& operator=(const StateDB&) = delete;
    virtual ~StateDB();

    // One entry per cell, in list order: the cell's dbIndex becomes its position
    // and its history the entry. Drops any previous entries and history.
    void createEntries(const std::vector<cell*>& cells, int layers);
    // Sizes every series for generations 0..endTime, all 0, in the mode the
    // owner's settings choose (32-bit without an owner). Returns 1; raises
    // TOutOfMemory when the history cannot be had (nothing is kept then).
    int AllocateTimeStoFull(const int& endTime);
    // The same with the mode given.
    void allocateHistory(int endTime, bool shortMode);
    // createEntries + allocateHistory: a database for hand-made cells.
    void buildFor(const std::vector<cell*>& cells, int layers, int endTime, bool shortMode);

    // Emigrants of c at generation t become the immigrants of its neighbours:
    // toNorth in the north neighbour's from-south series, and so on.
    void setMigrationRArrive(const int& t, cell* c, const int& layer, const int& toNorth,
                             const int& toSouth, const int& toEast, const int& toWest);
    // Migrants from layer i to layer j of c at generation t; nothing for a null cell.
    void setMigrationRArrive_BetweenDemes(const int& t, cell* c, const int& i, const int& j,
                                          const int& value);

    // Bytes the history takes for that many cells; UINT64_MAX when the count
    // does not even fit 64 bits.
    static uint64_t historyBytes(uint64_t numberOfCells, int layers, int endTime, bool shortMode);

    int numberOfEntries() const { return static_cast<int>(entries_.size()); }
    StateOfDemes& entry(int i) { return entries_[static_cast<size_t>(i)]; }
    int layers() const { return layers_; }
    int endTime() const { return generations_ - 1; }
    int generations() const { return generations_; }
    bool shortMode() const { return shortMode_; }
    bool allocated() const { return allocated_; }

    // Raw access for the views: block from seriesBlock / betweenLayersBlock,
    // index the cell's dbIndex.
    static int seriesBlock(int layer, HistorySeries which) {
        return layer * kSeriesPerLayer + which;
    }
    // Block of the migrants from layer i to layer j (i != j).
    int betweenLayersBlock(int i, int j) const {
        const int k = j > i ? j + i * (layers_ - 1) - 1 : j + i * (layers_ - 1);
        return kSeriesPerLayer * layers_ + k;
    }
    inline int read(int block, int t, int index) const;
    inline void store(int block, int t, int index, int value);

    World* owner;
    int rows;
    int columns;

private:
    size_t offsetOf(int block, int t, int index) const {
        assert(allocated_ && block >= 0 && block < numberOfBlocks_);
        assert(t >= 0 && t < generations_);
        assert(index >= 0 && static_cast<size_t>(index) < numberOfCells_);
        (void)block;
        return static_cast<size_t>(t) * numberOfCells_ + static_cast<size_t>(index);
    }
    [[noreturn]] void reportShortOverflow(int block, int t, int index, int value) const;
    void releaseHistory();

    std::vector<StateOfDemes> entries_;
    std::vector<HistoryBlock> blocks_;
    int32_t* values32_[kMaxHistoryBlocks] = {};
    int16_t* values16_[kMaxHistoryBlocks] = {};
    size_t numberOfCells_ = 0;
    int numberOfBlocks_ = 0;
    int layers_ = 1;
    int generations_ = 0;
    bool shortMode_ = false;
    bool allocated_ = false;
};

// --- Inline read and write paths -------------------------------------------

inline int StateDB::read(int block, int t, int index) const {
    const size_t at = offsetOf(block, t, index);
    return shortMode_ ? values16_[block][at] : values32_[block][at];
}

inline void StateDB::store(int block, int t, int index, int value) {
    const size_t at = offsetOf(block, t, index);
    if (shortMode_) {
        if (value < INT16_MIN || value > INT16_MAX) reportShortOverflow(block, t, index, value);
        values16_[block][at] = static_cast<int16_t>(value);
    } else {
        values32_[block][at] = value;
    }
}

inline void TimeStoFull::AddFast(const int& value, const int& t) {
    database_->store(block_, t, index_, value);
}
inline int TimeStoFull::value(const int& t) const { return database_->read(block_, t, index_); }
inline int TimeStoFull::size() const { return database_->generations(); }
inline bool TimeStoFull::shortMode() const { return database_->shortMode(); }

inline int StateOfDemes::value(HistorySeries which, int layer, int t) const {
    return database->read(StateDB::seriesBlock(layer, which), t, index);
}
