#pragma once

// What the editor layer needs of a plug-in, and what a plug-in needs to open and drive its editor.
// The plug-in derives from this class and provides the parameter access and the three edit calls; the
// layer provides the editor's life cycle, moving controls from the plug-in side, and the editor's size.
// This class sits in the framework core: it reaches the graphics only through virtual calls, so code
// that never opens an editor does not link the drawing libraries.

#include <functional>

#include "IPlugParameter.h"
#include "wdlstring.h"

namespace iplug {
namespace igraphics {

class IGraphics;

class IGEditorDelegate {
public:
  IGEditorDelegate() = default;
  // Closes an editor that is still open.
  virtual ~IGEditorDelegate();
  IGEditorDelegate(const IGEditorDelegate&) = delete;
  IGEditorDelegate& operator=(const IGEditorDelegate&) = delete;

  // --- the plug-in's side ---
  // nullptr for an index that is not a parameter.
  virtual IParam* GetParam(int paramIdx) = 0;
  virtual int NParams() const = 0;
  // A control changed parameter paramIdx to normalizedValue (between the two gesture calls for drags).
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue) = 0;
  // Start and end of an edit gesture on parameter paramIdx.
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx) = 0;
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx) = 0;
  // The idle hook.
  virtual void OnIdle() {}
  // The editor's timer (every 20 ms while an editor window is open, on the UI thread). A plug-in delivers
  // the work other threads left for the UI thread here before its idle hook.
  virtual void OnTimer() { OnIdle(); }

  // --- moving controls from the plug-in (UI thread) ---
  // Sets the value of every control bound to paramIdx (value is plain unless normalized) and marks them
  // for redrawing; nothing when no editor is open.
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

  // --- the editor's life cycle (UI thread) ---
  // The graphics factory (the plug-in installs one that calls MakeGraphics) and the layout function, which
  // is run on each new graphics context before its window opens.
  std::function<IGraphics*()> mMakeGraphicsFunc;
  std::function<void(IGraphics*)> mLayoutFunc;

  // The graphics context of the open editor, or nullptr.
  IGraphics* GetUI() const { return mGraphics; }
  // Makes a graphics context, lays it out (LayoutUI), sends it every parameter's value (OnUIOpen) and opens
  // its window inside pParent. pPlatformContext is handed to the context first (on Linux the host's run
  // loop). Returns the window, or nullptr (nothing stays open) if no editor could be opened or one is
  // already open.
  void* OpenWindow(void* pParent, void* pPlatformContext = nullptr);
  // Closes the window and deletes the graphics context with its controls; nothing if none is open.
  void CloseWindow();
  void LayoutUI(IGraphics* pGraphics) {
    if (mLayoutFunc) mLayoutFunc(pGraphics);
  }
  // After the layout: every parameter's normalised value goes to its controls.
  virtual void OnUIOpen();
  // After the window has closed, before the context is deleted.
  virtual void OnUIClose() {}

  // --- the editor's size in window pixels ---
  // The size a host is told before an editor opens, and the last size an editor had.
  int GetEditorWidth() const { return mEditorWidth; }
  int GetEditorHeight() const { return mEditorHeight; }
  void SetEditorSize(int width, int height) {
    mEditorWidth = width;
    mEditorHeight = height;
  }
  // The editor changed its size (a new scale or canvas): stores it and, if the host window must follow,
  // calls mEditorResizeFunc.
  virtual void EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize);
  // Asks the host to resize its window; installed by a format's view while its editor is open.
  std::function<void(int width, int height)> mEditorResizeFunc;

  // --- resources ---
  // The folder the editor loads images and fonts from (with a trailing "/"; empty: the working folder).
  const char* GetResourcePath() const { return mResourcePath.Get(); }
  void SetResourcePath(const char* path) { mResourcePath.Set(path ? path : ""); }

private:
  IGraphics* mGraphics = nullptr;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
  WDL_String mResourcePath;
};

}  // namespace igraphics
}  // namespace iplug
