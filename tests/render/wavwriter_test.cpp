#include "wavwriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <vector>

using namespace render;

namespace {

std::string tempPath(const char* name) { return testing::TempDir() + "vantorel-wav-" + std::to_string(getpid()) + name; }

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

TEST(WavWriter, RoundTripsEveryFormat) {
  // Two writes that the file must hold back to back; values within full scale.
  std::vector<double> left(300), right(300);
  for (int i = 0; i < 300; ++i) {
    left[i] = 0.9 * std::sin(i * 0.05);
    right[i] = -0.5 * std::cos(i * 0.031) + 1e-7 * i;
  }
  const std::pair<SampleFormat, int> formats[] = {{SampleFormat::kS16, SF_FORMAT_PCM_16},
                                                  {SampleFormat::kS24, SF_FORMAT_PCM_24},
                                                  {SampleFormat::kF32, SF_FORMAT_FLOAT},
                                                  {SampleFormat::kF64, SF_FORMAT_DOUBLE}};
  for (const auto& [format, subtype] : formats) {
    const std::string path = tempPath(formatName(format));
    WavWriter w;
    std::string e;
    ASSERT_TRUE(w.open(path, 44100, format, e)) << e;
    ASSERT_TRUE(w.write(left.data(), right.data(), 200, e)) << e;
    ASSERT_TRUE(w.write(left.data() + 200, right.data() + 200, 100, e)) << e;
    ASSERT_TRUE(w.close(e)) << e;
    ReadBack r;
    ASSERT_TRUE(readBack(path, r));
    EXPECT_EQ(r.info.frames, 300);
    EXPECT_EQ(r.info.channels, 2);
    EXPECT_EQ(r.info.samplerate, 44100);
    EXPECT_EQ(r.info.format, SF_FORMAT_WAV | subtype);
    const double tol = format == SampleFormat::kS16 ? 2.0 / 32768 : format == SampleFormat::kS24 ? 2.0 / 8388608
                       : format == SampleFormat::kF32 ? 1e-7 : 0.0;
    double worst = 0;
    for (int i = 0; i < 300; ++i) {
      worst = std::max(worst, std::fabs(r.frames[2 * i] - left[i]));
      worst = std::max(worst, std::fabs(r.frames[2 * i + 1] - right[i]));
    }
    EXPECT_LE(worst, tol) << formatName(format);
    unlink(path.c_str());
  }
}

TEST(WavWriter, IntegerFormatsClipInsteadOfWrapping) {
  const double left[4] = {1.5, -1.5, 1.0, -1.0}, right[4] = {4.0, -4.0, 0.0, 0.0};
  const std::string path = tempPath("clip");
  WavWriter w;
  std::string e;
  ASSERT_TRUE(w.open(path, 48000, SampleFormat::kS16, e)) << e;
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
  WavWriter f;
  ASSERT_TRUE(f.open(path, 48000, SampleFormat::kF64, e)) << e;
  ASSERT_TRUE(f.write(left, right, 4, e)) << e;
  ASSERT_TRUE(f.close(e)) << e;
  ASSERT_TRUE(readBack(path, r));
  EXPECT_EQ(r.frames[1], 4.0);
  unlink(path.c_str());
}

TEST(WavWriter, ReportsUnwritableOutputAndDiscardsUnfinishedFiles) {
  WavWriter w;
  std::string e;
  EXPECT_FALSE(w.open("no-such-dir/x.wav", 48000, SampleFormat::kS24, e));
  EXPECT_NE(e.find("cannot write 'no-such-dir/x.wav'"), std::string::npos) << e;
  EXPECT_EQ(e.find('\n'), std::string::npos);
  const double x[1] = {0};
  EXPECT_FALSE(w.write(x, x, 1, e));

  const std::string path = tempPath("discard");
  ASSERT_TRUE(w.open(path, 48000, SampleFormat::kS24, e)) << e;
  ASSERT_TRUE(w.write(x, x, 1, e));
  w.discard();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(WavWriter, LengthLimitOfTheWavHeader) {
  EXPECT_TRUE(fitsInWav(0, SampleFormat::kF64));
  EXPECT_TRUE(fitsInWav(48000LL * 3600, SampleFormat::kF64));       // an hour at 48 kHz: 2.76 GB
  EXPECT_FALSE(fitsInWav(48000LL * 3600 * 2, SampleFormat::kF64));  // two hours: 5.5 GB
  EXPECT_TRUE(fitsInWav(48000LL * 3600 * 2, SampleFormat::kS24));   // 2.07 GB
  EXPECT_FALSE(fitsInWav(-1, SampleFormat::kS16));
}
