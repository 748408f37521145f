// The texts of fitting a movie to the handset; each is followed by the
// file's path, as the picture texts are.
#pragma once

#include <string>

#include "platform/language.h"

namespace fenmora::texts {

inline const char* const kConvertMovie = Say("携帯電話で再生できる形式に変換しますか？\n",
    "Convert it to a format the handset can play?\n");
inline std::string KeepMovieStart(const std::string& length, int seconds) {
  if (CurrentLanguage() == Language::English)
    return "The whole movie (" + length + ") does not fit the handset's size limit.\nConvert only its first " +
           std::to_string(seconds) + " seconds?\n";
  return "全体（" + length + "）は規定のサイズに収まりません．\n最初の " + std::to_string(seconds) +
         " 秒だけ変換しますか？\n";
}
// The file's data stops before the length its header gives.
inline std::string MovieCutShort(const std::string& until) {
  if (CurrentLanguage() == Language::English)
    return "Only part of it can be read: it is converted up to " + until + ".\n";
  return "途中までしか読めません：" + until + " まで変換します．\n";
}
inline const char* const kMovieBroken = Say("下記のファイルは動画として読めません（壊れているか、途中で切れています）．\n読込をスキップします．\n",
    "The file below cannot be read as a movie (it is damaged or cut short).\nSkipped.\n");
inline const char* const kMovieNoVideo = Say("下記のファイルには映像がありません．\n読込をスキップします．\n",
    "The file below has no picture.\nSkipped.\n");
inline const char* const kMovieFrameTooLarge = Say("下記のファイルは映像の大きさが大きすぎて読めません．\n読込をスキップします．\n",
    "The file below has a picture too large to read.\nSkipped.\n");
// The helper program ended without an answer: a fault inside the codecs.
inline const char* const kMovieHelperFailed = Say("動画の処理が異常終了しました（動画の読み書きに使うライブラリの障害です）．\n読込をスキップします．\n",
    "The movie work ended abnormally (a fault in the library that reads and writes movies).\nSkipped.\n");
// Even the coarsest picture is more than the handset's rate or size.
inline const char* const kMovieTooBusy = Say("下記のファイルは映像の動きや細かさが多すぎて、携帯電話で再生できるビットレートに収まりません．\n読込をスキップします．\n",
    "The file below has too much motion and detail to fit the bit rate the handset plays.\nSkipped.\n");
inline const char* const kMovieConverting = Say("変換中: ",
    "Converting: ");
// What a conversion made: the source, its length, whether that is the whole,
// the bytes and the video rate.
inline const char* const kMovieConverted = Say("{1} -> {2}（{3}{4} バイト、{5} kbit/s）",
    "{1} -> {2} ({3}{4} bytes, {5} kbit/s)");
inline const char* const kMovieWhole = Say("全体、", "whole, ");

}  // namespace fenmora::texts
