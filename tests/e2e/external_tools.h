#pragma once
// Running shell commands and the tools users combine with vastrid2 (GDAL,
// bcftools, GNU parallel, Debian's Python) from the end-to-end tests. A test
// that needs a missing tool skips; CI installs them (.ci/run).

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace e2e_tools {

inline std::string quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command with standard input closed; console = stdout + stderr.
inline test_support::RunResult runShell(const std::string& command) {
    test_support::RunResult result;
    FILE* pipe = popen(("( " + command + " ) </dev/null 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk{};
    size_t got = 0;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.console.append(chunk.data(), got);
    }
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool hasCommand(const std::string& name) {
    return runShell("command -v " + quote(name)).exitStatus == 0;
}

inline std::string sourcePath(const std::string& relative) {
    return std::string(VASTRID2_SOURCE_DIR) + "/" + relative;
}

// A copy of a folder of the repository (an example) in a scratch folder.
inline void copyFolder(const std::string& from, const test_support::ScratchDir& to,
                       const std::string& into = "") {
    namespace fs = std::filesystem;
    const std::string target = into.empty() ? to.path() : to.file(into);
    fs::create_directories(target);
    fs::copy(from, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // An example run in place leaves outputs in the source folder; they are no input.
    fs::remove_all(target + "/GeneticsOutput");
    fs::remove(target + "/vastrid2.log");
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Built with AddressSanitizer: the slowest example runs only in the release pass.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

}  // namespace e2e_tools
