#pragma once

// A private X server for tests: Xvfb on a display number it picks itself (-displayfd), with DISPLAY set to
// it, stopped at the end. Without Xvfb installed, tests skip with the reason. XServerTest: a test suite
// that shares one.

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

// The C library's kill(), declared here rather than through <signal.h>, which a project header of that name
// (the engine's) may shadow.
extern "C" int kill(pid_t pid, int sig) noexcept;

namespace xtest {

constexpr int kTerminateSignal = 15;  // SIGTERM

inline bool FindInPath(const char* name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = std::min(dirs.find(':', start), dirs.size());
    if (access((dirs.substr(start, colon - start) + "/" + name).c_str(), X_OK) == 0) return true;
    start = colon + 1;
  }
  return false;
}

class PrivateXServer {
public:
  // Starts the server and points DISPLAY at it; on failure `problem` says why and `missing` tells whether
  // Xvfb is not installed at all (a reason to skip rather than to fail).
  bool Start(const char* screen = "1024x768x24") {
    if (!FindInPath("Xvfb")) {
      missing = true;
      problem = "Xvfb is not installed";
      return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
      problem = "no pipe for Xvfb";
      return false;
    }
    mPid = fork();
    if (mPid == 0) {
      close(fds[0]);
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, STDOUT_FILENO);
      dup2(quiet, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The number and its newline may come in separate writes; closing early would stop the server.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      problem = "Xvfb did not start";
      Stop();
      return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
  }
  void Stop() {
    if (mPid > 0) {
      kill(mPid, kTerminateSignal);
      waitpid(mPid, nullptr, 0);
    }
    mPid = 0;
  }
  ~PrivateXServer() { Stop(); }

  std::string problem;
  bool missing = false;

private:
  pid_t mPid = 0;
};

// The base of a test suite whose tests share one private X server; each test is skipped (its SetUp
// returns early: check IsSkipped()) when Xvfb is not installed.
class XServerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!Server().Start()) {
      ASSERT_TRUE(Server().missing) << Server().problem;
      SkipReason() = Server().problem;
    }
  }
  static void TearDownTestSuite() { Server().Stop(); }
  void SetUp() override {
    if (!SkipReason().empty()) GTEST_SKIP() << SkipReason();
  }

private:
  static PrivateXServer& Server() {
    static PrivateXServer server;
    return server;
  }
  static std::string& SkipReason() {
    static std::string reason;
    return reason;
  }
};

}  // namespace xtest
