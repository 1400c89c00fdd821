#pragma once
// The one exception type the program raises for its own errors, and the
// dedicated type for exhausted memory; both are caught only by the entry point.

#include <iosfwd>
#include <new>

#include "foundations/my_string.h"

enum EXCEPTION { EXCEPTION_FATAL = 2 };

class TException {
public:
    explicit TException(const my_string& message, EXCEPTION severity = EXCEPTION_FATAL)
        : message_(message), severity_(severity) {}
    virtual ~TException() = default;

    const my_string& message() const { return message_; }
    EXCEPTION severity() const { return severity_; }

private:
    my_string message_;
    EXCEPTION severity_;
};

// Writes "\nFATAL ERROR: " and the message, with no line end of its own.
std::ostream& operator<<(std::ostream& out, const TException& e);

// Raised when one of the large allocations (history, cells) cannot be had;
// the entry point turns it into its message and a non-zero exit status.
class TOutOfMemory : public TException {
public:
    explicit TOutOfMemory(const my_string& message) : TException(message) {}
};
