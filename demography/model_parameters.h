#pragma once
// The rates of one generation for the single-population models (1, 2 and 3).
//
// The generation loop reads them once per generation, after advancing
// cell::_Current_time and before the first model call of that generation, and
// passes the same object to every model call of the generation:
//
//     const TModelParameters parameters = readModelParameters(*cell::_Settings);
//     for each layer, for each land cell with N > 0:
//         c->iterateDensity_BaseModel_MigrMax_fast(layer, parameters);   // model 1
//
// Nothing in the models reads the settings store, so the cell loop does no
// string work or look-ups.

class TSettings;

struct TModelParameters {
    float growthRate = 0.0f;     // GrowthRate
    float migrationRate = 0.0f;  // MigrationRate, or the Baird-lattice rate of the generation
};

// Reads MigrationRate and then GrowthRate, both required (a missing key raises
// "The parameter '<key>' is not defined in the inputfile!"), as floats. With the
// Baird lattice the migration rate is cell::_m_array[cell::_Current_time]
// (built by cell::Init_m_vector); a generation the array does not cover raises a
// TException.
TModelParameters readModelParameters(TSettings& settings);
