#pragma once
// The rates of one generation for the demographic models.
//
// The generation loop reads them once per generation, after advancing
// cell::_Current_time and before the first model call of that generation, and
// passes the same object to every model call of the generation:
//
//     const TModelParameters parameters = readModelParameters(*cell::_Settings);
//     for each layer, for each land cell with N > 0:
//         c->iterateDensity_BaseModel_MigrMax_fast(layer, parameters);   // model 1
//
// The two-layer models (21, 22, 23) take the object read with secondLayer
// true. Nothing in the models reads the settings store, so the cell loop does
// no string work or look-ups.

class TSettings;

struct TModelParameters {
    float growthRate = 0.0f;     // GrowthRate (layer 0)
    float migrationRate = 0.0f;  // MigrationRate, or the Baird-lattice rate of the generation
    // Read only for the two-layer models:
    float growthRateP2 = 0.0f;          // GrowthRate_P2 (layer 1)
    float migrationRateP2 = 0.0f;       // MigrationRate_P2, or the Baird-lattice rate
    float migrationRateP1ToP2 = 0.0f;   // MigrRate_P1_to_P2, between the layers of a cell
    float migrationRateP2ToP1 = 0.0f;   // MigrRate_P2_to_P1
};

// Reads MigrationRate and then GrowthRate, both required (a missing key raises
// "The parameter '<key>' is not defined in the inputfile!"), as floats; with
// secondLayer also, after MigrationRate, MigrRate_P1_to_P2, MigrRate_P2_to_P1,
// then GrowthRate_P2 and MigrationRate_P2, all required. With the Baird
// lattice both migration rates are cell::_m_array[cell::_Current_time] (built
// by cell::Init_m_vector); a generation the array does not cover raises a
// TException.
TModelParameters readModelParameters(TSettings& settings, bool secondLayer = false);
