// The texts of fitting a picture to the handset besides the common ones of
// sync/texts.h; each is followed by the file's path.
#pragma once

#include <string>

namespace fenmora::texts {

// A picture format the conversion does not read, named ("HEIC", "AVIF").
inline std::string PictureFormatNotRead(const std::string& format) {
  return "下記のファイルは" + format + "形式の写真です．この形式は変換できません．\n読込をスキップします．\n";
}
inline constexpr const char* kPictureCutShort =
    "下記のファイルは途中で切れているJPEGです（画像の下の部分がありません）．\n読込をスキップします．\n";

}  // namespace fenmora::texts
