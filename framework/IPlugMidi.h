#pragma once

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
  // -1 ... 8191/8192
  double PitchWheel() const { return ((mData2 * 128 + mData1) - 8192) / 8192.0; }
  void Clear() { *this = IMidiMsg(); }
};

// Messages waiting for the block loop, ordered by offset; a new message goes behind every message with an
// equal or smaller offset. Holds its room in advance so that adding on the audio thread does not allocate
// in normal use; when full it grows.
class IMidiQueue {
public:
  static constexpr int kDefaultSize = 512;

  // Room for size messages; if that allocation fails the queue starts without room and grows on the first Add.
  explicit IMidiQueue(int size = kDefaultSize);

  // Inserts msg behind every waiting message with an equal or smaller offset (constant time when offsets
  // arrive in order). When full it first reuses the room of removed messages, then doubles its room; if
  // that allocation fails the message is dropped.
  void Add(const IMidiMsg& msg);
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
  // keeps the room it has if the allocation fails).
  void Resize(int size);
  int GetSize() const { return static_cast<int>(mBuf.size()); }

private:
  static const IMidiMsg kEmptyMsg;
  void Compact();
  bool Grow();
  std::vector<IMidiMsg> mBuf;
  int mFront = 0, mBack = 0;
};

}  // namespace iplug
