#include "support/test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace test_support {

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "vastrid2-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& text) const {
    const std::string target = file(name);
    fs::create_directories(fs::path(target).parent_path());
    writeFile(target, text);
    return target;
}

std::string ScratchDir::read(const std::string& name) const { return readFile(file(name)); }

bool ScratchDir::exists(const std::string& name) const { return fs::exists(file(name)); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

namespace {
std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}
}  // namespace

RunResult runProgram(const std::string& workingDir, const std::vector<std::string>& arguments) {
    std::string command = "cd " + shellQuote(workingDir) + " && " + shellQuote(VASTRID2_BINARY);
    for (const std::string& argument : arguments) command += " " + shellQuote(argument);
    command += " </dev/null 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk{};
    size_t got = 0;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.console.append(chunk.data(), got);
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace test_support
