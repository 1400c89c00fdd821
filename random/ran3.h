#pragma once
// The main uniform stream: Knuth's subtractive generator (ran3 of Numerical
// Recipes). Every random decision of a run draws from this one process-wide
// stream, in call order. ran3 is called in the innermost loops, so its
// generation step lives here, inline; only the table set-up is out of line.

#include <cstdint>

namespace ran3_detail {

constexpr int64_t kModulus = 1000000000;
constexpr int64_t kSeedConstant = 161803398;
constexpr int kTableSize = 56;  // entries 1 .. 55 are used

// The process-wide state of the main stream. Written only by ran3 and by the
// seeding functions of ran3.cpp / seeding.cpp.
struct MainStream {
    int64_t ma[kTableSize];  // every entry in 0 .. kModulus - 1
    int32_t inext;
    int32_t inextp;
    int32_t iff;  // 0 until the first initialisation, then 1
};
extern MainStream mainStream;

#ifdef VASTRID2_COUNT_RANDOM_DRAWS
// Draws of the main stream since the start of the process (benchmark builds).
extern uint64_t drawCount;
#endif

// Fills the table from seedWord whatever the state (iff, sign of seedWord) and
// restarts the indices; the next generation step yields the first number.
void initializeTable(int64_t seedWord);

}  // namespace ran3_detail

// Returns a double in [0, 1). A negative *idum (or a stream never initialised)
// re-initialises the table from *idum and sets *idum to 1; any other value is ignored.
inline double ran3(int64_t* idum) {
    ran3_detail::MainStream& s = ran3_detail::mainStream;
    if (*idum < 0 || s.iff == 0) {
        ran3_detail::initializeTable(*idum);
        *idum = 1;
    }
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
    ++ran3_detail::drawCount;
#endif
    if (++s.inext == ran3_detail::kTableSize) s.inext = 1;
    if (++s.inextp == ran3_detail::kTableSize) s.inextp = 1;
    int64_t mj = s.ma[s.inext] - s.ma[s.inextp];
    if (mj < 0) mj += ran3_detail::kModulus;
    s.ma[s.inext] = mj;
    return static_cast<double>(mj) * 1e-9;
}

// Seeds the main stream from the clocks and writes the log's title and seed lines.
// Called once, from the World constructor, with seed 1; every seed value selects
// the clock-derived seed.
void initialize_ran3(const int64_t& seed);

// Re-initialises the main stream from the RandomSeed setting, exactly as the clock
// path does but from lidum = -|randomSeed|, and writes the log and console line.
// The lidum written there, given back as RandomSeed, reproduces the stream.
void initialize_ran3_from_setting(int64_t randomSeed);

// A clock-derived seed (processor and wall clock), in -1999616 .. 1999616.
int64_t my_rand();

// Uniform integer on 0 .. n-1 from one ran3 draw (n >= 1).
int64_t rand_long(const int64_t& n);

// Returns the main stream to "never initialised", so that the next ran3 call
// initialises it whatever its idum. For tests only.
void reset_ran3_for_tests();
