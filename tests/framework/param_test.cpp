#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "IPlugParameter.h"

using iplug::IParam;

namespace {

std::string Display(const IParam& p, double v) {
  WDL_String s;
  p.GetDisplay(v, false, s);
  return s.Get();
}

}  // namespace

TEST(IParam, PowerCurvesMapBothWays) {
  IParam cutoff, speed;
  cutoff.InitDouble("VCF: Cutoff", 0.8, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapePowCurve(0.5));
  speed.InitDouble("Modulation: Speed", 4.6, 0.0, 25.0, 0.01, "", 0, "", IParam::ShapePowCurve(2.0));
  EXPECT_DOUBLE_EQ(cutoff.GetDefault(true), 0.64);
  EXPECT_DOUBLE_EQ(speed.GetDefault(true), std::sqrt(0.184));
  EXPECT_DOUBLE_EQ(cutoff.Value(), 0.8);

  // value = min + n^exponent * range
  EXPECT_DOUBLE_EQ(speed.FromNormalized(0.5), 6.25);
  EXPECT_DOUBLE_EQ(cutoff.FromNormalized(0.25), 0.5);
  for (double v = 0.0; v <= 25.0; v += 0.37) EXPECT_NEAR(speed.FromNormalized(speed.ToNormalized(v)), v, 1e-12);
  for (double n = 0.0; n <= 1.0; n += 0.03) EXPECT_NEAR(cutoff.ToNormalized(cutoff.FromNormalized(n)), n, 1e-12);

  // Out-of-range input stays inside the range (no NaN from a negative base).
  EXPECT_EQ(speed.FromNormalized(-0.5), 0.0);
  EXPECT_EQ(speed.FromNormalized(1.5), 25.0);
  EXPECT_EQ(cutoff.ToNormalized(-3.0), 0.0);
  EXPECT_EQ(cutoff.ToNormalized(7.0), 1.0);
  EXPECT_FALSE(std::isnan(speed.FromNormalized(NAN)));

  speed.SetNormalized(0.2);
  EXPECT_DOUBLE_EQ(speed.Value(), 1.0);
  EXPECT_DOUBLE_EQ(speed.GetNormalized(), 0.2);
}

TEST(IParam, LinearDoubleIsClampedButNotStepped) {
  IParam p;
  p.InitDouble("Tune", 0.0, -1.0, 1.0, 0.005);
  EXPECT_FALSE(p.GetStepped());
  EXPECT_EQ(p.Type(), IParam::kTypeDouble);
  p.Set(0.1234);
  EXPECT_EQ(p.Value(), 0.1234);  // the step only decides the display
  p.Set(4.0);
  EXPECT_EQ(p.Value(), 1.0);
  p.Set(-4.0);
  EXPECT_EQ(p.Value(), -1.0);
  EXPECT_DOUBLE_EQ(p.ToNormalized(0.5), 0.75);
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.25), -0.5);
  p.SetToDefault();
  EXPECT_EQ(p.Value(), 0.0);

  IParam stepped;  // a double stepped on request rounds to its step
  stepped.InitDouble("Steps", 0.0, 0.0, 10.0, 0.5, "", IParam::kFlagStepped);
  stepped.Set(3.3);
  EXPECT_EQ(stepped.Value(), 3.5);
}

TEST(IParam, EnumStepsClampsAndShowsTexts) {
  IParam p;
  p.InitEnum("Waveform", 1, {"Sawtooth", "Square", "Mix"});
  EXPECT_TRUE(p.GetStepped());
  EXPECT_EQ(p.Type(), IParam::kTypeEnum);
  EXPECT_EQ(p.GetMax(), 2.0);
  EXPECT_EQ(p.Int(), 1);
  EXPECT_EQ(p.NDisplayTexts(), 3);
  EXPECT_STREQ(p.GetDisplayText(2), "Mix");
  EXPECT_STREQ(p.GetDisplayText(3), "");

  p.Set(1.4);
  EXPECT_EQ(p.Value(), 1.0);
  p.Set(1.6);
  EXPECT_EQ(p.Value(), 2.0);
  p.Set(9.0);
  EXPECT_EQ(p.Value(), 2.0);
  p.Set(-2.0);
  EXPECT_EQ(p.Value(), 0.0);

  EXPECT_EQ(p.FromNormalized(0.74), 1.0);  // 1.48 rounds to 1
  EXPECT_EQ(p.FromNormalized(0.76), 2.0);
  EXPECT_DOUBLE_EQ(p.ToNormalized(1.3), 0.5);
  p.SetNormalized(1.0);
  EXPECT_EQ(p.Value(), 2.0);

  WDL_String s;
  p.GetDisplay(s);
  EXPECT_STREQ(s.Get(), "Mix");
  p.GetDisplay(0.0, true, s);
  EXPECT_STREQ(s.Get(), "Sawtooth");

  IParam onOff;
  onOff.InitEnum("Switch", 0, {"Off", "On"});
  EXPECT_FALSE(onOff.Bool());
  onOff.SetNormalized(0.6);
  EXPECT_TRUE(onOff.Bool());
  EXPECT_EQ(onOff.GetNormalized(), 1.0);
}

TEST(IParam, DisplayDecimalsFollowTheStep) {
  const struct {
    double step;
    int decimals;
    const char* text;  // display of 0.5
  } cases[] = {{1.0, 0, "0"}, {0.1, 1, "0.5"}, {0.01, 2, "0.50"}, {0.05, 2, "0.50"}, {0.005, 3, "0.500"},
               {0.001, 3, "0.500"}};
  for (const auto& c : cases) {
    IParam p;
    p.InitDouble("x", 0.0, -10.0, 10.0, c.step);
    EXPECT_EQ(p.GetDisplayPrecision(), c.decimals) << c.step;
    EXPECT_EQ(Display(p, 0.5), c.text) << c.step;
  }

  IParam p;
  p.InitDouble("x", 0.0, -1.0, 1.0, 0.01);
  EXPECT_EQ(Display(p, -0.3), "-0.30");
  EXPECT_EQ(Display(p, -0.0), "0.00");
  EXPECT_EQ(Display(p, -0.001), "0.00");
  WDL_String s;
  p.GetDisplay(0.75, true, s);  // normalised 0.75 of -1 ... 1
  EXPECT_STREQ(s.Get(), "0.50");

  IParam whole;
  whole.InitDouble("Phase", 45.0, 0.0, 360.0, 1.0);
  EXPECT_EQ(Display(whole, 45.0), "45");

  IParam signedP;
  signedP.InitDouble("x", 0.0, -1.0, 1.0, 0.1, "", IParam::kFlagSignDisplay | IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(signedP, -0.5), "+0.5");
  EXPECT_EQ(Display(signedP, 0.0), "0.0");
  double v = 0.0;
  ASSERT_TRUE(signedP.StringToValue("0.2", v));
  EXPECT_DOUBLE_EQ(v, -0.2);
}

namespace {
void Percent(double value, WDL_String& text) { text.SetFormatted(8, "%.0f%%", value * 100.0); }
void Blend(double value, WDL_String& text) { text.SetFormatted(8, "%.0f:%.0f", (1.0 - value) * 100.0, value * 100.0); }
}  // namespace

TEST(IParam, DisplayFunctionCanBeSwappedAndRemoved) {
  IParam p;
  p.InitDouble("Mix", 0.25, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), iplug::kUnitCustom, Percent);
  EXPECT_EQ(p.GetDisplayFunc(), &Percent);
  EXPECT_EQ(Display(p, 0.25), "25%");
  p.SetDisplayFunc(Blend);
  EXPECT_EQ(Display(p, 0.25), "75:25");
  p.SetDisplayFunc(nullptr);
  EXPECT_EQ(Display(p, 0.25), "0.25");

  IParam e;  // a display function takes precedence over enumeration texts
  e.InitEnum("Sync", 0, {"Off", "On"});
  e.SetDisplayFunc(Percent);
  EXPECT_EQ(Display(e, 1.0), "100%");
}

TEST(IParam, StringToValue) {
  IParam e;
  e.InitEnum("Routing", 0, {"FM", "VCF", "VCA"});
  double v = -1.0;
  ASSERT_TRUE(e.StringToValue("VCA", v));
  EXPECT_EQ(v, 2.0);
  ASSERT_TRUE(e.StringToValue("1", v));
  EXPECT_EQ(v, 1.0);
  ASSERT_TRUE(e.StringToValue("1.7", v));
  EXPECT_EQ(v, 2.0);
  EXPECT_FALSE(e.StringToValue("vcf", v));

  IParam d;
  d.InitDouble("Time", 0.5, 0.0, 10.0, 0.1);
  ASSERT_TRUE(d.StringToValue("2.25", v));
  EXPECT_EQ(v, 2.25);
  ASSERT_TRUE(d.StringToValue(" 3 ", v));
  EXPECT_EQ(v, 3.0);
  ASSERT_TRUE(d.StringToValue("99", v));
  EXPECT_EQ(v, 10.0);
  ASSERT_TRUE(d.StringToValue("-1e3", v));
  EXPECT_EQ(v, 0.0);
  v = 7.0;
  EXPECT_FALSE(d.StringToValue("", v));
  EXPECT_FALSE(d.StringToValue("abc", v));
  EXPECT_FALSE(d.StringToValue("2.5 s", v));
  EXPECT_FALSE(d.StringToValue("nan", v));
  EXPECT_FALSE(d.StringToValue(nullptr, v));
  EXPECT_EQ(v, 7.0);
}
