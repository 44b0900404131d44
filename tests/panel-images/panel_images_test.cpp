// The images in resources/ are what the generator draws, and their sizes fit the panel layout.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "panel_layout.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int run(const std::string& args) {
  const int status = std::system((std::string("'") + PANEL_IMAGES_BIN + "' " + args).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Size {
  int w = 0, h = 0;
};

unsigned be16(const std::string& b, size_t i) {
  return (static_cast<unsigned char>(b[i]) << 8) | static_cast<unsigned char>(b[i + 1]);
}

// Pixel size from a PNG header or a JPEG frame header; {0, 0} if neither is found.
Size imageSize(const std::string& b) {
  if (b.size() >= 24 && b.compare(1, 3, "PNG") == 0)
    return {static_cast<int>(be16(b, 18)), static_cast<int>(be16(b, 22))};
  for (size_t i = 2; i + 9 < b.size() && static_cast<unsigned char>(b[i]) == 0xff;) {
    const unsigned marker = static_cast<unsigned char>(b[i + 1]);
    if (marker >= 0xc0 && marker <= 0xc2) return {static_cast<int>(be16(b, i + 7)), static_cast<int>(be16(b, i + 5))};
    i += 2 + be16(b, i + 2);
  }
  return {};
}

struct Box {
  int l, t, r, b;
  bool overlaps(const Box& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
  bool inside(const Box& o) const { return l >= o.l && r <= o.r && t >= o.t && b <= o.b; }
};

TEST(PanelImages, GeneratorRedrawsTheResourcesExactly) {
  std::string dir = testing::TempDir() + "vantorel-panel-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string font = std::string(RESOURCES_DIR) + "/" + panel::kFontName;
  ASSERT_EQ(run("--font '" + font + "' '" + dir + "'"), 0);
  for (const panel::BitmapFile& b : panel::kBitmaps) {
    const std::string drawn = slurp(dir + "/" + b.name), kept = slurp(std::string(RESOURCES_DIR) + "/" + b.name);
    EXPECT_FALSE(kept.empty()) << b.name;
    EXPECT_TRUE(drawn == kept) << b.name << " differs from what the generator draws";
  }
  // Usage errors and unreadable fonts fail without writing anything.
  EXPECT_EQ(run("2>/dev/null"), 2);
  EXPECT_EQ(run("--font '" + dir + "/none.ttf' '" + dir + "/none' 2>/dev/null"), 1);
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(PanelImages, ResourcesFitTheLayout) {
  std::map<std::string, Size> frame;
  for (const panel::BitmapFile& b : panel::kBitmaps) {
    const Size s = imageSize(slurp(std::string(RESOURCES_DIR) + "/" + b.name));
    ASSERT_GT(s.w, 0) << b.name;
    EXPECT_EQ(s.h % b.frames, 0) << b.name << ": height " << s.h << " for " << b.frames << " frames";
    frame[b.name] = {s.w, s.h / b.frames};
  }
  EXPECT_EQ(frame["back.jpg"].w, panel::kCanvasWidth);
  EXPECT_EQ(frame["back.jpg"].h, panel::kCanvasHeight);
  EXPECT_EQ(frame["button_off.png"].w, frame["button_on.png"].w);
  EXPECT_EQ(frame["button_off.png"].h, frame["button_on.png"].h);
  EXPECT_EQ(frame["button_small_off.png"].h, frame["button_small_on.png"].h);

  // The rectangles the editor makes: a slider covers its track and the read-out area above it.
  const auto at = [&](int x, int y, const char* bitmap) {
    const Size f = frame[bitmap];
    return Box{x, y, x + f.w, y + f.h};
  };
  struct Control {
    Box box;
    int row;  // 0: a control around the program display
  };
  std::vector<Control> controls;
  for (const panel::Row& r : panel::kRows) {
    Box box = r.height ? Box{r.x, r.y, r.x + r.length, r.y + r.height} : at(r.x, r.y, r.bitmap);
    if (r.kind == panel::Kind::Slider) box = {r.x, r.y - frame[r.bitmap].h, r.x + r.length, r.y + frame[r.bitmap].h};
    controls.push_back({box, r.row});
  }
  for (const panel::Rect& r : {panel::kPresetNumber, panel::kPresetName, panel::kOptionMenu, panel::kVersionLabel})
    controls.push_back({{r.l, r.t, r.r, r.b}, 0});
  controls.push_back({at(panel::kPrevProgram.x, panel::kPrevProgram.y, "prev.png"), 0});
  controls.push_back({at(panel::kNextProgram.x, panel::kNextProgram.y, "next.png"), 0});
  controls.push_back({at(panel::kMidiLearn.x, panel::kMidiLearn.y, "learn.png"), 0});

  // The cover (row 69) lies over the tweak panel (rows 59 to 68) and the toggle (row 70) over the cover;
  // no other two controls share a point, and none leaves the canvas.
  const Box canvas{0, 0, panel::kCanvasWidth, panel::kCanvasHeight};
  const Box cover = controls[68].box;
  ASSERT_EQ(controls[68].row, 69);
  for (size_t i = 0; i < controls.size(); ++i) {
    const Control& a = controls[i];
    EXPECT_TRUE(a.box.inside(canvas)) << "row " << a.row;
    if (a.row >= 59 && a.row <= 68) {
      EXPECT_TRUE(a.box.inside(cover)) << "row " << a.row << " is not covered";
    }
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const Control& b = controls[j];
      const bool stacked = (a.row >= 59 && a.row <= 70 && b.row == 69) || (a.row == 69 && b.row == 70);
      if (!stacked) {
        EXPECT_FALSE(a.box.overlaps(b.box)) << "rows " << a.row << " and " << b.row << " overlap";
      }
    }
  }
}

}  // namespace
