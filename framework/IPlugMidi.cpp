#include "IPlugMidi.h"

#include <algorithm>
#include <new>

namespace iplug {

const IMidiMsg IMidiQueue::kEmptyMsg{};

IMidiQueue::IMidiQueue(int size) {
  try {
    mBuf.resize(size > 0 ? static_cast<size_t>(size) : 0);
  } catch (const std::bad_alloc&) {
    mBuf.clear();  // start without room
  }
}

void IMidiQueue::Compact() {
  if (mFront == 0) return;
  std::copy(mBuf.begin() + mFront, mBuf.begin() + mBack, mBuf.begin());
  mBack -= mFront;
  mFront = 0;
}

bool IMidiQueue::EvictForRelease() {
  for (int i = mBack - 1; i >= mFront; --i) {
    if (mBuf[i].IsRelease()) continue;
    std::copy(mBuf.begin() + i + 1, mBuf.begin() + mBack, mBuf.begin() + i);
    --mBack;
    return true;
  }
  return false;
}

bool IMidiQueue::Add(const IMidiMsg& msg) {
  if (mBack == GetSize() && mFront > 0) Compact();
  if (mBack == GetSize()) {
    CountDrop();  // the message refused, or the one that makes way for it
    if (!msg.IsRelease() || !EvictForRelease()) return false;
  }
  // Walk back over the messages due later; in-order arrival stops at once.
  int pos = mBack;
  while (pos > mFront && mBuf[pos - 1].mOffset > msg.mOffset) {
    mBuf[pos] = mBuf[pos - 1];
    --pos;
  }
  mBuf[pos] = msg;
  ++mBack;
  return true;
}

void IMidiQueue::Flush(int nFrames) {
  for (int i = mFront; i < mBack; ++i) mBuf[i].mOffset -= nFrames;
}

void IMidiQueue::Resize(int size) {
  Compact();
  if (size <= GetSize()) return;
  try {
    mBuf.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    // keep the current room and messages
  }
}

}  // namespace iplug
