#include "app/app_paths.h"

#include "platform/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLibraryInfo>
#include <QTranslator>

namespace fenmora::app {

void InstallFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
}

bool InstallQtTranslation() {
  // Kept for the life of the application, which refers to it.
  static QTranslator* translator = nullptr;
  if (translator) return true;
  // In English Qt's own texts are already there.
  if (fenmora::CurrentLanguage() == fenmora::Language::English) return true;
  auto* candidate = new QTranslator(QCoreApplication::instance());
  if (!candidate->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete candidate;
    return false;
  }
  QCoreApplication::installTranslator(candidate);
  translator = candidate;
  return true;
}

QFont PixelFont(const char* family, int pixels) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(pixels);
  return font;
}

QString FindDataDir(const QString& programDir) {
  const QDir program(programDir);
  for (const QString& candidate :
       {program.filePath(QStringLiteral("data")),
        QDir::cleanPath(program.filePath(QStringLiteral(FENMORA_DATA_FROM_BIN)))}) {
    if (QFileInfo(candidate).isDir()) return candidate;
  }
  return {};
}

QString DataDir() {
  const QString programDir = QCoreApplication::applicationDirPath();
  const QString found = FindDataDir(programDir);
  if (!found.isEmpty()) return found;
  return QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(FENMORA_DATA_FROM_BIN)));
}

QString DataFile(const QString& relative) { return QDir(DataDir()).filePath(relative); }

QPixmap DataPixmap(const QString& relative, QSize fit) {
  const QString path = DataFile(relative);
  const QFileInfo file(path);
  if (!file.isFile()) return {};
  // Read with the format its name gives and without probing: left to guess,
  // Qt loads every image-format plugin installed (and their libraries) to ask
  // each about the file before it uses its own PNG reader, which costs the
  // window's start-up several milliseconds and megabytes.
  QImageReader reader(path, file.suffix().toLower().toLatin1());
  reader.setAutoDetectImageFormat(false);
  QPixmap picture = QPixmap::fromImage(reader.read());
  if (picture.isNull() || !fit.isValid() || picture.size() == fit) return picture;
  return picture.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QUrl LinkUrl(const char* link) {
  const QString text = QString::fromUtf8(link);
  const QUrl url(text);
  if (!url.scheme().isEmpty()) return url;
  return QUrl::fromLocalFile(DataFile(text));
}

QString ReadMePath() {
  // The program's own, never one that happens to lie in the folder the
  // program was started from.
  const QFileInfo shipped(DataFile(QStringLiteral("ReadMe.txt")));
  if (shipped.isFile()) return shipped.absoluteFilePath();
  return {};
}

}  // namespace fenmora::app
