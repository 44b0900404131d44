#pragma once

// Bitmaps: decoded images held as drawing surfaces, and the handle controls keep, which knows how the
// image is cut into frames.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <tuple>

typedef struct _cairo_surface cairo_surface_t;

namespace iplug {
namespace igraphics {

// A frame of an image resampled for one drawing scale, as drawn at a sub-pixel offset (the fraction of
// its device position): the frame's pixels exactly as drawing it there from the image would give them.
struct ScaledFrameKey {
  int frame, nFrames;
  bool framesAreHorizontal;
  double offsetX, offsetY;
  bool operator<(const ScaledFrameKey& o) const {
    return std::tie(frame, nFrames, framesAreHorizontal, offsetX, offsetY) <
           std::tie(o.frame, o.nFrames, o.framesAreHorizontal, o.offsetX, o.offsetY);
  }
};

// A decoded image: a cairo image surface of width x height pixels, and the frames of it already resampled
// for the scale it is being drawn at. Owns the surfaces.
class APIBitmap {
public:
  // What the resampled frames of one image may take before they are dropped and made again as needed.
  static constexpr size_t kMaxScaledBytes = size_t(64) << 20;

  explicit APIBitmap(cairo_surface_t* surface);
  ~APIBitmap();
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  cairo_surface_t* GetSurface() const { return mSurface; }
  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }

  // The frame resampled for scale, or nullptr if it has not been kept. Asking at another scale than the
  // kept frames' drops them all.
  cairo_surface_t* FindScaledFrame(const ScaledFrameKey& key, float scale);
  // Keeps surface (an image surface made for scale) as that frame; takes ownership.
  void KeepScaledFrame(const ScaledFrameKey& key, float scale, cairo_surface_t* surface);
  void DropScaledFrames();

private:
  cairo_surface_t* mSurface;
  int mWidth, mHeight;
  float mScaledAt = 0.0f;
  size_t mScaledBytes = 0;
  std::map<ScaledFrameKey, cairo_surface_t*> mScaledFrames;
};

// Decodes a PNG or JPEG file (chosen by its extension, case-insensitive); nullptr if the file is missing
// or cannot be read.
std::shared_ptr<APIBitmap> LoadAPIBitmap(const char* path);

// A handle to a shared image and the number of frames stacked in it (vertically unless
// framesAreHorizontal). Copies share the image. A default-made or failed bitmap is invalid and has size 0.
class IBitmap {
public:
  IBitmap() = default;
  IBitmap(std::shared_ptr<APIBitmap> image, int nFrames, bool framesAreHorizontal, const char* name)
      : mImage(std::move(image)), mN(nFrames > 0 ? nFrames : 1), mFramesAreHorizontal(framesAreHorizontal),
        mName(name ? name : "") {}

  bool IsValid() const { return mImage != nullptr; }
  APIBitmap* GetAPIBitmap() const { return mImage.get(); }
  // Whole image in pixels (= canvas units).
  int W() const { return mImage ? mImage->GetWidth() : 0; }
  int H() const { return mImage ? mImage->GetHeight() : 0; }
  int N() const { return mN; }
  bool GetFramesAreHorizontal() const { return mFramesAreHorizontal; }
  // One frame.
  int FW() const { return mFramesAreHorizontal ? W() / mN : W(); }
  int FH() const { return mFramesAreHorizontal ? H() : H() / mN; }
  const char* GetResourceName() const { return mName.c_str(); }

private:
  std::shared_ptr<APIBitmap> mImage;
  int mN = 1;
  bool mFramesAreHorizontal = false;
  std::string mName;
};

}  // namespace igraphics
}  // namespace iplug
