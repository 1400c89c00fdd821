#pragma once
// The landscape as a matrix of cells: every map position until the land test,
// then only land positions; plus the list of land cells in row, then column order.
//
// The cells live in one block owned by the grid. After the land test the block
// holds exactly the land cells, contiguous and in row order, so the loops that
// visit every land cell every generation walk memory sequentially. Cells are
// reached only through the matrix and the land list, never by their own
// address kept elsewhere across a land test.

#include <cstddef>
#include <vector>

class cell;

class TWorldGrid {
  public:
    TWorldGrid() = default;
    TWorldGrid(const TWorldGrid&) = delete;
    TWorldGrid& operator=(const TWorldGrid&) = delete;
    ~TWorldGrid();

    bool allocated() const { return !matrix.empty(); }
    // The cell at (row, column), or null where that position is not land.
    // The position must lie inside the grid.
    cell* at(int row, int column) const {
        return matrix[static_cast<size_t>(row) * static_cast<size_t>(ncols) +
                      static_cast<size_t>(column)];
    }
    cell*& slot(int row, int column) {
        return matrix[static_cast<size_t>(row) * static_cast<size_t>(ncols) +
                      static_cast<size_t>(column)];
    }
    // The cell at (row, column), or null outside the grid or off land.
    cell* atOrNull(int row, int column) const {
        if (row < 0 || column < 0 || row >= nrows || column >= ncols) return nullptr;
        return at(row, column);
    }

    // Creates a cell (initialised, with its row and column) at every position of
    // an nrows x ncols grid, replacing whatever the grid held. Throws
    // std::bad_alloc when memory runs out, leaving the grid released.
    void allocateAll(int rowCount, int columnCount);
    // Keeps the cells of the positions whose mask entry (row-major) is non-zero,
    // moved into a block of their own in row order, fills the land list and nulls
    // every other position. Returns the number of positions left without a cell.
    int keepLand(const std::vector<char>& landMask);
    // Destroys every cell and the matrix, and clears the counts.
    void release();

    std::vector<cell*> matrix;     // nrows x ncols, row-major
    std::vector<cell*> landCells;  // row order, then column order
    int nrows = 0;
    int ncols = 0;
    int totalCells = 0;
    int removedCells = 0;
    int instantiatedCells = 0;
    // Absolute roughness per position, kept by the friction computation while
    // the glacial-vegetation mode needs it; empty otherwise.
    std::vector<float> roughnessMatrix;

  private:
    // Replaces the cell block by the given one (owned from now on).
    void adoptBlock(cell* block, size_t count);

    cell* cellBlock_ = nullptr;  // owned, new[]; every cell of the matrix lives here
    size_t cellBlockSize_ = 0;
};
