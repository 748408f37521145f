// The command line's own texts, in the language of the run (the core's are
// in sync/texts.h). "{1}", "{2}", ... are blanks Fill() fills. Words the user
// types (commands, options, KIND words, CARD, OPS) stay as they are typed.
#pragma once

#include "platform/language.h"

namespace fenmora::cli::say {

// ---- loading
inline const char* const kInterruptedLists = Say(
    "このカードの更新が途中で中断されているか（ルートに {1} があります）、別のプログラムが今カードに書き込んでいます．一覧はカードのテーブルの今の内容です．\n",
    "an update of this card was interrupted ({1} at its root), or another program is writing the card now; the lists are its tables as they are now.\n");
// After a word of an interrupted update: the two commands that deal with it
// on the card {1}.
inline const char* const kRecoveryCommands = Say(
    "  その更新を完了するには:     fenmora-cli finish {1}\n"
    "  更新前の状態に戻すには:     fenmora-cli revert {1}\n",
    "  to finish that update:                 fenmora-cli finish {1}\n"
    "  to return the card to its state before: fenmora-cli revert {1}\n");
inline const char* const kRecordsLeftOut = Say(
    "{1} 件の登録を読み込みませんでした：ファイルが無いか、カードの外を指しています（fenmora-cli check で一覧できます）．",
    "{1} record(s) left out: their file is missing or they lead outside the card (fenmora-cli check lists them)");
inline const char* const kNoCardAt = Say("{1} にカードがありません：フォルダーではありません．",
                                         "no card at {1}: not a folder");

// ---- the operations file
inline const char* const kOpsFromStdinUnreadable = Say("操作を標準入力から読めません．",
                                                       "cannot read the operations from standard input");
inline const char* const kOpsNotAFile = Say("操作ファイル {1} を読めません：ファイルではありません．",
                                            "cannot read the operations file {1}: not a file");
inline const char* const kOpsUnreadable = Say("操作ファイル {1} を読めません．", "cannot read the operations file {1}");
inline const char* const kStdinName = Say("<標準入力>", "<stdin>");
// Where an operations file holds a bad line: the file, the line, why.
inline const char* const kOpsLineError = Say("{1}：{2} 行目：{3}", "{1}: line {2}: {3}");
// Before what is said of one line of the operations.
inline const char* const kLine = Say("{1} 行目：", "line {1}: ");
inline const char* const kAddsStopped = Say("追加しません（前の行で追加が止まりました）：{1}",
                                            "not added, the adds stopped at an earlier line: {1}");
inline const char* const kNoItem = Say("{1}の一覧に {2} 番はありません（この行の時点で {3} 件です）",
                                       "the {1} list has no item {2} (it holds {3} at this line)");
inline const char* const kTitleStoredAs = Say("タイトルを「{1}」として保存します：{2}", "title stored as \"{1}\": {2}");
inline const char* const kAlreadyFirst = Say("何もしません：{1} {2} 番はすでに先頭です",
                                             "nothing done: {1} {2} is already first");
inline const char* const kAlreadyLast = Say("何もしません：{1} {2} 番はすでに最後です",
                                            "nothing done: {1} {2} is already last");
// The kinds as a line of the operations or of the lists names them.
inline const char* const kKindWords[3] = {Say("待ち受け画像", "image"), Say("着メロ", "melody"),
                                          Say("ムービー", "movie")};

// ---- what a line of the operations file may hold
inline const char* const kNulInLine = Say("行に NUL バイトがあります", "the line holds a NUL byte");
inline const char* const kUnknownOperation = Say("不明な操作 {1}（add, delete, up, down, renumber, title）",
                                                 "unknown operation {1} (add, delete, up, down, renumber, title)");
inline const char* const kMissingKind = Say("{1} の後に KIND（image, melody, movie）がありません",
                                            "missing KIND (image, melody or movie) after {1}");
inline const char* const kUnknownKind = Say("不明な種類 {1}（image, melody, movie）",
                                            "unknown kind {1} (image, melody or movie)");
inline const char* const kMissingPath = Say("add {1} の後に PATH がありません", "missing PATH after add {1}");
inline const char* const kTextAfterRenumber = Say("renumber {1} の後に余分な文字があります",
                                                  "unexpected text after renumber {1}");
inline const char* const kMissingPos = Say("{1} {2} の後に POS がありません", "missing POS after {1} {2}");
inline const char* const kPosNotNumber = Say("位置 {1} は数ではありません", "position {1} is not a number");
inline const char* const kMissingText = Say("title {1} {2} の後に TEXT がありません", "missing TEXT after title {1} {2}");
inline const char* const kTextAfter = Say("{1} {2} {3} の後に余分な文字があります", "unexpected text after {1} {2} {3}");
inline const char* const kNoShiftJisOne = Say("{1} は Shift-JIS にありません", "{1} has no Shift-JIS form");
inline const char* const kNoShiftJisMany = Say("{1} は Shift-JIS にありません", "{1} have no Shift-JIS form");
inline const char* const kCutToBytes = Say("Shift-JIS で {1} バイト、{2} バイトに切り詰め",
                                           "{1} bytes in Shift-JIS, cut to {2}");
inline const char* const kChangeSeparator = Say("、", "; ");
inline const char* const kTitleNotAsWritten = Say(
    "タイトルをそのままでは保存できません：{1}（--lossy-titles を付けると変えて保存します）",
    "the title cannot be stored as written: {1} (--lossy-titles stores it changed)");

// ---- answers to the core's questions
inline const char* const kConverted = Say("→ 変換しました（--convert）", "-> converted (--convert)");
inline const char* const kNotConvertedAsked = Say("→ 変換していません（--convert で変換します）",
                                                  "-> not converted (--convert converts it)");
inline const char* const kSkipped = Say("→ 追加していません（--yes を付けると追加します）",
                                        "-> skipped (--yes adds it anyway)");
inline const char* const kAnsweredNo = Say("→ 「いいえ」と答えました", "-> answered no");

// ---- the lists
inline const char* const kListHeads[6] = {Say("種類", "kind"), Say("番号", "pos"),       Say("ファイル", "file"),
                                          Say("日付", "date"), Say("サイズ", "size"), Say("タイトル", "title")};
inline const char* const kListSummary = Say("待ち受け画像 {1} 件、着メロ {2} 件、ムービー {3} 件；空き {4} / {5} バイト",
                                            "{1} images, {2} melodies, {3} movies; {4} of {5} bytes free");

// ---- apply, finish, revert
inline const char* const kUntouched = Say("何もしていません：カードはそのままです．",
                                          "nothing was done: the card is untouched");
inline const char* const kNotACard = Say(
    "カードではありません：{1} には PRIVATE\\DOCOMO も SD_VIDEO もありません．何もしていません（--yes を付けると書き込みます）．",
    "not a card: {1} holds no PRIVATE\\DOCOMO or SD_VIDEO folder; nothing was done (--yes writes it anyway)");
inline const char* const kNotOnInterrupted = Say(
    "何もしていません：中断された更新の上には操作を行いません（上記参照）．",
    "nothing was done: the operations are not applied on top of an interrupted update (see above)");
inline const char* const kNotBesideOther = Say(
    "何もしていません：別のプログラムがカードに書き込んでいる間は操作を行いません（上記参照）．",
    "nothing was done: the operations are not applied while another program writes the card (see above)");
inline const char* const kLeftAloneOutside = Say("カードの外を指すため、そのままにしました：{1}",
                                                 "left alone, it would lead outside the card: {1}");
inline const char* const kNothingDone = Say("何もしていません（上記参照）．", "nothing was done (see above)");
inline const char* const kNothingToFinish = Say("カードに中断された更新はありません：完了するものはありません．",
                                                "no interrupted update on the card: nothing to finish");
inline const char* const kNothingToRevert = Say("カードに中断された更新はありません：戻す先はありません．",
                                                "no interrupted update on the card: nothing to return to");
inline const char* const kNothingMoreDone = Say("それ以上は何もしていません（上記参照）．",
                                                "nothing more was done (see above)");
inline const char* const kOnlyFinish = Say(
    "中断された更新は完了させることしかできません（fenmora-cli finish）：ファイルの削除が始まっていたか、\n"
    "それ自体が前の更新の完了か取り消しでした．",
    "the interrupted update can only be finished (fenmora-cli finish): it had started removing files,\n"
    "or it was itself finishing or undoing an earlier one");

// ---- backup, restore, check
inline const char* const kBackupOnCard = Say("バックアップフォルダーがカードの中にあります：{1}",
                                             "the backup folder lies on the card itself: {1}");
inline const char* const kNothingBackedUp = Say("何もバックアップしていません．", "nothing was backed up");
inline const char* const kNotABackup = Say("バックアップフォルダーではありません：{1}", "not a backup folder: {1}");
inline const char* const kNoProblems = Say("問題は見つかりませんでした．", "no problems found");
inline const char* const kProblemsFound = Say("{1} 件の問題が見つかりました．", "{1} problem(s) found");

// ---- midi, export
inline const char* const kNeverReplaced = Say("すでにあり、置き換えません", "it exists and is never replaced");
inline const char* const kScratchInTheWay = Say("作業用ファイル {1} が邪魔をしています",
                                                "the scratch file {1} is in the way");
inline const char* const kMidiCutShort = Say("最後まで読めない MIDI ファイルです",
                                             "a MIDI file that cannot be read to its end");
inline const char* const kNotAMelody = Say("MFi メロディ（MLD）でも MIDI ファイルでもありません",
                                           "neither an MFi melody (MLD) nor a MIDI file");
inline const char* const kLeftOut = Say("省いたもの：{1}", "left out: {1}");
inline const char* const kPlaysOnce = Say("ループ位置：メロディは一度だけ鳴ります", "loop points: the melody plays once");
inline const char* const kEndsInside = Say(
    "ファイルがチャンクかイベントの途中で終わっています：それより前は残しました",
    "the file ends inside a chunk or an event: what comes before it is kept");
inline const char* const kCannotRead = Say("{1} を読めません：{2}", "cannot read {1}: {2}");
inline const char* const kMelodyTooLarge = Say("{1} をメロディとして読めません：{2} MB を超えています",
                                               "cannot read {1} as a melody: it is larger than {2} MB");
inline const char* const kNotReadAsMelody = Say("{1} をメロディとして読めません：{2}",
                                                "cannot read {1} as a melody: {2}");
inline const char* const kNotWritten = Say("書き込んでいません：{1}：{2}", "not written: {1}: {2}");
inline const char* const kExportOnCard = Say("書き出し先のフォルダーがカードの中にあります：{1}",
                                             "the export folder lies on the card itself: {1}");
inline const char* const kNothingExported = Say("何も書き出していません．", "nothing was exported");
inline const char* const kExportInterrupted = Say(
    "カードには中断された更新があります．何も書き出していません．\n",
    "the card holds an interrupted update; nothing was exported.\n");
inline const char* const kNotExported = Say("書き出していません：{1}：{2}", "not exported: {1}: {2}");
inline const char* const kCannotMake = Say("{1} を作れません：{2}", "cannot make {1}: {2}");
inline const char* const kOutsideTheCard = Say("カードの外にあります", "it lies outside the card");
inline const char* const kChangedWhileRead = Say("読んでいる間に変わりました", "it changed while read");
inline const char* const kCardFileUnreadable = Say("カードのファイルを読めません：{1}",
                                                   "cannot read the card's file: {1}");
inline const char* const kNotConverted = Say("変換していません：{1}：{2}", "not converted: {1}: {2}");
inline const char* const kExported = Say("{1} 個のファイルを {2} に書き出しました", "{1} file(s) exported into {2}");
inline const char* const kNotExportedCount = Say("（{1} 個は書き出せませんでした）", ", {1} not");

// ---- usage and help
inline const char* const kUsage = Say("使い方: ", "usage: ");
inline const char* const kNoCommand = Say("コマンドがありません", "no command given");
inline const char* const kUnknownCommand = Say("不明なコマンド「{1}」", "unknown command \"{1}\"");
inline const char* const kNeedsValue = Say("{1} には値が必要です", "{1} needs a value");
inline const char* const kUnknownOption = Say("{2} に不明なオプション「{1}」", "unknown option \"{1}\" for {2}");
inline const char* const kTakes = Say("{1} の引数は {2} です", "{1} takes {2}");
inline const char* const kAnd = Say("、", " and ");
inline const char* const kComma = Say("、", ", ");
inline const char* const kEmptyPath = Say("空のパスがあります", "an empty path");
inline const char* const kExportNeedsInto = Say("export には --into DIR が必要です", "export needs --into DIR");
inline const char* const kTagline = Say(" - 端末から F900i の SD メモリカードを扱います",
                                        " - the F900i's SD card from a terminal");

}  // namespace fenmora::cli::say
