#include "media/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/temp_card.h"

namespace fenmora {
namespace {

using TempDir = testcard::TempFolder;

using testcard::LocalTime;

void SetModificationTime(const std::filesystem::path& file, std::time_t when) {
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST(FileSize, SizeOfFilesAndOfWhatIsNotAFile) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Write("empty.jpg", "")), 0);
  EXPECT_EQ(FileSizeOf(dir.Write("some.jpg", std::string(12345, 'j'))), 12345);
  EXPECT_EQ(FileSizeOf(dir.path() / "missing.jpg"), -1);
  EXPECT_EQ(FileSizeOf(dir.path()), -1);
}

TEST(FileSize, UnreadableFileHasNoSize) {
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the superuser";
  TempDir dir;
  const auto file = dir.Write("locked.jpg", "abc");
  std::filesystem::permissions(file, std::filesystem::perms::none);
  EXPECT_EQ(FileSizeOf(file), -1);
  EXPECT_EQ(FileTimeText(file), "");
}

TEST(FileSize, LargeFilesKeepTheLow32Bits) {
  TempDir dir;
  const auto file = dir.Write("big.3gp", "");
  std::error_code ec;
  std::filesystem::resize_file(file, 0x100000005ULL, ec);  // sparse: takes no room
  if (ec) GTEST_SKIP() << "no room for a sparse 4 GiB file here: " << ec.message();
  EXPECT_EQ(FileSizeOf(file), 5);
  std::filesystem::resize_file(file, 0x80000000ULL, ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(FileSizeOf(file), INT32_MIN);
}

TEST(FileTime, WholeMinutesOfTheLocalModificationTime) {
  TempDir dir;
  const auto file = dir.Write("tune.mld", "x");
  SetModificationTime(file, LocalTime(2005, 3, 7, 9, 5, 59));
  EXPECT_EQ(FileTimeText(file), "2005:03:07 09:05:00");  // seconds dropped, not rounded
  SetModificationTime(file, LocalTime(2000, 1, 1, 0, 0, 0));
  EXPECT_EQ(FileTimeText(file), "2000:01:01 00:00:00");
  SetModificationTime(file, LocalTime(2019, 12, 31, 23, 59, 1));
  EXPECT_EQ(FileTimeText(file), "2019:12:31 23:59:00");
}

TEST(FileTime, NoTextForWhatCannotBeRead) {
  TempDir dir;
  EXPECT_EQ(FileTimeText(dir.path() / "missing.mld"), "");
  EXPECT_EQ(FileTimeText(dir.path()), "");
}

TEST(FileTime, TimesOutsideTheFatYearsArePinnedToItsLimits) {
  EXPECT_EQ(DateTextOf(LocalTime(1980, 1, 1, 0, 0, 0)), "1980:01:01 00:00:00");
  EXPECT_EQ(DateTextOf(LocalTime(1979, 12, 31, 23, 59, 59)), "1980:01:01 00:00:00");
  EXPECT_EQ(DateTextOf(LocalTime(1976, 2, 29, 12, 0, 0)), "1980:01:01 00:00:00");
  EXPECT_EQ(DateTextOf(LocalTime(2107, 12, 31, 23, 59, 59)), "2107:12:31 23:59:00");
  EXPECT_EQ(DateTextOf(LocalTime(2108, 2, 29, 8, 0, 0)), "2107:12:31 23:59:00");
}

}  // namespace
}  // namespace fenmora
