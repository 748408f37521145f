// The volumes offered in the drive list: mounted, ready file systems that
// could hold a card, removable ones first.
#pragma once

#include <QString>
#include <vector>

namespace fenmora::app {

struct DriveChoice {
  QString path;   // the card root: the mount point or the folder
  QString text;   // what the list shows
  bool removable = false;
};

// The mounted volumes that are ready and valid, without the kernel's pseudo
// and in-memory file systems, removable ones first (each group in mount
// order).
std::vector<DriveChoice> MountedDrives();

// Removable ones first, keeping the order within each group.
void OrderDrives(std::vector<DriveChoice>& drives);

// A file system type that never holds a card (proc, sysfs, tmpfs, ...).
bool IsPseudoFileSystem(const QString& type);

// "/media/sd (CARD)": the mount point and, when there is one, the label.
QString DriveText(const QString& mountPoint, const QString& label);

}  // namespace fenmora::app
