#include "demo.h"

namespace render {
namespace {

// The piece (see make_demo.py) runs at 112 beats per minute (535714 microseconds per quarter note) in 4/4:
// twelve bars in three passages of four.
constexpr double kBar = 4 * 0.535714;

constexpr DemoChange kChanges[] = {
    // Passage 1, Synth alone: bass and lead through a plucked, slightly resonant filter; eighth-note echo.
    {0.0, "Synth: Volume", 0.6},
    {0.0, "VCF: Cutoff", 0.6},
    {0.0, "VCF: Resonance", 0.3},
    {0.0, "VCF: Envelope", 0.35},
    {0.0, "Envelope: Decay", 0.45},
    {0.0, "Envelope: Sustain", 0.45},
    {0.0, "Envelope: Release", 0.3},
    {0.0, "Delay: Sync", 1},
    {0.0, "Delay: Time", 0.5},
    {0.0, "Delay: Feedback", 0.35},
    {0.0, "Delay: Mix", 0.2},
    {0.0, "Delay: Ping-Pong", 1},
    // Passage 2: the Organ joins through the phaser.
    {4 * kBar, "Organ: Volume", 0.3},
    {4 * kBar, "Organ: 4'", 0.6},
    {4 * kBar, "Organ: 16'", 0.4},
    {4 * kBar, "Phaser: Organ", 1},
    {4 * kBar, "Synth: Volume", 0.4},
    // Passage 3: the String section carries the pad; more echo.
    {8 * kBar, "String: Volume", 0.3},
    {8 * kBar, "Phaser: String", 1},
    {8 * kBar, "Organ: Volume", 0.12},
    {8 * kBar, "Synth: Volume", 0.15},
    {8 * kBar, "Delay: Mix", 0.25},
};

}  // namespace

std::span<const DemoChange> demoChanges() { return kChanges; }

}  // namespace render
