#include "foundations/memory_size.h"

#include <unistd.h>

#include <cstddef>
#include <limits>
#include <sstream>

namespace memory_size {

namespace {
constexpr uint64_t kUint64Max = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;
}  // namespace

uint64_t product(uint64_t a, uint64_t b) {
    if (a != 0 && b > kUint64Max / a) return kUint64Max;
    return a * b;
}

uint64_t addressableBytes() {
    if (sizeof(void*) < 8) return 3 * kGiB;
    return static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
}

bool addressable(uint64_t bytes) {
    return bytes <= addressableBytes() && bytes <= std::numeric_limits<size_t>::max();
}

uint64_t physicalBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return product(static_cast<uint64_t>(pages), static_cast<uint64_t>(pageSize));
}

bool fitsThisMachine(uint64_t bytes) {
    const uint64_t physical = physicalBytes();
    return addressable(bytes) && (physical == 0 || bytes <= physical);
}

std::string describe(uint64_t bytes) {
    if (bytes == kUint64Max) return "more than 16 EiB";
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(2);
    if (bytes >= kGiB) {
        text << static_cast<double>(bytes) / static_cast<double>(kGiB) << " GiB";
    } else if (bytes >= kMiB) {
        text << static_cast<double>(bytes) / static_cast<double>(kMiB) << " MiB";
    } else {
        text << bytes << " bytes";
    }
    return text.str();
}

}  // namespace memory_size
