// Where the program finds what it ships (icons, banner, ReadMe.txt, the
// documentation pages), the fonts it asks for, and how a link becomes a URL.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QString>
#include <QUrl>

namespace fenmora::app {

// The window's faces. No Linux font carries these names: the substitutions
// below map them to the metric-compatible IPA fonts.
inline constexpr const char* kProportionalFace = "ＭＳ Ｐゴシック";
inline constexpr const char* kFixedFace = "ＭＳ ゴシック";

// "ＭＳ Ｐゴシック" and "MS PGothic" -> IPAPGothic, "ＭＳ ゴシック" and
// "MS Gothic" -> IPAGothic. Called once at start-up, before any window.
void InstallFontSubstitutions();

// Qt's own texts (the buttons はい/いいえ/キャンセル/OK of message boxes, the
// file dialog) in Japanese whatever the system's locale: qtbase_ja from Qt's
// translations folder. Called once before the first window; false when the
// translation is not installed (the texts then stay English).
bool InstallQtTranslation();

// A face at a pixel size.
QFont PixelFont(const char* family, int pixels);

// The folder of the shipped data, found from the program's own folder: "data"
// beside the executable (the build tree, a portable copy), otherwise the
// installed one, ../share/fenmora from bin/. Empty when neither is there.
QString FindDataDir(const QString& programDir);

// FindDataDir of this program's folder; when there is none, the installed
// place all the same, so that every file looked up there is simply missing.
QString DataDir();
QString DataFile(const QString& relative);

// A picture from the data folder; a null pixmap when it is not there. With a
// size, shrunk or grown to fit it, keeping its aspect ratio.
QPixmap DataPixmap(const QString& relative, QSize fit = {});

// A link of links.h as a URL: an address with a scheme stays as it is, a
// relative one names a page in the data folder and becomes a file URL.
QUrl LinkUrl(const char* link);

// The file that "ヘルプ" opens: ReadMe.txt in the data folder; empty when
// there is none.
QString ReadMePath();

}  // namespace fenmora::app
