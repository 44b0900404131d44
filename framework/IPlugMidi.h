#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace iplug {

// One short MIDI message with its sample offset in the block.
struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0, kNoteOff = 8, kNoteOn = 9, kPolyAftertouch = 10, kControlChange = 11, kProgramChange = 12,
    kChannelAftertouch = 13, kPitchWheel = 14
  };

  int mOffset = 0;
  uint8_t mStatus = 0, mData1 = 0, mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
    : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  // High nibble of the status byte for channel messages (0x80 ... 0xEF); kNone otherwise.
  EStatusMsg StatusMsg() const {
    const unsigned nibble = mStatus >> 4;
    return (mStatus >= 0x80 && nibble != 0xF) ? static_cast<EStatusMsg>(nibble) : kNone;
  }
  int Channel() const { return mStatus & 0x0F; }
  int NoteNumber() const { return mData1; }
  int Velocity() const { return mData2; }
  int ControlChangeIdx() const { return mData1; }
  double ControlChange() const { return mData2 / 127.0; }
  int Program() const { return mData1; }
  // Note off (or note on with velocity 0), all sound or notes off, sustain pedal up: messages whose loss
  // would leave notes sounding.
  bool IsRelease() const {
    switch (StatusMsg()) {
      case kNoteOff: return true;
      case kNoteOn: return mData2 == 0;
      case kControlChange: return mData1 == 120 || mData1 == 123 || (mData1 == 64 && mData2 < 64);
      default: return false;
    }
  }
  // -1 ... 8191/8192
  double PitchWheel() const { return ((mData2 * 128 + mData1) - 8192) / 8192.0; }
  void Clear() { *this = IMidiMsg(); }
};

// Messages waiting for the block loop, ordered by offset; a new message goes behind every message with an
// equal or smaller offset. Its room is made in advance (constructor, Resize) and never grows while messages
// are added, so adding allocates nothing. When it is full, a release (IMidiMsg::IsRelease) takes the place
// of the latest other message; any other message, or a release when only releases wait, is dropped. Every
// message lost either way is counted.
class IMidiQueue {
public:
  static constexpr int kDefaultSize = 512;

  // Room for size messages; if that allocation fails the queue starts without room.
  explicit IMidiQueue(int size = kDefaultSize);

  // Inserts msg behind every waiting message with an equal or smaller offset (constant time when offsets
  // arrive in order). Returns false if msg itself was dropped.
  bool Add(const IMidiMsg& msg);
  bool Empty() const { return mFront == mBack; }
  int ToDo() const { return mBack - mFront; }
  // The first waiting message; an empty message (offset 0, no type) when the queue is empty.
  const IMidiMsg& Peek() const { return Empty() ? kEmptyMsg : mBuf[mFront]; }
  // Drops the first waiting message (nothing if empty).
  void Remove() {
    if (mFront < mBack && ++mFront == mBack) mFront = mBack = 0;
  }
  // Subtracts nFrames from the offset of every waiting message.
  void Flush(int nFrames);
  void Clear() { mFront = mBack = 0; }
  // Moves the waiting messages to the front and makes room for at least size messages (never drops one;
  // keeps the room it has if the allocation fails). Not for the audio thread.
  void Resize(int size);
  int GetSize() const { return static_cast<int>(mBuf.size()); }
  // Messages lost because the queue was full, since construction.
  uint32_t NDropped() const { return mDropped.load(std::memory_order_relaxed); }

private:
  static const IMidiMsg kEmptyMsg;
  void Compact();
  // Frees one place for a release by removing the latest other message; false if there is none.
  bool EvictForRelease();
  void CountDrop() { mDropped.store(NDropped() + 1, std::memory_order_relaxed); }
  std::vector<IMidiMsg> mBuf;
  int mFront = 0, mBack = 0;
  std::atomic<uint32_t> mDropped{0};
};

}  // namespace iplug
