#include "IPlugStructs.h"

#include <bit>

namespace iplug {

static_assert(std::endian::native == std::endian::little, "chunks are stored in little-endian order");

int IByteChunk::PutBytes(const void* buf, int size) {
  if (buf && size > 0) {
    const auto* bytes = static_cast<const uint8_t*>(buf);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
  }
  return Size();
}

int IByteChunk::PutStr(const char* str) {
  const int32_t len = str ? static_cast<int32_t>(strlen(str)) : 0;
  Put(&len);
  return PutBytes(str, len);
}

int IByteChunk::GetBytes(void* buf, int size, int startPos) const {
  if (startPos < 0 || size < 0) return -1;
  if (static_cast<int64_t>(startPos) + size > static_cast<int64_t>(mBytes.size())) return -1;
  if (size > 0) memcpy(buf, mBytes.data() + startPos, static_cast<size_t>(size));
  return startPos + size;
}

int IByteChunk::GetStr(WDL_String& str, int startPos) const {
  int32_t len = 0;
  const int pos = Get(&len, startPos);
  if (pos < 0 || len < 0 || static_cast<int64_t>(pos) + len > Size()) return -1;
  // The bytes carry no terminating zero; Set reads no more than len of them.
  if (len == 0) str.Set("");
  else str.Set(reinterpret_cast<const char*>(mBytes.data() + pos), len);
  return pos + len;
}

}  // namespace iplug
