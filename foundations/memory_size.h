#pragma once
// Sizes of the large allocations, computed in 64 bits before anything is asked
// of the allocator, so that a 32-bit build refuses what it cannot address
// instead of wrapping the size around.

#include <cstdint>
#include <string>

namespace memory_size {

// a * b, or UINT64_MAX when the product does not fit 64 bits.
uint64_t product(uint64_t a, uint64_t b);

// The most this process may ask for in all: 3 GiB in a 32-bit process (the
// program, its stack and its libraries need the rest of the 4 GiB address
// space), PTRDIFF_MAX in a 64-bit one.
uint64_t addressableBytes();

// True when bytes can be asked for at all in this process.
bool addressable(uint64_t bytes);

// Physical memory of the machine, or 0 when the system does not tell.
uint64_t physicalBytes();

// True when bytes can be addressed and do not exceed the machine's memory.
bool fitsThisMachine(uint64_t bytes);

// The size for a message, in GiB, MiB or bytes ("3.50 GiB", "12.25 MiB",
// "640 bytes"); "more than 16 EiB" when it did not fit 64 bits.
std::string describe(uint64_t bytes);

}  // namespace memory_size
