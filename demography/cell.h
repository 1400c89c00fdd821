#pragma once
// One grid cell: its map values, its neighbours, its per-layer demographic state
// and its entry in the history database.

#include <cstdint>

#include "demography/state.h"
#include "demography/state_db.h"

class TSettings;
struct TModelParameters;

class cell {
public:
    static constexpr int kMaxLayers = 2;

    cell();
    virtual ~cell() = default;

    // Sets aboveSea and adapted to true, copies the world size, clears the rest
    // (row and column, the states and the neighbours included).
    void init();
    // True when at least one orthogonal neighbour is missing.
    bool EdgeorCoastCell() const;

    // Places count individuals of a source here, spilling what does not fit to
    // the orthogonal neighbours. Individuals the reachable land cannot hold are
    // dropped, and the log says how many. Returns 1.
    int ArrangeInitialDensity(int count, int source, const int& layer);
    // The same with the safety bound on the spill given (number of visits that
    // carry individuals): once reached, the individuals still in flight go to the
    // free cells nearest to this one.
    int arrangeInitialDensityBounded(int count, int source, const int& layer,
                                     uint64_t spillVisitLimit);
    static constexpr uint64_t kSpillVisitLimit = uint64_t{1} << 34;

    // History queries (generation t in 0..EndTime, layer in 0..NbDemePerCell-1),
    // unchecked: the cell must have a history entry.
    int getN(const int& t, const int& layer) const { return history->value(kSeriesN, layer, t); }
    int getmN(const int& t, const int& layer) const {
        return history->value(kSeriesFromNorth, layer, t);
    }
    int getmS(const int& t, const int& layer) const {
        return history->value(kSeriesFromSouth, layer, t);
    }
    int getmE(const int& t, const int& layer) const {
        return history->value(kSeriesFromEast, layer, t);
    }
    int getmW(const int& t, const int& layer) const {
        return history->value(kSeriesFromWest, layer, t);
    }
    // First generation 0..EndTime with N > 0, or -1 (also for a cell without history).
    int findDateOfColonization(const int& layer) const;

    // Single-population models (single_population_models.cpp). Each grows the
    // layer's population and sends emigrants to the open orthogonal neighbours
    // through BilanMigr, then records them in the history at cell::_Current_time
    // (cell::_States must be set). parameters: the generation's rates, read once
    // per generation by readModelParameters (demography/model_parameters.h).
    // Model 1: returns 0 for K < 1 or no open neighbour, 1 otherwise.
    int iterateDensity_BaseModel_MigrMax_fast(int layer, const TModelParameters& parameters);
    // Model 2 (stochastic false) and model 3 (stochastic true): returns false for
    // K < 1 or no open neighbour. Emigrants are always split by binomial draws;
    // binomialSplit is accepted for the callers' sake.
    bool iterateDensity_BaseModel_x6_MigrMax_simple_pdir_strong(int layer, const bool& stochastic,
                                                                const bool& binomialSplit,
                                                                const TModelParameters& parameters);

    // Two-population models 21, 22 and 23 (two_population_models.cpp), for a
    // cell with two layers, called for layer 0 on every processed cell and then
    // for layer 1. The layer-0 call exchanges migrants between the two layers
    // of the cell (recorded with setMigrationRArrive_BetweenDemes), grows both
    // layers and sends the emigrants of layer 0; the layer-1 call sends those
    // of layer 1. parameters: read with the second layer's rates. Each returns
    // 0 when the layer's K is negative or no neighbour can be entered, else 1.
    // Model 21: each layer grows on its own.
    int iterateDensity_Nocompetition_Fast(const int& layer, const TModelParameters& parameters);
    // Model 22: the flags are accepted for the callers' sake (both false is the
    // only use); it computes what model 23 computes.
    int iterateDensity_competition_density_dependant_Fast(const int& layer, const bool& stochastic,
                                                          const bool& binomialSplit,
                                                          const TModelParameters& parameters);
    // Model 23: each layer's growth is limited by both layers.
    int iterateDensity_competition_density_independant_Fast(const int& layer,
                                                            const TModelParameters& parameters);

    bool visited = false;
    unsigned int worldRows = 0;
    unsigned int worldColumns = 0;
    StateOfDemes* history = nullptr;
    cell* east = nullptr;
    cell* west = nullptr;
    cell* north = nullptr;
    cell* south = nullptr;
    cell* northWest = nullptr;
    cell* northEast = nullptr;
    cell* southWest = nullptr;
    cell* southEast = nullptr;
    State states[kMaxLayers];  // only the first NbDemePerCell are used
    int row = 0;
    int column = 0;
    int dbIndex = 0;
    int layerSource[kMaxLayers] = {0, 0};
    int sourceNumber = 0;
    bool isCoast = false;
    bool aboveSea = false;
    bool adapted = false;
    int river = 0;
    float altitude = 0.0f;
    float roughness = 0.0f;
    int presentVegetation = 0;
    int lgmVegetation = 0;
    int mMapValue = 0;

    // Shared by all cells of the run (set by the world build and the generation loop).
    static int _Current_time;
    static int _Current_RealBP_time;
    static int _world_x_size;  // rows
    static int _world_y_size;  // columns
    static StateDB* _States;
    static TSettings* _Settings;
    static float* _m_array;  // Baird-lattice migration rates per generation, owned (new[])
    static int64_t _lidum;
    // Builds _m_array (new[]) for generations 0..EndTime from MigrationRate, releasing
    // any previous one (baird_lattice.cpp).
    static void Init_m_vector();
    // Releases _m_array (delete[]) and sets it to null.
    static void delete_m_vector();
};
