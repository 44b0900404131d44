#include "audiowriter.h"

#include <sndfile.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace render {
namespace {

int majorFormat(Container c) {
  switch (c) {
    case Container::kWav: return SF_FORMAT_WAV;
    case Container::kFlac: return SF_FORMAT_FLAC;
    case Container::kOgg: return SF_FORMAT_OGG;
    case Container::kAiff: return SF_FORMAT_AIFF;
  }
  return SF_FORMAT_WAV;
}

int subtype(Container c, SampleFormat f) {
  if (c == Container::kOgg) return SF_FORMAT_VORBIS;
  switch (f) {
    case SampleFormat::kS16: return SF_FORMAT_PCM_16;
    case SampleFormat::kS24: return SF_FORMAT_PCM_24;
    case SampleFormat::kF32: return SF_FORMAT_FLOAT;
    case SampleFormat::kF64: return SF_FORMAT_DOUBLE;
  }
  return SF_FORMAT_PCM_24;
}

}  // namespace

int bytesPerSample(SampleFormat format) {
  switch (format) {
    case SampleFormat::kS16: return 2;
    case SampleFormat::kS24: return 3;
    case SampleFormat::kF32: return 4;
    case SampleFormat::kF64: return 8;
  }
  return 8;
}

bool fitsInFile(int64_t frames, Container container, SampleFormat format) {
  if (frames < 0) return false;
  if (container == Container::kFlac || container == Container::kOgg) return frames < (int64_t{1} << 36);
  // RIFF and FORM sizes are 32 bits; leave room for the header and libsndfile's extra chunks.
  constexpr int64_t kMaxData = 0xFFFFFFFFLL - 4096;
  return frames <= kMaxData / (2 * bytesPerSample(format));
}

AudioWriter::~AudioWriter() {
  if (mFile) sf_close(mFile);
}

bool AudioWriter::open(const std::string& path, int rate, Container container, SampleFormat format,
                       std::string& error) {
  if (mFile) {
    std::string ignored;
    close(ignored);
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = majorFormat(container) | subtype(container, format);
  mPath = path;
  mKind = containerName(container);
  if (container != Container::kOgg) mKind += std::string(" ") + formatName(format);
  mKind += " at " + std::to_string(rate) + " Hz";
  const bool existed = access(path.c_str(), F_OK) == 0;
  mFile = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!mFile) {
    error = failure("cannot write", nullptr);
    // Some types refuse a rate only after creating the file: leave no empty file behind.
    if (!existed) std::remove(path.c_str());
    mPath.clear();
    return false;
  }
  const int sub = info.format & SF_FORMAT_SUBMASK;
  if (sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24) sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}
bool AudioWriter::write(const double* left, const double* right, int n, std::string& error) {
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
    error = failure("cannot write", mFile);
    return false;
  }
  return true;
}

bool AudioWriter::close(std::string& error) {
  if (!mFile) return true;
  sf_write_sync(mFile);
  const int err = sf_error(mFile);
  const std::string text = failure("cannot finish", mFile);
  const int rc = sf_close(mFile);
  mFile = nullptr;
  if (err != SF_ERR_NO_ERROR || rc != 0) {
    error = text;
    return false;
  }
  return true;
}

std::string AudioWriter::failure(const char* what, SNDFILE* file) const {
  std::string text = std::string(what) + " '" + mPath + "': " + sf_strerror(file);
  // Not a file system error: the type refused what it was given (Vorbis and FLAC, for one, limit the rate).
  if (sf_error(file) != SF_ERR_SYSTEM) text += " (" + mKind + ")";
  return text;
}

void AudioWriter::discard() {
  if (mFile) {
    sf_close(mFile);
    mFile = nullptr;
  }
  if (!mPath.empty()) std::remove(mPath.c_str());
  mPath.clear();
}

}  // namespace render
