#include <gtest/gtest.h>

#include "platform/drives.h"
#include "platform/fileops.h"
#include "support/temp_card.h"

namespace fenmora {
namespace {

TEST(MountTable, VolumesThatCouldHoldACardInMountOrder) {
  const std::string table =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
      // optional fields, and a label with a space written as \040
      "90 27 8:17 / /media/user/NO\\040NAME rw,nosuid shared:45 master:3 - vfat /dev/sdb1 rw\n"
      "garbage line\n"
      "91 27 8:33 / /mnt/card rw - exfat /dev/sdc1 rw\n"
      // mounted over /mnt/card: the last mount is what is seen there
      "92 91 8:49 / /mnt/card rw - vfat /dev/sdd1 rw\n"
      "93 27 0:50 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw";  // no final newline
  const std::vector<MountedVolume> v = VolumesFromMountInfo(table);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].mountPoint, "/");
  EXPECT_EQ(v[0].fsType, "ext4");
  EXPECT_EQ(v[1].mountPoint, "/media/user/NO NAME");
  EXPECT_EQ(v[1].fsType, "vfat");
  EXPECT_EQ(v[1].source, "/dev/sdb1");
  EXPECT_EQ(v[2].mountPoint, "/mnt/card");
  EXPECT_EQ(v[2].source, "/dev/sdd1");
  EXPECT_TRUE(VolumesFromMountInfo("").empty());
  // Truncated lines never read past their end.
  EXPECT_TRUE(VolumesFromMountInfo("1 2 3:4 / /x rw -").empty());
  EXPECT_TRUE(VolumesFromMountInfo("1 2 3:4 / /x rw - vfat").empty());
  EXPECT_TRUE(VolumesFromMountInfo("1 2 3:4 / /x\\04").size() == 0);
}

TEST(MountTable, TheSystemsOwnTableHoldsTheRoot) {
  const std::vector<MountedVolume> v = VolumesFromMountInfo(ReadMountInfo());
  EXPECT_TRUE(std::any_of(v.begin(), v.end(), [](const MountedVolume& m) { return m.mountPoint == "/"; }));
}

// A volume mounted through FUSE says nothing of its reader in its folder; its
// mount table source still names the block device. Only a plain device name
// under /dev is looked up.
TEST(MountTable, OnlyADevicesNameIsTakenForACardReader) {
  for (const char* source : {"", "tmpfs", "/dev/", "/dev/../sys/sda", "/dev/mapper/card", "server:/share",
                             "/dev/no-such-device", "/dev/.hidden", "/dev/ram0"})
    EXPECT_FALSE(IsCardReaderSource(source)) << source;
  // The system's own disk (the root's source, when it is a device) is no reader.
  for (const MountedVolume& v : VolumesFromMountInfo(ReadMountInfo()))
    if (v.mountPoint == "/" && v.source.rfind("/dev/", 0) == 0 && !IsRemovableDrive("/")) {
      EXPECT_FALSE(IsCardReaderSource(v.source)) << v.source;
    }
}

TEST(MountTable, ACardLayoutIsFoundInAnyCase) {
  testcard::TempFolder a, b, c, d;
  std::filesystem::create_directories(a.path() / "PRIVATE/DOCOMO/STILL");
  std::filesystem::create_directories(b.path() / "sd_video");
  std::filesystem::create_directories(c.path() / "Private/Docomo");
  std::filesystem::create_directories(d.path() / "PRIVATE/SONY");
  d.Write("SD_VIDEO", "a file, not a folder");
  RealFileOps ops;
  EXPECT_TRUE(HoldsCardLayout(a.path(), ops));
  EXPECT_TRUE(HoldsCardLayout(b.path(), ops));
  EXPECT_TRUE(HoldsCardLayout(c.path(), ops));
  EXPECT_FALSE(HoldsCardLayout(d.path(), ops));
  EXPECT_FALSE(HoldsCardLayout(d.path() / "missing", ops));
}

}  // namespace
}  // namespace fenmora
