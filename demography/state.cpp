#include "demography/state.h"

#include "demography/cell.h"
#include "foundations/log.h"

namespace {
// The accumulator gives a migrant only when it exceeds 1 strictly, and loses
// exactly 1 then (single precision throughout).
inline void accumulate(float& remainder, int& count, const float& fraction) {
    remainder += fraction;
    if (remainder > 1.0f) {
        ++count;
        remainder -= 1.0f;
    }
}
}  // namespace

void State::updateFractionalMigr_N(int& count, const float& fraction) {
    accumulate(remainderN, count, fraction);
}
void State::updateFractionalMigr_W(int& count, const float& fraction) {
    accumulate(remainderW, count, fraction);
}
void State::updateFractionalMigr_S(int& count, const float& fraction) {
    accumulate(remainderS, count, fraction);
}
void State::updateFractionalMigr_E(int& count, const float& fraction) {
    accumulate(remainderE, count, fraction);
}

void State::updateFractionalMigrIntedeme(const float& fraction12, int& count12,
                                         const float& fraction21, int& count21) {
    accumulate(interdemeRemainder1, count12, fraction12);
    accumulate(interdemeRemainder2, count21, fraction21);
}

int State::add_BilanMigr_to_N(cell* owner) {
    _N_POP += BilanMigr;
    BilanMigr = 0;
    if (_N_POP < 0) {
        AOS << "[Error in State::add_BilanMigr_to_N()]: _N_POP<0 when add_BilanMigr_to_N, _N_POP= "
            << _N_POP << "\n";
        AOS << "  at generation " << cell::_Current_time << " for cell ";
        if (owner != nullptr) AOS << owner->row << ";" << owner->column;
        AOS << "\n";
        _N_POP = 0;
        return 0;
    }
    return _N_POP;
}
