// The picture of the preview pane: a standby image file decoded and shrunk
// into the 145 x 145 pane.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <string_view>

namespace fenmora {

inline constexpr QSize kPreviewPaneSize{145, 145};

// The image formats the pane shows, chosen by the file name's extension.
enum class PreviewFormat { None, Bmp, Jpeg, Png, Tiff, Gif };

// The extension of a file name (from its last "." on), upper-cased in ASCII
// and compared as a whole: ".BMP", ".JPG", ".PNG", ".TIF", ".GIF". Anything
// else, ".JPEG" and ".TIFF" included, is None.
PreviewFormat PreviewFormatOf(std::string_view name);
bool IsPreviewableImage(std::string_view name);

// Decodes the file for the pane: shrunk to fit into `pane` keeping its aspect
// ratio (smoothly); a picture that already fits keeps its size and is not
// enlarged. JPEGs go through the program's own decoder with DCT scaling, the
// other formats through QImageReader. A file that is missing, unreadable,
// not previewable by its name, or not decodable gives a null image.
QImage LoadPreviewImage(const QString& path, QSize pane = kPreviewPaneSize);

}  // namespace fenmora
