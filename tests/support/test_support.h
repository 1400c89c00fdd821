#pragma once
// Helpers shared by the tests: scratch folders, small files, and running the
// built program the way a user does.

#include <string>
#include <vector>

namespace test_support {

// A fresh, empty folder under the system's temporary folder, removed on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes text to a file of this folder (creating sub-folders) and returns its path.
    std::string write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
std::vector<std::string> splitLines(const std::string& text);

struct RunResult {
    int exitStatus = -1;
    std::string console;  // standard output and standard error
};

// Runs the built vastrid2 in a working folder with the given arguments (each
// quoted for the shell); standard input is closed.
RunResult runProgram(const std::string& workingDir, const std::vector<std::string>& arguments);

}  // namespace test_support
