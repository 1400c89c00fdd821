// The class-wide state of the one genealogy being built. Only one genealogy
// exists at a time; the tree builders set these at the start of every tree and
// resetGenealogyStatics puts them back to their start-of-run values (a new run
// in the same process, or a test).

#include "coalescent/deme.h"
#include "coalescent/deme_collection.h"

TDemeCollection* TDeme::_Demes = nullptr;
int32_t TDeme::_frictionTime = 0;
int64_t TDeme::numMigrEvents = 0;
int32_t TDeme::numActiveDemes = 0;
int32_t TDeme::totNumActiveLineages = 0;
bool TDemeCollection::isRecombination = false;

void TDeme::resetGenealogyStatics() {
    _Demes = nullptr;
    _frictionTime = 0;
    numMigrEvents = 0;
    numActiveDemes = 0;
    totNumActiveLineages = 0;
    TDemeCollection::isRecombination = false;
}
