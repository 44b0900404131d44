// The desktop's dialog programs and browser, started as child processes without a shell: zenity or kdialog
// for message boxes and file dialogs (waited for: they are the modal dialogs), xdg-open for web addresses
// (detached, never waited for).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "IDialogs.h"

extern char** environ;

namespace iplug {
namespace igraphics {

namespace {

// The program's path from PATH, or "".
std::string FindProgram(const char* name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, colon - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = colon + 1;
  }
  return "";
}

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Runs the program (args[0] a path) with stdin and stderr on /dev/null and waits for it; out receives what
// it wrote to stdout. Returns its exit status, or -1 if it could not be run or did not exit normally.
int RunProgram(std::vector<std::string> args, std::string& out) {
  out.clear();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<char*> argv = Argv(args);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return -1;
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string WithoutNewline(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

const char* FileDialogTitle(EFileAction action) { return action == EFileAction::Open ? "Open File" : "Save File"; }

// Where a file dialog starts: the folder, with the proposed name (and its extension) for a file to save.
std::string StartPath(const char* folder, const WDL_String& fileName, EFileAction action, const char* ext) {
  if (action == EFileAction::Save && !fileName.Empty()) return WithExtension(JoinPath(folder, fileName.Get()), ext);
  return JoinPath(folder, "");
}

std::string Pattern(const char* ext) {
  const std::string e = WithExtension("", ext);
  return e.empty() ? "" : "*" + e;
}

class DesktopDialogs : public IDialogs {
public:
  explicit DesktopDialogs(IGraphics& g) : mWindow(MakeWindowDialogs(g)) {}

  EMsgBoxResult MessageBox(const char* text, const char* caption, EMsgBoxType type) override {
    const MsgBoxButtons b = ButtonsOf(type);
    std::string out;
    if (const std::string zenity = FindProgram("zenity"); !zenity.empty()) {
      std::vector<std::string> args = {zenity, b.n == 1 ? "--info" : "--question", "--no-markup",
                                       std::string("--title=") + caption, std::string("--text=") + text,
                                       std::string("--ok-label=") + b.labels[0]};
      if (b.n > 1) args.push_back(std::string("--cancel-label=") + b.labels[b.n - 1]);
      if (b.n > 2) args.push_back(std::string("--extra-button=") + b.labels[1]);
      const int status = RunProgram(args, out);
      if (status == 0) return b.results[0];
      if (b.n > 2 && status == 1 && WithoutNewline(out) == b.labels[1]) return b.results[1];
      return b.results[b.n - 1];
    }
    if (const std::string kdialog = FindProgram("kdialog"); !kdialog.empty()) {
      static const char* const kBoxes[] = {"--msgbox", "--yesno", "--yesnocancel"};
      static const char* const kLabels[] = {"--yes-label", "--no-label", "--cancel-label"};
      std::vector<std::string> args = {kdialog, "--title", caption, kBoxes[b.n - 1], text};
      for (int i = 0; b.n > 1 && i < b.n; ++i) {
        args.push_back(kLabels[i]);
        args.push_back(b.labels[i]);
      }
      const int status = RunProgram(args, out);
      return b.results[status >= 0 && status < b.n ? status : b.n - 1];
    }
    return mWindow->MessageBox(text, caption, type);
  }

  bool PromptForFile(WDL_String& fileName, const char* folder, EFileAction action, const char* ext) override {
    const std::string start = StartPath(folder, fileName, action, ext), pattern = Pattern(ext);
    std::string out;
    if (const std::string zenity = FindProgram("zenity"); !zenity.empty()) {
      std::vector<std::string> args = {zenity, "--file-selection", std::string("--title=") + FileDialogTitle(action),
                                       "--filename=" + start};
      if (action == EFileAction::Save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
      }
      if (!pattern.empty()) {
        args.push_back("--file-filter=" + pattern);
        args.push_back("--file-filter=*");
      }
      if (RunProgram(args, out) != 0) return false;
      return FinishFileChoice(*this, fileName, WithoutNewline(out), action, ext, true);
    }
    if (const std::string kdialog = FindProgram("kdialog"); !kdialog.empty()) {
      std::vector<std::string> args = {kdialog, "--title", FileDialogTitle(action),
                                       action == EFileAction::Open ? "--getopenfilename" : "--getsavefilename", start};
      if (!pattern.empty()) args.push_back(pattern);
      if (RunProgram(args, out) != 0) return false;
      return FinishFileChoice(*this, fileName, WithoutNewline(out), action, ext, true);
    }
    return mWindow->PromptForFile(fileName, folder, action, ext);
  }

  bool OpenURL(const char* url) override { return LaunchBrowser(url); }

private:
  std::unique_ptr<IDialogs> mWindow;
};

}  // namespace

std::unique_ptr<IDialogs> MakeDesktopDialogs(IGraphics& g) { return std::make_unique<DesktopDialogs>(g); }

bool LaunchBrowser(const char* url) {
  // One argument, never taken for an option.
  if (!url || !*url || url[0] == '-') return false;
  std::vector<std::string> args = {FindProgram("xdg-open"), url};
  if (args[0].empty()) return false;
  std::vector<char*> argv = Argv(args);
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devNull < 0) return false;
  // Started by a child that exits at once: the browser belongs to no one here, so nothing waits for it
  // and nothing is left to reap. Between fork and exec only async-signal-safe calls.
  const pid_t child = fork();
  if (child == 0) {
    const pid_t browser = fork();
    if (browser == 0) {
      setsid();
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
      close_range(STDERR_FILENO + 1, ~0U, 0);
      execv(argv[0], argv.data());
      _exit(127);
    }
    _exit(browser < 0 ? 1 : 0);
  }
  close(devNull);
  if (child < 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return errno == ECHILD;  // reaped already where SIGCHLD is ignored
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace igraphics
}  // namespace iplug
