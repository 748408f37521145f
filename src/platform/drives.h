// Drives and card space: whether a folder lies on a removable medium, the
// volume's size and free bytes, and the projected free space shown while the
// lists are edited.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

// True when the volume holding root is removable: its disk reports removable
// in sysfs, lies on a USB bus, or is an mmcblk (SD slot) disk. Everything
// else, a plain folder included, is not removable.
bool IsRemovableDrive(const std::filesystem::path& root);

// True when a mount table's source names a card reader's block device
// ("/dev/sdb1" on a USB reader, "/dev/mmcblk0p1"): what a volume mounted
// through FUSE (exFAT) still says of its reader, where its folder no longer
// does.
bool IsCardReaderSource(std::string_view source);

class FileOps;

// True when root holds the handset's card layout: a PRIVATE\DOCOMO or an
// SD_VIDEO folder (names compared without regard to ASCII case, as on the
// card's FAT file system). A folder that cannot be listed holds none.
bool HoldsCardLayout(const std::filesystem::path& root, FileOps& ops);

// Total and free bytes of the volume holding root; -1 when root cannot be
// read (no card in the reader, a folder that does not exist).
std::int64_t DiskSize(const std::filesystem::path& root);
std::int64_t DiskFree(const std::filesystem::path& root);
// The volume's allocation unit (a FAT cluster): every file takes whole ones.
// The larger of the fragment and the block size statvfs gives, so that a
// file never counts for less than it takes; 1 when root cannot be read.
std::int64_t DiskCluster(const std::filesystem::path& root);

// The card's space: its capacity and the bytes in use once the pending edits
// are committed, so the projected free space is always capacity - used. Every
// file counts as the whole clusters it takes, so that a file let in here fits
// on the card. Kept in 64 bits; the window scales it for its bar.
struct CardSpace {
  std::int64_t capacity = 0;
  std::int64_t used = 0;
  std::int64_t cluster = 1;
  std::int64_t Free() const { return capacity - used; }
  void Init(std::int64_t size, std::int64_t free, std::int64_t clusterSize = 1) {
    capacity = size;
    used = size - free;
    cluster = clusterSize > 0 ? clusterSize : 1;
  }
  // The room a file of `bytes` takes: its size rounded up to whole clusters.
  std::int64_t Footprint(std::int64_t bytes) const {
    const std::int64_t unit = cluster > 0 ? cluster : 1;
    return bytes <= 0 ? 0 : (bytes / unit + (bytes % unit != 0)) * unit;
  }
  // Whether a new file of `bytes` fits in the clusters left free.
  bool Fits(std::int64_t bytes) const {
    const std::int64_t unit = cluster > 0 ? cluster : 1;
    return Footprint(bytes) <= Free() / unit * unit;
  }
};

// ---- the volumes the drive list offers

// A mounted file system as the mount table gives it.
struct MountedVolume {
  std::string mountPoint;  // where it is mounted (escapes decoded)
  std::string fsType;      // "vfat", "ext4", ...
  std::string source;      // "/dev/sdb1", ...
};

// The mount table's text (/proc/self/mountinfo) to the volumes that could hold
// a card, in mount order: the kernel's pseudo and in-memory file systems are
// left out, and a mount point mounted over again counts once, as its last
// mount. Lines that do not parse are skipped.
std::vector<MountedVolume> VolumesFromMountInfo(std::string_view mountInfo);

// A file system type that never holds a card (proc, sysfs, tmpfs, ...).
bool IsPseudoFileSystem(std::string_view type);

// The mount table of this process, as text; empty when it cannot be read.
std::string ReadMountInfo();
inline constexpr const char* kMountInfoPath = "/proc/self/mountinfo";

// "残り " + whole kilobytes in groups of three digits + " KB " (UTF-8).
std::string FreeSpaceText(std::int64_t freeBytes);
// Under 1000 KB the text and the bar turn red.
bool FreeSpaceIsLow(std::int64_t freeBytes);

}  // namespace fenmora
