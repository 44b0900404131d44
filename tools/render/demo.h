#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace render {

// A parameter change of the demo piece: at that time (0: before rendering), by parameter name.
struct DemoChange {
  double seconds;
  const char* param;
  double value;
};

// The demo piece's MIDI file (resources/demo.mid, embedded at build time).
std::span<const uint8_t> demoMidi();
// The demo's settings, in time order: the opening sound, then the Organ and the String sections coming in.
std::span<const DemoChange> demoChanges();

}  // namespace render
