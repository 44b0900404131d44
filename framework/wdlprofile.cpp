#include "wdlprofile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

// A file larger than this is not a profile of ours: it is neither parsed nor overwritten.
constexpr off_t kMaxProfileSize = 1 << 20;
constexpr int kMaxLinkDepth = 40;
constexpr const char* kBlanks = " \t";

// Case-insensitive order on ASCII letters, independent of the process locale.
struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      const int x = Lower(a[i]), y = Lower(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
  static int Lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u;
  }
};

using Section = std::map<std::string, std::string, CaseLess>;
using Profile = std::map<std::string, Section, CaseLess>;

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }
bool ValidSection(const std::string& s) { return !HasLineBreak(s) && s.find(']') == std::string::npos; }
bool ValidKey(const std::string& k) {
  return !k.empty() && !HasLineBreak(k) && k.find('=') == std::string::npos && k[0] != '[' && k[0] != ';' &&
         k[0] != '#';
}

Profile Parse(const std::string& text) {
  Profile profile;
  Section* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(start, end - start);
    start = end + 1;
    if (raw.find('\0') != std::string::npos) continue;
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      current = close == std::string::npos ? nullptr : &profile[Trim(line.substr(1, close - 1))];
      continue;
    }
    const size_t eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    if (!key.empty()) current->emplace(key, Trim(line.substr(eq + 1)));
  }
  return profile;
}

std::string Serialize(const Profile& profile) {
  std::string text;
  for (const auto& [name, keys] : profile) {
    text += "[" + name + "]\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
    text += "\n";
  }
  return text;
}

// What identifies one version of a file: a rewrite gives a new inode, an edit a new time or size.
struct Stamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{}, ctime{};
  static Stamp Of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }
  bool operator==(const Stamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

// The parse of the file last read or written.
struct Cache {
  bool valid = false;
  std::string path;
  Stamp stamp;
  Profile profile;
};

std::mutex gMutex;
Cache gCache;

void LockFile(int fd, int operation) {
  while (flock(fd, operation) != 0 && errno == EINTR) {
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return false;
  }
  return true;
}

enum class ReadResult { kRead, kMissing, kFailed };

// Reads and parses path under a shared lock.
ReadResult ReadProfile(const char* path, Profile& profile, Stamp& stamp) {
  profile.clear();
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  LockFile(fd, LOCK_SH);
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxProfileSize;
  std::string text;
  if (ok) {
    stamp = Stamp::Of(st);
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) != 0 && ok) {
      if (n > 0) text.append(chunk, static_cast<size_t>(n));
      else if (errno != EINTR) ok = false;
      if (text.size() > static_cast<size_t>(kMaxProfileSize)) ok = false;
    }
  }
  close(fd);
  if (!ok) return ReadResult::kFailed;
  profile = Parse(text);
  return ReadResult::kRead;
}

// The parse of path, read again only when the file has changed; nullptr if it cannot be read.
const Profile* CachedProfile(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return nullptr;
  if (gCache.valid && gCache.path == path && gCache.stamp == Stamp::Of(st)) return &gCache.profile;
  gCache.valid = false;
  if (ReadProfile(path, gCache.profile, gCache.stamp) != ReadResult::kRead) return nullptr;
  gCache.path = path;
  gCache.valid = true;
  return &gCache.profile;
}

// The file a write replaces: path itself, or the file its chain of symbolic links ends at ("" for a loop).
std::string WriteTarget(const char* path) {
  std::string p = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char buf[PATH_MAX];
    const ssize_t n = readlink(p.c_str(), buf, sizeof buf);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) return "";
    std::string target(buf, static_cast<size_t>(n));
    const size_t slash = p.rfind('/');
    if (target[0] != '/' && slash != std::string::npos) target = p.substr(0, slash + 1) + target;
    p = target;
  }
  return "";
}

// Opens and exclusively locks the temporary file beside target. A file that another writer renamed into
// place while this one waited for the lock is no longer the temporary file: then try again.
int LockTemporary(const std::string& tmp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    LockFile(fd, LOCK_EX);
    struct stat held, named;
    if (fstat(fd, &held) == 0 && stat(tmp.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
      return fd;
    close(fd);
  }
  return -1;
}

enum class Change { kWrite, kNone, kRefuse };

// Rewrites file with the change applied to its current contents, read afresh under the lock so that
// concurrent writers in other processes do not undo each other's keys.
template <typename Fn>
bool Rewrite(const char* file, Fn&& change) {
  const std::string target = WriteTarget(file);
  if (target.empty()) return false;
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string tmp = dir + "." + target.substr(dir.size()) + ".new";
  const int fd = LockTemporary(tmp);
  if (fd < 0) return false;

  Profile profile;
  Stamp stamp;
  const ReadResult read = ReadProfile(target.c_str(), profile, stamp);
  const Change what = read == ReadResult::kFailed ? Change::kRefuse : change(profile);
  bool ok = what != Change::kRefuse;
  if (what == Change::kWrite) {
    struct stat old;
    if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    ok = ftruncate(fd, 0) == 0 && WriteAll(fd, Serialize(profile)) && fsync(fd) == 0 &&
         rename(tmp.c_str(), target.c_str()) == 0;
    struct stat st;
    if (ok && fstat(fd, &st) == 0) {
      gCache.valid = true;
      gCache.path = file;
      gCache.stamp = Stamp::Of(st);
      gCache.profile = std::move(profile);
    }
  }
  if (what != Change::kWrite || !ok) unlink(tmp.c_str());
  close(fd);
  return ok;
}

}  // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                            const char* file) {
  if (!buf || size <= 0) return 0;
  std::lock_guard<std::mutex> lock(gMutex);
  std::string value = def ? def : "";
  if (section && key && file) {
    if (const Profile* profile = CachedProfile(file)) {
      const auto s = profile->find(Trim(section));
      if (s != profile->end()) {
        const auto k = s->second.find(Trim(key));
        if (k != s->second.end()) value = k->second;
      }
    }
  }
  const size_t n = value.size() < static_cast<size_t>(size - 1) ? value.size() : static_cast<size_t>(size - 1);
  memmove(buf, value.data(), n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (!section || !file || !*file) return false;
  const std::string name = Trim(section);
  if (!ValidSection(name)) return false;
  const std::string k = key ? Trim(key) : "";
  if (key && !ValidKey(k)) return false;
  if (value && HasLineBreak(value)) return false;

  std::lock_guard<std::mutex> lock(gMutex);
  return Rewrite(file, [&](Profile& profile) {
    if (!key) return profile.erase(name) ? Change::kWrite : Change::kNone;
    if (!value) {
      const auto s = profile.find(name);
      return (s != profile.end() && s->second.erase(k)) ? Change::kWrite : Change::kNone;
    }
    profile[name][k] = Trim(value);
    return Change::kWrite;
  });
}

bool WritePrivateProfileSection(const char* section, const char* strings, const char* file) {
  if (!section || !file || !*file) return false;
  const std::string name = Trim(section);
  if (!ValidSection(name)) return false;
  Section entries;
  for (const char* entry = strings ? strings : ""; *entry; entry += strlen(entry) + 1) {
    const char* eq = strchr(entry, '=');
    if (!eq) return false;
    const std::string k = Trim(std::string(entry, eq));
    if (!ValidKey(k) || HasLineBreak(eq + 1)) return false;
    entries[k] = Trim(eq + 1);
  }

  std::lock_guard<std::mutex> lock(gMutex);
  return Rewrite(file, [&](Profile& profile) {
    const auto s = profile.find(name);
    if (entries.empty() && s == profile.end()) return Change::kNone;
    profile[name] = std::move(entries);
    return Change::kWrite;
  });
}
