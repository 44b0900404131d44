#pragma once

// Bitmaps: decoded images held as drawing surfaces, and the handle controls keep, which knows how the
// image is cut into frames.

#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace iplug {
namespace igraphics {

// A decoded image: a cairo image surface of width x height pixels. Owns the surface.
class APIBitmap {
public:
  explicit APIBitmap(cairo_surface_t* surface);
  ~APIBitmap();
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  cairo_surface_t* GetSurface() const { return mSurface; }
  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }

private:
  cairo_surface_t* mSurface;
  int mWidth, mHeight;
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
