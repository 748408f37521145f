// Replays the inputs kept from fuzzing (fuzz/regressions/<target>/*) through
// the same checks the fuzz targets run, without libFuzzer, so that a fixed
// finding stays fixed in every ordinary test run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_checks.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using fuzzing::CardFixture;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzRegressions, EveryKeptInputPassesTheChecksOfItsTarget) {
  const fs::path dir = FENMORA_FUZZ_REGRESSIONS;
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  const CardFixture card;
  int replayed = 0;
  for (const auto& target : fs::directory_iterator(dir)) {
    if (!target.is_directory()) continue;
    const std::string name = target.path().filename().string();
    const auto check = fuzzing::CheckOfTarget(name);
    ASSERT_NE(check, nullptr) << "a folder of findings for no fuzz target: " << name;
    for (const auto& file : fs::directory_iterator(target.path())) {
      if (!file.is_regular_file()) continue;
      EXPECT_EQ(check(card, ReadAll(file.path())), "") << file.path();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

// The card path check against the links of its card: every route out is
// refused, and the routes that stay inside are taken.
TEST(FuzzChecks, CardLinksAreConfined) {
  const CardFixture card;
  for (std::string_view input :
       {"\\OUT\xFF" "f\xFF", "\\OUT\\dir\xFFx\xFFy", "\\PRIVATE\\DOCOMO\\UP\xFF" "f\xFF",
        "\\GONE\xFFx\xFFy", "\\PRIVATE\\DOCOMO\\STILL\\LOOP\xFFx\xFFy",
        "\\PRIVATE\\DOCOMO\\STILL\xFFlink\xFFjpg", "\\TRICK\xFFx\xFFy", "\\TRICK\\dir\xFF\xFF",
        "\\SD_VIDEO\\ROOT\\tmp\xFFx\xFFy", "\\PRIVATE\\IN\\STILL\xFFSTIL0001\xFFJPG",
        "\\PRIVATE\\DOCOMO\\STILL\\NEW\xFFx\xFFy"})
    EXPECT_EQ(fuzzing::CheckCardPath(card, input), "") << fuzzing::Printable(input);

  const auto in = ResolveCardPath(card.root(), "\\PRIVATE\\IN\\STILL", "STIL0001.JPG");
  ASSERT_TRUE(in);
  EXPECT_TRUE(fs::exists(*in));
  EXPECT_FALSE(ResolveCardPath(card.root(), "\\OUT", "f"));
  EXPECT_FALSE(ResolveCardPath(card.root(), "\\PRIVATE\\DOCOMO\\UP", "f"));
  EXPECT_FALSE(ResolveCardPath(card.root(), "\\GONE"));
  // TRICK -> "nothere/../OUT": out of the card as soon as "nothere" is made.
  EXPECT_FALSE(ResolveCardPath(card.root(), "\\TRICK", "x"));
  EXPECT_FALSE(IsInside(card.root(), card.root() / "TRICK"));
  EXPECT_FALSE(ResolveCardPath(card.root(), "\\PRIVATE\\DOCOMO\\STILL", "link.jpg"));
}

// Found by fuzz_cp932: glibc's converter dropped the tag characters
// U+E0000-U+E007F without a mark.
TEST(FuzzFindings, TagCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp932("\xF3\xA0\x80\xA0"), "?");                             // U+E0020
  EXPECT_EQ(Utf8ToCp932("a\xF3\xA0\x80\x80" "b\xF3\xA0\x81\xBF"), "a?b?");    // U+E0000, U+E007F
  EXPECT_EQ(Utf8ToCp932("\xF3\xA0\x82\x80"), "?");  // U+E0080 is no tag, and no CP932 either
  EXPECT_EQ(Utf8ToCp932("\xF3\xA0\x80"), "?");        // a tag cut short by the end of the text
  EXPECT_EQ(Utf8ToCp932("あ\xF3\xA0\x80\xA0あ"), "\x82\xA0?\x82\xA0");
}

TEST(FuzzChecks, CardPathInputSplitsAtTheFirstTwoFfBytes) {
  auto in = fuzzing::SplitCardPathInput("\\A\\B\xFFSTEM\xFF" "EXT\xFFmore");
  EXPECT_EQ(in.folder, "\\A\\B");
  EXPECT_EQ(in.stem, "STEM");
  EXPECT_EQ(in.ext, "EXT\xFFmore");
  in = fuzzing::SplitCardPathInput("\\A");
  EXPECT_EQ(in.folder, "\\A");
  EXPECT_TRUE(in.stem.empty() && in.ext.empty());
  in = fuzzing::SplitCardPathInput("\xFFS");
  EXPECT_EQ(in.folder, "");
  EXPECT_EQ(in.stem, "S");
  EXPECT_TRUE(in.ext.empty());
}

}  // namespace
}  // namespace fenmora
