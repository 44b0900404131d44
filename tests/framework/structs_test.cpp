#include <gtest/gtest.h>

#include <string>

#include "IPlugStructs.h"
#include "wdlstring.h"

using iplug::IByteChunk;

TEST(WDL_String, SetAppendAndCut) {
  WDL_String s("hello");
  EXPECT_EQ(s.GetLength(), 5);
  s.Append(" world", 3);
  EXPECT_STREQ(s.Get(), "hello wo");
  s.Set("abcdef", 2);
  EXPECT_STREQ(s.Get(), "ab");
  s.Set(nullptr);
  EXPECT_TRUE(s.Empty());
  s.Set("x");
  s.Append(s.Get());  // text from the string itself
  s.Append(s.Get());
  EXPECT_STREQ(s.Get(), "xxxx");

  const std::string longText(1000, 'q');  // beyond the growth step
  s.Set(longText.c_str());
  s.Append(s.Get() + 10);
  EXPECT_EQ(s.GetLength(), 1990);

  s.SetFormatted(8, "%.1f dB", -12.345);
  EXPECT_STREQ(s.Get(), "-12.3 dB");
  s.SetFormatted(4, "%d", 123456);
  EXPECT_STREQ(s.Get(), "1234");
  s.SetFormatted(0, "%s-%d", "abc", 42);
  EXPECT_STREQ(s.Get(), "abc-42");
  s.AppendFormatted(3, "%05d", 7);
  EXPECT_STREQ(s.Get(), "abc-42000");
  s.SetLen(3);
  EXPECT_STREQ(s.Get(), "abc");
  s.SetLen(5);
  EXPECT_EQ(s.GetLength(), 5);
  EXPECT_STREQ(s.Get(), "abc");
  s.SetLen(-1);
  EXPECT_TRUE(s.Empty());
}

TEST(IByteChunk, PutGetIsLittleEndianAndBounded) {
  IByteChunk c;
  const int32_t i = 0x01020304;
  const double d = -2.5;
  EXPECT_EQ(c.Put(&i), 4);
  EXPECT_EQ(c.Put(&d), 12);
  EXPECT_EQ(c.GetData()[0], 0x04);
  EXPECT_EQ(c.GetData()[3], 0x01);

  int32_t ri = 0;
  double rd = 0.0;
  EXPECT_EQ(c.Get(&ri, 0), 4);
  EXPECT_EQ(c.Get(&rd, 4), 12);
  EXPECT_EQ(ri, i);
  EXPECT_EQ(rd, d);
  EXPECT_EQ(c.Get(&rd, 5), -1);  // one byte short
  EXPECT_EQ(c.Get(&ri, -1), -1);
  EXPECT_EQ(c.GetBytes(&ri, -4, 0), -1);
  EXPECT_EQ(c.GetBytes(&ri, 0, 12), 12);
  EXPECT_EQ(c.Get(&ri, 0x7FFFFFFE), -1);  // no overflow past the end

  IByteChunk other;
  other.PutBytes(c.GetData(), c.Size());
  EXPECT_TRUE(other.IsEqual(c));
  other.Resize(3);
  EXPECT_FALSE(other.IsEqual(c));
  other.Clear();
  EXPECT_EQ(other.Size(), 0);
}

TEST(IByteChunk, StringsAndDamagedLengths) {
  IByteChunk c;
  c.PutStr("Bass");
  c.PutStr("");
  EXPECT_EQ(c.Size(), 4 + 4 + 4);
  WDL_String s;
  int pos = c.GetStr(s, 0);
  EXPECT_EQ(pos, 8);
  EXPECT_STREQ(s.Get(), "Bass");
  pos = c.GetStr(s, pos);
  EXPECT_EQ(pos, 12);
  EXPECT_STREQ(s.Get(), "");

  s.Set("keep");
  EXPECT_EQ(c.GetStr(s, 12), -1);
  IByteChunk bad;
  const int32_t tooLong = 5, negative = -3;
  bad.Put(&tooLong);
  bad.PutBytes("abcd", 4);
  EXPECT_EQ(bad.GetStr(s, 0), -1);
  IByteChunk neg;
  neg.Put(&negative);
  EXPECT_EQ(neg.GetStr(s, 0), -1);
  EXPECT_STREQ(s.Get(), "keep");
}
