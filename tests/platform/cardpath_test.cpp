#include "platform/cardpath.h"

#include <gtest/gtest.h>

#include "support/temp_card.h"

namespace fenmora {
namespace {

using testcard::TempFolder;

TEST(CardPath, NormalForms) {
  EXPECT_EQ(NormalizeCardFolder("\\PRIVATE\\DOCOMO\\STILL"), "\\PRIVATE\\DOCOMO\\STILL\\");
  EXPECT_EQ(NormalizeCardFolder("\\\\PRIVATE\\DOCOMO\\STILL\\\\"), "\\PRIVATE\\DOCOMO\\STILL\\");
  EXPECT_EQ(NormalizeCardFolder("PRIVATE/DOCOMO/./STILL/"), "\\PRIVATE\\DOCOMO\\STILL\\");
  EXPECT_EQ(NormalizeCardFolder(""), "\\");
  EXPECT_EQ(CardFolderForDisplay("\\PRIVATE\\DOCOMO\\STILL\\"), "PRIVATE/DOCOMO/STILL");
}

TEST(CardPath, RefusesWhatLeadsOutside) {
  for (std::string_view bad : {"..", "\\..\\..\\x", "\\PRIVATE\\..\\..", "C:\\x", "C:", "a:b",
                               "/PRIVATE/../../etc"})
    EXPECT_FALSE(NormalizeCardFolder(bad)) << bad;
  EXPECT_FALSE(NormalizeCardFolder(std::string_view("\\PRI\0VATE", 9)));
  EXPECT_FALSE(NormalizeCardFolder("\\PRI\nVATE"));
  for (std::string_view bad : {"", ".", "..", "a\\b", "a/b", "C:x"})
    EXPECT_FALSE(IsSafeCardFileName(bad)) << bad;
  EXPECT_TRUE(IsSafeCardFileName("STIL0001.JPG"));
  EXPECT_TRUE(IsSafeCardFileName("..."));
}

TEST(CardPath, AbsoluteFolderTextStaysUnderTheRoot) {
  TempFolder root;
  const auto p = ResolveCardPath(root.path(), "/etc", "passwd");
  ASSERT_TRUE(p);
  EXPECT_EQ(*p, root.path() / "etc" / "passwd");
}

TEST(CardPath, SymbolicLinksOutOfTheCardAreRefused) {
  TempFolder root;
  TempFolder outside("fenmora-outside");
  std::filesystem::create_directories(root.path() / "PRIVATE");
  std::filesystem::create_directory_symlink(outside.path(), root.path() / "PRIVATE" / "DOCOMO");
  std::filesystem::create_symlink(outside.path() / "f", root.path() / "PRIVATE" / "link.jpg");
  std::filesystem::create_directories(root.path() / "PRIVATE" / "in");
  std::filesystem::create_directory_symlink(root.path() / "PRIVATE" / "in",
                                            root.path() / "PRIVATE" / "inner");
  EXPECT_FALSE(ResolveCardPath(root.path(), "\\PRIVATE\\DOCOMO\\STILL"));
  EXPECT_FALSE(ResolveCardPath(root.path(), "\\PRIVATE\\DOCOMO", "x.jpg"));
  EXPECT_FALSE(ResolveCardPath(root.path(), "\\PRIVATE", "link.jpg"));
  // A link that stays on the card is fine.
  EXPECT_TRUE(ResolveCardPath(root.path(), "\\PRIVATE\\inner", "x.jpg"));
  EXPECT_TRUE(ResolveCardPath(root.path(), "\\PRIVATE\\STILL\\NEW", "x.jpg"));
  // A file of a folder already resolved gives the same answers.
  const CardGuard card(root.path());
  for (std::string_view folderText : {"\\PRIVATE", "\\PRIVATE\\inner", "\\PRIVATE\\STILL\\NEW"}) {
    const auto folder = card.Resolve(folderText);
    ASSERT_TRUE(folder) << folderText;
    for (std::string_view name : {"link.jpg", "x.jpg", "..", "a/b"})
      EXPECT_EQ(card.ResolveIn(*folder, name), card.Resolve(folderText, name)) << folderText << name;
  }
  EXPECT_FALSE(card.ResolveIn(*card.Resolve("\\PRIVATE"), "link.jpg"));
}

}  // namespace
}  // namespace fenmora

#include "platform/cardname.h"

namespace fenmora {
namespace {

TEST(CardName, ComparesWithoutRegardToAsciiCaseOnly) {
  EXPECT_TRUE(SameCardName("stil0001.jpg", "STIL0001.JPG"));
  EXPECT_FALSE(SameCardName("STIL0001.JPG", "STIL0001.JPG_"));
  EXPECT_FALSE(SameCardName("STIL0001.JPG", "STIL0002.JPG"));
  // Bytes of CP932 double-byte characters are never folded: 0x82 0x61 and
  // 0x82 0x41 are two different characters.
  EXPECT_FALSE(SameCardName("\x82\x61", "\x82\x41"));
  EXPECT_EQ(CardNameKey("mld_0001.mld"), "MLD_0001.MLD");
  EXPECT_EQ(CardNameKey("\x82\x61z"), "\x82\x61Z");
}

}  // namespace
}  // namespace fenmora
