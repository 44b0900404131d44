// The INI profile functions on real files: reading, refusals, removal, the cached parse, symbolic links
// and concurrent writers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "wdlprofile.h"

namespace fs = std::filesystem;

namespace {

class Profile : public ::testing::Test {
protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "profiletestXXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    file = (dir / "test.ini").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string get(const char* section, const char* key, const char* def = "-", int size = 256) {
    char buf[256];
    GetPrivateProfileString(section, key, def, buf, size, file.c_str());
    return buf;
  }
  std::string text() const {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void setText(const std::string& t) const { std::ofstream(file, std::ios::binary | std::ios::trunc) << t; }
  fs::path dir;
  std::string file;
};

}  // namespace

TEST_F(Profile, ReadsWithoutRegardToCaseAndCutsToTheBuffer) {
  EXPECT_EQ(get("A", "b", "default"), "default");  // no file
  setText("top=ignored\n ; comment\n[ Sec ]\r\n Key = some value \r\n=no name\nno equals\n[Sec]\nkey=second\n"
          "[other\nx=1\n");
  EXPECT_EQ(get("sec", "KEY"), "some value");
  EXPECT_EQ(get("Sec", "top"), "-");
  EXPECT_EQ(get("other", "x"), "-");  // a broken section line ends the section before it
  char buf[5];
  EXPECT_EQ(GetPrivateProfileString("SEC", "key", "", buf, sizeof buf, file.c_str()), 4);
  EXPECT_STREQ(buf, "some");
  EXPECT_EQ(GetPrivateProfileString("SEC", "key", "", buf, 0, file.c_str()), 0);
}

TEST_F(Profile, WritesRefuseBrokenNamesAndRemoveWithNull) {
  struct Case {
    const char *section, *key, *value;
  };
  const Case refused[] = {{"A]", "k", "v"}, {"A\nB", "k", "v"}, {"A", "", "v"},     {"A", "k=1", "v"},
                          {"A", "[k", "v"}, {"A", ";k", "v"},   {"A", "k", "v\nB=1"}, {nullptr, "k", "v"}};
  for (const Case& c : refused)
    EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, file.c_str())) << c.key;
  EXPECT_FALSE(WritePrivateProfileSection("A", "k\0", file.c_str()));
  EXPECT_TRUE(WritePrivateProfileSection("Empty", "", file.c_str()));  // nothing to empty: nothing written
  EXPECT_FALSE(fs::exists(file));

  ASSERT_TRUE(WritePrivateProfileString("b", "y", "2", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("a", "x", "", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("B", "X", "1", file.c_str()));
  EXPECT_EQ(text(), "[a]\nx=\n\n[b]\nX=1\ny=2\n\n");
  EXPECT_TRUE(WritePrivateProfileString("B", "y", nullptr, file.c_str()));
  EXPECT_TRUE(WritePrivateProfileString("A", nullptr, nullptr, file.c_str()));
  EXPECT_EQ(text(), "[b]\nX=1\n\n");
  EXPECT_TRUE(WritePrivateProfileSection("B", "k=1\0j = 2\0", file.c_str()));
  EXPECT_EQ(text(), "[b]\nj=2\nk=1\n\n");
  EXPECT_EQ(fs::directory_entry(dir / ".test.ini.new").exists(), false);  // no temporary file left

  // A change made behind the functions' back is seen on the next read.
  setText("[b]\nj=changed\n");
  EXPECT_EQ(get("b", "j"), "changed");
  // A file that cannot be read is not overwritten.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(WritePrivateProfileString("b", "j", "3", file.c_str()));
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(Profile, SymbolicLinkTargetIsWritten) {
  fs::create_directory(dir / "real");
  const fs::path target = dir / "real" / "settings.ini";
  std::ofstream(target) << "[keep]\nk=v\n";
  fs::create_symlink("real/settings.ini", file);  // relative to the link's folder
  ASSERT_TRUE(WritePrivateProfileString("new", "n", "1", file.c_str()));
  EXPECT_TRUE(fs::is_symlink(file));
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[keep]\nk=v\n\n[new]\nn=1\n\n");
  EXPECT_EQ(get("NEW", "N"), "1");
}

TEST_F(Profile, ConcurrentWritersNeverLeaveATornOrEmptyFile) {
  // Two processes, each with two threads, rewrite the file for about a second while it is read raw:
  // every version seen must be one complete file, holding every section with a value some writer wrote.
  ASSERT_TRUE(WritePrivateProfileSection("Startup Bank", "File=/start.fxb\0", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("Editor", "Scale", "0.500000", file.c_str()));
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(900);
  auto writer = [&](int id) {
    const std::string bank = "File=/bank" + std::to_string(id) + ".fxb" + std::string(id, 'x');
    const std::string scale = std::to_string(id) + ".000000";
    while (std::chrono::steady_clock::now() < until) {
      WritePrivateProfileSection("Startup Bank", (bank + '\0').c_str(), file.c_str());
      WritePrivateProfileString("Editor", "Scale", scale.c_str(), file.c_str());
    }
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  int firstId = 0;
  if (child == 0) firstId = 2;
  std::thread a(writer, firstId), b(writer, firstId + 1);
  if (child == 0) {
    a.join();
    b.join();
    _exit(0);
  }
  std::set<std::string> allowed = {"[Startup Bank]", "[Editor]", "", "File=/start.fxb", "Scale=0.500000"};
  for (int id = 0; id < 4; ++id) {
    allowed.insert("File=/bank" + std::to_string(id) + ".fxb" + std::string(id, 'x'));
    allowed.insert("Scale=" + std::to_string(id) + ".000000");
  }
  int reads = 0;
  while (std::chrono::steady_clock::now() < until) {
    const std::string t = text();
    ++reads;
    ASSERT_GE(t.size(), 2u);
    ASSERT_EQ(t.substr(t.size() - 2), "\n\n") << t;
    int lines = 0;
    for (size_t at = 0; at < t.size(); ++lines) {
      const size_t end = t.find('\n', at);
      ASSERT_TRUE(allowed.count(t.substr(at, end - at))) << t;
      at = end + 1;
    }
    ASSERT_EQ(lines, 6) << t;
  }
  a.join();
  b.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(reads, 10);
  EXPECT_EQ(get("editor", "scale").size(), 8u);
}
