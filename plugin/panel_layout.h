#pragma once

// The front panel as data: the canvas, the bitmaps, the fixed controls around the program display and
// one row per panel control in attaching order. The editor's layout function builds the panel from
// these tables, and the panel image generator draws labels and sections from the same rows, so the two
// cannot drift apart. Positions are canvas units (the editor shows the canvas at a scale).

namespace GUI {

// Editor elements that are not parameters (just above the 66 parameter indices). A control made for
// one carries the negated value as its parameter index; one that is looked up later carries the
// positive value as its tag.
enum Element {
  MidiLearnSwitch = 67,
  SizeMenu = 68,
  PrevProgram = 69,
  NextProgram = 70,
  BeatLed = 71,
  LfoLed = 72,
  TweakToggle = 73,
  TweakCover = 74,
};

// The six window sizes of the size menus.
enum GUISize { Size50 = 0, Size75, Size100, Size200, Size400, Size800 };

}  // namespace GUI

namespace panel {

constexpr int kCanvasWidth = 2250;
constexpr int kCanvasHeight = 800;
constexpr float kMinScale = 0.25f;
constexpr float kMaxScale = 2.0f;
constexpr int kCornerSize = 32;

// A bitmap resource and the number of frames stacked vertically in it, in loading order.
struct BitmapFile {
  const char* name;
  int frames;
};
constexpr BitmapFile kBitmaps[] = {
    {"back.jpg", 1},         {"button_off.png", 2},       {"button_on.png", 2},  {"button_small_off.png", 2},
    {"button_small_on.png", 2}, {"handle.png", 1},         {"knob.png", 65},      {"knob_small.png", 65},
    {"learn.png", 2},        {"led.png", 1},              {"next.png", 2},       {"prev.png", 2},
    {"switch2.png", 2},      {"switch3.png", 3},          {"switch4.png", 4},    {"unlearn.png", 2},
    {"tweak.png", 1},
};
constexpr int kNumBitmaps = sizeof(kBitmaps) / sizeof(kBitmaps[0]);
constexpr const char* kFontName = "Roboto-Regular.ttf";

struct Rect {
  int l, t, r, b;
};
struct Point {
  int x, y;
};

// Controls around the program display.
constexpr Rect kPresetNumber = {1456, 592, 1504, 632};
constexpr Rect kPresetName = {1556, 592, 1940, 632};
constexpr Point kPrevProgram = {1408, 590};
constexpr Point kNextProgram = {1508, 590};
constexpr Rect kOptionMenu = {1948, 592, 2044, 632};
constexpr Rect kVersionLabel = {2054, 656, 2150, 688};
constexpr const char* kVersionText = "v.1.0.1";
constexpr Point kMidiLearn = {2052, 590};

enum class Kind {
  Knob,    // a knob control: vertical drag with the row's gearing
  Slider,  // a horizontal slider: `length` is the track length
  Button,  // a two-image on/off kick button: `bitmap` off, `bitmapOn` on
  Switch,  // a bitmap switch stepping through its frames (the tweak toggle: a rectangle)
  Lamp,    // a one-frame bitmap bound to no parameter (lamps, the tweak cover)
};

// One panel control. `param` is the parameter index, or a negated GUI::Element for controls bound to no
// parameter; `tag` is -1 unless other code finds the control again. `label` is the short caption the
// panel image shows for it (empty: none of its own; a line break stacks two lines). The tweak toggle
// (row 70) is given by its rectangle (x, y, x + length, y + height).
struct Row {
  int row;
  Kind kind;
  int x, y;
  int length;  // slider track length; the tweak toggle's width
  int height;  // the tweak toggle's height; 0 elsewhere
  const char* bitmap;
  const char* bitmapOn;
  int param;
  int tag;
  double gearing;
  bool tweak;  // on the tweak panel (hidden under the cover until shown)
  const char* label;
};

constexpr Row kRows[] = {
    {1, Kind::Knob, 80, 580, 0, 0, "knob.png", nullptr, 0, -1, 4.0, false, "Bend"},
    {2, Kind::Knob, 180, 580, 0, 0, "knob.png", nullptr, 1, -1, 4.0, false, "Mod"},
    {3, Kind::Knob, 94, 354, 0, 0, "knob.png", nullptr, 65, -1, 4.0, false, "Master"},
    {4, Kind::Slider, 196, 312, 110, 0, "handle.png", nullptr, 5, -1, 1.0, false, "Pan"},
    {5, Kind::Knob, 218, 354, 0, 0, "knob.png", nullptr, 2, -1, 4.0, false, "Synth"},
    {6, Kind::Slider, 314, 312, 110, 0, "handle.png", nullptr, 6, -1, 1.0, false, "Pan"},
    {7, Kind::Knob, 337, 354, 0, 0, "knob.png", nullptr, 3, -1, 4.0, false, "Organ"},
    {8, Kind::Slider, 436, 312, 110, 0, "handle.png", nullptr, 7, -1, 1.0, false, "Pan"},
    {9, Kind::Knob, 460, 354, 0, 0, "knob.png", nullptr, 4, -1, 4.0, false, "String"},
    {10, Kind::Slider, 128, 88, 148, 0, "handle.png", nullptr, 8, -1, 1.0, false, "2'"},
    {11, Kind::Slider, 128, 128, 148, 0, "handle.png", nullptr, 9, -1, 1.0, false, "4'"},
    {12, Kind::Slider, 128, 168, 148, 0, "handle.png", nullptr, 10, -1, 1.0, false, "8'"},
    {13, Kind::Slider, 128, 208, 148, 0, "handle.png", nullptr, 11, -1, 1.0, false, "16'"},
    {14, Kind::Knob, 1188, 128, 0, 0, "knob.png", nullptr, 12, -1, 4.0, false, "Fine"},
    {15, Kind::Button, 1288, 128, 0, 0, "button_off.png", "button_on.png", 16, -1, 1.0, false, "Sync"},
    {16, Kind::Button, 1388, 128, 0, 0, "button_off.png", "button_on.png", 13, 13, 1.0, false, "Octave 1"},
    {17, Kind::Button, 1496, 128, 0, 0, "button_off.png", "button_on.png", 17, -1, 1.0, false, "Oct. Mod."},
    {18, Kind::Button, 1596, 128, 0, 0, "button_off.png", "button_on.png", 15, 15, 1.0, false, "Octave 2"},
    {19, Kind::Knob, 1696, 128, 0, 0, "knob.png", nullptr, 14, -1, 4.0, false, "Coarse"},
    {20, Kind::Lamp, 1466, 222, 0, 0, "led.png", nullptr, -GUI::BeatLed, GUI::BeatLed, 1.0, false, "Beat"},
    {21, Kind::Knob, 780, 128, 0, 0, "knob.png", nullptr, 18, -1, 4.0, false, "Amount"},
    {22, Kind::Knob, 880, 128, 0, 0, "knob.png", nullptr, 19, -1, 4.0, false, "Speed"},
    {23, Kind::Switch, 980, 128, 0, 0, "switch2.png", nullptr, 20, -1, 1.0, false, "Enable"},
    {24, Kind::Knob, 1080, 128, 0, 0, "switch4.png", nullptr, 21, -1, 1.0, false, "Direction"},
    {25, Kind::Knob, 1410, 356, 0, 0, "switch3.png", nullptr, 22, -1, 1.0, false, "Wave"},
    {26, Kind::Switch, 1544, 356, 0, 0, "switch2.png", nullptr, 23, -1, 1.0, false, "Alternate"},
    {27, Kind::Switch, 1678, 356, 0, 0, "switch2.png", nullptr, 24, -1, 1.0, false, "Enable"},
    {28, Kind::Knob, 387, 128, 0, 0, "knob.png", nullptr, 27, -1, 4.0, false, "Envelope"},
    {29, Kind::Knob, 521, 128, 0, 0, "knob.png", nullptr, 25, -1, 4.0, false, "Cutoff"},
    {30, Kind::Knob, 655, 128, 0, 0, "knob.png", nullptr, 26, -1, 4.0, false, "Resonance"},
    {31, Kind::Knob, 578, 354, 0, 0, "knob.png", nullptr, 28, -1, 4.0, false, "Attack"},
    {32, Kind::Knob, 678, 354, 0, 0, "knob.png", nullptr, 29, -1, 4.0, false, "Decay"},
    {33, Kind::Knob, 778, 354, 0, 0, "knob.png", nullptr, 30, -1, 4.0, false, "Sustain"},
    {34, Kind::Knob, 878, 354, 0, 0, "knob.png", nullptr, 31, -1, 4.0, false, "Release"},
    {35, Kind::Knob, 1822, 128, 0, 0, "switch3.png", nullptr, 32, -1, 1.0, false, "Routing"},
    {36, Kind::Switch, 1954, 128, 0, 0, "switch2.png", nullptr, 33, -1, 1.0, false, "Reset"},
    {37, Kind::Switch, 2088, 128, 0, 0, "switch2.png", nullptr, 34, -1, 1.0, false, "Waveshape"},
    {38, Kind::Knob, 1804, 354, 0, 0, "knob.png", nullptr, 35, -1, 4.0, false, "Speed"},
    {39, Kind::Lamp, 1808, 448, 0, 0, "led.png", nullptr, -GUI::LfoLed, GUI::LfoLed, 1.0, false, "LFO"},
    {40, Kind::Knob, 1905, 354, 0, 0, "knob.png", nullptr, 36, -1, 4.0, false, "Slope"},
    {41, Kind::Knob, 2005, 354, 0, 0, "knob.png", nullptr, 37, -1, 4.0, false, "Delay"},
    {42, Kind::Knob, 2105, 354, 0, 0, "knob.png", nullptr, 38, -1, 4.0, false, "Depth"},
    {43, Kind::Knob, 986, 354, 0, 0, "knob.png", nullptr, 39, -1, 4.0, false, "Footages"},
    {44, Kind::Knob, 1086, 354, 0, 0, "knob.png", nullptr, 40, -1, 4.0, false, "Timbre"},
    {45, Kind::Knob, 1186, 354, 0, 0, "knob.png", nullptr, 41, -1, 4.0, false, "Attack"},
    {46, Kind::Knob, 1286, 354, 0, 0, "knob.png", nullptr, 42, -1, 4.0, false, "Release"},
    {47, Kind::Knob, 288, 580, 0, 0, "knob.png", nullptr, 43, -1, 4.0, false, "Speed"},
    {48, Kind::Knob, 386, 580, 0, 0, "knob.png", nullptr, 44, -1, 4.0, false, "Feedback"},
    {49, Kind::Button, 490, 580, 0, 0, "button_off.png", "button_on.png", 46, -1, 1.0, false, "Synth"},
    {50, Kind::Button, 583, 580, 0, 0, "button_off.png", "button_on.png", 47, -1, 1.0, false, "Organ"},
    {51, Kind::Button, 676, 580, 0, 0, "button_off.png", "button_on.png", 45, -1, 1.0, false, "String"},
    {52, Kind::Knob, 786, 580, 0, 0, "knob.png", nullptr, 48, -1, 4.0, false, "Time"},
    {53, Kind::Knob, 884, 580, 0, 0, "knob.png", nullptr, 49, -1, 4.0, false, "Feedback"},
    {54, Kind::Knob, 982, 580, 0, 0, "knob.png", nullptr, 50, -1, 4.0, false, "Mix"},
    {55, Kind::Button, 1076, 580, 0, 0, "button_off.png", "button_on.png", 51, -1, 1.0, false, "Double"},
    {56, Kind::Button, 1148, 580, 0, 0, "button_off.png", "button_on.png", 52, -1, 1.0, false, "Sync"},
    {57, Kind::Button, 1220, 580, 0, 0, "button_off.png", "button_on.png", 53, -1, 1.0, false, "Vibe"},
    {58, Kind::Button, 1292, 580, 0, 0, "button_off.png", "button_on.png", 54, -1, 1.0, false, "Ping\nPong"},
    {59, Kind::Knob, 144, 736, 0, 0, "knob_small.png", nullptr, 55, -1, 4.0, true, "Tune"},
    {60, Kind::Button, 216, 736, 0, 0, "button_small_off.png", "button_small_on.png", 56, -1, 1.0, true, ""},
    {61, Kind::Knob, 268, 736, 0, 0, "knob_small.png", nullptr, 57, -1, 4.0, true, "Phase"},
    {62, Kind::Knob, 340, 736, 0, 0, "knob_small.png", nullptr, 58, -1, 4.0, true, "Key Rel."},
    {63, Kind::Knob, 410, 736, 0, 0, "knob_small.png", nullptr, 59, -1, 4.0, true, "Spd 1"},
    {64, Kind::Knob, 466, 736, 0, 0, "knob_small.png", nullptr, 60, -1, 4.0, true, "Spd 2"},
    {65, Kind::Knob, 522, 736, 0, 0, "knob_small.png", nullptr, 61, -1, 4.0, true, "Dep 1"},
    {66, Kind::Knob, 578, 736, 0, 0, "knob_small.png", nullptr, 62, -1, 4.0, true, "Dep 2"},
    {67, Kind::Knob, 648, 736, 0, 0, "knob_small.png", nullptr, 63, -1, 4.0, true, "Spd"},
    {68, Kind::Knob, 704, 736, 0, 0, "knob_small.png", nullptr, 64, -1, 4.0, true, "Dep"},
    {69, Kind::Lamp, 64, 710, 0, 0, "tweak.png", nullptr, -GUI::TweakCover, GUI::TweakCover, 1.0, false, ""},
    {70, Kind::Switch, 72, 720, 50, 48, "button_small_off.png", nullptr, -GUI::TweakToggle, -1, 1.0, false, ""},
};
constexpr int kNumRows = sizeof(kRows) / sizeof(kRows[0]);
static_assert(kNumRows == 70, "the panel has 70 rows");

// The printed sections of the panel: a titled box each. `group` names the sound section a box belongs to
// when the title alone does not (empty otherwise). Every control lies inside exactly one box.
struct Section {
  const char* title;
  const char* group;
  Rect box;
};
constexpr Section kSections[] = {
    {"Organ", "", {16, 20, 296, 248}},           {"VCF", "Synth", {304, 20, 764, 248}},
    {"Glide", "", {772, 20, 1168, 248}},         {"Oscillators", "", {1176, 20, 1800, 248}},
    {"LFO", "", {1808, 20, 2234, 248}},          {"Output", "", {16, 256, 556, 478}},
    {"Envelope", "Synth", {564, 256, 974, 478}}, {"String", "", {980, 256, 1392, 478}},
    {"Waveform", "", {1400, 256, 1788, 478}},    {"Modulation", "", {1796, 256, 2234, 478}},
    {"Performance", "", {16, 486, 276, 692}},    {"Phaser", "", {282, 486, 768, 692}},
    {"Delay", "", {774, 486, 1388, 692}},        {"Program", "", {1396, 486, 2234, 692}},
    {"Tweak", "", {64, 710, 776, 800}},
};
constexpr int kNumSections = sizeof(kSections) / sizeof(kSections[0]);

// Captions printed over a run of neighbouring controls (rows first to last); the controls under one
// carry their own short labels below them.
struct Caption {
  const char* text;
  int firstRow, lastRow;
};
constexpr Caption kCaptions[] = {{"Sync Reset", 60, 61}, {"Ensemble", 63, 66}, {"Delay Vibe", 67, 68}};

// The printed names of the positions of the switches and selectors, first frame first (a selector's
// first frame stands for its lowest value).
struct Legend {
  int row;
  const char* positions[4];
};
constexpr Legend kLegends[] = {
    {23, {"Mono", "Multi"}},  {24, {"A", "B", "C", "D"}}, {25, {"Saw", "Sqr", "Mix"}}, {26, {"On", "Off"}},
    {27, {"Mono", "Multi"}},  {35, {"FM", "VCF", "VCA"}},  {36, {"Mono", "Multi"}},     {37, {"Tri", "Sqr"}},
};

}  // namespace panel
