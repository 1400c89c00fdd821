#pragma once
// Data type of a linked locus, by its code in the genetic parameter file.

enum Mut_Type {
    MICROSAT = 0,
    RFLP = 1,
    DNA = 2,
    STANDARD = 3,  // never a locus type: the label of a simulation mixing data types
    SNP = 4
};
