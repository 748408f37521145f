// Where the window stands between runs: its frame's position, its size and
// whether it was maximized, kept in a settings file. A place is taken back
// only where it fits on a screen that exists now (a monitor unplugged since
// leaves the window at its first-run place).
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace fenmora::app {

struct WindowPlace {
  QPoint framePosition;  // the window manager's frame, top left
  QSize size;            // the inner area
  bool maximized = false;
};

// The place kept in the file, as given to it; none when the file holds none
// or an unusable one.
std::optional<WindowPlace> ReadWindowPlace(const QString& settingsFile);
void WriteWindowPlace(const QString& settingsFile, const WindowPlace& place);

// The kept place as it may be used with these screens (their available
// areas): whole on one screen, the size no smaller than the window's least
// size; otherwise the first-run place at the least size.
WindowPlace PlaceOnScreens(const std::optional<WindowPlace>& kept, const QList<QRect>& screens,
                           QPoint firstPosition, QSize leastSize, QSize frameExtra);

// The window's geometry as Qt keeps it (QWidget::saveGeometry: the frame, the
// unmaximized place and size, the screen, whether maximized), beside the place
// above in the same file.
void SaveWindowGeometry(const QWidget& window, const QString& settingsFile);
// Takes the kept geometry back (before the window is first shown): false when
// the file holds none. Qt puts a window whose screen is gone on a screen
// there is, and a window kept maximized is maximized when shown.
bool RestoreWindowGeometry(QWidget& window, const QString& settingsFile);

// The available areas of the screens there are now.
QList<QRect> AvailableScreenAreas();

// A dialog's top left that centres it on its window.
QPoint CentredOn(const QWidget& window, QSize dialogSize);

}  // namespace fenmora::app
