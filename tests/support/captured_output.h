#pragma once
// Sends what is written to the log AOS and to the console into strings for the
// life of the object, then puts both streams back as they were.

#include <iostream>
#include <sstream>
#include <string>

#include "foundations/log.h"

namespace test_support {

class CapturedOutput {
public:
    CapturedOutput()
        : logState_(AOS.rdstate()),
          oldLog_(static_cast<std::ostream&>(AOS).rdbuf(log_.rdbuf())),
          oldConsole_(std::cout.rdbuf(console_.rdbuf())) {
        AOS.clear();  // a log that failed to open would drop the writes
    }
    ~CapturedOutput() {
        static_cast<std::ostream&>(AOS).rdbuf(oldLog_);
        AOS.clear(logState_);
        std::cout.rdbuf(oldConsole_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::string log() const { return log_.str(); }
    std::string console() const { return console_.str(); }

private:
    std::ostringstream log_;
    std::ostringstream console_;
    std::ios_base::iostate logState_;
    std::streambuf* oldLog_;
    std::streambuf* oldConsole_;
};

}  // namespace test_support
