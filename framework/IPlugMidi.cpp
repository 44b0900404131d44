#include "IPlugMidi.h"

#include <algorithm>
#include <new>

namespace iplug {

const IMidiMsg IMidiQueue::kEmptyMsg{};

IMidiQueue::IMidiQueue(int size) {
  try {
    mBuf.resize(size > 0 ? static_cast<size_t>(size) : 0);
  } catch (const std::bad_alloc&) {
    mBuf.clear();  // start without room; Add grows
  }
}

void IMidiQueue::Compact() {
  if (mFront == 0) return;
  std::copy(mBuf.begin() + mFront, mBuf.begin() + mBack, mBuf.begin());
  mBack -= mFront;
  mFront = 0;
}

bool IMidiQueue::Grow() {
  const int size = GetSize();
  const int newSize = size > 0 ? 2 * size : kDefaultSize;
  try {
    std::vector<IMidiMsg> grown(static_cast<size_t>(newSize));
    std::copy(mBuf.begin() + mFront, mBuf.begin() + mBack, grown.begin());
    mBack -= mFront;
    mFront = 0;
    mBuf.swap(grown);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void IMidiQueue::Add(const IMidiMsg& msg) {
  if (mBack == GetSize()) {
    if (mFront > 0) {
      Compact();
    } else if (!Grow()) {
      return;
    }
  }
  // Walk back over the messages due later; in-order arrival stops at once.
  int pos = mBack;
  while (pos > mFront && mBuf[pos - 1].mOffset > msg.mOffset) {
    mBuf[pos] = mBuf[pos - 1];
    --pos;
  }
  mBuf[pos] = msg;
  ++mBack;
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
