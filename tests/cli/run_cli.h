// Runs the built fenmora-cli as a process and keeps what it wrote and how it
// ended.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fenmora::testcli {

struct CliRun {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string input;                    // written to its standard input
  std::vector<std::string> env;         // "NAME=value" added to the environment
  std::filesystem::path program;        // default: the built fenmora-cli
  std::filesystem::path workingFolder;  // default: the test's own
};

CliRun RunCli(const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace fenmora::testcli
