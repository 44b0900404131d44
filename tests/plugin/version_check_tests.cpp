// The online version check against a small HTTP server of the test on 127.0.0.1: each answer gives its
// message boxes and result, the download page opens unless the user says no, and a server that never
// answers ends in the error box after the time-out (short here: the test's site says so).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "editor_util.h"
#include "website.h"

extern std::string versionHostForTests;

namespace {

using namespace edtest;

// Takes one connection on 127.0.0.1 (a port of its own), reads the request and sends reply, or holds the
// connection without a word until the client gives up.
class OneAnswerServer {
public:
  explicit OneAnswerServer(std::optional<std::string> reply) : mReply(std::move(reply)) {
    mListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(mListen, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(mListen, 1) != 0 ||
        getsockname(mListen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port = ntohs(address.sin_port);
    mThread = std::thread([this] { serve(); });
  }
  ~OneAnswerServer() {
    shutdown(mListen, SHUT_RDWR);  // wakes a waiting accept
    if (mThread.joinable()) mThread.join();
    close(mListen);
  }
  int port = 0;
  std::string request;  // its first line

private:
  void serve() {
    const int c = accept(mListen, nullptr, nullptr);
    if (c < 0) return;
    std::string received;
    char buf[1024];
    ssize_t n = 0;
    while (received.find("\r\n\r\n") == std::string::npos && (n = recv(c, buf, sizeof buf, 0)) > 0)
      received.append(buf, n);
    request = received.substr(0, received.find("\r\n"));
    if (mReply)
      send(c, mReply->data(), mReply->size(), MSG_NOSIGNAL);
    else
      while (recv(c, buf, sizeof buf, 0) > 0) {
      }
    close(c);
  }
  std::optional<std::string> mReply;
  int mListen = -1;
  std::thread mThread;
};

std::string response(const char* status, const std::string& body) {
  return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

using VersionCheck = EditorTest;

TEST_F(VersionCheck, EachAnswerGivesItsBoxesAndResult) {
  const MakerSite& site = makerSite();
  const std::string caption = "Check Online for Update";
  const std::string errorText = std::string("An error occurred while contacting ") + site.name + ".";
  const std::string invalidText = std::string("Invalid call to ") + site.name + ".";
  const std::string newCaption = "New Version of Vantorel Detected";
  auto newText = [&](const char* version) {
    return std::string("A new version of Vantorel is available.\n\n\tYour version: \t1.0.1\n\tNew version: \t") +
           version + "\n\nDo you want to go to " + site.address + " to get the new version?";
  };
  using Box = AnsweringDialogs::Box;
  const std::vector<std::string> download = {site.downloadPage}, none;
  struct Case {
    const char* what;
    std::optional<std::string> reply;
    EMsgBoxResult answer;
    std::vector<Box> boxes;
    int result;
    std::vector<std::string> urls;
  };
  const Case cases[] = {
      {"1001", response("200 OK", "1001"), kYES, {{"Your version is up to date.", caption, kMB_OK}}, 0, none},
      {"1002", response("200 OK", "1002"), kYES, {{newText("1.0.2"), newCaption, kMB_YESNO}}, 0, download},
      {"1010, answered no", response("200 OK", "1010"), kNO, {{newText("1.0.10"), newCaption, kMB_YESNO}}, 0, none},
      {"2100", response("200 OK", "2100\n"), kYES, {{newText("2.1.0"), newCaption, kMB_YESNO}}, 0, download},
      {"a web page", response("200 OK", "<html><body>2100</body></html>"), kYES, {{invalidText, caption, kMB_OK}}, -3,
       none},
      {"a refusal without a page", response("404 Not Found", "Not found"), kYES, {{invalidText, caption, kMB_OK}}, -3,
       none},
      {"an empty answer", response("200 OK", ""), kYES, {{errorText, caption, kMB_OK}}, -1, none},
      {"an answer cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n1002", kNO,
       {{newText("1.0.2"), newCaption, kMB_YESNO}, {errorText, caption, kMB_OK}}, -5, none},
      {"no answer at all", std::nullopt, kYES, {{errorText, caption, kMB_OK}}, -1, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OneAnswerServer server(c.reply);
    ASSERT_NE(server.port, 0);
    versionHostForTests = "http://127.0.0.1:" + std::to_string(server.port);
    *dialogs = AnsweringDialogs();
    dialogs->answers = {c.answer};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plug->checkVersionAgainstWeb(), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    ASSERT_EQ(dialogs->boxes.size(), c.boxes.size());
    for (size_t i = 0; i < c.boxes.size(); ++i) {
      EXPECT_EQ(dialogs->boxes[i].text, c.boxes[i].text);
      EXPECT_EQ(dialogs->boxes[i].caption, c.boxes[i].caption);
      EXPECT_EQ(dialogs->boxes[i].type, c.boxes[i].type);
    }
    EXPECT_EQ(dialogs->urls, c.urls);
    EXPECT_EQ(server.request, "GET /music/version/?file=vantorel HTTP/1.1");
  }

  // The menu's "Check Online for Update" runs the check.
  OneAnswerServer server(response("200 OK", "1001"));
  versionHostForTests = "http://127.0.0.1:" + std::to_string(server.port);
  *dialogs = AnsweringDialogs();
  chooseOption(File::GoOnline, 0);
  ASSERT_EQ(dialogs->boxes.size(), 1u);
  EXPECT_EQ(dialogs->boxes[0].text, "Your version is up to date.");
}

}  // namespace
