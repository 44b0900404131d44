#include "IPlugParameter.h"

#include <cmath>
#include <cstdlib>

namespace iplug {

namespace {

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Decimals for displaying values of the given step: the fewest that show a multiple of it exactly.
int PrecisionFromStep(double step) {
  constexpr int kMaxPrecision = 6;
  if (!(step > 0.0) || !std::isfinite(step)) return 2;
  double scaled = step;
  for (int d = 0; d < kMaxPrecision; ++d) {
    if (std::fabs(scaled - std::round(scaled)) < 1e-9) return d;
    scaled *= 10.0;
  }
  return kMaxPrecision;
}

}  // namespace

double IParam::Shape::NormalizedToValue(double n, double min, double max) const {
  if (exponent == 1.0) return min + n * (max - min);
  return min + std::pow(n, exponent) * (max - min);
}

double IParam::Shape::ValueToNormalized(double v, double min, double max) const {
  const double range = max - min;
  if (!(range > 0.0)) return 0.0;
  const double x = (v - min) / range;
  if (exponent == 1.0) return x;
  return std::pow(x, 1.0 / exponent);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, int flags, const char* group, const Shape& shape, EParamUnit unit,
                        DisplayFunc displayFunc) {
  mType = kTypeDouble;
  mUnit = unit;
  mName = name ? name : "";
  mLabel = label ? label : "";
  mGroup = group ? group : "";
  mMin = minVal;
  mMax = maxVal < minVal ? minVal : maxVal;
  mStep = step;
  mDefault = defaultVal;
  mFlags = flags;
  mShape = shape.exponent > 0.0 ? shape : ShapeLinear();
  mDisplayPrecision = PrecisionFromStep(step);
  mDisplayTexts.clear();
  SetDisplayFunc(displayFunc);
  SetToDefault();
}

void IParam::InitEnum(const char* name, int defaultVal, const std::vector<const char*>& list, int flags,
                      const char* group) {
  mType = kTypeEnum;
  mUnit = kUnitCustom;
  mName = name ? name : "";
  mLabel.clear();
  mGroup = group ? group : "";
  mMin = 0.0;
  mMax = list.empty() ? 0.0 : static_cast<double>(list.size() - 1);
  mStep = 1.0;
  mDefault = defaultVal;
  mFlags = flags | kFlagStepped;
  mShape = ShapeLinear();
  mDisplayPrecision = 0;
  mDisplayTexts.clear();
  for (const char* text : list) mDisplayTexts.emplace_back(text ? text : "");
  SetDisplayFunc(nullptr);
  SetToDefault();
}

double IParam::Constrain(double v) const {
  if (std::isnan(v)) v = mDefault;  // a value that cannot be ordered falls back to the default
  if (GetStepped() && mStep > 0.0) v = std::round(v / mStep) * mStep;
  return Clamp(v, mMin, mMax);
}

double IParam::ToNormalized(double v) const {
  return Clamp(mShape.ValueToNormalized(Constrain(v), mMin, mMax), 0.0, 1.0);
}

double IParam::FromNormalized(double n) const {
  // Out-of-range positions would give no real value on a power curve.
  n = std::isnan(n) ? 0.0 : Clamp(n, 0.0, 1.0);
  return Constrain(mShape.NormalizedToValue(n, mMin, mMax));
}

const char* IParam::GetDisplayText(int i) const {
  return (i >= 0 && i < NDisplayTexts()) ? mDisplayTexts[i].c_str() : "";
}

void IParam::GetDisplay(double value, bool normalized, WDL_String& text) const {
  if (normalized) value = FromNormalized(value);
  if (DisplayFunc func = GetDisplayFunc()) {
    func(value, text);
    return;
  }
  if (!mDisplayTexts.empty()) {
    const double idx = std::isnan(value) ? 0.0 : Clamp(std::round(value), 0.0, NDisplayTexts() - 1.0);
    text.Set(mDisplayTexts[static_cast<int>(idx)].c_str());
    return;
  }
  if (mFlags & kFlagNegateDisplay) value = -value;
  text.SetFormatted(0, (mFlags & kFlagSignDisplay) ? "%+.*f" : "%.*f", mDisplayPrecision, value);
  // A value that rounds to zero shows without a sign ("0.00", not "-0.00" or "+0.00").
  const char* s = text.Get();
  if (*s == '-' || *s == '+') {
    bool zero = true;
    for (const char* c = s + 1; *c; ++c) zero = zero && (*c == '0' || *c == '.');
    if (zero) text.Set(s + 1);
  }
}

bool IParam::StringToValue(const char* text, double& value) const {
  if (!text) return false;
  for (int i = 0; i < NDisplayTexts(); ++i) {
    if (mDisplayTexts[i] == text) {
      value = i;
      return true;
    }
  }
  if (const DisplayParser parser = mDisplayParser.load(std::memory_order_relaxed)) {
    double v = 0.0;
    if (!parser(text, v) || std::isnan(v)) return false;
    value = Constrain(v);
    return true;
  }
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || std::isnan(v)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  if (mFlags & kFlagNegateDisplay) v = -v;
  value = Constrain(v);
  return true;
}

}  // namespace iplug
