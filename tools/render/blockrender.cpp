#include "blockrender.h"

#include <algorithm>
#include <cmath>

#include "IPlugDenormals.h"

namespace render {

std::vector<ScheduledEvent> scheduleEvents(const MidiFile& file, int rate) {
  std::vector<ScheduledEvent> out;
  out.reserve(file.events.size());
  for (const MidiEvent& e : file.events) out.push_back({samplePosition(e.time, rate), e.status, e.data1, e.data2});
  return out;
}

int64_t defaultLength(const MidiFile& file, int rate) {
  return samplePosition(file.lastEventTime().plusSeconds(3), rate);
}

bool renderBlocks(const std::vector<ScheduledEvent>& events, int64_t frames, int blockSize, BlockTarget& target) {
  const iplug::ScopedFlushDenormals flushDenormals;  // as a host's audio thread renders
  size_t next = 0;
  for (int64_t start = 0; start < frames; start += blockSize) {
    const int n = static_cast<int>(std::min<int64_t>(blockSize, frames - start));
    target.beginBlock(start, n);
    const int64_t end = start + n;
    while (next < events.size() && events[next].pos < end) {
      // Positions never decrease, so nothing is left behind before this block.
      target.midi(static_cast<int>(events[next].pos - start), events[next]);
      ++next;
    }
    if (!target.process(start, n)) return false;
    if (target.finished()) break;
  }
  return true;
}

SilenceEnd::SilenceEnd(int64_t lastEvent, int rate)
    : mQuietFrom(lastEvent),
      mQuietLength(int64_t{kQuietSeconds} * rate),
      mLimit(lastEvent + int64_t{kMaxTailSeconds} * rate) {}

int SilenceEnd::keep(int64_t start, const double* left, const double* right, int n) {
  for (int i = 0; i < n; ++i) {
    if (start + i >= end()) {
      mReached = true;
      return i;
    }
    const bool quiet = std::fabs(left[i]) < kSilence && std::fabs(right[i]) < kSilence;
    if (!quiet) mQuietFrom = std::max(mQuietFrom, start + i + 1);
  }
  if (start + n >= end()) mReached = true;
  return n;
}

ProgressBar::ProgressBar(FILE* out, bool enabled, int64_t total, double rate)
    : mOut(out), mEnabled(enabled && total > 0), mTotal(total), mRate(rate) {}

void ProgressBar::format(char* buf, size_t size, int64_t done, int64_t total, double rate) {
  constexpr int kWidth = 30;
  const double f = total > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0) : 1.0;
  const int filled = static_cast<int>(f * kWidth);
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '-';
  bar[kWidth] = '\0';
  std::snprintf(buf, size, "rendering [%s] %3d%%  %.1f / %.1f s", bar, static_cast<int>(f * 100.0),
                static_cast<double>(done) / rate, static_cast<double>(total) / rate);
}

void ProgressBar::update(int64_t done) {
  if (!mEnabled) return;
  const int permille = static_cast<int>(std::min<int64_t>(done, mTotal) * 1000 / mTotal);
  if (permille == mLastPermille) return;
  mLastPermille = permille;
  char line[128];
  format(line, sizeof line, done, mTotal, mRate);
  std::fprintf(mOut, "\r%s", line);
  std::fflush(mOut);
}

void ProgressBar::finish() {
  if (!mEnabled) return;
  update(mTotal);
  stop();
}

void ProgressBar::stop() {
  if (!mEnabled || mLastPermille < 0) return;
  std::fputc('\n', mOut);
  std::fflush(mOut);
  mLastPermille = -1;
}

}  // namespace render
