#include "midifile.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

#include "smf.h"

using namespace render;
using smf::Bytes;
using smf::cat;

namespace {

MidiFile parseOk(const Bytes& b) {
  MidiFile f;
  std::string error;
  EXPECT_TRUE(parseMidi(b.data(), b.size(), f, error)) << error;
  EXPECT_TRUE(error.empty());
  return f;
}

std::string parseError(const Bytes& b) {
  MidiFile f;
  std::string error;
  EXPECT_FALSE(parseMidi(b.data(), b.size(), f, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

// Places data right before an inaccessible page, so that reading one byte too far faults.
class GuardedBuffer {
public:
  GuardedBuffer() : mPage(sysconf(_SC_PAGESIZE)) {
    mMem = static_cast<uint8_t*>(mmap(nullptr, 4 * mPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(mMem + 3 * mPage, mPage, PROT_NONE);
  }
  ~GuardedBuffer() { munmap(mMem, 4 * mPage); }
  const uint8_t* place(const uint8_t* data, size_t n) {
    uint8_t* p = mMem + 3 * mPage - n;
    std::memcpy(p, data, n);
    return p;
  }

private:
  size_t mPage;
  uint8_t* mMem;
};

// Track bodies (with end-of-track) of a format 1 file: tempo track and two note tracks with running
// status, a controller, system exclusive, pitch wheel, a text event and a program change.
std::vector<Bytes> sampleTracks() {
  return {cat({Bytes{0x00}, smf::tempo(400000), Bytes{0x83, 0x60}, smf::tempo(600000), Bytes{0x00, 0xFF, 0x2F, 0x00}}),
          {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x3C, 0x00, 0x00, 0xB0, 0x40, 0x7F, 0x10, 0x01, 0x20, 0x00, 0xF0, 0x02,
           0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00},
          {0x81, 0x00, 0xE0, 0x00, 0x40, 0x00, 0xFF, 0x01, 0x02, 'h', 'i', 0x05, 0xC0, 0x07, 0x00, 0xFF, 0x2F, 0x00}};
}

Bytes sampleFile() {
  const std::vector<Bytes> t = sampleTracks();
  return smf::file(1, 480, {smf::track(t[0]), smf::track(t[1]), smf::track(t[2])});
}

}  // namespace

TEST(MidiFile, RunningStatusAndVelocityZeroNoteOffs) {
  // note on 60, running-status note on 62, then both released by velocity-0 note ons, then a controller
  const Bytes b = smf::file(0, 480, {smf::trackEnd({0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x50, 0x83, 0x60, 0x3C, 0x00,
                                                     0x00, 0x3E, 0x00, 0x10, 0xB3, 0x40, 0x7F, 0x00, 0x01, 0x20})});
  const MidiFile f = parseOk(b);
  ASSERT_EQ(f.events.size(), 6u);
  const uint8_t expect[6][3] = {{0x90, 60, 100}, {0x90, 62, 80}, {0x90, 60, 0},
                                {0x90, 62, 0},   {0xB3, 64, 127}, {0xB3, 1, 32}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(f.events[i].status, expect[i][0]) << i;
    EXPECT_EQ(f.events[i].data1, expect[i][1]) << i;
    EXPECT_EQ(f.events[i].data2, expect[i][2]) << i;
  }
  // 480 ticks at the default 120 bpm are half a second; 16 more ticks are 1/60 s.
  EXPECT_DOUBLE_EQ(f.events[2].seconds(), 0.5);
  EXPECT_DOUBLE_EQ(f.events[4].seconds(), 0.5 + 16.0 / 960.0);
  EXPECT_EQ(f.firstTempoBpm, 0.0);
  EXPECT_EQ(f.ticksPerQuarter, 480);
}

TEST(MidiFile, TempoChangesMidFileGiveSamplePositions) {
  // 120 bpm; note at 480; 240 bpm from tick 960; release at 1440; a third tempo (100 bpm) at 1920; note at 2016
  const Bytes b = smf::file(
      0, 480,
      {smf::trackEnd(cat({Bytes{0x00}, smf::tempo(500000), Bytes{0x83, 0x60, 0x90, 0x3C, 0x64, 0x83, 0x60},
                          smf::tempo(250000), Bytes{0x83, 0x60, 0x80, 0x3C, 0x00, 0x83, 0x60}, smf::tempo(600000),
                          Bytes{0x60, 0x90, 0x40, 0x64}}))});
  const MidiFile f = parseOk(b);
  ASSERT_EQ(f.events.size(), 3u);
  EXPECT_DOUBLE_EQ(f.events[0].seconds(), 0.5);
  EXPECT_DOUBLE_EQ(f.events[1].seconds(), 1.25);
  EXPECT_DOUBLE_EQ(f.events[2].seconds(), 1.5 + 96 * 600000 / 480e6);  // 1.62 s
  EXPECT_DOUBLE_EQ(f.firstTempoBpm, 120.0);
  EXPECT_EQ(samplePosition(f.events[0].time, 44100), 22050);
  EXPECT_EQ(samplePosition(f.events[1].time, 44100), 55125);
  EXPECT_EQ(samplePosition(f.events[2].time, 44100), 71442);  // 71442.0
  EXPECT_EQ(samplePosition(f.events[2].time, 48000), 77760);
}

TEST(MidiFile, SamplePositionRoundsHalvesUp) {
  EXPECT_EQ(samplePosition(ExactTime{1, 4}, 6), 2);  // 1.5
  EXPECT_EQ(samplePosition(ExactTime{1, 8}, 4), 1);  // 0.5
  EXPECT_EQ(samplePosition(ExactTime{1249, 10000}, 4), 0);
  EXPECT_EQ(samplePosition(ExactTime{}, 48000), 0);
  EXPECT_EQ(samplePosition(ExactTime{~static_cast<unsigned __int128>(0) / 3, 1}, 48000), int64_t{1} << 62);
  EXPECT_EQ(samplePosition(0.25, 6.0), 2);  // approximate times round the same way
  EXPECT_EQ(samplePosition(1e300, 48000.0), int64_t{1} << 62);
}

TEST(MidiFile, Format1MergesByTimeThenFileOrder) {
  // The conductor track's tempo applies to the other tracks.
  const Bytes b = smf::file(1, 480,
                            {smf::trackEnd(cat({Bytes{0x00}, smf::tempo(250000)})),
                             smf::trackEnd({0x00, 0x90, 0x3C, 0x40, 0x64, 0x3E, 0x40}),
                             smf::trackEnd({0x00, 0x91, 0x40, 0x40, 0x32, 0x41, 0x40, 0x32, 0x42, 0x40, 0x83, 0x60,
                                            0x43, 0x40})});
  const MidiFile f = parseOk(b);
  EXPECT_EQ(f.format, 1);
  EXPECT_EQ(f.tracks, 3);
  ASSERT_EQ(f.events.size(), 6u);
  const int keys[6] = {0x3C, 0x40, 0x41, 0x3E, 0x42, 0x43};
  const int ticks[6] = {0, 0, 50, 100, 100, 580};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(f.events[i].data1, keys[i]) << i;
    EXPECT_EQ(f.events[i].tick, static_cast<uint64_t>(ticks[i])) << i;
  }
  EXPECT_DOUBLE_EQ(f.events[5].seconds(), 580 * 250000 / 480e6);
  EXPECT_DOUBLE_EQ(f.firstTempoBpm, 240.0);
}

TEST(MidiFile, SkipsMetaSysexAndForeignChunksAndDeliversEveryChannelMessage) {
  const Bytes t = smf::track({0x00, 0xFF, 0x03, 0x02, 'a', 'b',   // track name
                              0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7,  // system exclusive
                              0x00, 0xC5, 0x07, 0x00, 0x08,        // program changes, the second by running status
                              0x00, 0xD0, 0x10,                    // channel pressure
                              0x00, 0xE0, 0x00, 0x40,              // pitch wheel
                              0x00, 0xF7, 0x01, 0x00,              // escape sequence
                              0x00, 0xA2, 0x3C, 0x20,              // poly pressure
                              0x00, 0xFF, 0x2F, 0x00,              // end of track...
                              0x00, 0x90, 0x3C, 0x64});            // ...so this is ignored
  const Bytes b = cat({smf::header(0, 1, 96), smf::chunk("XFIH", {1, 2, 3}), t});
  const MidiFile f = parseOk(b);
  ASSERT_EQ(f.events.size(), 5u);
  EXPECT_EQ(f.events[0].status, 0xC5);
  EXPECT_EQ(f.events[0].data1, 7);
  EXPECT_EQ(f.events[1].status, 0xC5);
  EXPECT_EQ(f.events[1].data1, 8);
  EXPECT_EQ(f.events[2].status, 0xD0);
  EXPECT_EQ(f.events[3].status, 0xE0);
  EXPECT_EQ(f.events[3].data2, 0x40);
  EXPECT_EQ(f.events[4].status, 0xA2);

  // A track without an end-of-track event ends with its chunk; running status survives a meta event.
  const MidiFile g = parseOk(smf::file(0, 96, {smf::track({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x10,
                                                           0x3C, 0x00})}));
  ASSERT_EQ(g.events.size(), 2u);
  EXPECT_EQ(g.events[1].status, 0x90);
  EXPECT_EQ(g.events[1].tick, 16u);
}

TEST(MidiFile, SmpteDivisionIgnoresTempo) {
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
  MidiFile f = parseOk(smf::file(0, 0xE728, {smf::trackEnd(cat({Bytes{0x00}, smf::tempo(250000),
                                                               Bytes{0x8B, 0x5C, 0x90, 0x3C, 0x64}}))}));
  ASSERT_EQ(f.events.size(), 1u);
  EXPECT_EQ(f.framesPerSecond, 25);
  EXPECT_EQ(f.ticksPerFrame, 40);
  EXPECT_EQ(f.ticksPerQuarter, 0);
  EXPECT_DOUBLE_EQ(f.events[0].seconds(), 1.5);
  EXPECT_DOUBLE_EQ(f.firstTempoBpm, 240.0);
  // 29 stands for 30000/1001 (29.97) frames per second: 30000 frames last 1001 s.
  f = parseOk(smf::file(0, 0xE301, {smf::trackEnd({0x81, 0xEA, 0x30, 0x90, 0x3C, 0x64})}));
  ASSERT_EQ(f.events.size(), 1u);
  EXPECT_NEAR(f.events[0].seconds(), 1001.0, 1e-9);
}

TEST(MidiFile, RejectsMalformedFilesWithAReason) {
  const Bytes ok = smf::trackEnd({0x00, 0x90, 0x3C, 0x64});
  struct Case {
    const char* what;
    Bytes bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "not a MIDI file"},
      {"RIFF", {'R', 'I', 'F', 'F', 0, 0, 0, 0}, "not a MIDI file"},
      {"short header", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}, "MThd"},
      {"header length 2", cat({smf::chunk("MThd", {0, 0}), ok}), "MThd"},
      {"format 2", cat({smf::header(2, 1, 96), ok}), "format 2"},
      {"format 7", cat({smf::header(7, 1, 96), ok}), "format 7"},
      {"no tracks", smf::header(0, 0, 96), "no tracks"},
      {"division 0", cat({smf::header(0, 1, 0), ok}), "division"},
      {"bad SMPTE rate", cat({smf::header(0, 1, 0xE928), ok}), "SMPTE"},
      {"missing MTrk", cat({smf::header(1, 2, 96), ok}), "missing track 2 of 2"},
      {"only a foreign chunk", cat({smf::header(0, 1, 96), smf::chunk("XXXX", {1})}), "missing track 1"},
      {"truncated chunk header", cat({smf::header(1, 2, 96), ok, {'M', 'T', 'r'}}), "truncated chunk header"},
      {"chunk longer than file", cat({smf::header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 1, 0, 0, 0x90}}), "exceeds"},
      {"five-byte number", cat({smf::header(0, 1, 96), smf::track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64})}),
       "longer than four bytes"},
      {"data without status", cat({smf::header(0, 1, 96), smf::track({0x00, 0x3C, 0x64})}), "without a status"},
      {"event cut short", cat({smf::header(0, 1, 96), smf::track({0x00, 0x90, 0x3C})}), "ends inside"},
      {"delta cut short", cat({smf::header(0, 1, 96), smf::track({0x81})}), "ends inside"},
      {"meta longer than track", cat({smf::header(0, 1, 96), smf::track({0x00, 0xFF, 0x01, 0x09, 'a'})}), "meta"},
      {"sysex longer than track", cat({smf::header(0, 1, 96), smf::track({0x00, 0xF0, 0x05, 0x01})}), "exclusive"},
      {"tempo of 2 bytes", cat({smf::header(0, 1, 96), smf::track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})}), "tempo"},
      {"tempo of 0", cat({smf::header(0, 1, 96), smf::track(cat({Bytes{0x00}, smf::tempo(0)}))}), "tempo"},
      {"real-time byte", cat({smf::header(0, 1, 96), smf::track({0x00, 0xF8})}), "0xF8"},
      {"status as data", cat({smf::header(0, 1, 96), smf::track({0x00, 0x90, 0x3C, 0x90})}), "data byte"},
  };
  for (const Case& c : cases) {
    const std::string e = parseError(c.bytes);
    EXPECT_NE(e.find(c.reason), std::string::npos) << c.what << ": " << e;
  }
}

TEST(MidiFile, NeverReadsPastTheEndOfTruncatedOrCorruptedInput) {
  const Bytes good = sampleFile();
  ASSERT_EQ(parseOk(good).events.size(), 6u);
  GuardedBuffer guard;
  MidiFile f;
  std::string error;
  // Every strict prefix ends inside a declared chunk, so every one is rejected.
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(parseMidi(guard.place(good.data(), n), n, f, error)) << "prefix of " << n << " bytes";
  // A track cut anywhere, with a chunk length that matches the cut: the track reader meets the end of
  // the data inside every kind of event.
  int rejected = 0;
  for (const Bytes& body : sampleTracks()) {
    for (size_t n = 0; n < body.size(); ++n) {
      const Bytes b = cat({smf::header(0, 1, 480), smf::track(Bytes(body.begin(), body.begin() + n))});
      if (!parseMidi(guard.place(b.data(), b.size()), b.size(), f, error)) {
        ++rejected;
        EXPECT_NE(error.find("track 1"), std::string::npos) << error;
      }
    }
  }
  EXPECT_GT(rejected, 30);
  // Random damage: whatever the outcome, no fault and a reason on failure.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes b = good;
    const int hits = 1 + static_cast<int>(rng() % 4);
    for (int h = 0; h < hits; ++h) b[rng() % b.size()] = static_cast<uint8_t>(rng());
    if (parseMidi(guard.place(b.data(), b.size()), b.size(), f, error)) continue;
    EXPECT_FALSE(error.empty());
  }
}

TEST(MidiFile, LoadReportsMissingAndUnreadableFiles) {
  MidiFile f;
  std::string error;
  EXPECT_FALSE(loadMidiFile("no-such-dir/none.mid", f, error));
  EXPECT_NE(error.find("cannot open MIDI file 'no-such-dir/none.mid'"), std::string::npos) << error;
  EXPECT_FALSE(loadMidiFile(".", f, error));
  EXPECT_NE(error.find("cannot read MIDI file '.'"), std::string::npos) << error;

  std::string tmpl = testing::TempDir() + "vantorel-midi-XXXXXX";
  char* path = tmpl.data();
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const Bytes good = sampleFile();
  ASSERT_EQ(write(fd, good.data(), good.size() - 3), static_cast<ssize_t>(good.size() - 3));
  close(fd);
  EXPECT_FALSE(loadMidiFile(path, f, error));
  EXPECT_EQ(error.rfind(std::string("malformed MIDI file '") + path + "': ", 0), 0u) << error;
  unlink(path);
}
