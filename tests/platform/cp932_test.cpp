#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace fenmora {
namespace {

using namespace std::string_literals;

// 待受け画像 in CP932.
const std::string kWallpaperCp932 = "\x91\xD2\x8E\xF3\x82\xAF\x89\xE6\x91\x9C";

TEST(Cp932Convert, JapaneseTextRoundTrips) {
  EXPECT_EQ(Utf8ToCp932("あ"), "\x82\xA0");
  EXPECT_EQ(Utf8ToCp932("待受け画像"), kWallpaperCp932);
  EXPECT_EQ(Cp932ToUtf8(kWallpaperCp932), "待受け画像");
  // ASCII, half-width katakana (one byte) and full-width text mixed.
  EXPECT_EQ(Utf8ToCp932("ABC ｱ1あ"), "ABC \xB1" "1\x82\xA0");
  EXPECT_EQ(Cp932ToUtf8("ABC \xB1" "1\x82\xA0"), "ABC ｱ1あ");
  EXPECT_EQ(Utf8ToCp932(""), "");
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Cp932Convert, LongTextsConvertWhole) {
  std::string utf8, cp932;
  for (int i = 0; i < 2000; ++i) {
    utf8 += "画";
    cp932 += "\x89\xE6";
  }
  EXPECT_EQ(Utf8ToCp932(utf8), cp932);
  EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
}

TEST(Cp932Convert, CharacterCp932CannotHoldBecomesQuestionMark) {
  EXPECT_EQ(Utf8ToCp932("a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf8ToCp932("\U0001F600\U0001F600あ"), "??\x82\xA0");
}

TEST(Cp932Convert, InvalidUtf8KeepsTheFollowingText) {
  EXPECT_EQ(Utf8ToCp932("a\xFF" "b"s), "a?b");
  EXPECT_EQ(Utf8ToCp932("\x80x"s), "?x");
  EXPECT_EQ(Utf8ToCp932("\xE3\x81" "A"s), "?A");  // sequence cut short
  EXPECT_EQ(Utf8ToCp932("ab\xE3"s), "ab?");       // ... by the end of the text
  EXPECT_EQ(Utf8ToCp932("\xC0\x80z"s), "??z");    // overlong encoding
}

TEST(Cp932Convert, InvalidCp932KeepsTheFollowingText) {
  EXPECT_EQ(Cp932ToUtf8("\x80" "A"s), "?A");
  EXPECT_EQ(Cp932ToUtf8("\xA0" "A\xFD" "B"s), "?A?B");
  EXPECT_EQ(Cp932ToUtf8("\x81" "0"s), "?0");      // lead byte, then no trail byte
  EXPECT_EQ(Cp932ToUtf8("\x82" "Abc"s), "?Abc");  // a pair that is no character
  EXPECT_EQ(Cp932ToUtf8("ab\x82"s), "ab?");       // lead byte at the very end
  EXPECT_EQ(Cp932ToUtf8("\x85\x9F" "x"s), "?x");  // unassigned pair: one mark
}

TEST(Cp932Cut, NeverSplitsADoubleByteCharacter) {
  const std::string text = "ab" + kWallpaperCp932;
  EXPECT_EQ(Cp932CutBytes(text, 3), "ab");
  EXPECT_EQ(Cp932CutBytes(text, 4), "ab\x91\xD2");
  EXPECT_EQ(Cp932CutBytes(text, 5), "ab\x91\xD2");
  EXPECT_EQ(Cp932CutBytes(text, 100), text);
  EXPECT_EQ(Cp932CutBytes(text, 0), "");
  // A trail byte that looks like a lead byte is not taken for one.
  EXPECT_EQ(Cp932CutBytes("\x89\xE6\x89\xE6", 3), "\x89\xE6");  // 画画
  // Half-width katakana are single bytes.
  EXPECT_EQ(Cp932CutBytes("\xB1\xB2\xB3", 2), "\xB1\xB2");
}

TEST(Cp932, NamesTheCharactersItCannotHoldOnceEach) {
  EXPECT_TRUE(Cp932Unrepresentable("海の写真 ABC ① ?").empty());
  EXPECT_EQ(Cp932Unrepresentable("😀 café 😀 한"), (std::vector<std::string>{"😀", "é", "한"}));
}

}  // namespace
}  // namespace fenmora
