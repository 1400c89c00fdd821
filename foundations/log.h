#pragma once
// The log stream AOS on "vastrid2.log" in the working directory. It is opened
// (truncating) before main runs; when it cannot be opened every write to it is
// dropped and the run goes on.

#include <fstream>

extern std::ofstream AOS;
