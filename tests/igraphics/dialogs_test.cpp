// The desktop's dialog programs as the editor runs them, with stand-ins of the test's own on PATH (scripts
// that record their arguments and answer as told): message boxes and file dialogs through zenity, or
// kdialog when zenity is missing, and web addresses through xdg-open, which is not waited for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "IGraphicsOffscreen.h"
#include "editor_test_util.h"

using namespace edtest;

namespace {

class DesktopDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    bin = res.path + "bin/";
    std::filesystem::create_directories(bin);
    if (const char* path = getenv("PATH")) oldPath = path;
    setenv("PATH", bin.c_str(), 1);
    dlg.mMakeGraphicsFunc = [this] { return new IGraphicsOffscreen(dlg, 60, 40, 0, 1.0f); };
    ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
    dialogs = MakeDesktopDialogs(*dlg.GetUI());
  }
  void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

  // A stand-in that records its arguments in <name>.args, prints out and exits with status.
  void Program(const std::string& name, const std::string& out, int status, const char* then = "") {
    const std::string script = bin + name;
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" << script
                          << ".args'\nprintf '%s' '" << out << "'\n" << then << "exit " << status << "\n";
    chmod(script.c_str(), 0755);
  }
  std::vector<std::string> Args(const std::string& name) {
    std::ifstream f(bin + name + ".args", std::ios::binary);
    std::vector<std::string> args;
    std::string a;
    while (std::getline(f, a, '\0')) args.push_back(a);
    return args;
  }

  ResourceDir res;
  LogDelegate dlg;
  std::string bin, oldPath;
  std::unique_ptr<IDialogs> dialogs;
};

TEST_F(DesktopDialogs, ZenityOrElseKdialogAnswerTheQuestions) {
  const std::string folder = res.path + "files";
  auto box = [](EMsgBoxType type) {
    return [type](IDialogs& d) { return std::to_string(d.MessageBox("Overwrite?\nReally", "Caption", type)); };
  };
  auto file = [&](EFileAction action, const char* proposed, const char* ext) {
    return [=](IDialogs& d) {
      WDL_String name(proposed);
      return d.PromptForFile(name, folder.c_str(), action, ext) ? std::string(name.Get()) : std::string("cancelled");
    };
  };
  struct Case {
    const char* what;
    const char* program;
    std::string out;
    int status;
    std::function<std::string(IDialogs&)> call;
    std::string result;
    std::vector<std::string> args;
  };
  const std::vector<std::string> yesNo = {"--question", "--no-markup", "--title=Caption", "--text=Overwrite?\nReally",
                                          "--ok-label=Yes", "--cancel-label=No"};
  const Case cases[] = {
      {"yes", "zenity", "", 0, box(kMB_YESNO), std::to_string(kYES), yesNo},
      {"no", "zenity", "", 1, box(kMB_YESNO), std::to_string(kNO), yesNo},
      {"closed", "zenity", "", 5, box(kMB_YESNO), std::to_string(kNO), yesNo},
      {"the middle of three buttons", "zenity", "No\n", 1, box(kMB_YESNOCANCEL), std::to_string(kNO),
       {"--question", "--no-markup", "--title=Caption", "--text=Overwrite?\nReally", "--ok-label=Yes",
        "--cancel-label=Cancel", "--extra-button=No"}},
      {"OK", "zenity", "", 0, box(kMB_OK), std::to_string(kOK),
       {"--info", "--no-markup", "--title=Caption", "--text=Overwrite?\nReally", "--ok-label=OK"}},
      {"save, the extension added", "zenity", folder + "/B\n", 0, file(EFileAction::Save, "A", "fxp"),
       folder + "/B.fxp",
       {"--file-selection", "--title=Save File", "--filename=" + folder + "/A.fxp", "--save", "--confirm-overwrite",
        "--file-filter=*.fxp", "--file-filter=*"}},
      {"open, cancelled", "zenity", "", 1, file(EFileAction::Open, "", "fxb"), "cancelled",
       {"--file-selection", "--title=Open File", "--filename=" + folder + "/", "--file-filter=*.fxb",
        "--file-filter=*"}},
      {"kdialog: yes", "kdialog", "", 0, box(kMB_YESNO), std::to_string(kYES),
       {"--title", "Caption", "--yesno", "Overwrite?\nReally", "--yes-label", "Yes", "--no-label", "No"}},
      {"kdialog: open", "kdialog", folder + "/x.fxb\n", 0, file(EFileAction::Open, "", "fxb"), folder + "/x.fxb",
       {"--title", "Open File", "--getopenfilename", folder + "/", "*.fxb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(bin + "zenity");
    Program(c.program, c.out, c.status);
    EXPECT_EQ(c.call(*dialogs), c.result);
    EXPECT_EQ(Args(c.program), c.args);
  }

  // A browser is started with the address as its one argument and left running.
  Program("xdg-open", "", 0, "/bin/sleep 3\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(dialogs->OpenURL("https://site.test/a b?c=1&d=2"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  for (int i = 0; i < 100 && Args("xdg-open").empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Args("xdg-open"), std::vector<std::string>{"https://site.test/a b?c=1&d=2"});
  EXPECT_FALSE(dialogs->OpenURL("--help"));
}

}  // namespace
