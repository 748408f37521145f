#include "profile/profile.h"

#include <gtest/gtest.h>

namespace fenmora {
namespace {

TEST(NumberText, PadsWrapsAndRejects) {
  EXPECT_EQ(NumberText(7, 3), "007");
  EXPECT_EQ(NumberText(65, 4), "0065");
  EXPECT_EQ(NumberText(1000, 3), "000");
  EXPECT_EQ(NumberText(1234, 3), "234");
  EXPECT_EQ(NumberText(0, 3), "000");
  EXPECT_EQ(NumberText(999, 3), "999");
  EXPECT_EQ(NumberText(-5, 4), "0000");
  EXPECT_EQ(NumberText(12, 6), "");
  EXPECT_EQ(NumberText(12, 1), "");
  EXPECT_EQ(NumberText(99999, 5), "99999");
}

TEST(HandsetProfile, TablePathsUseTheKindsNumeral) {
  const HandsetProfile p = HandsetProfile::F900i();
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Image, 0), "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL");
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Image, 10), "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD010.TBL");
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Melody, 3), "\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD003.TBL");
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Movie, 1), "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL");
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Movie, 10), "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL00A.TBL");
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Movie, 4095), "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRLFFF.TBL");
  // Every placeholder of the pattern is replaced, the camera's included.
  EXPECT_EQ(p.ExpandTablePath(MediaKind::Camera, 5), "\\PRIVATE\\DOCOMO\\TABLE\\DCIM\\005F900I.TBL");
}

TEST(HandsetProfile, ContentFileNames) {
  const HandsetProfile p = HandsetProfile::F900i();
  EXPECT_EQ(p.ContentFileName(MediaKind::Image, 1, ".JPG"), "STIL0001.JPG");
  EXPECT_EQ(p.ContentFileName(MediaKind::Melody, 12, ".MLD"), "RING0012.MLD");
  EXPECT_EQ(p.ContentFileName(MediaKind::Movie, 10, ".3GP"), "MOL00A.3GP");
  EXPECT_EQ(p.ContentFileName(MediaKind::Movie, 255, ".3GP"), "MOL0FF.3GP");
  // Hexadecimal numbers grow past three digits instead of being cut.
  EXPECT_EQ(p.ContentFileName(MediaKind::Movie, 4096, ".MP4"), "MOL1000.MP4");
}

TEST(HandsetProfile, GroupFoldersAndNumbers) {
  const HandsetProfile p = HandsetProfile::F900i();
  EXPECT_EQ(p.GroupFolderText(MediaKind::Image, 0), "\\PRIVATE\\DOCOMO\\STILL");
  EXPECT_EQ(p.GroupFolderText(MediaKind::Image, 1), "\\PRIVATE\\DOCOMO\\STILL\\SUD001");
  EXPECT_EQ(p.GroupFolderText(MediaKind::Melody, 2), "\\PRIVATE\\DOCOMO\\RINGER\\RUD002");
  EXPECT_EQ(p.GroupFolderText(MediaKind::Movie, 0), "\\SD_VIDEO\\PRL001");
  EXPECT_EQ(p.GroupFolderText(MediaKind::Movie, 9), "\\SD_VIDEO\\PRL00A");
  EXPECT_EQ(HandsetProfile::TableNumberOfGroup(MediaKind::Image, 0), 0);
  EXPECT_EQ(HandsetProfile::TableNumberOfGroup(MediaKind::Movie, 0), 1);
}

TEST(HandsetProfile, ExtensionsMatchInUpperCase) {
  const HandsetProfile p = HandsetProfile::F900i();
  ASSERT_NE(p.FindExtension(MediaKind::Image, ".jpg"), nullptr);
  EXPECT_EQ(p.FindExtension(MediaKind::Image, ".jpg")->maxSize, 102400);
  EXPECT_EQ(p.FindExtension(MediaKind::Melody, ".Mid")->maxSize, 40960);
  EXPECT_EQ(p.FindExtension(MediaKind::Movie, ".mp4")->maxSize, 307200);
  EXPECT_EQ(p.FindExtension(MediaKind::Image, ".jpeg"), nullptr);
  EXPECT_EQ(p.FindExtension(MediaKind::Image, ".MLD"), nullptr);
  EXPECT_EQ(ExtensionOf("photo.final.jpg"), ".jpg");
  EXPECT_EQ(ExtensionOf("README"), "");
  EXPECT_TRUE(HandsetProfile().Kind(MediaKind::Image).contentFolder.empty());
  EXPECT_FALSE(HandsetProfile().Supported(MediaKind::Image));
  EXPECT_TRUE(p.Supported(MediaKind::Movie));
}

}  // namespace
}  // namespace fenmora
