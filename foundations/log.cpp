#include "foundations/log.h"

std::ofstream AOS("vastrid2.log", std::ios::out | std::ios::trunc);
