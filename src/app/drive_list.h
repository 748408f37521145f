// The volumes offered in the drive list: mounted, ready file systems that
// could hold a card; those holding a card's layout first and marked, then
// removable ones, then the rest.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace fenmora::app {

// The drive list's item data that says a volume holds a card (bool).
inline constexpr int kCardRole = Qt::UserRole + 1;
// ... and that its reader is a removable one (USB mass storage, SD/MMC).
inline constexpr int kRemovableRole = Qt::UserRole + 2;
// ... and its whole text (what the list shows is cut in the middle to fit).
inline constexpr int kWholeTextRole = Qt::UserRole + 3;

struct DriveChoice {
  QString path;   // the card root: the mount point or the folder
  QString text;   // what the list shows
  bool removable = false;
  bool card = false;  // holds the handset's card layout
};

// The volumes of a mount table's text (see VolumesFromMountInfo) that are
// ready folders, in the list's order.
std::vector<DriveChoice> MountedDrives(const std::string& mountInfo);

// Cards first, then removable ones, keeping the order within each group.
void OrderDrives(std::vector<DriveChoice>& drives);

// "CARD  /media/sd": the label, when there is one, and the mount point; a
// card is marked in front.
QString DriveText(const QString& mountPoint, const QString& label, bool card = false);

}  // namespace fenmora::app
