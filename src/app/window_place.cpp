#include "app/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace fenmora::app {

namespace {
constexpr const char* kPositionKey = "window/position";
constexpr const char* kSizeKey = "window/size";
constexpr const char* kMaximizedKey = "window/maximized";
constexpr const char* kGeometryKey = "window/geometry";
}  // namespace

std::optional<WindowPlace> ReadWindowPlace(const QString& settingsFile) {
  if (settingsFile.isEmpty()) return std::nullopt;
  const QSettings settings(settingsFile, QSettings::IniFormat);
  const QVariant position = settings.value(QLatin1String(kPositionKey));
  const QVariant size = settings.value(QLatin1String(kSizeKey));
  if (!position.canConvert<QPoint>() || !size.canConvert<QSize>()) return std::nullopt;
  WindowPlace place{position.toPoint(), size.toSize(), settings.value(QLatin1String(kMaximizedKey)).toBool()};
  if (!place.size.isValid() || place.size.width() > 100000 || place.size.height() > 100000) return std::nullopt;
  return place;
}

void WriteWindowPlace(const QString& settingsFile, const WindowPlace& place) {
  if (settingsFile.isEmpty()) return;
  QSettings settings(settingsFile, QSettings::IniFormat);
  settings.setValue(QLatin1String(kPositionKey), place.framePosition);
  settings.setValue(QLatin1String(kSizeKey), place.size);
  settings.setValue(QLatin1String(kMaximizedKey), place.maximized);
}

WindowPlace PlaceOnScreens(const std::optional<WindowPlace>& kept, const QList<QRect>& screens,
                           QPoint firstPosition, QSize leastSize, QSize frameExtra) {
  const WindowPlace first{firstPosition, leastSize, false};
  if (!kept) return first;
  WindowPlace place = *kept;
  place.size = place.size.expandedTo(leastSize);
  const QRect frame(place.framePosition, place.size + frameExtra);
  for (const QRect& screen : screens)
    if (screen.contains(frame)) return place;
  // Not on any screen as it was: the first-run place, at the kept size if
  // it fits there, and maximized again if it was.
  place.framePosition = firstPosition;
  const QRect atFirst(firstPosition, place.size + frameExtra);
  bool fits = false;
  for (const QRect& screen : screens) fits = fits || screen.contains(atFirst);
  if (!fits) place.size = leastSize;
  return place;
}

void SaveWindowGeometry(const QWidget& window, const QString& settingsFile) {
  if (settingsFile.isEmpty()) return;
  QSettings(settingsFile, QSettings::IniFormat).setValue(QLatin1String(kGeometryKey), window.saveGeometry());
}

bool RestoreWindowGeometry(QWidget& window, const QString& settingsFile) {
  if (settingsFile.isEmpty()) return false;
  const QByteArray kept =
      QSettings(settingsFile, QSettings::IniFormat).value(QLatin1String(kGeometryKey)).toByteArray();
  if (kept.isEmpty() || !window.restoreGeometry(kept)) return false;
  // Never smaller than the window can be.
  window.resize(window.size().expandedTo(window.minimumSizeHint()));
  return true;
}

QList<QRect> AvailableScreenAreas() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
  return areas;
}

QPoint CentredOn(const QWidget& window, QSize dialogSize) {
  const QRect area = window.frameGeometry();
  return area.center() - QPoint(dialogSize.width() / 2, dialogSize.height() / 2);
}

}  // namespace fenmora::app
