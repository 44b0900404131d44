// The editor's drawing: a full redraw of the panel at a scale, a change of scale, and one step of a
// corner drag.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "IGraphicsOffscreen.h"
#include "vantorel.h"

namespace {

// An instrument with its editor open offscreen at `scale`, its configuration in a home folder of its own.
struct OpenEditor {
  explicit OpenEditor(float scale) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-bench-XXXXXX").string();
    home = mkdtemp(pattern.data());
    setenv("HOME", home.c_str(), 1);
    plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
    plug->SetResourcePath(VANTOREL_RESOURCES);
    plug->mMakeGraphicsFunc = [this] {
      return new iplug::igraphics::IGraphicsOffscreen(*plug, panel::kCanvasWidth, panel::kCanvasHeight, 0, 1.0f);
    };
    plug->resizeUI(scale);
    plug->OpenWindow(nullptr);
    g = plug->GetUI();
    g->DrawDirty();
  }
  ~OpenEditor() {
    plug.reset();
    std::filesystem::remove_all(home);
  }
  std::string home;
  std::unique_ptr<Vantorel> plug;
  iplug::igraphics::IGraphics* g = nullptr;
};

// The scale of a benchmark argument in hundredths; 71 is the "200%" window size, the square root of one half.
float scaleOf(const benchmark::State& state) {
  return state.range(0) == 71 ? 0.70710677f : static_cast<float>(state.range(0)) / 100.0f;
}

void BM_PanelFullRedraw(benchmark::State& state) {
  OpenEditor editor(scaleOf(state));
  for (auto _ : state) {
    editor.g->SetAllControlsDirty();
    benchmark::DoNotOptimize(editor.g->DrawDirty());
  }
}
BENCHMARK(BM_PanelFullRedraw)->Arg(50)->Arg(71)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// Alternates between two neighbouring scales, each step with the full redraw it brings: while dragging the
// corner, or as the size menus set scales (every bitmap resampled for each).
void rescaleSteps(benchmark::State& state, bool dragging) {
  const float scale = scaleOf(state);
  OpenEditor editor(scale);
  if (dragging) editor.g->StartDragResize();
  bool other = false;
  for (auto _ : state) {
    other = !other;
    editor.g->Resize(panel::kCanvasWidth, panel::kCanvasHeight, other ? scale * 0.99f : scale, true);
    benchmark::DoNotOptimize(editor.g->DrawDirty());
  }
}

void BM_PanelRescale(benchmark::State& state) { rescaleSteps(state, false); }
BENCHMARK(BM_PanelRescale)->Arg(50)->Arg(71)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_PanelCornerDragStep(benchmark::State& state) { rescaleSteps(state, true); }
BENCHMARK(BM_PanelCornerDragStep)->Arg(50)->Arg(71)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
