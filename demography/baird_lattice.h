#pragma once
// Migration rates of the Baird lattice. With AllowBairdEfficientLattice = 1 the
// migration rate of a generation is not MigrationRate itself but a rate that
// depends on the number of generations left; cell::Init_m_vector tabulates it
// in cell::_m_array before the first generation.

// Rate for t generations left (t a whole number passed as a real), in double:
// m itself for t below 2, the asymptotic form from t = 51 on, and
// MvectorApproxUpToT50 in between.
double MvectorApprox(double m, double t);
// The rational form used for 2 <= t <= 50 (t > 0).
double MvectorApproxUpToT50(double m, double t);

// cell::_m_array[generation], for a generation 1..EndTime of the array that
// cell::Init_m_vector built; raises a TException when there is no such array
// or it does not cover the generation.
float bairdMigrationRate(int generation);
