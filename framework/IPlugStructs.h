#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "wdlstring.h"

namespace iplug {

// Where a parameter change comes from.
enum EParamSource { kReset = 0, kHost = 1, kPresetRecall = 2, kUI = 3, kDelegate = 4, kRecompile = 5, kUnknown = 6 };

// A growable byte buffer in native (little-endian) order; the carrier of state records and preset chunks.
class IByteChunk {
public:
  IByteChunk() = default;

  // Appends size bytes; returns the new size.
  int PutBytes(const void* buf, int size);
  template <class T> int Put(const T* val) { return PutBytes(val, sizeof(T)); }
  int PutStr(const char* str);  // 32-bit length, then the bytes (no terminating zero)

  // Reads size bytes at startPos; returns the position after them, or -1 if the chunk ends first
  // (or startPos or size is negative).
  int GetBytes(void* buf, int size, int startPos) const;
  template <class T> int Get(T* val, int startPos) const { return GetBytes(val, sizeof(T), startPos); }
  // Reads a string written by PutStr; returns the position after it, or -1 (str unchanged) if the chunk
  // ends first or the length is negative.
  int GetStr(WDL_String& str, int startPos) const;

  int Size() const { return static_cast<int>(mBytes.size()); }
  void Resize(int newSize) { mBytes.resize(newSize > 0 ? newSize : 0); }
  void Clear() { mBytes.clear(); }
  // Reserves capacity so that appending up to n bytes does not allocate.
  void Reserve(int n) { mBytes.reserve(mBytes.size() + (n > 0 ? n : 0)); }
  uint8_t* GetData() { return mBytes.data(); }
  const uint8_t* GetData() const { return mBytes.data(); }
  bool IsEqual(const IByteChunk& other) const { return mBytes == other.mBytes; }

private:
  std::vector<uint8_t> mBytes;
};

// Information a host gives when creating an instance (nothing for VST3).
struct InstanceInfo {};

// The plug-in's configuration record, in field order.
struct Config {
  int nParams;
  int nPresets;
  const char* channelIOStr;
  const char* pluginName;
  const char* productName;
  const char* mfrName;
  int vendorVersion;
  int uniqueID;
  int mfrID;
  int latency;
  bool plugDoesMidiIn;
  bool plugDoesMidiOut;
  bool plugDoesMPE;
  bool plugDoesChunks;
  int plugType;
  bool plugHasUI;
  int plugWidth;
  int plugHeight;
  int plugMinWidth;
  int plugMaxWidth;
  int plugMinHeight;
  int plugMaxHeight;
  bool plugHostResize;
  const char* bundleID;
  const char* appGroupID;
};

// A four-character code as a big-endian 32-bit number (first character in the most significant byte).
constexpr int MakeFourCC(const char (&s)[5]) {
  return (static_cast<int>(static_cast<uint8_t>(s[0])) << 24) | (static_cast<uint8_t>(s[1]) << 16) |
         (static_cast<uint8_t>(s[2]) << 8) | static_cast<uint8_t>(s[3]);
}

}  // namespace iplug
