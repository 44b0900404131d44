// vantorel-panel-images: draws the editor's seventeen images into a folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "controls.h"
#include "panel.h"
#include "panel_layout.h"
#include "preview.h"
#include "style.h"

namespace {

const char* kUsage =
    "usage: vantorel-panel-images [--font FILE] [--preview FILE] OUTPUT_DIR\n"
    "Draws the front panel's images (back.jpg and the control images) into OUTPUT_DIR.\n"
    "  --font FILE      the panel font (default: OUTPUT_DIR/Roboto-Regular.ttf)\n"
    "  --preview FILE   also write a PNG of the whole panel with every control at a sample value\n"
    "  -h, --help       show this text\n";

struct Options {
  std::string outDir, font, preview;
};

// 0: run, 1: help shown, 2: usage error.
int parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") return 1;
    if ((a == "--font" || a == "--preview") && i + 1 < argc) {
      (a == "--font" ? o.font : o.preview) = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vantorel-panel-images: unknown or incomplete option %s\n", a.c_str());
      return 2;
    } else if (o.outDir.empty()) {
      o.outDir = a;
    } else {
      std::fprintf(stderr, "vantorel-panel-images: more than one output folder\n");
      return 2;
    }
  }
  if (o.outDir.empty()) {
    std::fprintf(stderr, "vantorel-panel-images: no output folder\n%s", kUsage);
    return 2;
  }
  if (o.font.empty()) o.font = o.outDir + "/" + panel::kFontName;
  return 0;
}

// Draws every image; `printError` tells why the background's print does not fit (the images are drawn
// all the same, so that the review picture can show the fault).
bool drawAll(const paint::Font& font, preview::Images& out, std::string& printError, std::string& error) {
  paint::Surface back;
  panelart::drawBackground(font, back, printError);
  out["back.jpg"] = std::move(back);
  out["button_off.png"] = controls::button(style::kButton.w, style::kButton.h, false);
  out["button_on.png"] = controls::button(style::kButton.w, style::kButton.h, true);
  out["button_small_off.png"] = controls::button(style::kSmallButton.w, style::kSmallButton.h, false);
  out["button_small_on.png"] = controls::button(style::kSmallButton.w, style::kSmallButton.h, true);
  out["handle.png"] = controls::handle();
  out["knob.png"] = controls::knob(style::kKnob.w, controls::framesOf("knob.png"));
  out["knob_small.png"] = controls::knob(style::kSmallKnob.w, controls::framesOf("knob_small.png"));
  out["learn.png"] = controls::learn(font, "Learn");
  out["unlearn.png"] = controls::learn(font, "Unlearn");
  out["led.png"] = controls::led();
  out["next.png"] = controls::arrow(true);
  out["prev.png"] = controls::arrow(false);
  for (const char* name : {"switch2.png", "switch3.png", "switch4.png"}) out[name] = controls::lever(controls::framesOf(name));
  out["tweak.png"] = panelart::drawCover(font);
  // Every image the layout loads, with the size and frame count it expects.
  for (const panel::BitmapFile& b : panel::kBitmaps) {
    const auto it = out.find(b.name);
    const style::Size f = style::frameSize(b.name);
    if (it == out.end() || cairo_image_surface_get_width(it->second.get()) != f.w ||
        cairo_image_surface_get_height(it->second.get()) != f.h * b.frames) {
      error = std::string("image ") + b.name + " does not match the layout";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (const int r = parse(argc, argv, opt)) {
    if (r == 1) std::fputs(kUsage, stdout);
    return r == 1 ? 0 : 2;
  }
  std::string error;
  const std::unique_ptr<paint::Font> font = paint::Font::load(opt.font, error);
  preview::Images images;
  std::string printError;
  bool ok = font && drawAll(*font, images, printError, error);
  if (ok && !opt.preview.empty()) ok = paint::writePng(preview::compose(images, *font).get(), opt.preview, error);
  if (ok && !printError.empty()) {
    ok = false;
    error = "the panel's print does not fit:\n" + printError;
  }
  for (auto it = images.begin(); ok && it != images.end(); ++it) {
    const std::string path = opt.outDir + "/" + it->first;
    ok = it->first.ends_with(".jpg") ? paint::writeJpeg(it->second.get(), path, style::kJpegQuality, error)
                                     : paint::writePng(it->second.get(), path, error);
  }
  if (!ok) {
    std::fprintf(stderr, "vantorel-panel-images: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
