#include "audiowriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace render;

namespace {

std::string tempPath(const char* name) {
  return testing::TempDir() + "vantorel-audio-" + std::to_string(getpid()) + name;
}

struct ReadBack {
  SF_INFO info{};
  std::vector<double> frames;  // interleaved
};

bool readBack(const std::string& path, ReadBack& r) {
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.info);
  if (!f) return false;
  r.frames.resize(static_cast<size_t>(r.info.frames) * r.info.channels);
  sf_readf_double(f, r.frames.data(), r.info.frames);
  sf_close(f);
  return true;
}

}  // namespace

TEST(AudioWriter, RoundTripsEveryTypeAndFormat) {
  // Two writes that the file must hold back to back; values within full scale.
  std::vector<double> left(3000), right(3000);
  for (int i = 0; i < 3000; ++i) {
    left[i] = 0.9 * std::sin(i * 0.05);
    right[i] = -0.5 * std::cos(i * 0.031) + 1e-7 * i;
  }
  constexpr double kS16 = 2.0 / 32768, kS24 = 2.0 / 8388608, kLossy = -1;
  struct Case {
    Container container;
    SampleFormat format;
    int sfFormat;
    double tolerance;  // kLossy: only the level is compared
  };
  const Case cases[] = {
      {Container::kWav, SampleFormat::kS16, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kS16},
      {Container::kWav, SampleFormat::kS24, SF_FORMAT_WAV | SF_FORMAT_PCM_24, kS24},
      {Container::kWav, SampleFormat::kF32, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1e-7},
      {Container::kWav, SampleFormat::kF64, SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 0.0},
      {Container::kFlac, SampleFormat::kS16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kS16},
      {Container::kFlac, SampleFormat::kS24, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, kS24},
      {Container::kAiff, SampleFormat::kS16, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, kS16},
      {Container::kAiff, SampleFormat::kS24, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, kS24},
      {Container::kAiff, SampleFormat::kF32, SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 1e-7},
      {Container::kAiff, SampleFormat::kF64, SF_FORMAT_AIFF | SF_FORMAT_DOUBLE, 0.0},
      {Container::kOgg, SampleFormat::kS24, SF_FORMAT_OGG | SF_FORMAT_VORBIS, kLossy},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(containerName(c.container)) + " " + formatName(c.format);
    const std::string path = tempPath("round-trip");
    AudioWriter w;
    std::string e;
    ASSERT_TRUE(w.open(path, 44100, c.container, c.format, e)) << what << ": " << e;
    ASSERT_TRUE(w.write(left.data(), right.data(), 2000, e)) << e;
    ASSERT_TRUE(w.write(left.data() + 2000, right.data() + 2000, 1000, e)) << e;
    ASSERT_TRUE(w.close(e)) << e;
    ReadBack r;
    ASSERT_TRUE(readBack(path, r)) << what;
    EXPECT_EQ(r.info.frames, 3000) << what;
    EXPECT_EQ(r.info.channels, 2) << what;
    EXPECT_EQ(r.info.samplerate, 44100) << what;
    EXPECT_EQ(r.info.format, c.sfFormat) << what;
    double worst = 0, energy = 0, energyBack = 0;
    for (size_t i = 0; i < r.frames.size() / 2; ++i) {
      worst = std::max({worst, std::fabs(r.frames[2 * i] - left[i]), std::fabs(r.frames[2 * i + 1] - right[i])});
      energy += left[i] * left[i] + right[i] * right[i];
      energyBack += r.frames[2 * i] * r.frames[2 * i] + r.frames[2 * i + 1] * r.frames[2 * i + 1];
    }
    if (c.tolerance == kLossy) EXPECT_NEAR(energyBack / energy, 1.0, 0.05) << what;
    else EXPECT_LE(worst, c.tolerance) << what;
    unlink(path.c_str());
  }
}

TEST(AudioWriter, IntegerFormatsClipInsteadOfWrapping) {
  const double left[4] = {1.5, -1.5, 1.0, -1.0}, right[4] = {4.0, -4.0, 0.0, 0.0};
  const std::string path = tempPath("clip");
  AudioWriter w;
  std::string e;
  ASSERT_TRUE(w.open(path, 48000, Container::kWav, SampleFormat::kS16, e)) << e;
  ASSERT_TRUE(w.write(left, right, 4, e)) << e;
  ASSERT_TRUE(w.close(e)) << e;
  ReadBack r;
  ASSERT_TRUE(readBack(path, r));
  ASSERT_EQ(r.info.frames, 4);
  EXPECT_GT(r.frames[0], 0.999);
  EXPECT_LT(r.frames[2], -0.999);
  EXPECT_GT(r.frames[1], 0.999);
  EXPECT_LT(r.frames[3], -0.999);
  unlink(path.c_str());

  // Float files keep values beyond full scale.
  AudioWriter f;
  ASSERT_TRUE(f.open(path, 48000, Container::kWav, SampleFormat::kF64, e)) << e;
  ASSERT_TRUE(f.write(left, right, 4, e)) << e;
  ASSERT_TRUE(f.close(e)) << e;
  ASSERT_TRUE(readBack(path, r));
  EXPECT_EQ(r.frames[1], 4.0);
  unlink(path.c_str());
}

TEST(AudioWriter, ReportsUnwritableOutputAndDiscardsUnfinishedFiles) {
  AudioWriter w;
  std::string e;
  EXPECT_FALSE(w.open("no-such-dir/x.wav", 48000, Container::kWav, SampleFormat::kS24, e));
  EXPECT_NE(e.find("cannot write 'no-such-dir/x.wav'"), std::string::npos) << e;
  EXPECT_EQ(e.find('\n'), std::string::npos);
  const double x[1] = {0};
  EXPECT_FALSE(w.write(x, x, 1, e));
  // A rate the type cannot hold: the message says which, and no empty file is left.
  const std::string flac = tempPath("rate.flac");
  EXPECT_FALSE(w.open(flac, kMaxRate, Container::kFlac, SampleFormat::kS16, e));
  EXPECT_NE(e.find("(FLAC s16 at 768000 Hz)"), std::string::npos) << e;
  EXPECT_NE(access(flac.c_str(), F_OK), 0);

  const std::string path = tempPath("discard");
  ASSERT_TRUE(w.open(path, 48000, Container::kWav, SampleFormat::kS24, e)) << e;
  ASSERT_TRUE(w.write(x, x, 1, e));
  w.discard();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(AudioWriter, LengthLimitOfEachType) {
  EXPECT_TRUE(fitsInFile(0, Container::kWav, SampleFormat::kF64));
  EXPECT_TRUE(fitsInFile(48000LL * 3600, Container::kWav, SampleFormat::kF64));       // an hour at 48 kHz: 2.76 GB
  EXPECT_FALSE(fitsInFile(48000LL * 3600 * 2, Container::kWav, SampleFormat::kF64));  // two hours: 5.5 GB
  EXPECT_FALSE(fitsInFile(48000LL * 3600 * 2, Container::kAiff, SampleFormat::kF64));
  EXPECT_TRUE(fitsInFile(48000LL * 3600 * 2, Container::kWav, SampleFormat::kS24));   // 2.07 GB
  EXPECT_TRUE(fitsInFile(48000LL * 3600 * 2, Container::kFlac, SampleFormat::kS24));
  EXPECT_TRUE(fitsInFile((1LL << 36) - 1, Container::kOgg, SampleFormat::kS24));       // FLAC's 36-bit count
  EXPECT_FALSE(fitsInFile(1LL << 36, Container::kFlac, SampleFormat::kS16));
  EXPECT_FALSE(fitsInFile(-1, Container::kWav, SampleFormat::kS16));
}
