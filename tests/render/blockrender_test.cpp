#include "blockrender.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "smf.h"

using namespace render;

namespace {

// Records the calls of the block loop as text.
class Recorder : public BlockTarget {
public:
  std::vector<std::string> calls;
  int failAt = -1, finishAt = -1;
  int64_t lastStart = -1;
  void beginBlock(int64_t start, int n) override { calls.push_back("begin " + std::to_string(start) + " " + std::to_string(n)); }
  void midi(int offset, const ScheduledEvent& e) override {
    calls.push_back("midi " + std::to_string(offset) + " key " + std::to_string(e.data1));
  }
  bool process(int64_t start, int n) override {
    calls.push_back("process " + std::to_string(start) + " " + std::to_string(n));
    lastStart = start;
    return start != failAt;
  }
  bool finished() const override { return lastStart == finishAt; }
};

// Records where the block loop places each event: block start plus offset.
class PositionRecorder : public BlockTarget {
public:
  std::vector<int64_t> positions;
  void beginBlock(int64_t start, int) override { mStart = start; }
  void midi(int offset, const ScheduledEvent&) override { positions.push_back(mStart + offset); }
  bool process(int64_t, int) override { return true; }

private:
  int64_t mStart = 0;
};

// A format 1 file: a conductor track with tempo events (tick, microseconds per quarter) and a track with a
// note-on at each tick.
smf::Bytes timedFile(int division, std::vector<std::pair<uint32_t, uint32_t>> tempos, std::vector<uint32_t> notes) {
  smf::Bytes conductor, track;
  uint32_t now = 0;
  for (const auto& [tick, us] : tempos) {
    conductor = smf::cat({conductor, smf::vlq(tick - now), smf::tempo(us)});
    now = tick;
  }
  now = 0;
  for (uint32_t tick : notes) {
    track = smf::cat({track, smf::vlq(tick - now), smf::Bytes{0x90, 0x3C, 0x64}});
    now = tick;
  }
  return smf::file(1, division, {smf::trackEnd(conductor), smf::trackEnd(track)});
}

ScheduledEvent ev(int64_t pos, uint8_t key) { return {pos, 0x90, key, 100}; }

}  // namespace

TEST(BlockRender, DeliversEachEventInItsBlockInFileOrderBeforeProcessing) {
  // Events at a block's first and last sample, two at the same position, one in the short last block,
  // and two at or after the end, which never play.
  const std::vector<ScheduledEvent> events = {ev(0, 1),   ev(99, 2),  ev(100, 3), ev(100, 4),
                                              ev(205, 5), ev(249, 6), ev(250, 7), ev(300, 8)};
  Recorder r;
  ASSERT_TRUE(renderBlocks(events, 250, 100, r));
  const std::vector<std::string> expect = {
      "begin 0 100",   "midi 0 key 1", "midi 99 key 2", "process 0 100",  "begin 100 100", "midi 0 key 3",
      "midi 0 key 4",  "process 100 100", "begin 200 50", "midi 5 key 5", "midi 49 key 6", "process 200 50"};
  EXPECT_EQ(r.calls, expect);
}

TEST(BlockRender, StopsWhenABlockFailsOrTheTargetHasFinishedAndRendersNothingForZeroLength) {
  Recorder r;
  r.failAt = 64;
  EXPECT_FALSE(renderBlocks({}, 1000, 64, r));
  EXPECT_EQ(r.calls.back(), "process 64 64");
  EXPECT_EQ(r.calls.size(), 4u);

  Recorder done;
  done.finishAt = 128;
  EXPECT_TRUE(renderBlocks({}, 1000, 64, done));
  EXPECT_EQ(done.calls.back(), "process 128 64");

  Recorder empty;
  EXPECT_TRUE(renderBlocks({ev(0, 1)}, 0, 64, empty));
  EXPECT_TRUE(empty.calls.empty());
}

TEST(BlockRender, PlacesEventsAtExactSamplesThroughTheTempoMap) {
  // Times that fall on half samples round up; doubles would put several of them one sample early.
  const smf::Bytes even = timedFile(480, {}, {88, 176, 1104});  // the default 120 bpm
  const smf::Bytes tempi = timedFile(96, {{0, 600000}, {96, 250000}, {192, 437500}}, {446, 512, 960});
  struct Case {
    const char* what;
    smf::Bytes file;
    int rate;
    std::vector<int64_t> positions;
  };
  const Case cases[] = {
      {"120 bpm at 22050 Hz: 2021.25, 4042.5, 25357.5", even, 22050, {2021, 4043, 25358}},
      {"120 bpm at 44100 Hz: 4042.5, 8085, 50715", even, 44100, {4043, 8085, 50715}},
      {"three tempi at 22050 Hz: 44266.52, 50898.75, 95917.5", tempi, 22050, {44267, 50899, 95918}},
      {"three tempi at 44100 Hz: 88533.05, 101797.5, 191835", tempi, 44100, {88533, 101798, 191835}},
      {"three tempi at 48000 Hz: 96362.5, 110800, 208800", tempi, 48000, {96363, 110800, 208800}},
      {"100 bpm, 96 ticks per quarter at 44100 Hz: 275.625, 44100", timedFile(96, {{0, 600000}}, {1, 160}), 44100,
       {276, 44100}},
      {"SMPTE 25 x 40, tempo ignored, at 22050 Hz: 7717.5", timedFile(0xE728, {{0, 250000}}, {350}), 22050, {7718}},
      {"SMPTE 29.97 x 4 at 22050 Hz: 7872364.5", timedFile(0xE304, {}, {42800}), 22050, {7872365}},
  };
  for (const Case& c : cases) {
    MidiFile f;
    std::string e;
    ASSERT_TRUE(parseMidi(c.file.data(), c.file.size(), f, e)) << c.what << ": " << e;
    PositionRecorder r;
    ASSERT_TRUE(renderBlocks(scheduleEvents(f, c.rate), defaultLength(f, c.rate), 100, r));
    EXPECT_EQ(r.positions, c.positions) << c.what;
    EXPECT_EQ(defaultLength(f, c.rate), c.positions.back() + 3 * c.rate) << c.what;
  }
  EXPECT_EQ(defaultLength(MidiFile{}, 48000), 3 * 48000);
}

TEST(BlockRender, SilenceEndsTheRenderOneSecondAfterTheSoundHasDied) {
  // At 10 Hz with the last event at sample 20: one quiet second is 10 samples, the cap is sample 620.
  struct Case {
    const char* what;
    double (*right)(int64_t pos);  // the left channel stays silent
    int64_t end;
  };
  const Case cases[] = {
      {"silent throughout", [](int64_t) { return 0.0; }, 30},
      {"sound only before the last event", [](int64_t p) { return p < 5 ? 1.0 : 0.0; }, 30},
      {"-100 dBFS until sample 44, then just below", [](int64_t p) { return p <= 44 ? -1e-5 : 0.99e-5; }, 55},
      {"a tail that never dies", [](int64_t p) { return p % 7 ? 0.0 : 2e-5; }, 620},
  };
  for (const Case& c : cases) {
    SilenceEnd s(20, 10);
    EXPECT_EQ(s.limit(), 620);
    int64_t kept = 0;
    for (int64_t start = 0; start < s.limit() && !s.reached(); start += 16) {
      double left[16] = {}, right[16];
      for (int i = 0; i < 16; ++i) right[i] = c.right(start + i);
      kept += s.keep(start, left, right, 16);
    }
    EXPECT_TRUE(s.reached()) << c.what;
    EXPECT_EQ(kept, c.end) << c.what;
  }
}

TEST(BlockRender, ProgressLine) {
  char line[128];
  ProgressBar::format(line, sizeof line, 50, 100, 10.0);
  EXPECT_STREQ(line, "rendering [###############---------------]  50%  5.0 / 10.0 s");
  ProgressBar::format(line, sizeof line, 100, 100, 10.0);
  EXPECT_NE(std::string(line).find("100%"), std::string::npos);
}
