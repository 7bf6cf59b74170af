// Runs the built quvexa-convert in a child process with its own HOME (so
// the default output folder never touches the real one) and captures what
// it prints.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace clitest {

struct TProgramResult {
  int Status = -1;  // exit status; 128 + signal when a signal ended it
  std::string Out;
  std::string Err;
};

// Environment changes for the child; an empty value removes the variable.
using TEnvironment = std::map<std::string, std::string>;

// How the child's standard output is connected.
enum TStdout {
  soFile,       // a file, read back by OutputSoFar() and Wait()
  soClosedPipe  // a pipe whose reading end is already closed (" | head")
};

// A running child; Wait() collects it.
class TProgram {
 public:
  TProgram(const std::vector<std::string>& args, const TEnvironment& env = {}, TStdout stdoutKind = soFile);
  ~TProgram();
  pid_t Pid() const { return pid_; }
  // What it printed to standard output so far.
  std::string OutputSoFar() const;
  // Waits at most timeoutSeconds, then kills it (Status -1).
  TProgramResult Wait(int timeoutSeconds = 300);

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_;
  bool waited_ = false;
};

TProgramResult RunConvert(const std::vector<std::string>& args, const TEnvironment& env = {});

// The whole contents of a file (empty when it cannot be read).
std::string FileContents(const std::string& path);

// The HOME the children get (a folder under the test's temporary folder).
std::string ChildHome();

}  // namespace clitest
