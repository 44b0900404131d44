#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

typedef struct sf_private_tag SNDFILE;

namespace render {

// Streams a stereo WAV file through libsndfile. Integer formats clip at full scale instead of wrapping.
class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool open(const std::string& path, int rate, SampleFormat format, std::string& error);
  // Writes n frames taken from the two channel buffers.
  bool write(const double* left, const double* right, int n, std::string& error);
  // Finishes the header; false if the file could not be completed.
  bool close(std::string& error);
  // Closes and deletes an unfinished file.
  void discard();

private:
  SNDFILE* mFile = nullptr;
  std::string mPath;
  std::vector<double> mInterleaved;
};

int bytesPerSample(SampleFormat format);
// Whether a stereo file of that many frames stays within the 4 GiB that a WAV header can describe.
bool fitsInWav(int64_t frames, SampleFormat format);

}  // namespace render
