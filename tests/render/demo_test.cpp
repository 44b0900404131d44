#include "demo.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "midifile.h"

using namespace render;

namespace {

MidiFile demo() {
  MidiFile f;
  std::string e;
  EXPECT_TRUE(parseMidi(demoMidi().data(), demoMidi().size(), f, e)) << e;
  return f;
}

bool isNoteOn(const MidiEvent& e) { return (e.status & 0xF0) == 0x90 && e.data2 > 0; }
bool isNoteOff(const MidiEvent& e) { return (e.status & 0xF0) == 0x80 || ((e.status & 0xF0) == 0x90 && e.data2 == 0); }

}  // namespace

TEST(Demo, EmbeddedPieceIsAShortCompleteTune) {
  const MidiFile f = demo();
  EXPECT_EQ(f.format, 1);
  EXPECT_GT(f.tracks, 1);
  const double length = f.lastEventSeconds() + 3.0;
  EXPECT_GE(length, 20.0);
  EXPECT_LE(length, 30.0);
  EXPECT_GT(f.firstTempoBpm, 0.0);

  // Chords, pedal and mod wheel are used; every key and the pedal are released at the end.
  std::array<int, 128> held{};
  int most = 0, pedalDowns = 0, wheelMoves = 0;
  bool pedal = false;
  for (const MidiEvent& e : f.events) {
    if (isNoteOn(e)) ++held[e.data1];
    if (isNoteOff(e) && held[e.data1] > 0) --held[e.data1];
    int now = 0;
    for (int h : held) now += h;
    most = std::max(most, now);
    if ((e.status & 0xF0) == 0xB0 && e.data1 == 64) {
      pedal = e.data2 != 0;
      pedalDowns += pedal;
    }
    if ((e.status & 0xF0) == 0xB0 && e.data1 == 1 && e.data2 > 0) ++wheelMoves;
  }
  EXPECT_GE(most, 5);  // bass, a triad and the melody at once
  EXPECT_GT(pedalDowns, 0);
  EXPECT_GT(wheelMoves, 0);
  EXPECT_FALSE(pedal);
  for (int k = 0; k < 128; ++k) EXPECT_EQ(held[k], 0) << "key " << k << " left hanging";
}

TEST(Demo, SectionsComeInWhileNoKeyIsHeld) {
  // A section switched on under a held key would start abruptly; the piece rests before each change.
  const MidiFile f = demo();
  double last = 0.0;
  for (const DemoChange& c : demoChanges()) {
    EXPECT_GE(c.seconds, last) << c.param;
    last = c.seconds;
    EXPECT_LT(c.seconds, f.lastEventSeconds());
    if (c.seconds <= 0.0) continue;
    const double quietFrom = c.seconds - 0.25;  // a little ahead: changes act at the start of their block
    std::array<int, 128> held{};
    for (const MidiEvent& e : f.events) {
      if (e.seconds() >= c.seconds - 1e-6) break;  // what starts with the change is not held before it
      if (isNoteOn(e)) ++held[e.data1];
      if (isNoteOff(e) && held[e.data1] > 0) --held[e.data1];
      if (e.seconds() >= quietFrom) {
        EXPECT_FALSE(isNoteOn(e)) << c.param << " at " << c.seconds;
      }
    }
    for (int k = 0; k < 128; ++k) EXPECT_EQ(held[k], 0) << c.param << " at " << c.seconds << ": key " << k;
  }
}
