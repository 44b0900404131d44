#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "midifile.h"

namespace render {

// A channel message at its sample position.
struct ScheduledEvent {
  int64_t pos = 0;
  uint8_t status = 0, data1 = 0, data2 = 0;
};

// Positions of the file's channel messages at a sample rate, in file order (positions never decrease).
std::vector<ScheduledEvent> scheduleEvents(const MidiFile& file, int rate);
// Default render length in samples: the last channel message plus three seconds.
int64_t defaultLength(const MidiFile& file, int rate);

// What the block loop drives: the instrument and the output.
class BlockTarget {
public:
  virtual ~BlockTarget() = default;
  // Before the block's messages: the block starts at sample start and has n samples.
  virtual void beginBlock(int64_t /*start*/, int /*n*/) {}
  virtual void midi(int offset, const ScheduledEvent& e) = 0;
  // Renders and stores the block; false stops the loop.
  virtual bool process(int64_t start, int n) = 0;
  // True once the render is complete before its full length (checked after each block).
  virtual bool finished() const { return false; }
};

// Renders frames samples in blocks of blockSize from sample 0 (the last block may be shorter). For each
// block, every event whose position lies inside the block goes to midi() in order with its offset from
// the block start, then process() renders the block. Events at or beyond frames are never delivered.
// Stops early once the target has finished. Returns false if process() failed.
bool renderBlocks(const std::vector<ScheduledEvent>& events, int64_t frames, int blockSize, BlockTarget& target);

// Where a render of automatic length ends: when both channels have stayed below -100 dBFS for one second
// from the last MIDI event on, and at the latest 60 s after that event.
class SilenceEnd {
public:
  static constexpr double kSilence = 1e-5;  // -100 dBFS
  static constexpr int kQuietSeconds = 1, kMaxTailSeconds = 60;

  SilenceEnd(int64_t lastEvent, int rate);
  // The latest end: the last event plus 60 s.
  int64_t limit() const { return mLimit; }
  // Takes the rendered block that starts at start; returns how many of its n samples the render keeps
  // (n for every block but the one in which the render ends).
  int keep(int64_t start, const double* left, const double* right, int n);
  bool reached() const { return mReached; }

private:
  int64_t end() const { return std::min(mQuietFrom + mQuietLength, mLimit); }
  int64_t mQuietFrom;  // where the present quiet stretch began, never before the last event
  int64_t mQuietLength, mLimit;
  bool mReached = false;
};

// A one-line progress bar redrawn in place on a terminal; silent when disabled.
class ProgressBar {
public:
  ProgressBar(FILE* out, bool enabled, int64_t total, double rate);
  void update(int64_t done);
  // Draws the full bar and ends the line.
  void finish();
  // Ends the line where the bar stands (after a failure).
  void stop();
  // The line as drawn (without the carriage return).
  static void format(char* buf, size_t size, int64_t done, int64_t total, double rate);

private:
  FILE* mOut;
  bool mEnabled;
  int64_t mTotal;
  double mRate;
  int mLastPermille = -1;
};

}  // namespace render
