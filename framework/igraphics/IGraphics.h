#pragma once

// The editor's graphics context: a canvas of Width() x Height() units shown at a drawing scale
// (window pixels = canvas units x scale), the controls attached to it, the bitmaps and fonts it loaded,
// the drawing operations controls use, mouse dispatch and redrawing of dirty regions. Drawing goes to a
// window-sized image (the back buffer) that platform back ends copy to their window.
//
// Menus, text entry and the editor window's own dialog boxes are drawn over the controls (overlays) and
// take the mouse and the keyboard while they are open; message boxes and file dialogs go through the
// context's IDialogs and block until answered.
//
// The IGEditorDelegate in the framework core uses only the virtual and inline members of this class.

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IBitmap.h"
#include "IControl.h"
#include "IDialogs.h"
#include "IGEditorDelegate.h"
#include "IGraphicsStructs.h"
#include "IPopupMenuControl.h"
#include "ITextEntryControl.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_font_face cairo_font_face_t;

namespace iplug {
namespace igraphics {

class ICornerResizerControl;

using IMsgBoxCompletionHandlerFunc = std::function<void(EMsgBoxResult result)>;
using IFileDialogCompletionHandlerFunc = std::function<void(const WDL_String& fileName, const WDL_String& path)>;

class IGraphics {
public:
  IGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.0f);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  IGEditorDelegate* GetDelegate() const { return &mDelegate; }

  // --- the platform window (back ends) ---
  // Opens the window inside pParent; returns it, or nullptr on failure.
  virtual void* OpenWindow(void* pParent) = 0;
  virtual void CloseWindow() = 0;
  virtual bool WindowIsOpen() const = 0;
  // Deletes the context: at once, or when the platform callback running inside it returns (a host may
  // close the editor from inside one).
  virtual void Destroy() { delete this; }
  // Platform data given before the window opens (Linux: the host's Steinberg::Linux::IRunLoop).
  virtual void SetPlatformContext(void* pContext) { mPlatformContext = pContext; }
  void* GetPlatformContext() const { return mPlatformContext; }
  virtual bool PlatformSupportsMultiTouch() const { return false; }
  virtual void SetMouseCursor(ECursor cursor) { mCursor = cursor; }
  ECursor GetMouseCursor() const { return mCursor; }

  // --- size and scale ---
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  float GetDrawScale() const { return mDrawScale; }
  int FPS() const { return mFPS; }
  // The window in pixels: the canvas times the scale, rounded.
  int WindowWidth() const { return ToPixels(mWidth); }
  int WindowHeight() const { return ToPixels(mHeight); }
  IRECT GetBounds() const { return IRECT(0.0f, 0.0f, static_cast<float>(mWidth), static_cast<float>(mHeight)); }
  // Sets the canvas size and the scale (held to the scale constraints). Controls are told (OnRescale) and
  // everything is redrawn; the delegate learns the new window size, and with needsPlatformResize the
  // window and the host's window follow.
  void Resize(int w, int h, float scale, bool needsPlatformResize = true);
  // The range Resize holds scales to.
  void SetScaleConstraints(float lo, float hi);
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }

  // --- interaction switches ---
  void EnableTooltips(bool enable) { mEnableTooltips = enable; }
  bool TooltipsEnabled() const { return mEnableTooltips; }
  // Controls receive OnMouseOver/OnMouseOut only while this is on.
  void EnableMouseOver(bool enable) { mEnableMouseOver = enable; }
  bool MouseOverEnabled() const { return mEnableMouseOver; }
  void EnableMultiTouch(bool enable) { mEnableMultiTouch = enable; }
  bool MultiTouchEnabled() const { return mEnableMultiTouch; }

  // --- controls ---
  // Takes ownership; later controls lie above earlier ones. Calls the control's OnInit.
  IControl* AttachControl(IControl* pControl, int ctrlTag = kNoTag, const char* group = "");
  // The corner resizer lies above every control; it is placed for the current scale at once. The panel is
  // never laid out again on a size change, so layoutOnResize must be false.
  void AttachCornerResizer(ICornerResizerControl* pControl, EUIResizerMode sizeMode = EUIResizerMode::Scale,
                           bool layoutOnResize = false);
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int idx) const { return (idx >= 0 && idx < NControls()) ? mControls[idx].get() : nullptr; }
  // The first control attached with this tag, or nullptr.
  IControl* GetControlWithTag(int ctrlTag) const;
  ICornerResizerControl* GetCornerResizer() const { return mCornerResizer.get(); }
  void RemoveAllControls();
  void ForAllControls(const std::function<void(IControl&)>& func);
  void SetAllControlsDirty();
  // Moves every control bound to paramIdx to normalizedValue and marks it for redrawing (no value goes
  // back to the delegate); controls that show the parameter unbound are marked for redrawing.
  virtual void SetControlValueFromDelegate(int paramIdx, double normalizedValue);

  // --- menus and text entry (drawn in the window, above every control) ---
  // Shows menu next to bounds (or at the point x, y); the control hears the choice, or the dismissal, in
  // OnPopupMenuSelection. Returns the menu, or nullptr when nothing is shown (no items, a dialog open).
  IPopupMenu* CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx = 0);
  IPopupMenu* CreatePopupMenu(IControl& control, IPopupMenu& menu, float x, float y, int valIdx = 0) {
    return CreatePopupMenu(control, menu, IRECT(x, y, x, y), valIdx);
  }
  // Opens a field over bounds holding str, in text's style and entry colours, at most the control's text
  // entry length long; the control hears the completed text in OnTextEntryCompletion.
  void CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds, const char* str = "",
                       int valIdx = 0);
  // The menu and the text entry (nullptr until first used).
  IPopupMenuControl* GetPopupMenuControl() const { return mPopupControl.get(); }
  ITextEntryControl* GetTextEntryControl() const { return mTextEntryControl.get(); }

  // --- dialogs (blocking) ---
  // The button pressed; the completion handler, if any, hears it too.
  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               IMsgBoxCompletionHandlerFunc completionHandler = nullptr);
  // Asks for a file starting in path, fileName proposing a name; afterwards fileName is the chosen file's
  // full path, or empty when the user cancelled.
  void PromptForFile(WDL_String& fileName, WDL_String& path, EFileAction action = EFileAction::Open,
                     const char* ext = "", IFileDialogCompletionHandlerFunc completionHandler = nullptr);
  // Opens url in the browser, after a yes to confirmMsg if one is given; errMsgOnFailure, if given, is
  // shown when no browser could be started.
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr);
  // Replaces how the questions are asked (tests answer them themselves).
  void SetDialogs(std::unique_ptr<IDialogs> dialogs) {
    if (dialogs) mDialogs = std::move(dialogs);
  }
  // Shows overlay (the window's own dialog box) above everything with all input until done() or until the
  // window closes; false if the platform cannot wait for the user (no window) or the window closed.
  bool RunModal(IControl& overlay, const std::function<bool()>& done);

  // --- keyboard (from the platform window or the host) ---
  // Returns whether the key was used: only while a menu, text entry or dialog box is open.
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
  virtual bool OnKeyUp(float x, float y, const IKeyPress& key);
  // Takes the keyboard while an overlay is open and gives it back after (overlays call this).
  void UpdateKeyboardFocus();

  // --- drag resizing by the corner resizer ---
  void StartDragResize() { mResizingInProcess = true; }
  bool GetResizingInProcess() const { return mResizingInProcess; }
  EUIResizerMode GetResizerMode() const { return mResizerMode; }

  // --- resources (from the delegate's resource folder; an absolute name is used as it is) ---
  // A PNG or JPEG image whose nStates frames are stacked vertically (or side by side). Decoded once for
  // the process; a missing file gives an invalid bitmap, which draws nothing. One resolution is kept, so
  // targetScale is not used.
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false, int targetScale = 0);
  // A TrueType font file under the identifier texts name in IText::mFont; false if it cannot be loaded
  // (texts in that font then use a default sans-serif face).
  bool LoadFont(const char* fontID, const char* fileName);

  // --- drawing, for controls' Draw (canvas units) ---
  // Frame `frame` (1 ... N) of the bitmap at the top-left of bounds, clipped to bounds.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame = 1, const IBlend* pBlend = nullptr);
  // One line of text aligned in bounds as the style says.
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* pBlend = nullptr);
  // Sets bounds to the box of str aligned in bounds as the style says; returns its width.
  float MeasureText(const IText& text, const char* str, IRECT& bounds);
  void FillRect(const IColor& color, const IRECT& bounds, const IBlend* pBlend = nullptr);
  void FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.0f,
                     const IBlend* pBlend = nullptr);
  void FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* pBlend = nullptr);
  void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* pBlend = nullptr);
  // Lines of thickness canvas units.
  void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* pBlend = nullptr,
                float thickness = 1.0f);
  void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* pBlend = nullptr, float thickness = 1.0f);
  // Limits the drawing of the control being drawn to bounds (until its Draw returns).
  void PathClipRegion(const IRECT& bounds);

  // --- rendering ---
  // Draws every visible control meeting canvasArea (whole pixels around it) into cr at `scale`; cr's
  // origin is the canvas origin.
  void DrawRegion(cairo_t* cr, const IRECT& canvasArea, float scale);
  // Redraws what is dirty (everything after a resize or at first) into the back buffer and clears the
  // dirty marks; returns the window pixels that changed (empty if none).
  IRECT DrawDirty();
  // The window-sized image drawn into (made on first use).
  cairo_surface_t* GetBackBuffer();
  // Marks an area (canvas units) for redrawing: where an overlay was or now is.
  void SetAreaDirty(const IRECT& area) { mDirtyArea = mDirtyArea.Union(area); }

  // --- mouse input from the platform, in canvas units ---
  // Press, release and drag go to the control hit at the press; controls bound to a parameter are wrapped
  // in one edit gesture from press to release. Hidden controls take no mouse input.
  void OnMouseDown(float x, float y, const IMouseMod& mod);
  void OnMouseUp(float x, float y, const IMouseMod& mod);
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta);
  // The pointer moved with no button held; returns whether it is over a control.
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  // The pointer left the window.
  void OnMouseOut();
  // The topmost visible control under the point (the corner resizer first), or nullptr.
  IControl* GetMouseControl(float x, float y) const;
  // The control that took the last press until its release, or nullptr.
  IControl* GetCapturedControl() const { return mMouseCapture; }

protected:
  // The platform window takes WindowWidth() x WindowHeight().
  virtual void PlatformResize() {}
  // Handles the window's own events until done() (RunModal); false if it cannot or the window went.
  virtual bool RunModalLoop(const std::function<bool()>& /*done*/) { return false; }
  // The window takes (or gives back) the keyboard.
  virtual void PlatformKeyboardFocus(bool /*take*/) {}
  int ToPixels(int units) const { return static_cast<int>(std::lround(units * mDrawScale)); }

private:
  // The overlay that takes the input now (dialog box, text entry, menu), or nullptr; and every open one in
  // drawing order.
  IControl* ActiveOverlay() const;
  std::vector<IControl*> OpenOverlays() const;
  void OnDragResize(float x, float y);
  // Drops the back buffer (a new size) and asks for a full redraw.
  void ResetBackBuffer();
  // The parameter a control edits, or -1 when it is bound to none.
  int GestureParam(const IControl& control) const;
  void SetSource(const IColor& color, const IBlend* pBlend);
  void Fill();
  void Stroke(float thickness);

  IGEditorDelegate& mDelegate;
  int mWidth, mHeight, mFPS;
  float mDrawScale;
  float mMinScale = 0.1f, mMaxScale = 10.0f;
  void* mPlatformContext = nullptr;
  ECursor mCursor = ECursor::ARROW;
  bool mEnableTooltips = true, mEnableMouseOver = false, mEnableMultiTouch = false;

  std::vector<std::unique_ptr<IControl>> mControls;
  std::unique_ptr<ICornerResizerControl> mCornerResizer;
  EUIResizerMode mResizerMode = EUIResizerMode::Scale;
  bool mResizingInProcess = false;

  IControl* mMouseCapture = nullptr;
  int mCaptureGestureParam = -1;
  IControl* mMouseOver = nullptr;

  std::unique_ptr<IDialogs> mDialogs;
  std::unique_ptr<IPopupMenuControl> mPopupControl;
  std::unique_ptr<ITextEntryControl> mTextEntryControl;
  IControl* mModal = nullptr;
  bool mOverlayPress = false;  // the press went to an overlay
  bool mKeyboardTaken = false;
  IRECT mDirtyArea;

  std::map<std::string, std::shared_ptr<APIBitmap>> mBitmaps;  // nullptr: the file could not be read
  std::map<std::string, cairo_font_face_t*> mFonts;

  cairo_surface_t* mBackBuffer = nullptr;
  bool mFullRedraw = true;
  cairo_t* mContext = nullptr;  // while drawing
  float mContextScale = 1.0f;   // its scale
};

// The platform's graphics context for an editor of w x h canvas units at `scale`, redrawn up to fps times
// a second.
IGraphics* MakeGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.0f);

}  // namespace igraphics
}  // namespace iplug
