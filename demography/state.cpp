#include "demography/state.h"

#include "demography/cell.h"
#include "foundations/log.h"

void State::updateFractionalMigrIntedeme(const float& fraction12, int& count12,
                                         const float& fraction21, int& count21) {
    accumulate(interdemeRemainder1, count12, fraction12);
    accumulate(interdemeRemainder2, count21, fraction21);
}

void State::reportNegativeSize(cell* owner) {
    AOS << "[Error in State::add_BilanMigr_to_N()]: _N_POP<0 when add_BilanMigr_to_N, _N_POP= "
        << _N_POP << "\n";
    AOS << "  at generation " << cell::_Current_time << " for cell ";
    if (owner != nullptr) AOS << owner->row << ";" << owner->column;
    AOS << "\n";
    _N_POP = 0;
}
