#pragma once
// Output files of the genetic run that never look complete before they are.
// Each file is written under a temporary name in its own folder ("partial_"
// before its file name) and renamed into place once complete, so a run that is
// killed or fails leaves no truncated file under a final name. A file that
// cannot be created, written or renamed stops the run: the problem is reported
// on the console and in the log, naming the path, and TOutputFileError raised.

#include <fstream>
#include <string>

#include "foundations/exception.h"

// An output of the genetic run could not be made; already reported.
class TOutputFileError : public TException {
  public:
    explicit TOutputFileError(const my_string& message) : TException(message) {}
};

// The temporary name of finalPath: same folder, "partial_" before the file name.
std::string temporaryPathOf(const std::string& finalPath);

// Creates the folder (permissions 0777 less the umask); an existing folder is
// fine, anything else that leaves no folder there is reported and raised.
void createOutputDirectory(const std::string& directory);

// Renames a file written under temporaryPathOf(finalPath) into place; reports
// and raises when it is missing or cannot be renamed.
void moveIntoPlace(const std::string& finalPath);

// Removes the temporary file of finalPath, if any.
void removeTemporaryFile(const std::string& finalPath);

class StagedOutputFile {
  public:
    StagedOutputFile() = default;
    StagedOutputFile(const StagedOutputFile&) = delete;
    StagedOutputFile& operator=(const StagedOutputFile&) = delete;
    // An uncommitted file is dropped: its temporary file is removed.
    virtual ~StagedOutputFile();

    // Creates (truncating) the temporary file of finalPath.
    void open(const std::string& finalPath);
    bool isOpen() const { return out_.is_open(); }
    std::ostream& stream() { return out_; }
    const std::string& path() const { return finalPath_; }
    // Closes the file and renames it into place; a failed write or rename is
    // reported and raised (the temporary file is then removed).
    void commit();
    // Closes and removes the temporary file.
    void discard();

  private:
    std::string finalPath_;
    std::ofstream out_;
};
