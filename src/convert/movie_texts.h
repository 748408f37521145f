// The texts of fitting a movie to the handset; each is followed by the
// file's path, as the picture texts are.
#pragma once

#include <string>

namespace fenmora::texts {

inline constexpr const char* kConvertMovie = "携帯電話で再生できる形式に変換しますか？\n";
inline std::string KeepMovieStart(const std::string& length, int seconds) {
  return "全体（" + length + "）は規定のサイズに収まりません。\n最初の " + std::to_string(seconds) +
         " 秒だけ変換しますか？\n";
}
inline constexpr const char* kMovieBroken =
    "下記のファイルは動画として読めません（壊れているか、途中で切れています）。\n読込をスキップします。\n";
inline constexpr const char* kMovieNoVideo =
    "下記のファイルには映像がありません。\n読込をスキップします。\n";
inline constexpr const char* kMovieFrameTooLarge =
    "下記のファイルは映像の大きさが大きすぎて読めません。\n読込をスキップします。\n";
inline constexpr const char* kMovieConverting = "変換中: ";

}  // namespace fenmora::texts
