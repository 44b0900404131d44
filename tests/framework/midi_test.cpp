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

  IMidiQueue none(0);  // a queue without room grows on its first message
  AddTagged(none, 3, 1);
  EXPECT_GE(none.GetSize(), 1);
  EXPECT_EQ(none.Peek().mData1, 1);
}

TEST(IMidiQueue, GrowsWhenFullWithoutLosingOrder) {
  IMidiQueue q(4);
  for (int i = 0; i < 3; ++i) AddTagged(q, 10 * i, i);
  q.Remove();  // room at the front is reused before growing
  AddTagged(q, 15, 10);
  AddTagged(q, 1, 11);
  EXPECT_EQ(q.GetSize(), 4);
  AddTagged(q, 12, 12);  // now full: doubles
  EXPECT_EQ(q.GetSize(), 8);
  for (int i = 0; i < 20; ++i) AddTagged(q, 100 - i, 20 + i);
  EXPECT_EQ(q.GetSize(), 32);
  EXPECT_EQ(q.ToDo(), 25);
  const auto out = Drain(q);
  ASSERT_EQ(out.size(), 25u);
  EXPECT_EQ(out[0], std::make_pair(1, 11));
  EXPECT_EQ(out[1], std::make_pair(10, 1));
  EXPECT_EQ(out[2], std::make_pair(12, 12));
  EXPECT_EQ(out[3], std::make_pair(15, 10));
  EXPECT_EQ(out[4], std::make_pair(20, 2));
  for (size_t i = 1; i < out.size(); ++i) EXPECT_LE(out[i - 1].first, out[i].first);
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
