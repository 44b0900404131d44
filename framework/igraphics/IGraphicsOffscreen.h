#pragma once

// Drawing without a screen: a graphics context whose "window" is its back buffer, and rendering of any
// context's whole canvas at a chosen scale into a PNG file.

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

class IGraphicsOffscreen : public IGraphics {
public:
  using IGraphics::IGraphics;
  // The parent is not used; the window is the back buffer.
  void* OpenWindow(void* pParent) override;
  void CloseWindow() override { mOpen = false; }
  bool WindowIsOpen() const override { return mOpen; }
  // Writes the back buffer as it was last drawn (DrawDirty); false if the file cannot be written.
  bool WriteToPNG(const char* path);

private:
  bool mOpen = false;
};

// Draws the whole canvas of g at `scale` (any positive scale, independent of g's own) into a PNG file of
// round(width x scale) x round(height x scale) pixels; false if it cannot be written.
bool RenderToPNG(IGraphics& g, float scale, const char* path);

}  // namespace igraphics
}  // namespace iplug
