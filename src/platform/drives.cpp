#include "platform/drives.h"

#include "platform/language.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
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

// The mount table writes space, tab, newline and backslash as octal escapes
// ("\040").
std::string DecodeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + static_cast<long>(i) + 1, field.begin() + static_cast<long>(i) + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

}  // namespace

std::vector<MountedVolume> VolumesFromMountInfo(std::string_view mountInfo) {
  std::vector<MountedVolume> volumes;
  size_t start = 0;
  while (start < mountInfo.size()) {
    size_t end = mountInfo.find('\n', start);
    if (end == std::string_view::npos) end = mountInfo.size();
    const std::string_view line = mountInfo.substr(start, end - start);
    start = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const std::vector<std::string_view> f = SplitSpaces(line);
    const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 5 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
    MountedVolume v;
    v.mountPoint = DecodeMountField(f[4]);
    v.fsType = DecodeMountField(dash[1]);
    v.source = DecodeMountField(dash[2]);
    if (v.mountPoint.empty() || v.mountPoint[0] != '/' || IsPseudoFileSystem(v.fsType)) continue;
    // Mounted over again: the last mount is the one seen there.
    volumes.erase(std::remove_if(volumes.begin(), volumes.end(),
                                 [&](const MountedVolume& o) { return o.mountPoint == v.mountPoint; }),
                  volumes.end());
    volumes.push_back(std::move(v));
  }
  return volumes;
}

bool IsPseudoFileSystem(std::string_view type) {
  static constexpr std::string_view kPseudo[] = {
      "proc",       "sysfs",       "tmpfs",      "devtmpfs",  "devpts",          "overlay",
      "squashfs",   "cgroup",      "cgroup2",    "mqueue",    "debugfs",         "tracefs",
      "securityfs", "pstore",      "bpf",        "autofs",    "configfs",        "fusectl",
      "hugetlbfs",  "binfmt_misc", "nsfs",       "ramfs",     "efivarfs",        "rpc_pipefs",
      "selinuxfs",  "nfsd",        "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
  return std::any_of(std::begin(kPseudo), std::end(kPseudo),
                     [&](std::string_view p) { return SameCardName(type, p); });
}

std::string ReadMountInfo() {
  std::ifstream in(kMountInfoPath);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// A block device's sysfs folder (/sys/dev/block/8:17, /sys/class/block/sdb1)
// as removable: its disk reports removable, is an mmcblk (SD slot) disk or
// lies on a USB bus.
bool RemovableBlock(const fs::path& sysfsBlock) {
  std::error_code ec;
  fs::path block = fs::canonical(sysfsBlock, ec);
  if (ec) return false;  // no block device: a folder on tmpfs, overlay, network...
  // A partition's parent is its disk.
  if (fs::exists(block / "partition", ec)) block = block.parent_path();
  const std::string disk = block.filename().string();
  if (ReadLine(block / "removable") == "1") return true;
  if (disk.rfind("mmcblk", 0) == 0) return true;  // built-in SD slots say removable 0
  return block.string().find("/usb") != std::string::npos;
}

}  // namespace

bool IsRemovableDrive(const fs::path& root) {
  struct stat st;
  if (::stat(root.c_str(), &st) != 0) return false;
  // The block device of the volume: /sys/dev/block/MAJOR:MINOR.
  return RemovableBlock("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                        std::to_string(minor(st.st_dev)));
}

bool IsCardReaderSource(std::string_view source) {
  constexpr std::string_view kDev = "/dev/";
  if (source.substr(0, kDev.size()) != kDev) return false;
  const std::string name(source.substr(kDev.size()));
  if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') return false;
  return RemovableBlock("/sys/class/block/" + name);
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

std::int64_t DiskCluster(const fs::path& root) {
  struct statvfs v;
  if (::statvfs(root.c_str(), &v) != 0) return 1;
  const auto unit = static_cast<std::int64_t>(std::max(v.f_frsize, v.f_bsize));
  return unit > 0 ? unit : 1;
}

std::string FreeSpaceText(std::int64_t freeBytes) {
  const std::int64_t k = freeBytes / 1024;
  // Whole kilobytes, in groups of three digits: "残り 81,849,144 KB ".
  const std::string digits = std::to_string(k < 0 ? -k : k);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  static const char* const kFree = Say("残り {1} KB ", "{1} KB free ");
  return Fill(kFree, {(k < 0 ? "-" : "") + grouped});
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
