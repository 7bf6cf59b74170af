#include "program_runner.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/temp_dir.h"

extern char** environ;

namespace clitest {
namespace {

int gRun = 0;

}  // namespace

std::string FileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ChildHome() {
  static const std::string home = testsupport::MakeTempSubdir("home");
  return home;
}

TProgram::TProgram(const std::vector<std::string>& args, const TEnvironment& env, TStdout stdoutKind) {
  const std::string base = testsupport::TempPath("run" + std::to_string(++gRun));
  outPath_ = base + ".out";
  errPath_ = base + ".err";

  TEnvironment all;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const size_t equals = entry.find('=');
    if (equals != std::string::npos) all[entry.substr(0, equals)] = entry.substr(equals + 1);
  }
  all["HOME"] = ChildHome();
  for (const auto& [name, value] : env) {
    if (value.empty())
      all.erase(name);
    else
      all[name] = value;
  }
  std::vector<std::string> envText;
  for (const auto& [name, value] : all) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::vector<std::string> argText = {QUVEXA_CONVERT_PATH};
  argText.insert(argText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argText) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipeEnds[2] = {-1, -1};
  if (stdoutKind == soClosedPipe && pipe(pipeEnds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    const int out =
        stdoutKind == soClosedPipe ? pipeEnds[1] : open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (pipeEnds[0] >= 0) close(pipeEnds[0]);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  // Nobody reads what the child writes to the pipe.
  if (pipeEnds[0] >= 0) close(pipeEnds[0]);
  if (pipeEnds[1] >= 0) close(pipeEnds[1]);
}

TProgram::~TProgram() {
  if (pid_ > 0 && !waited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string TProgram::OutputSoFar() const { return FileContents(outPath_); }

TProgramResult TProgram::Wait(int timeoutSeconds) {
  TProgramResult result;
  if (pid_ <= 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  waited_ = true;
  if (status == -1)
    result.Status = -1;
  else if (WIFEXITED(status))
    result.Status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.Status = 128 + WTERMSIG(status);
  result.Out = FileContents(outPath_);
  result.Err = FileContents(errPath_);
  return result;
}

TProgramResult RunConvert(const std::vector<std::string>& args, const TEnvironment& env) {
  TProgram program(args, env);
  return program.Wait();
}

}  // namespace clitest
