// The texts of fitting a picture to the handset besides the common ones of
// sync/texts.h; each is followed by the file's path.
#pragma once

#include <string>

namespace fenmora::texts {

// A photo of a format only the helper program reads ("HEIC", "AVIF") that
// it could not decode.
inline std::string PictureFormatNotRead(const std::string& format) {
  return "下記のファイルは" + format + "形式の写真ですが、読めませんでした．\n読込をスキップします．\n";
}
inline constexpr const char* kPictureCutShort =
    "下記のファイルは途中で切れているJPEGです（画像の下の部分がありません）．\n読込をスキップします．\n";

}  // namespace fenmora::texts
