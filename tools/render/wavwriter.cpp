#include "wavwriter.h"

#include <sndfile.h>

#include <cstdio>

namespace render {

int bytesPerSample(SampleFormat format) {
  switch (format) {
    case SampleFormat::kS16: return 2;
    case SampleFormat::kS24: return 3;
    case SampleFormat::kF32: return 4;
    case SampleFormat::kF64: return 8;
  }
  return 8;
}

bool fitsInWav(int64_t frames, SampleFormat format) {
  // RIFF sizes are 32 bits; leave room for the header and libsndfile's extra chunks.
  constexpr int64_t kMaxData = 0xFFFFFFFFLL - 4096;
  return frames >= 0 && frames <= kMaxData / (2 * bytesPerSample(format));
}

WavWriter::~WavWriter() {
  if (mFile) sf_close(mFile);
}

bool WavWriter::open(const std::string& path, int rate, SampleFormat format, std::string& error) {
  if (mFile) {
    std::string ignored;
    close(ignored);
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  switch (format) {
    case SampleFormat::kS16: info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16; break;
    case SampleFormat::kS24: info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24; break;
    case SampleFormat::kF32: info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT; break;
    case SampleFormat::kF64: info.format = SF_FORMAT_WAV | SF_FORMAT_DOUBLE; break;
  }
  mFile = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!mFile) {
    error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  mPath = path;
  if (format == SampleFormat::kS16 || format == SampleFormat::kS24) sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool WavWriter::write(const double* left, const double* right, int n, std::string& error) {
  if (!mFile) {
    error = "no output file open";
    return false;
  }
  if (mInterleaved.size() < 2 * static_cast<size_t>(n)) mInterleaved.resize(2 * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    mInterleaved[2 * i] = left[i];
    mInterleaved[2 * i + 1] = right[i];
  }
  if (sf_writef_double(mFile, mInterleaved.data(), n) != n) {
    error = "cannot write '" + mPath + "': " + sf_strerror(mFile);
    return false;
  }
  return true;
}

bool WavWriter::close(std::string& error) {
  if (!mFile) return true;
  sf_write_sync(mFile);
  const int err = sf_error(mFile);
  const std::string text = sf_strerror(mFile);
  const int rc = sf_close(mFile);
  mFile = nullptr;
  if (err != SF_ERR_NO_ERROR || rc != 0) {
    error = "cannot finish '" + mPath + "': " + text;
    return false;
  }
  return true;
}

void WavWriter::discard() {
  if (mFile) {
    sf_close(mFile);
    mFile = nullptr;
  }
  if (!mPath.empty()) std::remove(mPath.c_str());
  mPath.clear();
}

}  // namespace render
