// The program's own texts (UTF-8): status texts, questions and messages.
#pragma once

#include "profile/profile.h"

namespace fenmora::texts {

// One word for one thing in every text (the choices are listed beside the
// window's texts, app/app_texts.h): メモリカード, 待ち受け画像, "．" and "、".

// ---- loading
inline constexpr const char* kNotRemovable =
    "選択したドライブはSDメモリカードドライブで無い可能性があります．\n処理を継続しますか？";
inline constexpr const char* kInsertCard = "ドライブにSDメモリカードを挿入してください．";
inline constexpr const char* kBackupAdvice =
    "SDメモリ内のデータを編集・更新する前に、\nバックアップを取ることを強くお勧めします．";
inline constexpr const char* kLoadingStatus[3] = {"待ち受け画像ファイルの読み込み中...",
                                                  "着メロファイルの読み込み中...",
                                                  "ムービーファイルの読み込み中..."};
// Said once after a load that had to leave items out (the handset's lists hold
// at most 1024 items of a kind).
inline constexpr const char* kKindNames[3] = {"待ち受け画像", "着メロ", "ムービー"};
inline constexpr const char* kTooManyItems =
    "の管理テーブルに1024件を超えるファイルが登録されています．\n先頭の1024件だけを読み込みました．";
inline constexpr const char* kInterruptedCommit =
    "前回のメモリカード更新が途中で中断されています．\n"
    "「更新を完了する」: 更新を最後まで行います．\n"
    "「更新前に戻す」: カードを更新前の状態に戻します．\n"
    "選んだ内容をすぐに行ってから、カードを読み込みます．";
// The buttons of that question (Yes, No).
inline constexpr const char* kFinishUpdate = "更新を完了する";
inline constexpr const char* kUndoUpdate = "更新前に戻す";
inline constexpr const char* kInterruptedFinishOnly =
    "前回のメモリカード更新が途中で中断されています．\n"
    "ファイルの削除が始まっていたため、更新前の状態には戻せません．\n"
    "更新を最後まで行ってから、カードを読み込みます．";

// A backup of a card whose update was interrupted would hold files between
// two states.
inline constexpr const char* kBackupInterrupted =
    "前回のメモリカード更新が途中で中断されたままのため、バックアップしませんでした．\n"
    "メモリカードを読み込み直して、中断された更新を完了するか、更新前に戻してから"
    "バックアップしてください（fenmora-cli finish / revert）．";
// Finishing or undoing an interrupted update.
inline constexpr const char* kRecoveryStatus = "中断された更新の処理中...";
inline constexpr const char* kFinishDone = "前回中断されたメモリカードの更新を完了しました";
inline constexpr const char* kRecoveryConflict =
    "前回中断された更新を続けられません．次のデータのファイルが、更新前にも更新後にもない状態です"
    "（ほかのプログラムが変更した、など）．\n"
    "ファイルは一つも動かしていません．更新記録（fenmora.jnl）は残してあります:";
inline constexpr const char* kRecoverySourceChanged =
    "前回中断された更新を完了できません．追加するファイルがなくなったか、変更されています．\n"
    "ファイルは一つも動かしていません．更新前に戻すことはできます"
    "（読み込み直して「更新前に戻す」を選ぶか、fenmora-cli revert）:\n";
inline constexpr const char* kRevertImpossible =
    "前回中断された更新は、ファイルの削除が始まっていたか、それ自体が前の更新の完了か取り消しだったため、"
    "更新前の状態には戻せません．何もしていません．\n"
    "更新を完了してください（読み込み直して「更新を完了する」を選ぶか、fenmora-cli finish）．";
inline constexpr const char* kRecoveryStopped =
    "前回中断された更新の処理中に、次の処理が失敗しました．\n"
    "更新記録（fenmora.jnl）は残してあります．カードを確認してから、もう一度読み込んでください．";
// Said with a lock another computer holds: how to go on when it is surely
// not at work any more.
inline constexpr const char* kRemoveLockIfSure =
    "\nそのプログラムが動いていないことが確かなら、次のファイルを削除してください: ";

// Said at load when the card's journal is not acted on.
inline constexpr const char* kCardLocked =
    "別のプログラムがメモリカードに書き込んでいます：";
inline constexpr const char* kCardLockedLoad =
    "\n書き込みが終わってから読み込み直してください．それまでメモリカード更新はできません．";
inline constexpr const char* kJournalStale =
    "メモリカードに、今のカードの内容と合わない更新記録（fenmora.jnl）があります"
    "（古いバックアップを書き戻した、ほかの機器で編集した、など）．\n"
    "この記録は使いません．次のメモリカード更新で、次の名前に移して残します:\n";
inline constexpr const char* kJournalDamaged =
    "メモリカードの更新記録（fenmora.jnl）が壊れているか、途中までしか書かれていません．\n"
    "この記録は使いません．次のメモリカード更新で、次の名前に移して残します:\n";
inline constexpr const char* kUnplaced =
    "前回のメモリカード更新が途中で中断されていますが、次のデータのファイルを、更新記録にある"
    "ほかのファイルと区別できません．\n"
    "ファイルは一つも動かさず、管理テーブルのとおりに読み込みました．"
    "更新記録（fenmora.jnl）が残っている間、メモリカード更新はできません:\n";
inline constexpr const char* kUnreadableTable =
    "次の管理テーブルを読み込めません．登録されているデータは一覧に表示されません:\n";
// The copies of a commit do not fit: the bytes needed and free follow.
inline constexpr const char* kNoSpaceForCommit =
    "メモリカードの空き容量が足りないため、何も書き込んでいません．\n"
    "データを削除するか、追加するデータを減らしてください．\n必要: ";
// A file in the handset's own folders of the loaded card: the commit may
// rename it before copying it.
inline constexpr const char* kInCardFolders =
    "下記のファイルはメモリカードの管理フォルダ（PRIVATE、SD_VIDEO）の中にあります．\n"
    "メモリカード更新で名前が変わることがあるため、このままでは追加できません．"
    "パソコンにコピーしてから追加してください．\n読込をスキップします．\n";
// A commit refused because of the journal of an update not dealt with.
inline constexpr const char* kJournalBlocks =
    "前回のメモリカード更新が途中で中断されたままです．何も書き込んでいません．\n"
    "メモリカードを読み込み直して、中断された更新を完了するか、更新前に戻してください．";

// ---- commit
inline constexpr const char* kTableStatus[3] = {"待ち受け画像テーブルの更新中...",
                                                "着メロテーブルの更新中...",
                                                "ムービーテーブルの更新中..."};
inline constexpr const char* kDeleteStatus[3] = {"削除対象待ち受け画像の削除中...",
                                                 "削除対象着メロの削除中...",
                                                 "削除対象ムービーの削除中..."};
inline constexpr const char* kRenameStatus[3] = {"待ち受け画像のリネーム中...",
                                                 "着メロのリネーム中...", "ムービーのリネーム中..."};
inline constexpr const char* kCopyStatus[3] = {"待ち受け画像のコピー中...", "着メロのコピー中...",
                                               "ムービーのコピー中..."};
inline constexpr const char* kFolderStatus = "サブディレクトリの整合性調整中...";
inline constexpr const char* kUpdateStatus[3] = {"待ち受け画像データ更新中...",
                                                 "着メロデータ更新中...", "ムービーデータ更新中..."};
inline constexpr const char* kReloadStatus = "メモリカード再読込中...";
// The card is not the one that was loaded (unmounted, another card, tables
// rewritten meanwhile): nothing is written.
inline constexpr const char* kCardChanged =
    "読み込んだ後にメモリカードが変わっています．何も書き込んでいません．\n"
    "メモリカードを読み込み直してください．";
// Files no table lists that stood in the way of a name the update needed.
inline constexpr const char* kMovedAside =
    "管理テーブルに登録されていないファイルを、次の名前に移して残しました:";
inline constexpr const char* kCommitDone = "メモリカードの更新が完了しました";
// An interrupted update undone: the card is as it was before it.
inline constexpr const char* kRevertDone = "メモリカードを前回の更新前の状態に戻しました";
// The card was written but could not be read back: the lists are empty
// until it is loaded again.
inline constexpr const char* kReloadFailed =
    "更新後のメモリカードを読み込み直せませんでした．\nもう一度「メモリカード読込」を押してください．";
// Said instead of the completion message when something went wrong.
inline constexpr const char* kCommitFailures =
    "メモリカードの更新中に、次の処理が失敗しました．\nカードを読み込み直して内容を確認してください．";
// (The step that failed follows, one a line.)
inline constexpr const char* kCommitStopped =
    "次の処理が失敗したため、メモリカードの更新を中止しました．\n"
    "カードが書き込み禁止になっていないか、空き容量があるか確認してください．\n"
    "カード上のファイルは変更していません．";
inline constexpr const char* kCommitStoppedLater =
    "次の処理が失敗したため、メモリカードの更新を途中で中止しました．\n"
    "カードが書き込み禁止になっていないか、空き容量があるか確認してください．\n"
    "メモリカードを読み込み直すと、中断された更新を完了するか、更新前に戻せます．";
inline constexpr const char* kCopying = "コピーしています...";
// Asked before the commit's first write; the counts follow, one a line, and
// the deleted and added items are in the details.
inline constexpr const char* kPlanQuestion =
    "メモリカードを次のとおり更新します．\nよろしいですか？";
inline constexpr const char* kPlanRenames = "名前・場所の変更: ";
inline constexpr const char* kPlanDeletions = "削除: ";
inline constexpr const char* kPlanCopies = "コピー: ";
inline constexpr const char* kPlanTables = "管理テーブルの書き込み: ";
// Only when there are any: files no table lists, kept under another name.
inline constexpr const char* kPlanAsides = "登録されていないファイルの退避: ";
inline constexpr const char* kPlanUnit = " 件";
inline constexpr const char* kPlanDeletedItems = "削除するデータ:";
inline constexpr const char* kPlanAddedItems = "追加するデータ:";

// ---- backup
inline constexpr const char* kBackupStatus = "データのバックアップ中...";
inline constexpr const char* kBackupDone = "バックアップが完了しました";
// A backup that is not whole: its folder is renamed to say so, and it is
// never restored.
inline constexpr const char* kBackupCancelled =
    "バックアップをキャンセルしました．\n途中までコピーしたデータは次のフォルダに残してあります（復元には使えません）:";
inline constexpr const char* kBackupFailed =
    "いくつかのファイルをバックアップできなかったため，バックアップは完了していません．\n"
    "コピーしたデータは次のフォルダに残してあります（復元には使えません）:";
// What a backup's check finds (each followed by the path in the backup).
inline constexpr const char* kBackupNoMark = "完了の印がありません（完了していないバックアップです）";
inline constexpr const char* kBackupNoManifest = "目録を読めません: ";
inline constexpr const char* kBackupChanged = "内容が目録と違います: ";
inline constexpr const char* kBackupMissing = "目録にあるファイルがありません: ";
inline constexpr const char* kBackupUnlisted = "目録にないファイルがあります: ";

// ---- restoring a backup
inline constexpr const char* kRestoreButton = "復元";
inline constexpr const char* kChooseBackup = "復元するバックアップのフォルダを選んでください";
// Followed by what is wrong with the backup, one a line.
inline constexpr const char* kRestoreBadBackup =
    "このバックアップからは復元できません（完了していないか，目録と一致しません）．\n何も書き込んでいません．";
inline constexpr const char* kRestoreInterrupted =
    "メモリーカードに中断された更新があります．何も書き込んでいません．\n"
    "先に更新を完了するか，更新前に戻してから復元してください．";
inline constexpr const char* kRestoreDone = "バックアップからの復元が完了しました";
// After the number of the backup's records whose file it does not hold.
inline constexpr const char* kRestoreLeftOut =
    " 件のデータは，バックアップにファイルがないため復元していません．";
inline constexpr const char* kRestoreKept =
    "バックアップにないファイルは削除せず，そのままカードに残しました:";

// ---- adding
inline constexpr const char* kNotSupported[3] = {"選択した機種は待ち受け画像に対応していません",
                                                 "選択した機種は着メロに対応していません",
                                                 "選択した機種はムービーに対応していません"};
inline constexpr const char* kMissingFolder[3] = {"待ち受け画像用フォルダがありません．\n作成しますか？",
                                                  "着メロ用フォルダがありません．\n作成しますか？",
                                                  "ムービー用フォルダがありません．\n作成しますか？"};
inline constexpr const char* kFilterLabel[3] = {"待ち受け画像データ|", "着メロデータ|",
                                                "ムービーデータ|"};
inline constexpr const char* kOversize =
    "下記のファイルはサイズが規定値を超えています\n追加を実行しますか？\n";
// The oversize question's last line: the file's size and the kind's limit.
inline constexpr const char* kSizeLabel = "ファイルサイズ: ";
inline constexpr const char* kLimitLabel = " バイト　上限: ";
inline constexpr const char* kBytes = " バイト";
// An empty file is never queued.
inline constexpr const char* kEmptyFile =
    "下記のファイルは空です（0 バイト）．\n追加をスキップします．\n";
// A file whose bytes the list already holds: the item's name and title follow
// the first line, the file's path the question.
inline constexpr const char* kSameContent = "下記のファイルと同じ内容のデータがすでにあります：";
inline constexpr const char* kSameContentQuestion = "\nもう一度追加しますか？\n";
// A file that does not exist or cannot be read is never queued.
inline constexpr const char* kUnreadableFile =
    "下記のファイルを読み込めません．\n読込をスキップします．\n";
// A name that is not a plain file (a folder, a FIFO, a device, a socket) is
// refused without being opened.
inline constexpr const char* kNotAPlainFile =
    "下記は通常のファイルではありません（フォルダ、FIFO、デバイスなど）．\n読込をスキップします．\n";
// A file larger than a table record's size field can hold (4 GiB - 1 byte);
// its size and the limit follow the path on a line of their own.
inline constexpr const char* kTooLargeForTable =
    "下記のファイルは大きすぎて管理テーブルに記録できません．\n読込をスキップします．\n";
// Said after the kind's name when its list already holds 1024 items.
inline constexpr const char* kCatalogueFull =
    "は1024件までしか登録できません．\n下記のファイル以降の追加を中止します．\n";
// A file whose extension a table record cannot hold (none, or more than three
// letters and digits).
inline constexpr const char* kUnfitExtension =
    "下記のファイルは拡張子が携帯電話で扱えない形式です（英数字3文字まで）．\n読込をスキップします．\n";
inline constexpr const char* kNoSpace = "メモリカードの空き容量が足りません";
// A file whose extension the handset's profile does not list (a picture whose
// conversion was declined, a melody or movie of another format).
inline constexpr const char* kNotHandsetFormat[3] = {
    "下記のファイルは携帯電話で表示できない形式のため、変換しないと追加できません．\n読込をスキップします．\n",
    "下記のファイルは携帯電話で再生できない形式です．\n読込をスキップします．\n",
    "下記のファイルは携帯電話で再生できない形式です．\n読込をスキップします．\n"};
inline constexpr const char* kUnsupportedDrop[3] = {
    "下記のファイルは非対応の待ち受け画像形式です．\n読込をスキップします．\n",
    "下記のファイルは非対応の着メロ形式です．\n読込をスキップします．\n",
    "下記のファイルは非対応のムービー形式です．\n読込をスキップします．\n"};

// ---- fitting a file to the handset (each text is followed by the file's path)
inline constexpr const char* kConvertPicture = "携帯電話で表示できる形式に変換しますか？\n";
inline constexpr const char* kAnimationLost =
    "下記のファイルはアニメーションGIFです．\n最初のコマだけを静止画に変換します．\n";
inline constexpr const char* kPictureTooLarge =
    "下記のファイルは規定のサイズに収まるように変換できません．\n読込をスキップします．\n";
inline constexpr const char* kConvertFailed =
    "下記のファイルを変換できませんでした．\n読込をスキップします．\n";
inline constexpr const char* kSlimMelody = "携帯電話で再生できるサイズに縮小しますか？\n";
inline constexpr const char* kSlimFailed = "下記のファイルは縮小できませんでした．\n";
inline constexpr const char* kMelodyStillLarge =
    "下記のファイルは縮小しても規定のサイズに収まりません．\n";

inline const char* Of(const char* const (&perKind)[3], MediaKind k) {
  return perKind[KindIndex(k)];
}

}  // namespace fenmora::texts
