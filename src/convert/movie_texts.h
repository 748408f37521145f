// The texts of fitting a movie to the handset; each is followed by the
// file's path, as the picture texts are.
#pragma once

#include <string>

namespace fenmora::texts {

inline constexpr const char* kConvertMovie = "携帯電話で再生できる形式に変換しますか？\n";
inline std::string KeepMovieStart(const std::string& length, int seconds) {
  return "全体（" + length + "）は規定のサイズに収まりません．\n最初の " + std::to_string(seconds) +
         " 秒だけ変換しますか？\n";
}
// The file's data stops before the length its header gives.
inline std::string MovieCutShort(const std::string& until) {
  return "途中までしか読めません：" + until + " まで変換します．\n";
}
inline constexpr const char* kMovieBroken =
    "下記のファイルは動画として読めません（壊れているか、途中で切れています）．\n読込をスキップします．\n";
inline constexpr const char* kMovieNoVideo =
    "下記のファイルには映像がありません．\n読込をスキップします．\n";
inline constexpr const char* kMovieFrameTooLarge =
    "下記のファイルは映像の大きさが大きすぎて読めません．\n読込をスキップします．\n";
// The helper program ended without an answer: a fault inside the codecs.
inline constexpr const char* kMovieHelperFailed =
    "動画の処理が異常終了しました（動画の読み書きに使うライブラリの障害です）．\n読込をスキップします．\n";
// Even the coarsest picture is more than the handset's rate or size.
inline constexpr const char* kMovieTooBusy =
    "下記のファイルは映像の動きや細かさが多すぎて、携帯電話で再生できるビットレートに収まりません．\n読込をスキップします．\n";
inline constexpr const char* kMovieConverting = "変換中: ";

}  // namespace fenmora::texts
