#include "IPlugVST3_Util.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using Steinberg::Vst::String128;
using Steinberg::Vst::TChar;

namespace iplug {

void ToString128(const char* text, String128 out) {
  int n = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*s && n < 127) {
    uint32_t cp = *s++;
    int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
    if (extra) cp &= (0x3F >> extra);
    for (; extra > 0 && (*s & 0xC0) == 0x80; --extra) cp = (cp << 6) | (*s++ & 0x3F);
    if (extra > 0) cp = 0xFFFD;  // truncated sequence
    if (cp >= 0x10000) {
      if (n + 2 > 127) break;
      cp -= 0x10000;
      out[n++] = static_cast<TChar>(0xD800 + (cp >> 10));
      out[n++] = static_cast<TChar>(0xDC00 + (cp & 0x3FF));
    } else {
      out[n++] = static_cast<TChar>(cp);
    }
  }
  out[n] = 0;
}

std::string ToUtf8(const TChar* text) {
  std::string out;
  if (!text) return out;
  for (int i = 0; i < 128 && text[i]; ++i) {
    uint32_t cp = static_cast<uint16_t>(text[i]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < 128 && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool ParseNumber(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  value = std::strtod(begin, &end);
  if (end == begin) return false;
  while (*end == ' ') ++end;
  return *end == 0 && std::isfinite(value);
}

}  // namespace iplug
