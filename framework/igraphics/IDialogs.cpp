#include "IDialogs.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace iplug {
namespace igraphics {

MsgBoxButtons ButtonsOf(EMsgBoxType type) {
  switch (type) {
    case kMB_OKCANCEL: return {2, {"OK", "Cancel"}, {kOK, kCANCEL}};
    case kMB_ABORTRETRYIGNORE: return {3, {"Abort", "Retry", "Ignore"}, {kABORT, kRETRY, kIGNORE}};
    case kMB_YESNOCANCEL: return {3, {"Yes", "No", "Cancel"}, {kYES, kNO, kCANCEL}};
    case kMB_YESNO: return {2, {"Yes", "No"}, {kYES, kNO}};
    case kMB_RETRYCANCEL: return {2, {"Retry", "Cancel"}, {kRETRY, kCANCEL}};
    case kMB_OK: break;
  }
  return {1, {"OK"}, {kOK}};
}

std::string JoinPath(const char* folder, const char* name) {
  const std::string f = folder ? folder : "", n = name ? name : "";
  if (!n.empty() && n[0] == '/') return n;
  if (n.rfind("~/", 0) == 0) {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + n.substr(1);
  }
  if (f.empty()) return n;
  return f.back() == '/' ? f + n : f + "/" + n;
}

std::string WithExtension(const std::string& path, const char* ext) {
  std::string e = ext ? ext : "";
  while (!e.empty() && std::isspace(static_cast<unsigned char>(e.back()))) e.pop_back();
  while (!e.empty() && std::isspace(static_cast<unsigned char>(e.front()))) e.erase(0, 1);
  if (e.empty()) return path;
  const std::string suffix = "." + e;
  if (path.size() > suffix.size()) {
    bool same = true;
    for (size_t i = 0; i < suffix.size(); ++i)
      same = same && std::tolower(static_cast<unsigned char>(path[path.size() - suffix.size() + i])) ==
                         std::tolower(static_cast<unsigned char>(suffix[i]));
    if (same) return path;
  }
  return path + suffix;
}

bool FinishFileChoice(IDialogs& dialogs, WDL_String& fileName, std::string path, EFileAction action, const char* ext,
                      bool replaceConfirmed) {
  if (path.empty()) return false;
  if (action == EFileAction::Save) {
    const std::string named = WithExtension(path, ext);
    if (named != path) replaceConfirmed = false;  // the user saw another name
    path = named;
    struct stat st;
    if (!replaceConfirmed && stat(path.c_str(), &st) == 0) {
      WDL_String question;
      question.SetFormatted(0, "The file \"%s\" already exists.\nDo you want to replace it?", path.c_str());
      if (dialogs.MessageBox(question.Get(), "Replace File", kMB_YESNO) != kYES) return false;
    }
  }
  fileName.Set(path.c_str());
  return true;
}

}  // namespace igraphics
}  // namespace iplug
