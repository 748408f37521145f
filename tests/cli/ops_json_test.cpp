// The operations file reader and the JSON string escaper of fenmora-cli.
#include <gtest/gtest.h>

#include "cli/json.h"
#include "cli/json_reader.h"
#include "cli/ops.h"

namespace fenmora::cli {
namespace {

TEST(ParseOps, EveryOperation) {
  const ParsedOps p = ParseOps(
      "# header\n"
      "\n"
      "   \t\n"
      "add image /home/u/my photo.jpg\r\n"
      "\tdelete\tmelody\t3\n"
      "up movie +2\n"
      "down image -1\n"
      "renumber melody\n"
      "  # indented comment\n"
      "title image 7   Hello  world \n"
      "up image 99999999999999999999");
  ASSERT_TRUE(p.Ok()) << p.errors.front().message;
  ASSERT_EQ(p.ops.size(), 7u);
  EXPECT_EQ(p.ops[0].type, Op::Type::Add);
  EXPECT_EQ(p.ops[0].kind, MediaKind::Image);
  EXPECT_EQ(p.ops[0].argument, "/home/u/my photo.jpg");
  EXPECT_EQ(p.ops[0].line, 4);
  EXPECT_EQ(p.ops[1].type, Op::Type::Delete);
  EXPECT_EQ(p.ops[1].kind, MediaKind::Melody);
  EXPECT_EQ(p.ops[1].position, 3);
  EXPECT_EQ(p.ops[2].type, Op::Type::Up);
  EXPECT_EQ(p.ops[2].kind, MediaKind::Movie);
  EXPECT_EQ(p.ops[2].position, 2);
  EXPECT_EQ(p.ops[3].type, Op::Type::Down);
  EXPECT_EQ(p.ops[3].position, -1);
  EXPECT_EQ(p.ops[4].type, Op::Type::Renumber);
  EXPECT_EQ(p.ops[4].line, 8);
  EXPECT_EQ(p.ops[5].type, Op::Type::Title);
  EXPECT_EQ(p.ops[5].position, 7);
  EXPECT_EQ(p.ops[5].argument, "Hello  world ");
  EXPECT_EQ(p.ops[5].line, 10);
  // A number no list reaches names no item.
  EXPECT_EQ(p.ops[6].position, 0);
}

TEST(ParseOps, EveryBadLineIsNamed) {
  const ParsedOps p = ParseOps(
      "move image 1\n"          // 1: unknown operation
      "renumber image\n"        // 2: fine
      "delete Image 1\n"        // 3: kinds are lower case
      "up image 1.5\n"          // 4: not a number
      "down image\n"            // 5: missing POS
      "title melody 2\n"        // 6: missing TEXT
      "add movie   \n"          // 7: missing PATH
      "delete image -\n"        // 8: a sign alone
      "renumber movie 3\n"      // 9: extra text
      "up image 1 2\n"          // 10: extra text
      "title image 1 ok\n"      // 11: fine
      + std::string("add image a\0b\n", 14));  // 12: NUL byte
  std::vector<int> lines;
  for (const OpsError& e : p.errors) lines.push_back(e.line);
  EXPECT_EQ(lines, (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 12}));
  EXPECT_EQ(p.ops.size(), 2u);
  EXPECT_NE(p.errors[0].message.find("move"), std::string::npos);
  EXPECT_NE(p.errors[2].message.find("1.5"), std::string::npos);
}

TEST(ParseOps, EmptyAndCommentOnlyTextsHoldNothing) {
  for (const char* text : {"", "\n\n", "# only\n#\n", "\r\n"}) {
    const ParsedOps p = ParseOps(text);
    EXPECT_TRUE(p.Ok()) << text;
    EXPECT_TRUE(p.ops.empty()) << text;
  }
}

TEST(JsonString, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonString("\n\r\t\b\f"), "\"\\n\\r\\t\\b\\f\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f\0", 4)), "\"\\u0001\\u001f\\u007f\\u0000\"");
  EXPECT_EQ(JsonString("写真 ♪ 😀"), "\"写真 ♪ 😀\"");
  EXPECT_EQ(JsonString("\xe2\x80\xa8\xe2\x80\xa9"), "\"\\u2028\\u2029\"");
}

TEST(JsonString, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  // CP932 bytes, a lone continuation byte, an overlong "/", an encoded
  // surrogate, a sequence cut short at the end, and one beyond U+10FFFF.
  EXPECT_EQ(JsonString("\x8e\xca"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonString("a\x80z"), "\"a\\ufffdz\"");
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonString("ok\xe5\x86"), "\"ok\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonString("\xf4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");
}

TEST(JsonString, EveryByteValueRoundTripsThroughAStrictReader) {
  std::string all;
  for (int b = 1; b < 0x80; ++b) all += static_cast<char>(b);
  all += "写\xff真";
  const testcli::JsonValue v = testcli::ParseJson(JsonString(all));
  std::string expected = all.substr(0, 0x7f);
  expected += "写\xef\xbf\xbd真";  // 0xFF as U+FFFD
  EXPECT_EQ(v.string, expected);
}

}  // namespace
}  // namespace fenmora::cli
