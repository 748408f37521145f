#include "app/drive_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/drive_list.h"
#include "platform/drives.h"

namespace fenmora::app {

DriveBox::DriveBox(QWidget* parent, std::function<bool(const QString&)> holdsCard)
    : QObject(parent), holdsCard_(std::move(holdsCard)) {
  box_ = new QComboBox(parent);
  box_->setObjectName(QStringLiteral("curDrive"));
  // Shown while nothing is chosen (no card, no removable volume).
  box_->setPlaceholderText(QString::fromUtf8(texts::kChooseDrive));
  // The box is narrow: the whole text of the chosen entry shows as its tip.
  connect(box_, &QComboBox::currentIndexChanged, box_,
          [this](int index) { box_->setToolTip(box_->itemData(index, Qt::ToolTipRole).toString()); });
  // The user's own choice, which a mount never replaces.
  connect(box_, &QComboBox::activated, this, [this](int index) { chosen_ = box_->itemData(index).toString(); });
}

DriveBox::~DriveBox() {
  if (watch_) watch_->setEnabled(false);
  if (tableFd_ >= 0) ::close(tableFd_);
}

void DriveBox::SetMountTable(MountTableReader reader) {
  readTable_ = std::move(reader);
  Refresh();
}

void DriveBox::WatchSystemTable() {
  readTable_ = [] { return ReadMountInfo(); };
  Refresh();
  // The kernel marks the mount table's file as having an exceptional
  // condition (poll's POLLPRI) whenever a file system is mounted or
  // unmounted: no polling with a timer.
  tableFd_ = ::open(kMountInfoPath, O_RDONLY | O_CLOEXEC);
  if (tableFd_ < 0) return;  // no mount table: the list stays as it is
  watch_ = new QSocketNotifier(tableFd_, QSocketNotifier::Exception, this);
  connect(watch_, &QSocketNotifier::activated, this, &DriveBox::ReadTableChange);
}

void DriveBox::ReadTableChange() {
  // The change stays signalled until the file is read again from its start.
  char buffer[4096];
  ::lseek(tableFd_, 0, SEEK_SET);
  while (::read(tableFd_, buffer, sizeof buffer) > 0) {
  }
  Refresh();
}

void DriveBox::AddFolder(const QString& folder) {
  const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  int at = box_->findData(path);
  if (at < 0) {
    addedFolders_ << path;
    AddFolderEntry(path);
    at = box_->count() - 1;
  }
  chosen_ = path;
  box_->setCurrentIndex(at);
}

void DriveBox::AddFolderEntry(const QString& folder) {
  // A folder given by hand is marked as a volume is when it holds a card.
  const bool card = holdsCard_ && holdsCard_(folder);
  const QString text = DriveText(QDir::toNativeSeparators(folder), QString(), card);
  box_->addItem(text, folder);
  box_->setItemData(box_->count() - 1, card, kCardRole);
  box_->setItemData(box_->count() - 1, text, kWholeTextRole);
  ShowEntries();
}

QString DriveBox::Chosen() const { return box_->currentData().toString(); }

void DriveBox::SetLoaded(const QString& root) {
  loaded_ = root;
  ShowEntries();
}

bool DriveBox::KnownReader(const QString& root) const {
  const int entry = box_->findData(root);
  return entry >= 0 && (box_->itemData(entry, kCardRole).toBool() || box_->itemData(entry, kRemovableRole).toBool());
}

void DriveBox::Refresh() {
  const std::vector<DriveChoice> drives = MountedDrives(readTable_ ? readTable_() : std::string());
  const QString current = box_->currentData().toString();
  QStringList volumes;
  for (const DriveChoice& d : drives) volumes << d.path;

  // What stays chosen: the user's choice, else the loaded card; a card that
  // arrives is chosen only when neither is listed.
  QString keep;
  for (const QString& wanted : {chosen_, loaded_})
    if (keep.isEmpty() && !wanted.isEmpty() && (volumes.contains(wanted) || addedFolders_.contains(wanted)))
      keep = wanted;
  if (keep.isEmpty())
    for (const DriveChoice& d : drives)
      if (d.card && !volumes_.contains(d.path)) {
        keep = d.path;
        break;
      }
  {
    const QSignalBlocker quiet(box_);
    box_->clear();
    for (const DriveChoice& d : drives) {
      box_->addItem(d.text, d.path);
      box_->setItemData(box_->count() - 1, d.text, kWholeTextRole);
      box_->setItemData(box_->count() - 1, d.card, kCardRole);
      box_->setItemData(box_->count() - 1, d.removable, kRemovableRole);
    }
    for (const QString& folder : addedFolders_)
      if (!volumes.contains(folder)) AddFolderEntry(folder);
    int select = box_->findData(keep.isEmpty() ? current : keep);
    // Otherwise a card, else a removable volume; never the system's root,
    // which would be loaded with one careless click.
    for (size_t i = 0; select < 0 && i < drives.size(); ++i)
      if (drives[i].card || drives[i].removable) select = static_cast<int>(i);
    box_->setCurrentIndex(select);
  }
  ShowEntries();
  volumes_ = volumes;
  emit volumesChanged();
}

void DriveBox::ShowEntries() {
  QStyleOptionComboBox option;
  option.initFrom(box_);
  const QRect field = box_->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box_);
  const QIcon loadedMark(DataPixmap(QStringLiteral("load.png")));
  const QFontMetrics metrics = box_->fontMetrics();
  for (int i = 0; i < box_->count(); ++i) {
    const QString whole = box_->itemData(i, kWholeTextRole).toString();
    const bool isLoaded = !loaded_.isEmpty() && box_->itemData(i).toString() == loaded_;
    // The loaded card is marked; both ends of every entry show in the
    // narrow box (the label, or the mark, and the folder's own name), the
    // whole text as its tip.
    box_->setItemIcon(i, isLoaded ? loadedMark : QIcon());
    const int room = field.width() - (isLoaded ? box_->iconSize().width() + 4 : 0) - 4;
    box_->setItemText(i, metrics.elidedText(whole, Qt::ElideMiddle, room));
    box_->setItemData(i, isLoaded ? whole + QLatin1Char('\n') + QString::fromUtf8(texts::kLoadedCardMark) : whole,
                      Qt::ToolTipRole);
  }
  box_->setToolTip(box_->currentData(Qt::ToolTipRole).toString());
}

}  // namespace fenmora::app
