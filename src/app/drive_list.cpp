#include "app/drive_list.h"

#include <QFile>
#include <QStorageInfo>
#include <algorithm>

#include "platform/drives.h"
#include "platform/language.h"
#include "platform/fileops.h"

namespace fenmora::app {

namespace {
// In front of a volume that holds a card.
const char* const kCardMark = Say("［カード］", "[Card] ");
}  // namespace

QString DriveText(const QString& mountPoint, const QString& label, bool card) {
  // The label first: two cards mounted side by side differ there.
  const QString text = label.isEmpty() ? mountPoint : label + QStringLiteral("  ") + mountPoint;
  return card ? QString::fromUtf8(kCardMark) + text : text;
}

void OrderDrives(std::vector<DriveChoice>& drives) {
  std::stable_partition(drives.begin(), drives.end(), [](const DriveChoice& d) { return d.removable; });
  std::stable_partition(drives.begin(), drives.end(), [](const DriveChoice& d) { return d.card; });
}

std::vector<DriveChoice> MountedDrives(const std::string& mountInfo) {
  std::vector<DriveChoice> drives;
  RealFileOps fileOps;
  for (const MountedVolume& v : VolumesFromMountInfo(mountInfo)) {
    const std::filesystem::path root(v.mountPoint);
    std::error_code ec;
    // A file mounted over a file (a container's /etc/hosts) is no volume; a
    // volume that cannot be read is not ready.
    if (!std::filesystem::is_directory(root, ec) || DiskSize(root) < 0) continue;
    DriveChoice d;
    d.path = QFile::decodeName(QByteArray::fromStdString(v.mountPoint));
    d.card = HoldsCardLayout(root, fileOps);
    d.removable = IsRemovableDrive(root) || IsCardReaderSource(v.source);
    d.text = DriveText(d.path, QStorageInfo(d.path).name(), d.card);
    drives.push_back(d);
  }
  OrderDrives(drives);
  return drives;
}

}  // namespace fenmora::app
