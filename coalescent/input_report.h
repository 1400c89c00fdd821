#pragma once
// Messages about the sample and genetic parameter files. The fixed texts go to
// the log as they are; every problem is also shown on the console, and a
// detail line names the file, the line and the value where the text does not.

#include <string>

namespace coalescent_input {

// One line (with its line end) to the log and the console.
void reportLine(const std::string& text);
// The log only (texts whose layout is fixed, with their own line ends).
void logText(const std::string& text);
// "   (in <what> '<file>', line <n>: <detail>)" to the log and the console;
// line 0 leaves the line number out.
void reportWhere(const std::string& what, const std::string& file, int line,
                 const std::string& detail);
// Reports the problem with its place and raises the fatal TException.
[[noreturn]] void refuse(const std::string& what, const std::string& file, int line,
                         const std::string& problem);

// A text line without its line end (and without a final carriage return);
// false at the end of the input.
bool readTextLine(std::istream& in, std::string& line);

}  // namespace coalescent_input
