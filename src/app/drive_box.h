// The drive list of the window: a combo box of the mounted volumes that could
// hold a card and of the folders added by hand. It watches the mount table
// (the kernel signals every mount and unmount), keeps the user's own choice
// across changes of the table and marks the loaded card.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QComboBox;
class QSocketNotifier;
class QWidget;

namespace fenmora::app {

class DriveBox : public QObject {
  Q_OBJECT
 public:
  // Makes the combo box ("curDrive") as a child of `parent`. `holdsCard`
  // tells whether a folder added by hand holds a card's layout.
  DriveBox(QWidget* parent, std::function<bool(const QString& folder)> holdsCard);
  ~DriveBox() override;

  QComboBox* box() const { return box_; }

  // Gives the mount table's text (/proc/self/mountinfo unless replaced).
  using MountTableReader = std::function<std::string()>;
  // Puts another mount table in place (a test's) and rereads it at once.
  void SetMountTable(MountTableReader reader);
  // Reads the system's mount table now and rereads it at each change.
  void WatchSystemTable();

  // Adds a folder (once) and chooses it: a card copied to disk, a card image
  // mounted anywhere, a test folder.
  void AddFolder(const QString& folder);
  // The card root chosen (empty when nothing is).
  QString Chosen() const;
  // The loaded card's root, marked in the list (empty: none loaded).
  void SetLoaded(const QString& root);
  // A volume of the mount table (not a folder added by hand).
  bool IsVolume(const QString& root) const { return volumes_.contains(root); }
  // Listed as holding a card or as a removable reader's volume.
  bool KnownReader(const QString& root) const;
  // The volumes of the mount table as last read.
  const QStringList& volumes() const { return volumes_; }

  // Rereads the mount table: volumes come and go, a card that arrives while
  // nothing is chosen is chosen.
  void Refresh();

 signals:
  // The mount table was read again (a volume may have come or gone).
  void volumesChanged();

 private:
  void AddFolderEntry(const QString& folder);
  // Each entry cut in the middle to the box's width, its whole text as its
  // tip, the loaded card marked.
  void ShowEntries();
  void ReadTableChange();

  QComboBox* box_ = nullptr;
  std::function<bool(const QString&)> holdsCard_;
  MountTableReader readTable_;
  int tableFd_ = -1;
  QSocketNotifier* watch_ = nullptr;
  // Folders added by hand (not from the mount table).
  QStringList addedFolders_;
  QStringList volumes_;
  // The entry the user chose (a mount never replaces it).
  QString chosen_;
  QString loaded_;
};

}  // namespace fenmora::app
