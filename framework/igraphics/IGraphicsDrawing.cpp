// Drawing on cairo: the primitives controls use, region rendering at a scale, the back buffer, and
// the bitmap and font resources.
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <mutex>

#include "IControls.h"
#include "IGraphics.h"

namespace iplug {
namespace igraphics {

namespace {

// One FreeType library for the process: cairo may keep font faces in its caches after the context that
// loaded them has gone, so the library is never shut down.
FT_Library FreeType() {
  static FT_Library library = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  });
  return library;
}

const cairo_user_data_key_t kFaceKey{};

cairo_font_face_t* NewFontFace(const char* path) {
  FT_Library library = FreeType();
  FT_Face face = nullptr;
  if (!library || FT_New_Face(library, path, 0, &face) != 0) return nullptr;
  cairo_font_face_t* fontFace = cairo_ft_font_face_create_for_ft_face(face, 0);
  // The FreeType face lives as long as cairo's font face.
  if (cairo_font_face_set_user_data(fontFace, &kFaceKey, face,
                                    [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); }) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(fontFace);
    FT_Done_Face(face);
    return nullptr;
  }
  return fontFace;
}

// The font face of a file, loaded once for the process: cairo keeps faces in its caches after every user
// has let them go, so a face made for each editor opening would pile up. Returns a new reference, or
// nullptr if the file cannot be loaded (tried again next time).
cairo_font_face_t* LoadFontFace(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, cairo_font_face_t*> faces;
  std::lock_guard<std::mutex> lock(mutex);
  cairo_font_face_t*& face = faces[path];
  if (!face) face = NewFontFace(path.c_str());
  return face ? cairo_font_face_reference(face) : nullptr;
}

cairo_operator_t Operator(const IBlend* pBlend) {
  if (!pBlend) return CAIRO_OPERATOR_OVER;
  switch (pBlend->mMethod) {
    case EBlend::Clobber: return CAIRO_OPERATOR_SOURCE;
    case EBlend::Add: return CAIRO_OPERATOR_ADD;
    case EBlend::Default: break;
  }
  return CAIRO_OPERATOR_OVER;
}

double Weight(const IBlend* pBlend) { return pBlend ? pBlend->mWeight : 1.0; }

}  // namespace

IGraphics::~IGraphics() {
  // Controls go before the resources they show. The images stay for the next editor, without the frames
  // resampled for this one's scale.
  RemoveAllControls();
  for (auto& bitmap : mBitmaps)
    if (bitmap.second) bitmap.second->DropScaledFrames();
  for (auto& font : mFonts) cairo_font_face_destroy(font.second);
  if (mBackBuffer) cairo_surface_destroy(mBackBuffer);
}

// --- resources ---

namespace {
std::string ResourceFile(const IGEditorDelegate& dlg, const char* name) {
  if (name[0] == '/') return name;
  return std::string(dlg.GetResourcePath()) + name;
}

// The decoded image of a file, decoded once for the process and shared by every editor, so that opening
// an editor again (or another instance's) decodes nothing. nullptr if the file cannot be read (tried
// again next time).
std::shared_ptr<APIBitmap> SharedImage(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<APIBitmap>> images;
  std::lock_guard<std::mutex> lock(mutex);
  std::shared_ptr<APIBitmap>& image = images[path];
  if (!image) image = LoadAPIBitmap(path.c_str());
  return image;
}
}  // namespace

IBitmap IGraphics::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int /*targetScale*/) {
  if (!name) return IBitmap();
  auto found = mBitmaps.find(name);
  if (found == mBitmaps.end())
    found = mBitmaps.emplace(name, SharedImage(ResourceFile(mDelegate, name))).first;
  return found->second ? IBitmap(found->second, nStates, framesAreHorizontal, name) : IBitmap();
}

bool IGraphics::LoadFont(const char* fontID, const char* fileName) {
  if (!fontID || !fileName) return false;
  if (mFonts.count(fontID)) return true;
  cairo_font_face_t* face = LoadFontFace(ResourceFile(mDelegate, fileName));
  if (!face) return false;
  mFonts[fontID] = face;
  return true;
}

// --- primitives ---

void IGraphics::SetSource(const IColor& color, const IBlend* pBlend) {
  cairo_set_operator(mContext, Operator(pBlend));
  cairo_set_source_rgba(mContext, color.R / 255.0, color.G / 255.0, color.B / 255.0,
                        color.A / 255.0 * Weight(pBlend));
}

void IGraphics::Fill() {
  cairo_fill(mContext);
  cairo_set_operator(mContext, CAIRO_OPERATOR_OVER);
}

void IGraphics::Stroke(float thickness) {
  cairo_set_line_width(mContext, thickness);
  cairo_stroke(mContext);
  cairo_set_operator(mContext, CAIRO_OPERATOR_OVER);
}

void IGraphics::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* pBlend,
                         float thickness) {
  if (!mContext) return;
  SetSource(color, pBlend);
  cairo_move_to(mContext, x1, y1);
  cairo_line_to(mContext, x2, y2);
  Stroke(thickness);
}

void IGraphics::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* pBlend, float thickness) {
  if (!mContext) return;
  SetSource(color, pBlend);
  cairo_rectangle(mContext, bounds.L, bounds.T, bounds.W(), bounds.H());
  Stroke(thickness);
}

void IGraphics::PathClipRegion(const IRECT& bounds) {
  if (!mContext) return;
  cairo_rectangle(mContext, bounds.L, bounds.T, bounds.W(), bounds.H());
  cairo_clip(mContext);
}

void IGraphics::FillRect(const IColor& color, const IRECT& bounds, const IBlend* pBlend) {
  if (!mContext) return;
  SetSource(color, pBlend);
  cairo_rectangle(mContext, bounds.L, bounds.T, bounds.W(), bounds.H());
  Fill();
}

void IGraphics::FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius, const IBlend* pBlend) {
  if (!mContext) return;
  const double r = std::clamp<double>(cornerRadius, 0.0, 0.5 * std::min(bounds.W(), bounds.H()));
  const double l = bounds.L, t = bounds.T, rt = bounds.R, b = bounds.B;
  SetSource(color, pBlend);
  cairo_new_sub_path(mContext);
  cairo_arc(mContext, rt - r, t + r, r, -M_PI / 2.0, 0.0);
  cairo_arc(mContext, rt - r, b - r, r, 0.0, M_PI / 2.0);
  cairo_arc(mContext, l + r, b - r, r, M_PI / 2.0, M_PI);
  cairo_arc(mContext, l + r, t + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(mContext);
  Fill();
}

void IGraphics::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* pBlend) {
  if (!mContext || !(r > 0.0f)) return;
  SetSource(color, pBlend);
  cairo_new_sub_path(mContext);
  cairo_arc(mContext, cx, cy, r, 0.0, 2.0 * M_PI);
  Fill();
}

void IGraphics::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                             const IBlend* pBlend) {
  if (!mContext) return;
  SetSource(color, pBlend);
  cairo_move_to(mContext, x1, y1);
  cairo_line_to(mContext, x2, y2);
  cairo_line_to(mContext, x3, y3);
  cairo_close_path(mContext);
  Fill();
}

namespace {

// Fills the rectangle of frame (srcX, srcY, fw x fh) of image, its top left at the user-space origin.
void FillFrame(cairo_t* cr, cairo_surface_t* image, int srcX, int srcY, int fw, int fh, cairo_filter_t filter,
               double alpha) {
  // The frame alone as the source, so that filtering at a scale never reaches a neighbouring frame.
  cairo_surface_t* source = cairo_surface_create_for_rectangle(image, srcX, srcY, fw, fh);
  cairo_set_source_surface(cr, source, 0.0, 0.0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, filter);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0.0, 0.0, fw, fh);
  if (alpha < 1.0) {
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, alpha);
  } else {
    cairo_fill(cr);
  }
  cairo_surface_destroy(source);
}

// The frame resampled at scale, shifted by the sub-pixel offset (offsetX, offsetY) it is drawn at.
cairo_surface_t* ResampleFrame(cairo_surface_t* image, int srcX, int srcY, int fw, int fh, double scale,
                               double offsetX, double offsetY) {
  const int w = static_cast<int>(std::ceil(offsetX + fw * scale));
  const int h = static_cast<int>(std::ceil(offsetY + fh * scale));
  cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1));
  cairo_t* cr = cairo_create(frame);
  cairo_save(cr);
  cairo_translate(cr, offsetX, offsetY);
  cairo_scale(cr, scale, scale);
  cairo_surface_t* source = cairo_surface_create_for_rectangle(image, srcX, srcY, fw, fh);
  cairo_set_source_surface(cr, source, 0.0, 0.0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  // The whole surface at once takes pixman's quick scaling paths; what lies outside the frame is cleared
  // after, its edge pixels in part, as a clip to the frame would have left them.
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_surface_destroy(source);
  cairo_restore(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_rectangle(cr, 0.0, 0.0, w, h);
  cairo_rectangle(cr, offsetX, offsetY, fw * scale, fh * scale);
  cairo_fill(cr);
  cairo_destroy(cr);
  return frame;
}

}  // namespace

// Resampling is what drawing a bitmap at a scale costs: each frame is resampled once for the scale and the
// sub-pixel offset it is drawn at, and kept with its image. While the corner is dragged (a new scale at
// every step) frames are drawn straight from the image with the quicker bilinear filter instead.
void IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame, const IBlend* pBlend) {
  if (!mContext || !bitmap.IsValid()) return;
  frame = std::clamp(frame, 1, bitmap.N());
  const int fw = bitmap.FW(), fh = bitmap.FH();
  if (fw <= 0 || fh <= 0) return;
  const int srcX = bitmap.GetFramesAreHorizontal() ? (frame - 1) * fw : 0;
  const int srcY = bitmap.GetFramesAreHorizontal() ? 0 : (frame - 1) * fh;
  cairo_surface_t* image = bitmap.GetAPIBitmap()->GetSurface();
  const IRECT frameRect(bounds.L, bounds.T, bounds.L + fw, bounds.T + fh);
  const IRECT area = bounds.Intersect(frameRect);
  double x = bounds.L, y = bounds.T;
  cairo_user_to_device(mContext, &x, &y);
  const double offsetX = x - std::floor(x), offsetY = y - std::floor(y);
  const bool asIs = mContextScale == 1.0f && offsetX == 0.0 && offsetY == 0.0;

  cairo_save(mContext);
  cairo_set_operator(mContext, Operator(pBlend));
  if (area != frameRect) {
    cairo_rectangle(mContext, area.L, area.T, area.W(), area.H());
    cairo_clip(mContext);
  }
  if (asIs || mResizingInProcess) {
    cairo_translate(mContext, bounds.L, bounds.T);
    FillFrame(mContext, image, srcX, srcY, fw, fh, asIs ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR, Weight(pBlend));
  } else {
    APIBitmap& cache = *bitmap.GetAPIBitmap();
    const ScaledFrameKey key{frame, bitmap.N(), bitmap.GetFramesAreHorizontal(), offsetX, offsetY};
    cairo_surface_t* scaled = cache.FindScaledFrame(key, mContextScale);
    if (!scaled) {
      scaled = ResampleFrame(image, srcX, srcY, fw, fh, mContextScale, offsetX, offsetY);
      cache.KeepScaledFrame(key, mContextScale, scaled);
    }
    cairo_identity_matrix(mContext);
    cairo_set_source_surface(mContext, scaled, std::floor(x), std::floor(y));
    cairo_paint_with_alpha(mContext, Weight(pBlend));
  }
  cairo_restore(mContext);
}

// --- text ---

namespace {

void SetFont(cairo_t* cr, const std::map<std::string, cairo_font_face_t*>& fonts, const IText& text) {
  const auto found = fonts.find(text.mFont);
  if (found != fonts.end())
    cairo_set_font_face(cr, found->second);
  else
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, text.mSize);
  // Unhinted outlines and metrics: the same layout at every scale.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// The box of str (advance width x font height) aligned in bounds; baseline receives its baseline.
IRECT TextBox(cairo_t* cr, const IText& text, const char* str, const IRECT& bounds, double& baseline) {
  cairo_text_extents_t te;
  cairo_font_extents_t fe;
  cairo_text_extents(cr, str, &te);
  cairo_font_extents(cr, &fe);
  const double w = te.x_advance, h = fe.ascent + fe.descent;
  double l = bounds.L;
  if (text.mAlign == EAlign::Center) l = bounds.MW() - 0.5 * w;
  if (text.mAlign == EAlign::Far) l = bounds.R - w;
  double t = bounds.T;
  if (text.mVAlign == EVAlign::Middle) t = bounds.MH() - 0.5 * h;
  if (text.mVAlign == EVAlign::Bottom) t = bounds.B - h;
  baseline = t + fe.ascent;
  return IRECT(static_cast<float>(l), static_cast<float>(t), static_cast<float>(l + w), static_cast<float>(t + h));
}

}  // namespace

void IGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* pBlend) {
  if (!mContext || !str || !*str) return;
  cairo_save(mContext);
  if (text.mAngle != 0.0f) {
    cairo_translate(mContext, bounds.MW(), bounds.MH());
    cairo_rotate(mContext, text.mAngle * M_PI / 180.0);
    cairo_translate(mContext, -bounds.MW(), -bounds.MH());
  }
  SetFont(mContext, mFonts, text);
  double baseline = 0.0;
  const IRECT box = TextBox(mContext, text, str, bounds, baseline);
  SetSource(text.mFGColor, pBlend);
  cairo_move_to(mContext, box.L, baseline);
  cairo_show_text(mContext, str);
  cairo_restore(mContext);
}

float IGraphics::MeasureText(const IText& text, const char* str, IRECT& bounds) {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  SetFont(cr, mFonts, text);
  double baseline = 0.0;
  bounds = TextBox(cr, text, str ? str : "", bounds, baseline);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return bounds.W();
}

// --- rendering ---

void IGraphics::DrawRegion(cairo_t* cr, const IRECT& canvasArea, float scale) {
  const IRECT pixels = canvasArea.GetScaled(scale).GetPixelAligned();
  if (pixels.Empty() || !(scale > 0.0f)) return;
  const IRECT area = pixels.GetScaled(1.0f / scale);
  cairo_save(cr);
  cairo_rectangle(cr, pixels.L, pixels.T, pixels.W(), pixels.H());
  cairo_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 1.0);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_scale(cr, scale, scale);
  cairo_t* previous = mContext;
  const float previousScale = mContextScale;
  mContext = cr;
  mContextScale = scale;
  auto draw = [&](IControl& c) {
    if (c.IsHidden() || !c.GetDrawRECT().Intersects(area)) return;
    cairo_save(cr);
    c.Draw(*this);
    cairo_restore(cr);
  };
  for (auto& c : mControls) draw(*c);
  if (mCornerResizer) draw(*mCornerResizer);
  for (IControl* overlay : OpenOverlays()) draw(*overlay);
  mContext = previous;
  mContextScale = previousScale;
  cairo_restore(cr);
}

cairo_surface_t* IGraphics::GetBackBuffer() {
  if (!mBackBuffer) {
    mBackBuffer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, WindowWidth()),
                                             std::max(1, WindowHeight()));
    mFullRedraw = true;
  }
  return mBackBuffer;
}

void IGraphics::ResetBackBuffer() {
  if (mBackBuffer) cairo_surface_destroy(mBackBuffer);
  mBackBuffer = nullptr;
  mFullRedraw = true;
}

IRECT IGraphics::DrawDirty() {
  cairo_surface_t* target = GetBackBuffer();
  IRECT area;
  if (mFullRedraw) {
    area = GetBounds();
  } else {
    // A hidden control's area counts too: what lies beneath it must be drawn again.
    ForAllControls([&](IControl& c) {
      if (c.IsDirty()) area = area.Union(c.GetDrawRECT());
    });
    for (IControl* overlay : OpenOverlays())
      if (overlay->IsDirty()) area = area.Union(overlay->GetDrawRECT());
    area = area.Union(mDirtyArea);
    // One more pixel around it, which filtering at a scale may reach.
    area = area.Empty() ? area : area.GetPadded(1.0f / mDrawScale);
  }
  area = area.Intersect(GetBounds());
  ForAllControls([](IControl& c) { c.SetClean(); });
  for (IControl* overlay : OpenOverlays()) overlay->SetClean();
  mDirtyArea = IRECT();
  mFullRedraw = false;
  if (area.Empty()) return IRECT();
  cairo_t* cr = cairo_create(target);
  DrawRegion(cr, area, mDrawScale);
  cairo_destroy(cr);
  cairo_surface_flush(target);
  const IRECT window(0.0f, 0.0f, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()));
  return area.GetScaled(mDrawScale).GetPixelAligned().Intersect(window);
}

}  // namespace igraphics
}  // namespace iplug
