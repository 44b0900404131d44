#include "blockrender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smf.h"

using namespace render;

namespace {

// Records the calls of the block loop as text.
class Recorder : public BlockTarget {
public:
  std::vector<std::string> calls;
  int failAt = -1;
  void beginBlock(int64_t start, int n) override { calls.push_back("begin " + std::to_string(start) + " " + std::to_string(n)); }
  void midi(int offset, const ScheduledEvent& e) override {
    calls.push_back("midi " + std::to_string(offset) + " key " + std::to_string(e.data1));
  }
  bool process(int64_t start, int n) override {
    calls.push_back("process " + std::to_string(start) + " " + std::to_string(n));
    return start != failAt;
  }
};

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

TEST(BlockRender, StopsWhenABlockFailsAndRendersNothingForZeroLength) {
  Recorder r;
  r.failAt = 64;
  EXPECT_FALSE(renderBlocks({}, 1000, 64, r));
  EXPECT_EQ(r.calls.back(), "process 64 64");
  EXPECT_EQ(r.calls.size(), 4u);

  Recorder empty;
  EXPECT_TRUE(renderBlocks({ev(0, 1)}, 0, 64, empty));
  EXPECT_TRUE(empty.calls.empty());
}

TEST(BlockRender, SchedulesThroughTheTempoMapAndAddsThreeSecondsOfTail) {
  // 100 bpm, 96 ticks per quarter: one tick is 1/160 s.
  const smf::Bytes b = smf::file(0, 96, {smf::trackEnd(smf::cat({smf::Bytes{0x00}, smf::tempo(600000),
                                                                 smf::Bytes{0x01, 0x90, 0x3C, 0x64, 0x81, 0x1F, 0x3C,
                                                                            0x00, 0x00, 0xFF, 0x01, 0x00}}))});
  MidiFile f;
  std::string e;
  ASSERT_TRUE(parseMidi(b.data(), b.size(), f, e)) << e;
  const std::vector<ScheduledEvent> s = scheduleEvents(f, 44100);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].pos, 276);    // 275.625
  EXPECT_EQ(s[1].pos, 44100);  // tick 160: one second
  EXPECT_EQ(s[1].data2, 0);
  EXPECT_EQ(defaultLength(f, 44100), 4 * 44100);
  EXPECT_EQ(defaultLength(MidiFile{}, 48000), 3 * 48000);
}

TEST(BlockRender, ProgressLine) {
  char line[128];
  ProgressBar::format(line, sizeof line, 50, 100, 10.0);
  EXPECT_STREQ(line, "rendering [###############---------------]  50%  5.0 / 10.0 s");
  ProgressBar::format(line, sizeof line, 100, 100, 10.0);
  EXPECT_NE(std::string(line).find("100%"), std::string::npos);
}
