#include "wdlstring.h"

#include <cstdio>

namespace {

// Length of s limited to maxLen characters (no limit if maxLen <= 0); never reads past maxLen bytes.
size_t CappedLength(const char* s, int maxLen) {
  if (!s) return 0;
  return maxLen > 0 ? strnlen(s, static_cast<size_t>(maxLen)) : strlen(s);
}

}  // namespace

void WDL_String::Reserve(size_t len) {
  if (len <= mStr.capacity()) return;
  const size_t step = mGranularity > 0 ? static_cast<size_t>(mGranularity) : 1;
  mStr.reserve((len / step + 1) * step);
}

void WDL_String::Set(const char* s, int maxLen) {
  const size_t n = CappedLength(s, maxLen);
  if (!Inside(s)) Reserve(n);
  mStr.assign(s ? s : "", n);
}

void WDL_String::Append(const char* s, int maxLen) {
  const size_t n = CappedLength(s, maxLen);
  if (n == 0) return;
  if (!Inside(s)) Reserve(mStr.size() + n);
  mStr.append(s, n);
}

namespace {

// Formats into out (appending); cuts what was added to maxLen characters when maxLen > 0.
void AppendFormattedV(std::string& out, int maxLen, const char* fmt, va_list args) {
  if (!fmt) return;
  va_list copy;
  va_copy(copy, args);
  const int needed = vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (needed <= 0) return;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(needed) + 1);
  vsnprintf(&out[start], static_cast<size_t>(needed) + 1, fmt, args);
  size_t added = static_cast<size_t>(needed);
  if (maxLen > 0 && added > static_cast<size_t>(maxLen)) added = static_cast<size_t>(maxLen);
  out.resize(start + added);
}

}  // namespace

void WDL_String::SetFormatted(int maxLen, const char* fmt, ...) {
  mStr.clear();
  va_list args;
  va_start(args, fmt);
  AppendFormattedV(mStr, maxLen, fmt, args);
  va_end(args);
}

void WDL_String::AppendFormatted(int maxLen, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  AppendFormattedV(mStr, maxLen, fmt, args);
  va_end(args);
}

void WDL_String::SetLen(int len) {
  const size_t n = len > 0 ? static_cast<size_t>(len) : 0;
  Reserve(n);
  mStr.resize(n, '\0');
}
