#include "geneticoutput/output_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "foundations/log.h"

namespace {

[[noreturn]] void refuseOutput(const std::string& problem, const std::string& path,
                               int errorNumber) {
    std::string text = "ERROR: {World::SimulateGeneticData()} [" + problem + " '" + path + "'";
    if (errorNumber != 0) text += ": " + std::string(std::strerror(errorNumber));
    text += "]";
    AOS << text << std::endl;
    std::cout << text << std::endl;
    throw TOutputFileError(my_string(text.c_str()));
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::string temporaryPathOf(const std::string& finalPath) {
    const size_t separator = finalPath.find_last_of("/\\");
    const size_t name = separator == std::string::npos ? 0 : separator + 1;
    return finalPath.substr(0, name) + "partial_" + finalPath.substr(name);
}

void createOutputDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0777) == 0) return;
    const int errorNumber = errno;
    if (errorNumber == EEXIST && isDirectory(directory)) return;
    refuseOutput("cannot create the output directory", directory,
                 errorNumber == EEXIST ? ENOTDIR : errorNumber);
}

void moveIntoPlace(const std::string& finalPath) {
    const std::string temporary = temporaryPathOf(finalPath);
    if (std::rename(temporary.c_str(), finalPath.c_str()) != 0) {
        const int errorNumber = errno;
        std::remove(temporary.c_str());
        refuseOutput("cannot write the output file", finalPath, errorNumber);
    }
}

void removeTemporaryFile(const std::string& finalPath) {
    std::remove(temporaryPathOf(finalPath).c_str());
}

StagedOutputFile::~StagedOutputFile() {
    if (out_.is_open()) discard();
}

void StagedOutputFile::open(const std::string& finalPath) {
    if (out_.is_open()) discard();
    finalPath_ = finalPath;
    errno = 0;
    out_.clear();
    out_.open(temporaryPathOf(finalPath).c_str(), std::ios::out | std::ios::trunc);
    if (!out_.is_open()) refuseOutput("cannot create the output file", finalPath, errno);
}

void StagedOutputFile::commit() {
    if (!out_.is_open()) return;
    errno = 0;
    out_.close();
    if (out_.fail()) {
        const int errorNumber = errno;
        removeTemporaryFile(finalPath_);
        refuseOutput("cannot write the output file", finalPath_, errorNumber);
    }
    moveIntoPlace(finalPath_);
}

void StagedOutputFile::discard() {
    out_.close();
    out_.clear();
    removeTemporaryFile(finalPath_);
}
