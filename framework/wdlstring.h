#pragma once

#include <cstdarg>
#include <cstring>
#include <string>

// Growable C string, the framework's text type for paths, names and display texts.
class WDL_String {
public:
  WDL_String() = default;
  explicit WDL_String(const char* s) { Set(s); }
  explicit WDL_String(int granularity) : mGranularity(granularity) {}

  const char* Get() const { return mStr.c_str(); }
  int GetLength() const { return static_cast<int>(mStr.size()); }
  // Copies (appends) at most maxLen characters of s, all of it if maxLen is 0 or less; a null s counts as "".
  void Set(const char* s, int maxLen = 0);
  void Append(const char* s, int maxLen = 0);
  // Formats with printf rules; the result is cut to maxLen characters (no cut if maxLen is 0 or less).
  void SetFormatted(int maxLen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void AppendFormatted(int maxLen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  // Sets the length to len characters, cutting or padding with zero bytes.
  void SetLen(int len);
  bool Empty() const { return mStr.empty(); }

private:
  void Reserve(size_t len);  // capacity grows in steps of mGranularity
  // Whether s points into this string's own text (reserving would then move it).
  bool Inside(const char* s) const { return s && s >= mStr.data() && s <= mStr.data() + mStr.size(); }
  std::string mStr;
  int mGranularity = 128;
};
