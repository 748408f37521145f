#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/cardname.h"
#include "platform/fileops.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

bool IsRemovableDrive(const fs::path& root) {
  struct stat st;
  if (::stat(root.c_str(), &st) != 0) return false;
  // The block device of the volume: /sys/dev/block/MAJOR:MINOR.
  const fs::path dev = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                       std::to_string(minor(st.st_dev));
  std::error_code ec;
  fs::path block = fs::canonical(dev, ec);
  if (ec) return false;  // no block device: a folder on tmpfs, overlay, network...
  // A partition's parent is its disk.
  if (fs::exists(block / "partition", ec)) block = block.parent_path();
  const std::string disk = block.filename().string();
  if (ReadLine(block / "removable") == "1") return true;
  if (disk.rfind("mmcblk", 0) == 0) return true;  // built-in SD slots say removable 0
  return block.string().find("/usb") != std::string::npos;
}

std::int64_t DiskSize(const fs::path& root) {
  struct statvfs v;
  if (::statvfs(root.c_str(), &v) != 0) return -1;
  return static_cast<std::int64_t>(v.f_blocks) * static_cast<std::int64_t>(v.f_frsize);
}

std::int64_t DiskFree(const fs::path& root) {
  struct statvfs v;
  if (::statvfs(root.c_str(), &v) != 0) return -1;
  return static_cast<std::int64_t>(v.f_bavail) * static_cast<std::int64_t>(v.f_frsize);
}

std::string FreeSpaceText(std::int64_t freeBytes) {
  const std::int64_t k = freeBytes / 1024;
  return "残り " + std::to_string(k) + ".0 KB ";
}

bool FreeSpaceIsLow(std::int64_t freeBytes) { return freeBytes / 1024 < 1000; }

namespace {

// The entry of folder named `name` in any case that is a folder, if any.
std::optional<std::filesystem::path> SubFolder(const std::filesystem::path& folder,
                                               std::string_view name, FileOps& ops) {
  std::vector<std::string> names;
  if (!ops.ListFolder(folder, names).ok) return std::nullopt;
  for (const std::string& n : names)
    if (SameCardName(n, name) && ops.IsFolder(folder / n)) return folder / n;
  return std::nullopt;
}

}  // namespace

bool HoldsCardLayout(const std::filesystem::path& root, FileOps& ops) {
  if (SubFolder(root, "SD_VIDEO", ops)) return true;
  const auto priv = SubFolder(root, "PRIVATE", ops);
  return priv && SubFolder(*priv, "DOCOMO", ops);
}

}  // namespace fenmora
