#include "midifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace render {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note until a tempo event says otherwise

// Bounds-checked reading of one byte range.
class Reader {
public:
  Reader(const uint8_t* p, size_t n) : mP(p), mEnd(p + n) {}
  size_t left() const { return static_cast<size_t>(mEnd - mP); }
  bool atEnd() const { return mP == mEnd; }
  bool byte(uint8_t& b) {
    if (mP == mEnd) return false;
    b = *mP++;
    return true;
  }
  bool skip(size_t n) {
    if (n > left()) return false;
    mP += n;
    return true;
  }
  const uint8_t* pos() const { return mP; }
  bool be(int bytes, uint32_t& v) {
    if (left() < static_cast<size_t>(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | *mP++;
    return true;
  }

private:
  const uint8_t* mP;
  const uint8_t* mEnd;
};

enum class Vlq { kOk, kTruncated, kTooLong };

// Variable-length number: at most four bytes of seven bits each.
Vlq readVlq(Reader& r, uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b;
    if (!r.byte(b)) return Vlq::kTruncated;
    v = (v << 7) | (b & 0x7Fu);
    if (!(b & 0x80)) return Vlq::kOk;
  }
  return Vlq::kTooLong;
}

struct RawEvent {
  uint64_t tick;
  uint32_t tempo;  // non-zero for a tempo event
  uint8_t status, data1, data2;
};

std::string hexByte(unsigned b) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", b & 0xFFu);
  return s;
}

bool parseTrack(Reader r, int trackNo, std::vector<RawEvent>& out, std::string& error) {
  const std::string where = "track " + std::to_string(trackNo);
  uint64_t tick = 0;
  // Running status. Meta and system exclusive events cancel it in a well-formed file; keeping it across
  // them changes nothing for such files and still plays the files that rely on it.
  uint8_t running = 0;
  auto vlq = [&](uint32_t& v) {
    switch (readVlq(r, v)) {
      case Vlq::kOk: return true;
      case Vlq::kTruncated: error = where + " ends inside an event"; return false;
      case Vlq::kTooLong: error = where + " has a variable-length number longer than four bytes"; return false;
    }
    return false;
  };
  while (!r.atEnd()) {
    uint32_t delta;
    if (!vlq(delta)) return false;
    tick += delta;
    uint8_t b;
    if (!r.byte(b)) {
      error = where + " ends inside an event";
      return false;
    }
    if (b == 0xFF) {  // meta event
      uint8_t type;
      uint32_t len;
      if (!r.byte(type) || !vlq(len)) {
        if (error.empty()) error = where + " ends inside an event";
        return false;
      }
      const uint8_t* data = r.pos();
      if (!r.skip(len)) {
        error = where + " has a meta event longer than the track";
        return false;
      }
      if (type == 0x2F) return true;  // end of track: anything after it is ignored
      if (type == 0x51) {
        if (len != 3) {
          error = where + " has a tempo event of length " + std::to_string(len);
          return false;
        }
        const uint32_t tempo = (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
        if (tempo == 0) {
          error = where + " has a tempo of 0 microseconds per quarter note";
          return false;
        }
        out.push_back({tick, tempo, 0, 0, 0});
      }
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {  // system exclusive: skipped
      uint32_t len;
      if (!vlq(len)) return false;
      if (!r.skip(len)) {
        error = where + " has a system exclusive event longer than the track";
        return false;
      }
      continue;
    }
    if (b > 0xF0) {
      error = where + " has the status byte " + hexByte(b) + ", which a MIDI file cannot hold";
      return false;
    }
    uint8_t status = b, d1;
    if (b < 0x80) {  // running status: b is the first data byte
      if (!running) {
        error = where + " has a data byte without a status byte";
        return false;
      }
      status = running;
      d1 = b;
    } else if (!r.byte(d1)) {
      error = where + " ends inside an event";
      return false;
    }
    running = status;
    uint8_t d2 = 0;
    const unsigned type = status >> 4;
    if (type != 0xC && type != 0xD && !r.byte(d2)) {
      error = where + " ends inside an event";
      return false;
    }
    if ((d1 | d2) & 0x80) {
      error = where + " has a status byte where a data byte belongs";
      return false;
    }
    out.push_back({tick, 0, status, d1, d2});
  }
  return true;  // a track without an end-of-track event ends with its chunk
}

}  // namespace

bool parseMidi(const uint8_t* data, size_t size, MidiFile& out, std::string& error) {
  out = MidiFile{};
  error.clear();
  Reader r(data, size);
  uint32_t id = 0, len = 0, format = 0, ntrks = 0, division = 0;
  if (size < 4 || std::memcmp(data, "MThd", 4) != 0) {
    error = "not a MIDI file (no MThd header)";
    return false;
  }
  r.skip(4);
  if (!r.be(4, len) || len < 6 || len > r.left()) {
    error = "truncated or invalid MThd header";
    return false;
  }
  Reader header(r.pos(), len);
  r.skip(len);
  header.be(2, format);
  header.be(2, ntrks);
  header.be(2, division);
  if (format == 2) {
    error = "MIDI file format 2 (independent patterns) is not supported";
    return false;
  }
  if (format > 2) {
    error = "unknown MIDI file format " + std::to_string(format);
    return false;
  }
  if (ntrks == 0) {
    error = "MIDI file has no tracks";
    return false;
  }
  out.format = static_cast<int>(format);
  out.tracks = static_cast<int>(ntrks);
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const int tpf = static_cast<int>(division & 0xFF);
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || tpf == 0) {
      error = "invalid SMPTE time division " + hexByte(division >> 8) + hexByte(division).substr(2);
      return false;
    }
    out.framesPerSecond = fps;
    out.ticksPerFrame = tpf;
  } else {
    if (division == 0) {
      error = "time division of 0 ticks per quarter note";
      return false;
    }
    out.ticksPerQuarter = static_cast<int>(division);
  }

  // Tracks in file order; chunks of other types are skipped.
  std::vector<RawEvent> raw;
  for (uint32_t t = 1; t <= ntrks;) {
    if (r.atEnd()) {
      error = "missing track " + std::to_string(t) + " of " + std::to_string(ntrks) + " (no MTrk chunk)";
      return false;
    }
    if (!r.be(4, id) || !r.be(4, len)) {
      error = "truncated chunk header before track " + std::to_string(t);
      return false;
    }
    if (len > r.left()) {
      error = "chunk of " + std::to_string(len) + " bytes before track " + std::to_string(t) + " exceeds the file (" +
              std::to_string(r.left()) + " bytes left)";
      return false;
    }
    Reader chunk(r.pos(), len);
    r.skip(len);
    if (id != 0x4D54726Bu) continue;  // not "MTrk"
    std::vector<RawEvent> track;
    if (!parseTrack(chunk, static_cast<int>(t), track, error)) return false;
    raw.insert(raw.end(), track.begin(), track.end());
    ++t;
  }
  std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) { return a.tick < b.tick; });

  // Through the tempo map, exactly: with ticks per quarter, a time is the sum of ticks times microseconds
  // per quarter over ticks-per-quarter * 10^6 units per second; with SMPTE timing, ticks over ticks per
  // second (29 stands for 30000/1001 frames per second, so its ticks count 1001 units each).
  unsigned __int128 acc = 0;
  uint64_t lastTick = 0;
  uint32_t tempo = kDefaultTempo;
  const bool dropFrame = out.framesPerSecond == 29;
  const uint64_t unitsPerSecond = out.ticksPerQuarter ? uint64_t(out.ticksPerQuarter) * 1000000u
                                  : dropFrame         ? uint64_t(30000) * out.ticksPerFrame
                                                      : uint64_t(out.framesPerSecond) * out.ticksPerFrame;
  for (const RawEvent& e : raw) {
    acc += static_cast<unsigned __int128>(e.tick - lastTick) * tempo;
    lastTick = e.tick;
    if (e.tempo) {
      tempo = e.tempo;
      if (out.firstTempoBpm == 0.0) out.firstTempoBpm = 60000000.0 / tempo;
      continue;
    }
    MidiEvent m;
    m.tick = e.tick;
    m.time.units = out.ticksPerQuarter ? acc : static_cast<unsigned __int128>(e.tick) * (dropFrame ? 1001 : 1);
    m.time.unitsPerSecond = unitsPerSecond;
    m.status = e.status;
    m.data1 = e.data1;
    m.data2 = e.data2;
    out.events.push_back(m);
  }
  return true;
}

bool loadMidiFile(const std::string& path, MidiFile& out, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = "cannot open MIDI file '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof buf, f.get());
    if (n == 0) break;
    if (bytes.size() + n > kMaxMidiFileSize) {
      error = "MIDI file '" + path + "' is larger than " + std::to_string(kMaxMidiFileSize >> 20) + " MiB";
      return false;
    }
    bytes.insert(bytes.end(), buf, buf + n);
  }
  if (std::ferror(f.get())) {
    error = "cannot read MIDI file '" + path + "': " + std::strerror(errno);
    return false;
  }
  if (!parseMidi(bytes.data(), bytes.size(), out, error)) {
    error = "malformed MIDI file '" + path + "': " + error;
    return false;
  }
  return true;
}

}  // namespace render
