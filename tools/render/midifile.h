#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sampletime.h"

namespace render {

// One channel message (status 0x80 ... 0xEF) of a Standard MIDI File with its time.
struct MidiEvent {
  uint64_t tick = 0;
  ExactTime time;  // through the tempo map
  uint8_t status = 0, data1 = 0, data2 = 0;

  double seconds() const { return time.seconds(); }
};

// A Standard MIDI File (format 0 or 1) reduced to what the renderer plays: the channel messages of all
// tracks merged by time (equal times keep file order: track by track, then within the track), timed
// through the tempo map. System exclusive and meta events are not delivered.
struct MidiFile {
  int format = 0;
  int tracks = 0;
  int ticksPerQuarter = 0;    // 0 when the file uses SMPTE timing
  int framesPerSecond = 0;    // SMPTE timing: 24, 25, 29 (29.97 drop-frame) or 30
  int ticksPerFrame = 0;
  std::vector<MidiEvent> events;
  double firstTempoBpm = 0.0;  // the earliest tempo event, 0 if the file has none

  ExactTime lastEventTime() const { return events.empty() ? ExactTime{} : events.back().time; }
  double lastEventSeconds() const { return lastEventTime().seconds(); }
};

// Files larger than this are refused rather than read.
constexpr size_t kMaxMidiFileSize = 64u << 20;

// Parses a file held in memory. On failure returns false and a one-line reason; never reads outside data.
bool parseMidi(const uint8_t* data, size_t size, MidiFile& out, std::string& error);
// Reads and parses a file; the reason names what went wrong (missing file, read error, malformed content).
bool loadMidiFile(const std::string& path, MidiFile& out, std::string& error);

}  // namespace render
