#include "media/file_info.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_card.h"

namespace fenmora {
namespace {

using TempDir = testcard::TempFolder;

using testcard::LocalTime;

TEST(FileSize, SizeOfFilesAndOfWhatIsNotAFile) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Write("empty.jpg", "")), 0);
  EXPECT_EQ(FileSizeOf(dir.Write("some.jpg", std::string(12345, 'j'))), 12345);
  EXPECT_EQ(FileSizeOf(dir.path() / "missing.jpg"), -1);
  EXPECT_EQ(FileSizeOf(dir.path()), -1);
}

// A name that cannot be opened for reading, by anyone (the superuser
// included): a socket in the folder. Its size is not a file's.
TEST(FileSize, AFileThatCannotBeOpenedHasNoSize) {
  TempDir dir;
  const auto file = dir.path() / "locked.jpg";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(file.native().size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, file.c_str(), file.native().size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(FileSizeOf(file), -1);
}

// Sizes are 64 bits: a file of 4 GiB and more, or of 2 GiB and more, is
// neither wrapped nor negative.
TEST(FileSize, LargeFilesHaveTheirWholeSize) {
  TempDir dir;
  const auto file = dir.Write("big.3gp", "");
  std::error_code ec;
  std::filesystem::resize_file(file, 0x100000000ULL + 50000, ec);  // sparse: takes no room
  if (ec) GTEST_SKIP() << "no room for a sparse 4 GiB file here: " << ec.message();
  EXPECT_EQ(FileSizeOf(file), 4295017296LL);
  std::filesystem::resize_file(file, 0x80000000ULL, ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(FileSizeOf(file), 2147483648LL);
}

// A FIFO is not a file: looked at, never opened (opening it would wait for a
// writer).
TEST(FileSize, AFifoIsNotAFileAndIsNeverOpened) {
  TempDir dir;
  testcard::WatchedFifo fifo(dir.path() / "pipe.jpg");
  EXPECT_FALSE(PlainFileStatus(fifo.path()));
  EXPECT_EQ(FileSizeOf(fifo.path()), -1);
  EXPECT_FALSE(PlainFileStatus(dir.path()));
  EXPECT_FALSE(PlainFileStatus("/dev/null"));
  EXPECT_TRUE(PlainFileStatus(dir.Write("plain.jpg", "x")));
  EXPECT_FALSE(fifo.Opened());
}

TEST(FileTime, WholeMinutesOfTheLocalTime) {
  EXPECT_EQ(DateTextOf(LocalTime(2005, 3, 7, 9, 5, 59)), "2005:03:07 09:05:00");  // seconds dropped, not rounded
  EXPECT_EQ(DateTextOf(LocalTime(2000, 1, 1, 0, 0, 0)), "2000:01:01 00:00:00");
  EXPECT_EQ(DateTextOf(LocalTime(2019, 12, 31, 23, 59, 1)), "2019:12:31 23:59:00");
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
