#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

typedef struct sf_private_tag SNDFILE;

namespace render {

// Streams a stereo WAV, FLAC, Ogg Vorbis or AIFF file through libsndfile. Integer formats clip at full
// scale instead of wrapping. Ogg Vorbis has no sample format of its own choosing: format is ignored.
class AudioWriter {
public:
  AudioWriter() = default;
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  bool open(const std::string& path, int rate, Container container, SampleFormat format, std::string& error);
  // Writes n frames taken from the two channel buffers.
  bool write(const double* left, const double* right, int n, std::string& error);
  // Finishes the header; false if the file could not be completed.
  bool close(std::string& error);
  // Closes and deletes an unfinished file.
  void discard();

private:
  // The message for a failure of file (nullptr: of opening it), naming the type where it is to blame.
  std::string failure(const char* what, SNDFILE* file) const;

  SNDFILE* mFile = nullptr;
  std::string mPath;
  std::string mKind;  // type, sample format and rate, for messages
  std::vector<double> mInterleaved;
};

int bytesPerSample(SampleFormat format);
// Whether a stereo file of that many frames can be written: WAV and AIFF headers describe at most 4 GiB,
// FLAC counts frames in 36 bits; Ogg Vorbis, which has no limit of its own, gets FLAC's.
bool fitsInFile(int64_t frames, Container container, SampleFormat format);

}  // namespace render
