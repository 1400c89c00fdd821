#include "foundations/exception.h"

#include <ostream>

std::ostream& operator<<(std::ostream& out, const TException& e) {
    return out << "\nFATAL ERROR: " << e.message();
}
