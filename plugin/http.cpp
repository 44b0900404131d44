// The online version check: one HTTPS GET on the maker's server for the number of the newest release,
// compared with this one, and the answer in message boxes of the open editor.
//
// The transfer library is loaded at the first check, not with the module: it brings some thirty libraries
// of its own that a host would otherwise load with every start of the instrument. Without it the check
// ends in its error box.
#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "IGraphics.h"
#include "synth.h"
#include "website.h"

using iplug::igraphics::IGraphics;

namespace {

constexpr const char* kVersionPath = "/music/version/";
constexpr const char* kVersionQuery = "file=vantorel";
constexpr const char* kProductName = "Vantorel";
constexpr const char* kInstalledVersion = "1.0.1";
// Answers from this number on are newer than the installed version.
constexpr int kNewerFrom = 1002;
constexpr const char* kCaption = "Check Online for Update";
// An answer is a few digits; anything longer than this is no answer.
constexpr size_t kMaxAnswerBytes = 64 * 1024;

struct Answer {
  std::string text;
  bool failed = true;  // the transfer ended with an error
  long status = 0;     // the HTTP status, 0 without a response
};

size_t collect(char* data, size_t size, size_t count, void* user) {
  auto& text = *static_cast<std::string*>(user);
  const size_t n = size * count;
  if (text.size() + n > kMaxAnswerBytes) return 0;  // ends the transfer with an error
  text.append(data, n);
  return n;
}

// The functions of the transfer library that the check calls; all null when the library is missing.
struct Transfer {
  decltype(&curl_easy_init) init = nullptr;
  decltype(&curl_easy_setopt) setopt = nullptr;
  decltype(&curl_easy_perform) perform = nullptr;
  decltype(&curl_easy_getinfo) getinfo = nullptr;
  decltype(&curl_easy_cleanup) cleanup = nullptr;
  bool loaded() const { return init && setopt && perform && getinfo && cleanup; }
};

// Loaded once for the process, on the first check, and never unloaded.
const Transfer& transfer() {
  static const Transfer api = [] {
    Transfer t;
    // Either build of the library will do: both have the same interface.
    void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) lib = dlopen("libcurl-gnutls.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return t;
    t.init = reinterpret_cast<decltype(t.init)>(dlsym(lib, "curl_easy_init"));
    t.setopt = reinterpret_cast<decltype(t.setopt)>(dlsym(lib, "curl_easy_setopt"));
    t.perform = reinterpret_cast<decltype(t.perform)>(dlsym(lib, "curl_easy_perform"));
    t.getinfo = reinterpret_cast<decltype(t.getinfo)>(dlsym(lib, "curl_easy_getinfo"));
    t.cleanup = reinterpret_cast<decltype(t.cleanup)>(dlsym(lib, "curl_easy_cleanup"));
    return t;
  }();
  return api;
}

Answer fetch(const MakerSite& site) {
  Answer answer;
  const Transfer& api = transfer();
  if (!api.loaded()) return answer;
  CURL* curl = api.init();
  if (!curl) return answer;
  const std::string url = std::string(site.versionHost) + kVersionPath + "?" + kVersionQuery;
  api.setopt(curl, CURLOPT_URL, url.c_str());
  api.setopt(curl, CURLOPT_PROTOCOLS_STR, "https,http");
  api.setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  api.setopt(curl, CURLOPT_HTTPGET, 1L);
  api.setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  api.setopt(curl, CURLOPT_NOSIGNAL, 1L);  // inside a host's process: no signals for time-outs
  api.setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, site.connectTimeoutMs);
  api.setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  api.setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, (site.readTimeoutMs + 999) / 1000));
  api.setopt(curl, CURLOPT_TIMEOUT_MS, site.connectTimeoutMs + site.readTimeoutMs);
  api.setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  api.setopt(curl, CURLOPT_WRITEDATA, &answer.text);
  answer.failed = api.perform(curl) != CURLE_OK;
  api.getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  api.cleanup(curl);
  return answer;
}

// "1002" is 1.0.2, "1010" 1.0.10, "2100" 2.1.0: the first digit, the second, then the rest without a
// leading zero.
std::string versionText(std::string answer) {
  while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back()))) answer.pop_back();
  if (answer.size() < 3) return answer;
  return answer.substr(0, 1) + "." + answer.substr(1, 1) + "." + answer.substr(answer[2] == '0' ? 3 : 2);
}

}  // namespace

int Synth::checkVersionAgainstWeb() {
  IGraphics* ui = GetUI();
  if (!ui || !ui->WindowIsOpen()) return -1;  // the answer is told in the open editor only
  const MakerSite& site = makerSite();
  const std::string errorText = std::string("An error occurred while contacting ") + site.name + ".";
  const Answer answer = fetch(site);

  if (answer.text.empty()) {
    ui->ShowMessageBox(errorText.c_str(), kCaption, iplug::igraphics::kMB_OK);
    return -1;
  }
  // A web page (an error or a redirection) instead of a number; a refusal with any other text as well.
  const bool refused = answer.status != 0 && (answer.status < 200 || answer.status > 299);
  if (answer.text.find('<') != std::string::npos || refused) {
    const std::string invalid = std::string("Invalid call to ") + site.name + ".";
    ui->ShowMessageBox(invalid.c_str(), kCaption, iplug::igraphics::kMB_OK);
    return -3;
  }
  if (std::atoi(answer.text.c_str()) < kNewerFrom) {
    ui->ShowMessageBox("Your version is up to date.", kCaption, iplug::igraphics::kMB_OK);
  } else {
    const std::string caption = std::string("New Version of ") + kProductName + " Detected";
    const std::string text = std::string("A new version of ") + kProductName + " is available.\n\n" +
                             "\tYour version: \t" + kInstalledVersion + "\n" + "\tNew version: \t" +
                             versionText(answer.text) + "\n" + "\nDo you want to go to " + site.address +
                             " to get the new version?";
    if (ui->ShowMessageBox(text.c_str(), caption.c_str(), iplug::igraphics::kMB_YESNO) != iplug::igraphics::kNO)
      ui->OpenURL(site.downloadPage);
  }
  if (answer.failed) {
    ui->ShowMessageBox(errorText.c_str(), kCaption, iplug::igraphics::kMB_OK);
    return -5;
  }
  return 0;
}
