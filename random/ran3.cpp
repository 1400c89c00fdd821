#include "random/ran3.h"

namespace ran3_detail {

MainStream mainStream = {};
#ifdef VASTRID2_COUNT_RANDOM_DRAWS
uint64_t drawCount = 0;
#endif

void initializeTable(int64_t seedWord) {
    MainStream& s = mainStream;
    s.iff = 1;
    // |seedWord| taken in unsigned arithmetic, so INT64_MIN is safe.
    const uint64_t magnitude =
        seedWord < 0 ? 0 - static_cast<uint64_t>(seedWord) : static_cast<uint64_t>(seedWord);
    // (kSeedConstant - |seed|) reduced into 0 .. kModulus - 1. For |seed| up to
    // kSeedConstant this is the plain difference; beyond it a truncating remainder
    // would be negative and leave table entries, and then draws, outside [0, 1).
    int64_t mj = kSeedConstant - static_cast<int64_t>(magnitude % kModulus);
    if (mj < 0) mj += kModulus;
    s.ma[55] = mj;
    int64_t mk = 1;
    for (int i = 1; i <= 54; ++i) {
        const int ii = (21 * i) % 55;
        s.ma[ii] = mk;
        mk = mj - mk;
        if (mk < 0) mk += kModulus;
        mj = s.ma[ii];
    }
    for (int round = 1; round <= 4; ++round) {
        for (int i = 1; i <= 55; ++i) {
            s.ma[i] -= s.ma[1 + (i + 30) % 55];
            if (s.ma[i] < 0) s.ma[i] += kModulus;
        }
    }
    s.inext = 0;
    s.inextp = 31;
}

}  // namespace ran3_detail

int64_t rand_long(const int64_t& n) {
    int64_t idum = 1;
    const double u = ran3(&idum);
    // u <= 0.999999999, so u * n stays below 2^63 for every int64_t n.
    const int64_t v = static_cast<int64_t>(u * static_cast<double>(n));
    return v == n ? n - 1 : v;  // v == n only through rounding of a huge n
}

void reset_ran3_for_tests() {
    ran3_detail::mainStream = ran3_detail::MainStream{};
}
