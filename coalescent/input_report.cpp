#include "coalescent/input_report.h"

#include <iostream>
#include <istream>

#include "foundations/exception.h"
#include "foundations/log.h"

namespace coalescent_input {

void reportLine(const std::string& text) {
    AOS << text << std::endl;
    std::cout << text << std::endl;
}

void logText(const std::string& text) {
    AOS << text;
}

namespace {
std::string place(const std::string& what, const std::string& file, int line) {
    std::string text = what + " '" + file + "'";
    if (line > 0) text += ", line " + std::to_string(line);
    return text;
}
}  // namespace

void reportWhere(const std::string& what, const std::string& file, int line,
                 const std::string& detail) {
    std::string text = "   (in " + place(what, file, line);
    if (!detail.empty()) text += ": " + detail;
    reportLine(text + ")");
}

void refuse(const std::string& what, const std::string& file, int line,
            const std::string& problem) {
    const std::string text = "ERROR: " + place(what, file, line) + ": " + problem;
    reportLine(text);
    throw TException(my_string(text.c_str()));
}

bool readTextLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace coalescent_input
