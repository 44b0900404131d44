#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "wdlstring.h"

namespace iplug {

// Units a parameter declares to hosts.
enum EParamUnit {
  kUnitPercentage, kUnitSeconds, kUnitMilliseconds, kUnitSamples, kUnitDB, kUnitLinearGain, kUnitPan, kUnitPhase,
  kUnitDegrees, kUnitMeters, kUnitRate, kUnitRatio, kUnitFrequency, kUnitOctaves, kUnitCents, kUnitAbsCents,
  kUnitSemitones, kUnitMIDINote, kUnitMIDICtrlNum, kUnitBPM, kUnitBeats, kUnitCustom
};

// One automatable parameter: a plain value in [min, max] with a step, a response shape mapping it to the
// normalised 0 ... 1 that hosts see, and a display text.
class IParam {
public:
  enum EParamType { kTypeNone, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble };
  enum EFlags { kFlagsNone = 0, kFlagCannotAutomate = 0x1, kFlagStepped = 0x2, kFlagNegateDisplay = 0x4,
                kFlagSignDisplay = 0x8, kFlagMeta = 0x10 };

  // Response shape: linear, or a power curve value = min + n^exponent * (max - min).
  struct Shape {
    double exponent = 1.0;  // 1 is linear
    double NormalizedToValue(double n, double min, double max) const;
    double ValueToNormalized(double v, double min, double max) const;
  };
  static Shape ShapeLinear() { return Shape{1.0}; }
  static Shape ShapePowCurve(double exponent) { return Shape{exponent}; }

  // Fills text with the display of value. A plain function pointer, so swapping it never allocates.
  using DisplayFunc = void (*)(double value, WDL_String& text);
  // Reads a typed text written the way a display function shows values; false if it cannot.
  using DisplayParser = bool (*)(const char* text, double& value);

  IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", int flags = 0, const char* group = "", const Shape& shape = ShapeLinear(),
                  EParamUnit unit = kUnitCustom, DisplayFunc displayFunc = nullptr);
  void InitEnum(const char* name, int defaultVal, const std::vector<const char*>& list, int flags = 0,
                const char* group = "");

  // Plain value.
  double Value() const { return mValue.load(std::memory_order_relaxed); }
  int Int() const { return static_cast<int>(Value()); }
  bool Bool() const { return Value() >= 0.5; }
  // Stores v after step rounding (stepped parameters) and clamping, as one atomic store.
  void Set(double v) { mValue.store(Constrain(v), std::memory_order_relaxed); }
  void SetNormalized(double n) { Set(FromNormalized(n)); }
  void SetToDefault() { Set(mDefault); }

  // Normalised value: step rounding (stepped), clamp, shape, clamp to 0 ... 1.
  double GetNormalized() const { return ToNormalized(Value()); }
  double ToNormalized(double v) const;
  // n is limited to 0 ... 1 first, then mapped through the shape and constrained.
  double FromNormalized(double n) const;
  // Rounds to the step for stepped parameters, then clamps to the range; NaN becomes the default.
  double Constrain(double v) const;

  double GetDefault(bool normalized = false) const { return normalized ? ToNormalized(mDefault) : mDefault; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetRange() const { return mMax - mMin; }
  double GetStep() const { return mStep; }
  int GetFlags() const { return mFlags; }
  bool GetStepped() const { return (mFlags & kFlagStepped) != 0; }
  bool GetCanAutomate() const { return (mFlags & kFlagCannotAutomate) == 0; }
  EParamType Type() const { return mType; }
  EParamUnit Unit() const { return mUnit; }
  const Shape& GetShape() const { return mShape; }
  const char* GetName() const { return mName.c_str(); }
  const char* GetLabel() const { return mLabel.c_str(); }
  const char* GetGroup() const { return mGroup.c_str(); }

  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const char* GetDisplayText(int i) const;

  // A display function with, optionally, the parser of its texts (used by StringToValue).
  void SetDisplayFunc(DisplayFunc f, DisplayParser parser = nullptr) {
    mDisplayParser.store(parser, std::memory_order_relaxed);
    mDisplayFunc.store(f, std::memory_order_relaxed);
  }
  DisplayFunc GetDisplayFunc() const { return mDisplayFunc.load(std::memory_order_relaxed); }

  // Display text of the current value, or of a given value (plain, or normalised if normalized is true):
  // the display function if one is set, else the enumeration text, else the number with decimals from the step.
  void GetDisplay(WDL_String& text) const { GetDisplay(Value(), false, text); }
  void GetDisplay(double value, bool normalized, WDL_String& text) const;
  // Parses a typed display text (an enumeration text or a number) into a plain value; false if it cannot.
  bool StringToValue(const char* text, double& value) const;

  // Decimals of the number display: the fewest that show a multiple of the step exactly (0.01 -> 2).
  int GetDisplayPrecision() const { return mDisplayPrecision; }

private:
  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  double mMin = 0.0, mMax = 1.0, mStep = 1.0, mDefault = 0.0;
  int mFlags = 0;
  int mDisplayPrecision = 0;
  Shape mShape;
  std::string mName, mLabel, mGroup;
  std::vector<std::string> mDisplayTexts;
  std::atomic<DisplayFunc> mDisplayFunc{nullptr};
  std::atomic<DisplayParser> mDisplayParser{nullptr};
};

}  // namespace iplug
