// Migration rates of the Baird lattice, all computed in double. The rate of
// generation i of a run of G generations is MvectorApprox(MigrationRate, t) for
// the t = G - i + 1 generations left, counting the current one.

#include "demography/baird_lattice.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <sstream>

#include "app/settings.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/memory_size.h"

namespace {

constexpr double kPi = 3.141592653589793;

// The array Init_m_vector built last and its number of entries, so that a
// generation outside it is refused instead of read past the end.
const float* builtRates = nullptr;
size_t builtRateCount = 0;

// c (m - a1)(m - a2)(m - a3)(m - a4)(m - a5)(m + a6) (m^2 - b1 m + b2)(m^2 - b3 m + b4)
struct SeventhDegreeTerm {
    double c, a1, a2, a3, a4, a5, a6, b1, b2, b3, b4;
    double operator()(double m) const {
        return c * (m - a1) * (m - a2) * (m - a3) * (m - a4) * (m - a5) * (m + a6) *
               (m * m - b1 * m + b2) * (m * m - b3 * m + b4);
    }
};

// Q1 .. Q7 of the expansion in 1 / t.
const SeventhDegreeTerm kQ[7] = {
    {-17192.547766347896, 0.8292450847094286, 0.6898996326394732, 0.6072720667697682,
     0.4488209418908642, 0.21548946498273303, 0.05120133731538964, 1.6093652622256427,
     0.6680957332461553, 0.026640961292669293, 0.020773637233988142},
    {626298.3279726568, 0.8264827565323652, 0.6860129174500403, 0.6112888696143617,
     0.439961025979657, 0.20161098065550115, 0.0551901428491232, 1.5567828434572126,
     0.6279623303978602, 0.03446140068212233, 0.02208569656166003},
    {-10468496.071350997, 0.8227573193371389, 0.6976817040775275, 0.6021064306345557,
     0.43310415949401276, 0.1765983973363295, 0.055098058593473775, 1.5046651498621293,
     0.5878081015986356, 0.048309804771809815, 0.022600139053715745},
    {87050182.86500065, 0.8203342849192143, 0.7037675926022803, 0.5989737344847061,
     0.4196272016946672, 0.15400867432627233, 0.05184722604960238, 1.4624047365681614,
     0.5548819953368438, 0.06314034082979934, 0.022421259778628324},
    {-364221673.43857896, 0.8174304483994047, 0.7131611987183214, 0.5931132947162954,
     0.40683472400301157, 0.13847547537218008, 0.048658578730332504, 1.4321309269515263,
     0.5305262951600229, 0.07526995744215413, 0.02222132203231318},
    {727580986.9953951, 0.8145552430821503, 0.7208711322241436, 0.5866945849122427,
     0.3971908156772814, 0.12786027655670157, 0.0460780295054743, 1.4119496383143249,
     0.514073066948019, 0.08454849898626347, 0.0220956719804145},
    {-546292644.9952835, 0.8119431712974063, 0.7257461776149929, 0.58118823127745,
     0.39032841962122666, 0.12055578524888165, 0.04412227916936125, 1.3990433850473039,
     0.5034805541037983, 0.09141645820537081, 0.02203166608900232},
};

double q0(double m) {
    return 86.6834225652176 * (m * m - 2.058637295690377 * m + 1.0817152458572423) *
           (m * m - 1.9593540617328906 * m + 1.529889362724242) *
           (m * m - 0.802900352625267 * m + 0.3371133987343012) *
           (m * m - 0.07408422165028301 * m + 0.09289603597303661) *
           (m * m + 0.28561216030740394 * m + 0.03454184954129681);
}

double p1(double m) {
    return -479220.2099481952 * (m - 0.24314947701299808) *
           (m * m - 1.5059960512024184 * m + 0.5696922154376338) *
           (m * m - 1.1985734588062813 * m + 0.37202930091290537) *
           (m * m + 0.07239286698707514 * m + 0.07943522458489673);
}

double p2(double m) {
    return 53873.5988247334 * (m - 0.8427906661682278) *
           (m * m - 1.417538621034732 * m + 0.5200967943997472) *
           (m * m - 0.5327858726078214 * m + 0.1175068721231361) *
           (m * m + 0.1738210835232411 * m + 0.06959255697880386);
}

double p3(double m) {
    return -3172.623207843211 * (m - 1.5088009631811319) *
           (m * m - 1.656574119524789 * m + 0.7115438936867007) *
           (m * m - 0.4481584880483526 * m + 0.10233680040826451) *
           (m * m + 0.0669957765444161 * m + 0.018925386682168942);
}

}  // namespace

double MvectorApproxUpToT50(double m, double t) {
    // Horner form of Q0 + Q1 / t + ... + Q7 / t^7.
    double sum = q0(m);
    for (const SeventhDegreeTerm& q : kQ) sum = sum * t + q(m);
    return sum / (t * t * t * t * t * t * t);
}

double MvectorApprox(double m, double t) {
    // One generation left (and, outside the range of a generation count, less).
    if (t < 2.0) return m;
    if (t >= 51.0) {
        return 2.0 / (kPi * (5.0 * m * m - 8.0 * m + 4.0)) -
               1.0 / (p1(m) + p2(m) * t + p3(m) * t * t);
    }
    return MvectorApproxUpToT50(m, t);
}

void cell::Init_m_vector() {
    const int endTime = _Settings->getIntParameter("EndTime", true);
    // A negative EndTime runs no generation: only entry 0 is kept.
    const size_t generations = static_cast<size_t>(std::max(endTime, 0));
    const double migrationRate =
        generations > 0 ? _Settings->getdoubleParameter("MigrationRate", true) : 0.0;

    delete_m_vector();
    builtRates = nullptr;
    builtRateCount = 0;
    const uint64_t bytes = memory_size::product(uint64_t{generations} + 1, sizeof(float));
    float* rates =
        memory_size::fitsThisMachine(bytes) ? new (std::nothrow) float[generations + 1] : nullptr;
    if (rates == nullptr) {
        std::ostringstream text;
        text << "Cannot allocate the Baird-lattice migration rates of " << uint64_t{generations} + 1
             << " generations (" << memory_size::describe(bytes) << ", EndTime = " << endTime
             << ").";
        throw TOutOfMemory(text.str().c_str());
    }
    rates[0] = -999.0f;
    for (size_t i = 1; i <= generations; ++i) {
        const double left = static_cast<double>(generations - i + 1);
        rates[i] = static_cast<float>(MvectorApprox(migrationRate, left));
    }
    _m_array = rates;
    builtRates = rates;
    builtRateCount = generations + 1;
}

float bairdMigrationRate(int generation) {
    const bool covered = cell::_m_array != nullptr && cell::_m_array == builtRates &&
                         generation >= 0 && static_cast<size_t>(generation) < builtRateCount;
    if (!covered) {
        std::ostringstream text;
        text << "The Baird-lattice migration rates (AllowBairdEfficientLattice = 1) do not "
                "cover generation "
             << generation
             << "; they are built for generations 0 to EndTime before the first "
                "generation.";
        throw TException(text.str().c_str());
    }
    return cell::_m_array[generation];
}
