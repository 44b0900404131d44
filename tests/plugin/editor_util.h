#pragma once

// The instrument's editor open offscreen (drawn from the source tree's images) with a host's handler, and
// a user of the test's own who answers its questions: message boxes from a queue (yes or OK when it is
// empty), file dialogs from a queue of paths ("" or an empty queue cancels); every box, file dialog and
// opened address is recorded.

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "../vst3/host_doubles.h"
#include "IGraphicsOffscreen.h"
#include "plugin_test_util.h"
#include "vantorel.controls.h"

namespace edtest {

using namespace iplug::igraphics;

const IMouseMod kLeft(true, false);
const IMouseMod kRight(false, true);

struct AnsweringDialogs : IDialogs {
  struct Box {
    std::string text, caption;
    EMsgBoxType type;
  };
  struct Prompt {
    std::string name, folder;
    EFileAction action;
    std::string ext;
  };

  EMsgBoxResult MessageBox(const char* text, const char* caption, EMsgBoxType type) override {
    boxes.push_back({text, caption, type});
    if (answers.empty()) return type == kMB_OK ? kOK : kYES;
    const EMsgBoxResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool PromptForFile(WDL_String& fileName, const char* folder, EFileAction action, const char* ext) override {
    prompts.push_back({fileName.Get(), folder, action, ext});
    const std::string file = files.empty() ? "" : files.front();
    if (!files.empty()) files.pop_front();
    fileName.Set(file.c_str());
    return !file.empty();
  }
  bool OpenURL(const char* url) override {
    urls.push_back(url);
    return true;
  }

  std::deque<EMsgBoxResult> answers;
  std::deque<std::string> files;
  std::vector<Box> boxes;
  std::vector<Prompt> prompts;
  std::vector<std::string> urls;
};

// One instrument with its editor open; more can be opened with the same steps.
struct OpenEditor {
  void open() {
    plug->SetResourcePath(VANTOREL_RESOURCES);
    plug->mMakeGraphicsFunc = [this] { return new IGraphicsOffscreen(*plug, 1125, 400, 0, 1.0f); };
    ASSERT_NE(plug->OpenWindow(nullptr), nullptr);
    g = plug->GetUI();
    auto answering = std::make_unique<AnsweringDialogs>();
    dialogs = answering.get();
    g->SetDialogs(std::move(answering));
  }
  // The first control of a class.
  template <class T>
  T* find() const {
    for (int i = 0; i < g->NControls(); ++i)
      if (auto* c = dynamic_cast<T*>(g->GetControl(i))) return c;
    return nullptr;
  }
  void clickAt(float x, float y, const IMouseMod& mod = kLeft) {
    g->OnMouseDown(x, y, mod);
    g->OnMouseUp(x, y, mod);
  }
  void click(IControl* c, const IMouseMod& mod = kLeft) { clickAt(c->GetRECT().MW(), c->GetRECT().MH(), mod); }
  IPopupMenuControl* menu() const { return g->GetPopupMenuControl(); }
  bool menuOpen() const { return menu() && menu()->IsOpen(); }
  // Clicks item index of the open menu's column level, scrolling the column with the wheel first if the
  // item is out of sight (a small window).
  void clickItem(int level, int index) {
    ASSERT_TRUE(menuOpen());
    IRECT r = menu()->GetItemBounds(level, index);
    for (int tries = 0; r.Empty() && tries < 64; ++tries) {
      int first = 0;
      while (first < menu()->GetLevelMenu(level)->NItems() && menu()->GetItemBounds(level, first).Empty()) ++first;
      const IRECT shown = menu()->GetItemBounds(level, first);
      g->OnMouseWheel(shown.MW(), shown.MH(), IMouseMod(), index < first ? 1.0f : -1.0f);
      r = menu()->GetItemBounds(level, index);
    }
    ASSERT_FALSE(r.Empty()) << "item " << index << " of column " << level << " is not shown";
    clickAt(r.MW(), r.MH());
  }
  // Opens the option menu and chooses the item at position (in the submenu there when sub >= 0).
  void chooseOption(int position, int sub = -1) {
    click(find<IKSOptionMenu>());
    clickItem(0, position);
    if (sub >= 0) clickItem(1, sub);
    EXPECT_FALSE(menuOpen());
  }
  void key(int vk, const char* text = "") { g->OnKeyDown(0, 0, IKeyPress(text, vk)); }
  void type(const std::string& text) {
    for (char c : text) {
      const int vk = std::isalnum(static_cast<unsigned char>(c)) ? std::toupper(c) : (c == ' ' ? kVK_SPACE : kVK_NONE);
      key(vk, std::string(1, c).c_str());
    }
  }

  TestInstrument plug;
  IGraphics* g = nullptr;
  AnsweringDialogs* dialogs = nullptr;
};

// A test with one editor open and the host's handler set.
class EditorTest : public ::testing::Test, public OpenEditor {
protected:
  void SetUp() override {
    plug->initialize(nullptr);
    plug->setComponentHandler(&host);
    open();
  }
  void TearDown() override {
    plug->terminate();
    // What a test saved in the configuration is not the next one's.
    std::filesystem::remove(plug->configPath.Get());
  }

  testhost::ComponentHandler host;
};

}  // namespace edtest
