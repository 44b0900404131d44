#pragma once

#include <bit>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "pages.h"

// One immutable table set per sample rate in use, shared by every object of the process that runs at that
// rate and freed when the last of them lets go of it. Called on the set-up thread, never on the audio
// thread; instances at other rates never see their tables change.
template <class Tables>
std::shared_ptr<const Tables> acquireRateTables(double fs, void (*build)(Tables&, double)) {
  static std::mutex mutex;
  static std::map<uint64_t, std::weak_ptr<const Tables>> cache;
  const uint64_t key = std::bit_cast<uint64_t>(fs);
  std::lock_guard<std::mutex> lock(mutex);
  for (auto it = cache.begin(); it != cache.end();) {
    if (it->second.expired())
      it = cache.erase(it);
    else
      ++it;
  }
  if (auto it = cache.find(key); it != cache.end()) {
    if (auto held = it->second.lock()) return held;
  }
  auto* fresh = new Tables;
  prefaultPages(fresh, sizeof(Tables));  // the build writes every page
  build(*fresh, fs);
  std::shared_ptr<const Tables> shared(fresh);
  cache[key] = shared;
  return shared;
}
