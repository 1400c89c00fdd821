// Seeding of the main stream: from the clocks at World construction, or from the
// RandomSeed setting to reproduce a run.

#include <sys/time.h>

#include <ctime>
#include <iostream>

#include "foundations/log.h"
#include "random/ran3.h"

namespace {

// rand() % 1000 after srandom(1) under the GNU C library. The constant keeps the
// seed formula the same on every C library and leaves the C library's own
// generator untouched.
constexpr int64_t kSrandomOneRemainder = 383;

// Initialises the table from lidum, even when lidum is not negative or the stream
// was already initialised, and consumes the first number of the new sequence.
void seedMainStream(int64_t lidum) {
    ran3_detail::initializeTable(lidum);
    int64_t idum = 1;
    ran3(&idum);
}

}  // namespace

int64_t my_rand() {
    const std::clock_t c = std::clock();
    const int64_t r = kSrandomOneRemainder;
    timeval now{};
    gettimeofday(&now, nullptr);
    const double x = (static_cast<double>(c) - static_cast<double>(r)) * static_cast<double>(r);
    const int64_t secondsPart = static_cast<int64_t>(now.tv_sec) % 1000;
    const int64_t product = secondsPart * static_cast<int64_t>(now.tv_usec);
    const int64_t v = static_cast<int64_t>(static_cast<double>(product) + x);
    return v % (2000000 - r);
}

void initialize_ran3(const int64_t& /*seed: every value selects the clock seed*/) {
    AOS << "VASTRID2 Logfile" << std::endl;
    AOS << "*******************" << std::endl;
    const int64_t lidum = -my_rand();  // within +-1999616, so exact as 32 bits
    const int32_t shown = static_cast<int32_t>(lidum);
    AOS << "Random generator initialized with lidum=" << shown << "\n";
    std::cout << "Random generator initialized with seed=" << shown << "\n";
    seedMainStream(lidum);
}

void initialize_ran3_from_setting(int64_t randomSeed) {
    // The table depends on |seed| only modulo 10^9, so -(|RandomSeed| mod 10^9) is
    // the stream of -|RandomSeed| itself; it is also exact as a 32-bit integer, so
    // the logged value reproduces the run. Unsigned arithmetic keeps INT64_MIN safe.
    const uint64_t magnitude =
        randomSeed < 0 ? 0 - static_cast<uint64_t>(randomSeed) : static_cast<uint64_t>(randomSeed);
    const int64_t lidum =
        -static_cast<int64_t>(magnitude % static_cast<uint64_t>(ran3_detail::kModulus));
    const int32_t shown = static_cast<int32_t>(lidum);
    AOS << "Random generator re-initialized from RandomSeed with lidum=" << shown << "\n";
    std::cout << "Random generator re-initialized from RandomSeed with lidum=" << shown << "\n";
    seedMainStream(lidum);
}
