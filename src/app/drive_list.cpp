#include "app/drive_list.h"

#include <QStorageInfo>
#include <algorithm>

#include "platform/drives.h"

namespace fenmora::app {

bool IsPseudoFileSystem(const QString& type) {
  static const char* const kPseudo[] = {
      "proc",     "sysfs",     "tmpfs",      "devtmpfs",   "devpts",      "overlay",
      "squashfs", "cgroup",    "cgroup2",    "mqueue",     "debugfs",     "tracefs",
      "securityfs", "pstore",  "bpf",        "autofs",     "configfs",    "fusectl",
      "hugetlbfs", "binfmt_misc", "nsfs",    "ramfs",      "efivarfs",    "rpc_pipefs",
      "selinuxfs", "nfsd",     "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
  const QString lower = type.toLower();
  return std::any_of(std::begin(kPseudo), std::end(kPseudo),
                     [&](const char* p) { return lower == QLatin1String(p); });
}

QString DriveText(const QString& mountPoint, const QString& label) {
  return label.isEmpty() ? mountPoint : mountPoint + QStringLiteral(" (") + label + QLatin1Char(')');
}

void OrderDrives(std::vector<DriveChoice>& drives) {
  std::stable_partition(drives.begin(), drives.end(), [](const DriveChoice& d) { return d.removable; });
}

std::vector<DriveChoice> MountedDrives() {
  std::vector<DriveChoice> drives;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid() || !v.isReady()) continue;
    if (IsPseudoFileSystem(QString::fromUtf8(v.fileSystemType()))) continue;
    const QString root = v.rootPath();
    DriveChoice d;
    d.path = root;
    d.text = DriveText(root, v.name());
    d.removable = IsRemovableDrive(root.toStdString());
    drives.push_back(d);
  }
  OrderDrives(drives);
  return drives;
}

}  // namespace fenmora::app
