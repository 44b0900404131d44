#include <gtest/gtest.h>

#include <vector>

#include "IPlugMidi.h"

using iplug::IMidiMsg;
using iplug::IMidiQueue;

namespace {

// Adds a note on whose data byte 1 identifies it.
void AddTagged(IMidiQueue& q, int offset, int tag) { q.Add(IMidiMsg(offset, 0x90, static_cast<uint8_t>(tag), 100)); }

// Takes everything out: (offset, tag) pairs in queue order.
std::vector<std::pair<int, int>> Drain(IMidiQueue& q) {
  std::vector<std::pair<int, int>> out;
  while (!q.Empty()) {
    out.emplace_back(q.Peek().mOffset, q.Peek().mData1);
    q.Remove();
  }
  return out;
}

}  // namespace

TEST(IMidiMsg, Decoding) {
  EXPECT_EQ(IMidiMsg(0, 0x93, 60, 100).StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(IMidiMsg(0, 0x93, 60, 100).Channel(), 3);
  EXPECT_EQ(IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg(0, 0x45, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x00, 0x40).PitchWheel(), 0.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x7F, 0x7F).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x00, 0x00).PitchWheel(), -1.0);
}

TEST(IMidiQueue, OrdersByOffsetAndKeepsArrivalOrderForEqualOffsets) {
  IMidiQueue q;
  EXPECT_EQ(q.GetSize(), 512);
  AddTagged(q, 5, 1);
  AddTagged(q, 3, 2);
  AddTagged(q, 5, 3);
  AddTagged(q, 0, 4);
  AddTagged(q, 3, 5);
  AddTagged(q, 9, 6);
  EXPECT_EQ(q.ToDo(), 6);
  const std::vector<std::pair<int, int>> expected = {{0, 4}, {3, 2}, {3, 5}, {5, 1}, {5, 3}, {9, 6}};
  EXPECT_EQ(Drain(q), expected);
}

TEST(IMidiQueue, FlushShiftsWaitingOffsets) {
  IMidiQueue q;
  AddTagged(q, 10, 1);
  AddTagged(q, 50, 2);
  AddTagged(q, 100, 3);
  q.Remove();
  q.Flush(44);
  const std::vector<std::pair<int, int>> expected = {{6, 2}, {56, 3}};
  EXPECT_EQ(Drain(q), expected);
}

TEST(IMidiQueue, EmptyQueueIsSafe) {
  IMidiQueue q(4);
  q.Remove();
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.ToDo(), 0);
  EXPECT_EQ(q.Peek().StatusMsg(), IMidiMsg::kNone);
  AddTagged(q, 1, 7);
  EXPECT_EQ(q.Peek().mData1, 7);
  q.Clear();
  EXPECT_TRUE(q.Empty());

  IMidiQueue none(0);  // a queue without room takes nothing and counts what it loses
  EXPECT_FALSE(none.Add(IMidiMsg(3, 0x80, 60, 0)));
  EXPECT_TRUE(none.Empty());
  EXPECT_EQ(none.NDropped(), 1u);
}

TEST(IMidiQueue, FullQueueNeverGrowsAndKeepsReleases) {
  IMidiQueue q(4);
  for (int i = 0; i < 3; ++i) AddTagged(q, 10 * i, i);
  q.Remove();  // room at the front is reused
  AddTagged(q, 15, 10);
  AddTagged(q, 1, 11);
  EXPECT_EQ(q.ToDo(), 4);
  EXPECT_FALSE(q.Add(IMidiMsg(12, 0x90, 12, 100)));  // full: another note on is dropped
  EXPECT_TRUE(q.Add(IMidiMsg(30, 0x80, 1, 0)));      // a note off takes the place of the latest note on
  EXPECT_TRUE(q.Add(IMidiMsg(5, 0xB0, 123, 0)));     // so does all-notes-off ...
  EXPECT_TRUE(q.Add(IMidiMsg(6, 0xB0, 64, 0)));      // ... and a pedal release
  EXPECT_FALSE(q.Add(IMidiMsg(7, 0xB0, 64, 127)));   // not a pedal press
  EXPECT_TRUE(q.Add(IMidiMsg(8, 0x90, 2, 0)));       // a note on with velocity 0 is a release
  EXPECT_FALSE(q.Add(IMidiMsg(9, 0x80, 3, 0)));      // only releases wait: nothing to make way
  EXPECT_EQ(q.GetSize(), 4);
  EXPECT_EQ(q.NDropped(), 7u);
  const std::vector<std::pair<int, int>> expected = {{5, 123}, {6, 64}, {8, 2}, {30, 1}};
  EXPECT_EQ(Drain(q), expected);
}

TEST(IMidiQueue, ResizeKeepsUnreadMessages) {
  IMidiQueue q(4);
  AddTagged(q, 1, 1);
  AddTagged(q, 2, 2);
  AddTagged(q, 3, 3);
  q.Remove();
  q.Resize(100);
  EXPECT_EQ(q.GetSize(), 100);
  q.Resize(1);  // never smaller than what waits
  EXPECT_EQ(q.ToDo(), 2);
  for (int i = 0; i < 98; ++i) AddTagged(q, 50, 10);
  EXPECT_EQ(q.GetSize(), 100);  // the room made in advance was enough
  const auto out = Drain(q);
  ASSERT_EQ(out.size(), 100u);
  EXPECT_EQ(out[0], std::make_pair(2, 2));
  EXPECT_EQ(out[1], std::make_pair(3, 3));
}
