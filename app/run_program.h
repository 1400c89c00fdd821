#pragma once
// The whole program behind main: command line, settings, world build, the run
// and its report. Returns the process exit status.

namespace exit_status {
constexpr int kSuccess = 0;        // a finished run, or the help screen
constexpr int kFailure = 1;        // bad command line or input, failed build or run
constexpr int kOutOfMemory = 2;    // a large allocation could not be had
}  // namespace exit_status

int runProgram(int argc, char** argv);
