#pragma once
// Builders for hand-made Standard MIDI Files.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace smf {

using Bytes = std::vector<uint8_t>;

inline Bytes be(uint32_t v, int n) {
  Bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

// Variable-length number.
inline Bytes vlq(uint32_t v) {
  Bytes b{static_cast<uint8_t>(v & 0x7F)};
  for (v >>= 7; v; v >>= 7) b.insert(b.begin(), static_cast<uint8_t>(0x80 | (v & 0x7F)));
  return b;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes chunk(const char* id, const Bytes& body) {
  return cat({Bytes(id, id + 4), be(static_cast<uint32_t>(body.size()), 4), body});
}

inline Bytes track(const Bytes& body) { return chunk("MTrk", body); }
// body followed by an end-of-track event
inline Bytes trackEnd(const Bytes& body) { return track(cat({body, Bytes{0x00, 0xFF, 0x2F, 0x00}})); }

inline Bytes header(int format, int tracks, int division) {
  return chunk("MThd", cat({be(format, 2), be(tracks, 2), be(division, 2)}));
}

inline Bytes file(int format, int division, std::initializer_list<Bytes> tracks) {
  Bytes out = header(format, static_cast<int>(tracks.size()), division);
  for (const Bytes& t : tracks) out.insert(out.end(), t.begin(), t.end());
  return out;
}

inline Bytes tempo(uint32_t usPerQuarter) { return cat({Bytes{0xFF, 0x51, 0x03}, be(usPerQuarter, 3)}); }

}  // namespace smf
