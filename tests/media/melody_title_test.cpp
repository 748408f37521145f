#include "media/melody_title.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/temp_card.h"

namespace fenmora {
namespace {

using namespace std::string_literals;
using TempDir = testcard::TempFolder;

// The usual 13-byte MLD header: magic, file length, header length, then the
// type and track bytes. The reader never looks at any of them.
std::string MldHeader() { return "melo"s + "\x00\x00\x01\x00"s + "\x00\x20"s + "\x01\x00\x01"s; }

// One header chunk: tag, 2-byte big-endian length, data.
std::string Chunk(std::string_view tag, std::string_view data) {
  std::string out(tag);
  out += static_cast<char>((data.size() >> 8) & 0xFF);
  out += static_cast<char>(data.size() & 0xFF);
  out += data;
  return out;
}

// "MThd" with its 6 bytes of data, then a track chunk header: 22 bytes.
std::string SmfHeaders() {
  return "MThd"s + "\x00\x00\x00\x06"s + "\x00\x00\x00\x01\x00\x60"s + "MTrk"s + "\x00\x00\x00\x40"s;
}

TEST(MldTitle, TitleEndsAtTheFollowingChunk) {
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Hello") + Chunk("sorc", "\x01\x02"s)), "Hello");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Tune") + Chunk("trac", "x")), "Tune");
  // CP932 text comes back as the stored bytes.
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "\x82\xA0\x82\xA2") + Chunk("copy", "")),
            "\x82\xA0\x82\xA2");
}

TEST(MldTitle, EndTagInsideTheTitleTextEndsIt) {
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Keynote") + Chunk("copy", "(c)")), "Key");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "protest") + Chunk("copy", "")), "");
}

TEST(MldTitle, ScanStartsAtTheFirstByteOfTheFile) {
  // An end tag in the magic, before the title, leaves no title at all.
  std::string bytes = MldHeader() + Chunk("titl", "Hello") + Chunk("sorc", "");
  bytes.replace(0, 4, "note");
  EXPECT_EQ(ParseMldTitle(bytes), "");
}

TEST(MldTitle, UnknownChunkJoinsTheTitleUpToItsLength) {
  // The high byte of the unknown chunk's length is the first zero.
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Hello") + Chunk("vers", "0401") + Chunk("sorc", "")),
            "Hellovers");
}

TEST(MldTitle, EmptyOrMissingTitleChunk) {
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "") + Chunk("copy", "x")), "");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("prot", "Hello") + Chunk("sorc", "")), "");
  EXPECT_EQ(ParseMldTitle(""), "");
}

TEST(MldTitle, TitleChunkAfterOtherInfoChunksIsFoundAndEndsWithItsLength) {
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("sorc", "\x01"s) + Chunk("vers", "0300") + Chunk("titl", "Hello") +
                          Chunk("copy", "x")),
            "Hello");
  // Its length decides, not the end tags of a first title chunk.
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("vers", "0401") + Chunk("titl", "protest note") + "trac"),
            "protest note");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("vers", "0401") + Chunk("titl", "ab\0cd"s)), "ab");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("vers", "0401") + Chunk("titl", std::string(300, 'A'))),
            std::string(kMldTitleBuffer, 'A'));
  // Only info chunks are looked through: a "titl" inside a track is no title.
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("vers", "0401") + "trac\x00\x00\x00\x08titl\x00\x01X"s), "");
}

TEST(MldTitle, WithoutEndTagTheTitleRunsToTheFileEndOrAZero) {
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Hello")), "Hello");
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Hel") + "\0lo"s), "Hel");
  // A tag cut short by the end of the file is only text.
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", "Abc") + "cop"), "Abccop");
}

TEST(MldTitle, TruncatedHeadersGiveNoTitle) {
  const std::string full = MldHeader() + Chunk("titl", "Hello");
  for (size_t n = 0; n <= 19; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ParseMldTitle(std::string_view(full).substr(0, n)), "");
  }
  EXPECT_EQ(ParseMldTitle(std::string_view(full).substr(0, 21)), "He");
}

TEST(MldTitle, LongTitleIsCutToTheTitleBuffer) {
  const std::string text(1000, 'A');
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", text)), std::string(kMldTitleBuffer, 'A'));
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", text.substr(0, 300)) + Chunk("sorc", "")),
            std::string(kMldTitleBuffer, 'A'));
  EXPECT_EQ(ParseMldTitle(MldHeader() + Chunk("titl", text.substr(0, 256)) + Chunk("sorc", "")),
            std::string(256, 'A'));
}

TEST(SmfTrackName, FirstNameEventInTheTrack) {
  const std::string bytes = SmfHeaders() + "\x00\xFF\x03\x05"s + "Piano" + "\x00\xFF\x2F\x00"s;
  ASSERT_EQ(bytes.find('\xFF'), 23u);
  EXPECT_EQ(ParseSmfTrackName(bytes), "Piano");
  // The name is raw bytes: no conversion.
  EXPECT_EQ(ParseSmfTrackName(SmfHeaders() + "\x00\xFF\x03\x04\x82\xA0\x82\xA2"s), "\x82\xA0\x82\xA2");
}

TEST(SmfTrackName, LengthIsOneByteNotAVariableLengthNumber) {
  const std::string name(0x81, 'n');
  EXPECT_EQ(ParseSmfTrackName("\xFF\x03\x81"s + name + "tail"), name);
}

TEST(SmfTrackName, CandidatesMustStartBeforeOffset2048) {
  const std::string name(255, 'x');
  std::string at2047 = std::string(2047, '\0') + "\xFF\x03\xFF"s + name;
  EXPECT_EQ(ParseSmfTrackName(at2047), name);  // the name runs on past 2048

  std::string at2048 = std::string(2048, '\0') + "\xFF\x03\x04"s + "late";
  EXPECT_EQ(ParseSmfTrackName(at2048), "");
}

TEST(SmfTrackName, EmptyNameEndsTheScan) {
  EXPECT_EQ(ParseSmfTrackName(SmfHeaders() + "\x00\xFF\x03\x00"s + "\x00\xFF\x03\x04Late"s), "");
}

TEST(SmfTrackName, SecondFfIsTakenAsTheTypeByte) {
  EXPECT_EQ(ParseSmfTrackName(SmfHeaders() + "\x00\xFF\xFF\x03\x04" "Abcd"s), "");
  // Another FF 03 later on is found as usual.
  EXPECT_EQ(ParseSmfTrackName("\xFF\xFF\x03\x04" "Abcd\xFF\x03\x02Ok"s), "Ok");
}

TEST(SmfTrackName, FileEndingInsideTheEventKeepsOnlyBytesPresent) {
  EXPECT_EQ(ParseSmfTrackName("\xFF\x03\x0A" "abc"s), "abc");
  EXPECT_EQ(ParseSmfTrackName("\xFF\x03"s), "");
  EXPECT_EQ(ParseSmfTrackName("\x00\xFF"s), "");
  EXPECT_EQ(ParseSmfTrackName(""), "");
  EXPECT_EQ(ParseSmfTrackName(SmfHeaders()), "");
}

// Random bytes, with the interesting patterns planted often enough that every
// branch of both scans is taken. A title must be bytes of the input at the
// place the rules take them from.
TEST(MelodyTitleRandomInput, NeverReadsOutsideTheInput) {
  std::mt19937 rng(20050307);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 3000);
  std::uniform_int_distribution<int> coin(0, 3);
  const char* const plants[] = {"copy", "prot", "sorc", "note", "trac", "\xFF\x03", "\xFF\xFF\x03"};
  for (int round = 0; round < 4000; ++round) {
    std::string bytes(static_cast<size_t>(length(rng)), '\0');
    for (char& c : bytes) c = static_cast<char>(coin(rng) == 0 ? 0 : byte(rng));
    if (coin(rng) != 0 && bytes.size() >= 17) bytes.replace(13, 4, "titl");
    for (int k = coin(rng) * 2; k > 0 && !bytes.empty(); --k) {
      const std::string plant = plants[std::uniform_int_distribution<size_t>(0, 6)(rng)];
      const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng);
      bytes.replace(at, std::min(plant.size(), bytes.size() - at), plant.substr(0, bytes.size() - at));
    }
    // A copy of exactly the input's size, so that a sanitizer sees any overrun.
    const std::string input(bytes);

    const std::string title = ParseMldTitle(input);
    ASSERT_LE(title.size(), kMldTitleBuffer);
    ASSERT_EQ(title.find('\0'), std::string::npos);
    // A title chunk not first among the info chunks gives its own bytes.
    if (!title.empty() && input.compare(13, 4, "titl") == 0) { ASSERT_EQ(input.compare(19, title.size(), title), 0); }
    if (!title.empty()) { ASSERT_NE(input.find(title), std::string::npos); }

    const std::string name = ParseSmfTrackName(input);
    ASSERT_LE(name.size(), 255u);
    if (!name.empty()) { ASSERT_NE(input.find(name), std::string::npos); }
  }
}

TEST(MelodyTitleFile, ReadersTakeTheirBytesFromTheFile) {
  TempDir dir;
  EXPECT_EQ(ReadMldTitle(dir.Write("a.mld", MldHeader() + Chunk("titl", "Hello") + Chunk("sorc", "x"))),
            "Hello");
  EXPECT_EQ(ReadMldTitle(dir.Write("long.mld", MldHeader() + Chunk("titl", std::string(70000, 'B')))),
            std::string(kMldTitleBuffer, 'B'));
  EXPECT_EQ(ReadSmfTrackName(dir.Write("a.mid", SmfHeaders() + "\x00\xFF\x03\x05"s + "Piano")), "Piano");

  // The reader takes in enough of the file for a name that starts at the last
  // possible place and has the greatest length.
  const std::string name(255, 'z');
  EXPECT_EQ(ReadSmfTrackName(dir.Write("late.mid", std::string(2047, '\0') + "\xFF\x03\xFF"s + name)), name);
  EXPECT_EQ(ReadSmfTrackName(dir.Write("cut.mid", "\xFF\x03\x0A" "abc"s)), "abc");
}

TEST(MelodyTitleFile, UnreadableFilesGiveNoTitle) {
  TempDir dir;
  EXPECT_EQ(ReadMldTitle(dir.path() / "missing.mld"), "");
  EXPECT_EQ(ReadSmfTrackName(dir.path() / "missing.mid"), "");
  EXPECT_EQ(ReadMldTitle(dir.path()), "");
  EXPECT_EQ(ReadSmfTrackName(dir.path()), "");
  EXPECT_EQ(ReadMldTitle(dir.Write("empty.mld", "")), "");
  EXPECT_EQ(ReadSmfTrackName(dir.Write("empty.mid", "")), "");
}

}  // namespace
}  // namespace fenmora
