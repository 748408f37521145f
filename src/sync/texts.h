// The program's own texts (UTF-8): status texts, questions and messages.
#pragma once

#include "platform/language.h"
#include "profile/profile.h"

namespace fenmora::texts {

// One word for one thing in every text (the choices are listed beside the
// window's texts, app/app_texts.h): メモリカード, 待ち受け画像, "．" and "、".

// ---- loading
inline const char* const kNotRemovable = Say("選択したドライブはSDメモリカードドライブで無い可能性があります．\n処理を継続しますか？",
    "The chosen drive may not be an SD memory card drive.\nGo on anyway?");
inline const char* const kInsertCard = Say("ドライブにSDメモリカードを挿入してください．",
    "Put an SD memory card into the drive.");
inline const char* const kBackupAdvice = Say("SDメモリ内のデータを編集・更新する前に、\nバックアップを取ることを強くお勧めします．",
    "Before you edit and write the memory card,\nbacking it up first is strongly recommended.");
inline const char* const kLoadingStatus[3] = {Say("待ち受け画像ファイルの読み込み中...", "Reading the standby images..."), Say("着メロファイルの読み込み中...", "Reading the ring melodies..."), Say("ムービーファイルの読み込み中...", "Reading the movies...")};
// Said once after a load that had to leave items out (the handset's lists hold
// at most 1024 items of a kind).
inline const char* const kKindNames[3] = {Say("待ち受け画像", "Standby images"), Say("着メロ", "Ring melodies"), Say("ムービー", "Movies")};
inline const char* const kTooManyItems = Say("の管理テーブルに1024件を超えるファイルが登録されています．\n先頭の1024件だけを読み込みました．",
    ": the management tables list more than 1024 files.\nOnly the first 1024 were read.");
inline const char* const kInterruptedCommit = Say("前回のメモリカード更新が途中で中断されています．\n"
    "「更新を完了する」: 更新を最後まで行います．\n"
    "「更新前に戻す」: カードを更新前の状態に戻します．\n"
    "選んだ内容をすぐに行ってから、カードを読み込みます．",
    "The last write to the memory card was interrupted.\n\"Finish the update\": carry the update out to its end.\n\"Undo the update\": return the card to its state before it.\nWhat you choose is done at once, then the card is read.");
// The buttons of that question (Yes, No).
inline const char* const kFinishUpdate = Say("更新を完了する",
    "Finish the update");
inline const char* const kUndoUpdate = Say("更新前に戻す",
    "Undo the update");
inline const char* const kInterruptedFinishOnly = Say("前回のメモリカード更新が途中で中断されています．\n"
    "ファイルの削除が始まっていたため、更新前の状態には戻せません．\n"
    "更新を最後まで行ってから、カードを読み込みます．",
    "The last write to the memory card was interrupted.\nIt had begun removing files, so the card cannot return to its state before it.\nThe update is carried out to its end, then the card is read.");

// A backup of a card whose update was interrupted would hold files between
// two states.
inline const char* const kBackupInterrupted = Say("前回のメモリカード更新が途中で中断されたままのため、バックアップしませんでした．\n"
    "メモリカードを読み込み直して、中断された更新を完了するか、更新前に戻してから"
    "バックアップしてください（fenmora-cli finish / revert）．",
    "The last write to the memory card was interrupted and is not dealt with yet, so nothing was backed up.\nRead the memory card again and finish or undo the interrupted update, then back it up (fenmora-cli finish / revert).");
// Finishing or undoing an interrupted update.
inline const char* const kRecoveryStatus = Say("中断された更新の処理中...",
    "Dealing with the interrupted update...");
inline const char* const kFinishDone = Say("前回中断されたメモリカードの更新を完了しました",
    "The interrupted write to the memory card was finished");
inline const char* const kRecoveryConflict = Say("前回中断された更新を続けられません．次のデータのファイルが、更新前にも更新後にもない状態です"
    "（ほかのプログラムが変更した、など）．\n"
    "ファイルは一つも動かしていません．更新記録（fenmora.jnl）は残してあります:",
    "The interrupted update cannot go on: the files of the items below are neither where they were before it nor where it puts them (another program changed them, for example).\nNo file was moved. The journal (fenmora.jnl) is kept:");
inline const char* const kRecoverySourceChanged = Say("前回中断された更新を完了できません．追加するファイルがなくなったか、変更されています．\n"
    "ファイルは一つも動かしていません．更新前に戻すことはできます"
    "（読み込み直して「更新前に戻す」を選ぶか、fenmora-cli revert）:\n",
    "The interrupted update cannot be finished: a file it adds is gone or has changed.\nNo file was moved. The update can still be undone (read the card again and choose \"Undo the update\", or fenmora-cli revert):\n");
inline const char* const kRevertImpossible = Say("前回中断された更新は、ファイルの削除が始まっていたか、それ自体が前の更新の完了か取り消しだったため、"
    "更新前の状態には戻せません．何もしていません．\n"
    "更新を完了してください（読み込み直して「更新を完了する」を選ぶか、fenmora-cli finish）．",
    "The interrupted update cannot be undone: it had begun removing files, or it was itself finishing or undoing an earlier one. Nothing was done.\nFinish it (read the card again and choose \"Finish the update\", or fenmora-cli finish).");
inline const char* const kRecoveryStopped = Say("前回中断された更新の処理中に、次の処理が失敗しました．\n"
    "更新記録（fenmora.jnl）は残してあります．カードを確認してから、もう一度読み込んでください．",
    "While the interrupted update was dealt with, this failed:\nThe journal (fenmora.jnl) is kept. Check the card, then read it again.");
// Said with a lock another computer holds: how to go on when it is surely
// not at work any more.
inline const char* const kRemoveLockIfSure = Say("\nそのプログラムが動いていないことが確かなら、次のファイルを削除してください: ",
    "\nIf you are sure that program is not running, remove this file: ");

// Said at load when the card's journal is not acted on.
inline const char* const kCardLocked = Say("別のプログラムがメモリカードに書き込んでいます：",
    "Another program is writing the memory card: ");
inline const char* const kCardLockedLoad = Say("\n書き込みが終わってから読み込み直してください．それまでメモリカード更新はできません．",
    "\nRead the card again once it is done. Until then the memory card cannot be written.");
inline const char* const kJournalStale = Say("メモリカードに、今のカードの内容と合わない更新記録（fenmora.jnl）があります"
    "（古いバックアップを書き戻した、ほかの機器で編集した、など）．\n"
    "この記録は使いません．次のメモリカード更新で、次の名前に移して残します:\n",
    "The memory card holds a journal (fenmora.jnl) that does not fit the card as it is (an older backup copied back, or the card edited elsewhere).\nIt is not used. The next write to the memory card keeps it under this name:\n");
inline const char* const kJournalDamaged = Say("メモリカードの更新記録（fenmora.jnl）が壊れているか、途中までしか書かれていません．\n"
    "この記録は使いません．次のメモリカード更新で、次の名前に移して残します:\n",
    "The memory card's journal (fenmora.jnl) is damaged or was cut short.\nIt is not used. The next write to the memory card keeps it under this name:\n");
inline const char* const kUnplaced = Say("前回のメモリカード更新が途中で中断されていますが、次のデータのファイルを、更新記録にある"
    "ほかのファイルと区別できません．\n"
    "ファイルは一つも動かさず、管理テーブルのとおりに読み込みました．"
    "更新記録（fenmora.jnl）が残っている間、メモリカード更新はできません:\n",
    "The last write to the memory card was interrupted, but the files of the items below cannot be told apart from other files its journal names.\nNo file was moved; the lists are read from the management tables as they are. While the journal (fenmora.jnl) stays, the memory card cannot be written:\n");
inline const char* const kUnreadableTable = Say("次の管理テーブルを読み込めません．登録されているデータは一覧に表示されません:\n",
    "These management tables cannot be read. Their items are not listed:\n");
// The copies of a commit do not fit: the bytes needed and free follow.
inline const char* const kNoSpaceForCommit = Say("メモリカードの空き容量が足りないため、何も書き込んでいません．\n"
    "データを削除するか、追加するデータを減らしてください．\n必要: ",
    "There is not enough free space on the memory card, so nothing was written.\nDelete items or add fewer.\nNeeded: ");
// A file in the handset's own folders of the loaded card: the commit may
// rename it before copying it.
inline const char* const kInCardFolders = Say("下記のファイルはメモリカードの管理フォルダ（PRIVATE、SD_VIDEO）の中にあります．\n"
    "メモリカード更新で名前が変わることがあるため、このままでは追加できません．"
    "パソコンにコピーしてから追加してください．\n読込をスキップします．\n",
    "The file below lies in the memory card's own folders (PRIVATE, SD_VIDEO).\nWriting the card may rename it, so it cannot be added from there. Copy it to the computer first, then add it.\nSkipped.\n");
// A commit refused because of the journal of an update not dealt with.
inline const char* const kJournalBlocks = Say("前回のメモリカード更新が途中で中断されたままです．何も書き込んでいません．\n"
    "メモリカードを読み込み直して、中断された更新を完了するか、更新前に戻してください．",
    "The last write to the memory card was interrupted and is not dealt with yet. Nothing was written.\nRead the memory card again and finish or undo the interrupted update.");

// ---- commit
inline const char* const kTableStatus[3] = {Say("待ち受け画像テーブルの更新中...", "Writing the standby image tables..."), Say("着メロテーブルの更新中...", "Writing the ring melody tables..."), Say("ムービーテーブルの更新中...", "Writing the movie tables...")};
inline const char* const kDeleteStatus[3] = {Say("削除対象待ち受け画像の削除中...", "Deleting standby images..."), Say("削除対象着メロの削除中...", "Deleting ring melodies..."), Say("削除対象ムービーの削除中...", "Deleting movies...")};
inline const char* const kRenameStatus[3] = {Say("待ち受け画像のリネーム中...", "Renaming standby images..."), Say("着メロのリネーム中...", "Renaming ring melodies..."), Say("ムービーのリネーム中...", "Renaming movies...")};
inline const char* const kCopyStatus[3] = {Say("待ち受け画像のコピー中...", "Copying standby images..."), Say("着メロのコピー中...", "Copying ring melodies..."), Say("ムービーのコピー中...", "Copying movies...")};
inline const char* const kFolderStatus = Say("サブディレクトリの整合性調整中...",
    "Making the folders right...");
inline const char* const kUpdateStatus[3] = {Say("待ち受け画像データ更新中...", "Updating the standby images..."), Say("着メロデータ更新中...", "Updating the ring melodies..."), Say("ムービーデータ更新中...", "Updating the movies...")};
inline const char* const kReloadStatus = Say("メモリカード再読込中...",
    "Reading the memory card again...");
// The card is not the one that was loaded (unmounted, another card, tables
// rewritten meanwhile): nothing is written.
inline const char* const kCardChanged = Say("読み込んだ後にメモリカードが変わっています．何も書き込んでいません．\n"
    "メモリカードを読み込み直してください．",
    "The memory card changed after it was read. Nothing was written.\nRead the memory card again.");
// Files no table lists that stood in the way of a name the update needed.
inline const char* const kMovedAside = Say("管理テーブルに登録されていないファイルを、次の名前に移して残しました:",
    "Files no management table lists were kept under these names:");
inline const char* const kCommitDone = Say("メモリカードの更新が完了しました",
    "The memory card was written");
// An interrupted update undone: the card is as it was before it.
inline const char* const kRevertDone = Say("メモリカードを前回の更新前の状態に戻しました",
    "The memory card was returned to its state before the last update");
// The card was written but could not be read back: the lists are empty
// until it is loaded again.
inline const char* const kReloadFailed = Say("更新後のメモリカードを読み込み直せませんでした．\nもう一度「メモリカード読込」を押してください．",
    "The memory card could not be read again after it was written.\nPress \"Read memory card\" again.");
// Said instead of the completion message when something went wrong.
inline const char* const kCommitFailures = Say("メモリカードの更新中に、次の処理が失敗しました．\nカードを読み込み直して内容を確認してください．",
    "While the memory card was written, these failed:\nRead the card again and check it.");
// (The step that failed follows, one a line.)
inline const char* const kCommitStopped = Say("次の処理が失敗したため、メモリカードの更新を中止しました．\n"
    "カードが書き込み禁止になっていないか、空き容量があるか確認してください．\n"
    "カード上のファイルは変更していません．",
    "This failed, so the write to the memory card was stopped:\nCheck that the card is not write-protected and has free space.\nThe files on the card were not changed.");
inline const char* const kCommitStoppedLater = Say("次の処理が失敗したため、メモリカードの更新を途中で中止しました．\n"
    "カードが書き込み禁止になっていないか、空き容量があるか確認してください．\n"
    "メモリカードを読み込み直すと、中断された更新を完了するか、更新前に戻せます．",
    "This failed, so the write to the memory card was stopped part way:\nCheck that the card is not write-protected and has free space.\nRead the memory card again to finish or undo the interrupted update.");
inline const char* const kCopying = Say("コピーしています...",
    "Copying...");
// Asked before the commit's first write; the counts follow, one a line, and
// the deleted and added items are in the details.
inline const char* const kPlanQuestion = Say("メモリカードを次のとおり更新します．\nよろしいですか？",
    "The memory card will be written as follows.\nGo ahead?");
inline const char* const kPlanRenames = Say("名前・場所の変更: ",
    "Renamed or moved: ");
inline const char* const kPlanDeletions = Say("削除: ",
    "Deleted: ");
inline const char* const kPlanCopies = Say("コピー: ",
    "Copied: ");
inline const char* const kPlanTables = Say("管理テーブルの書き込み: ",
    "Management tables written: ");
// Only when there are any: files no table lists, kept under another name.
inline const char* const kPlanAsides = Say("登録されていないファイルの退避: ",
    "Unlisted files kept aside: ");
inline const char* const kPlanUnit = Say(" 件",
    "");
inline const char* const kPlanDeletedItems = Say("削除するデータ:",
    "Items deleted:");
inline const char* const kPlanAddedItems = Say("追加するデータ:",
    "Items added:");

// ---- backup
inline const char* const kBackupStatus = Say("データのバックアップ中...",
    "Backing up...");
inline const char* const kBackupDone = Say("バックアップが完了しました",
    "The backup is complete");
// A backup that is not whole: its folder is renamed to say so, and it is
// never restored.
inline const char* const kBackupCancelled = Say("バックアップをキャンセルしました．\n途中までコピーしたデータは次のフォルダに残してあります（復元には使えません）:",
    "The backup was cancelled.\nWhat was copied is kept in this folder (it cannot be restored):");
inline const char* const kBackupFailed = Say("いくつかのファイルをバックアップできなかったため、バックアップは完了していません．\n"
    "コピーしたデータは次のフォルダに残してあります（復元には使えません）:",
    "Some files could not be backed up, so the backup is not complete.\nWhat was copied is kept in this folder (it cannot be restored):");
// What a backup's check finds (each followed by the path in the backup).
inline const char* const kBackupNoMark = Say("完了の印がありません（完了していないバックアップです）",
    "no completion mark (the backup is not complete)");
inline const char* const kBackupNoManifest = Say("目録を読めません: ",
    "the manifest cannot be read: ");
inline const char* const kBackupChanged = Say("内容が目録と違います: ",
    "differs from the manifest: ");
inline const char* const kBackupMissing = Say("目録にあるファイルがありません: ",
    "a file of the manifest is missing: ");
inline const char* const kBackupUnlisted = Say("目録にないファイルがあります: ",
    "a file the manifest does not list: ");

// ---- restoring a backup
inline const char* const kRestoreButton = Say("復元",
    "Restore");
inline const char* const kChooseBackup = Say("復元するバックアップのフォルダを選んでください",
    "Choose the folder of the backup to restore");
// Followed by what is wrong with the backup, one a line.
inline const char* const kRestoreBadBackup = Say("このバックアップからは復元できません（完了していないか、目録と一致しません）．\n何も書き込んでいません．",
    "This backup cannot be restored (it is not complete, or it does not match its manifest).\nNothing was written.");
inline const char* const kRestoreInterrupted = Say("メモリカードに中断された更新があります．何も書き込んでいません．\n"
    "先に更新を完了するか、更新前に戻してから復元してください．",
    "The memory card holds an interrupted update. Nothing was written.\nFinish or undo that update first, then restore.");
inline const char* const kRestoreDone = Say("バックアップからの復元が完了しました",
    "The backup was restored");
// After the number of the backup's records whose file it does not hold.
inline const char* const kRestoreLeftOut = Say(" 件のデータは、バックアップにファイルがないため復元していません．",
    " item(s) were not restored: the backup holds no file for them.");
inline const char* const kRestoreKept = Say("バックアップにないファイルは削除せず、そのままカードに残しました:",
    "Files the backup does not have were not deleted; they stay on the card:");

// ---- adding
inline const char* const kNotSupported[3] = {Say("選択した機種は待ち受け画像に対応していません", "This handset does not take standby images"), Say("選択した機種は着メロに対応していません", "This handset does not take ring melodies"), Say("選択した機種はムービーに対応していません", "This handset does not take movies")};
inline const char* const kMissingFolder[3] = {Say("待ち受け画像用フォルダがありません．\n作成しますか？", "The card has no folder for standby images.\nMake it?"), Say("着メロ用フォルダがありません．\n作成しますか？", "The card has no folder for ring melodies.\nMake it?"), Say("ムービー用フォルダがありません．\n作成しますか？", "The card has no folder for movies.\nMake it?")};
inline const char* const kFilterLabel[3] = {Say("待ち受け画像データ|", "Standby images|"), Say("着メロデータ|", "Ring melodies|"), Say("ムービーデータ|", "Movies|")};
inline const char* const kOversize = Say("下記のファイルはサイズが規定値を超えています\n追加を実行しますか？\n",
    "The file below is larger than the handset allows.\nAdd it anyway?\n");
// The oversize question's last line: the file's size and the kind's limit.
inline const char* const kSizeLabel = Say("ファイルサイズ: ",
    "File size: ");
inline const char* const kLimitLabel = Say(" バイト　上限: ",
    " bytes, limit: ");
inline const char* const kBytes = Say(" バイト",
    " bytes");
// An empty file is never queued.
inline const char* const kEmptyFile = Say("下記のファイルは空です（0 バイト）．\n追加をスキップします．\n",
    "The file below is empty (0 bytes).\nSkipped.\n");
// A file whose bytes the list already holds: the item's name and title follow
// the first line, the file's path the question.
inline const char* const kSameContent = Say("下記のファイルと同じ内容のデータがすでにあります：",
    "An item with the same content as the file below is already listed:");
inline const char* const kSameContentQuestion = Say("\nもう一度追加しますか？\n",
    "\nAdd it again?\n");
// A file that does not exist or cannot be read is never queued.
inline const char* const kUnreadableFile = Say("下記のファイルを読み込めません．\n読込をスキップします．\n",
    "The file below cannot be read.\nSkipped.\n");
// A name that is not a plain file (a folder, a FIFO, a device, a socket) is
// refused without being opened.
inline const char* const kNotAPlainFile = Say("下記は通常のファイルではありません（フォルダ、FIFO、デバイスなど）．\n読込をスキップします．\n",
    "The name below is not a plain file (a folder, a FIFO, a device, ...).\nSkipped.\n");
// A file larger than a table record's size field can hold (4 GiB - 1 byte);
// its size and the limit follow the path on a line of their own.
inline const char* const kTooLargeForTable = Say("下記のファイルは大きすぎて管理テーブルに記録できません．\n読込をスキップします．\n",
    "The file below is too large for a management table to record.\nSkipped.\n");
// Said after the kind's name when its list already holds 1024 items.
inline const char* const kCatalogueFull = Say("は1024件までしか登録できません．\n下記のファイル以降の追加を中止します．\n",
    ": at most 1024 items can be listed.\nAdding stops at the file below.\n");
// A file whose extension a table record cannot hold (none, or more than three
// letters and digits).
inline const char* const kUnfitExtension = Say("下記のファイルは拡張子が携帯電話で扱えない形式です（英数字3文字まで）．\n読込をスキップします．\n",
    "The file below has an extension the handset cannot take (up to three letters and digits).\nSkipped.\n");
inline const char* const kNoSpace = Say("メモリカードの空き容量が足りません",
    "There is not enough free space on the memory card");
// A file whose extension the handset's profile does not list (a picture whose
// conversion was declined, a melody or movie of another format).
inline const char* const kNotHandsetFormat[3] = {Say("下記のファイルは携帯電話で表示できない形式のため、変換しないと追加できません．\n読込をスキップします．\n", "The file below is in a format the handset cannot show; it can only be added converted.\nSkipped.\n"), Say("下記のファイルは携帯電話で再生できない形式です．\n読込をスキップします．\n", "The file below is in a format the handset cannot play.\nSkipped.\n"), Say("下記のファイルは携帯電話で再生できない形式です．\n読込をスキップします．\n", "The file below is in a format the handset cannot play.\nSkipped.\n")};
inline const char* const kUnsupportedDrop[3] = {Say("下記のファイルは非対応の待ち受け画像形式です．\n読込をスキップします．\n", "The file below is not a standby image format this program takes.\nSkipped.\n"), Say("下記のファイルは非対応の着メロ形式です．\n読込をスキップします．\n", "The file below is not a ring melody format this program takes.\nSkipped.\n"), Say("下記のファイルは非対応のムービー形式です．\n読込をスキップします．\n", "The file below is not a movie format this program takes.\nSkipped.\n")};

// ---- fitting a file to the handset (each text is followed by the file's path)
inline const char* const kConvertPicture = Say("携帯電話で表示できる形式に変換しますか？\n",
    "Convert it to a format the handset can show?\n");
inline const char* const kAnimationLost = Say("下記のファイルはアニメーションGIFです．\n最初のコマだけを静止画に変換します．\n",
    "The file below is an animated GIF.\nOnly its first frame is converted, as a still picture.\n");
inline const char* const kPictureTooLarge = Say("下記のファイルは規定のサイズに収まるように変換できません．\n読込をスキップします．\n",
    "The file below cannot be converted to fit the handset's size limit.\nSkipped.\n");
inline const char* const kConvertFailed = Say("下記のファイルを変換できませんでした．\n読込をスキップします．\n",
    "The file below could not be converted.\nSkipped.\n");
inline const char* const kSlimMelody = Say("携帯電話で再生できるサイズに縮小しますか？\n",
    "Make it small enough for the handset to play?\n");
inline const char* const kSlimFailed = Say("下記のファイルは縮小できませんでした．\n",
    "The file below could not be made smaller.\n");
inline const char* const kMelodyStillLarge = Say("下記のファイルは縮小しても規定のサイズに収まりません．\n",
    "The file below is still larger than the handset allows after it was made smaller.\n");

// ---- the card's lock ("{n}": the holder, the lock file's path, the system's reason)
inline const char* const kLockHolder = Say("ホスト {1} のプロセス {2}（{3} から）", "process {2} on host {1} (since {3})");
inline const char* const kLockUnwritable = Say("メモリカードにロックファイルを書き込めません: {1} ({2})",
    "Cannot write the lock file on the memory card: {1} ({2})");
inline const char* const kLockUncreatable = Say("メモリカードにロックファイルを作れません: {1} ({2})",
    "Cannot make the lock file on the memory card: {1} ({2})");
inline const char* const kLockNotAFile = Say("メモリカードのロックファイルの名前に、ファイルではないもの（フォルダなど）があります．何も書き込んでいません．\n確かめて取り除いてください: {1}",
    "Something that is not a file (a folder or the like) stands at the name of the memory card's lock file. Nothing was written.\nLook at it and remove it: {1}");
inline const char* const kLockTakenOver = Say("前回メモリカードに書き込んでいた{1}はもう動いていないため、そのロックを引き継ぎました．",
    "The program that last wrote the memory card, {1}, is no longer running: its lock was taken over.");
inline const char* const kEmptyLockTakenOver = Say("中身のないロックファイルが残っていたため、引き継ぎました: {1}",
    "An empty lock file was left on the card and was taken over: {1}");
inline const char* const kOtherWriter = Say("別のプログラムがメモリカードに書き込んでいます",
    "Another program is writing the memory card");
inline const char* const kOtherWriterIs = Say("：{1}", ": {1}");
inline const char* const kOtherWriterEnd = Say("．", ".");
inline const char* const kWaitAndRetry = Say("\n終わるのを待ってから、もう一度やり直してください．何も書き込んでいません．",
    "\nWait for it to finish, then try again. Nothing was written.");

// ---- the names of what a failure was doing (each followed by a path)
inline const char* const kDoingCopy = Say("コピー: ", "Copying: ");
inline const char* const kDoingMakeFolder = Say("フォルダ作成: ", "Making a folder: ");
inline const char* const kDoingRemoveFolder = Say("フォルダ削除: ", "Removing a folder: ");
inline const char* const kDoingReadFolder = Say("フォルダ読み込み: ", "Reading a folder: ");
inline const char* const kDoingRead = Say("読み込み: ", "Reading: ");
inline const char* const kDoingWrite = Say("書き込み: ", "Writing: ");
inline const char* const kDoingFlush = Say("書き込みの確定: ", "Flushing the writes: ");
inline const char* const kDoingTable = Say("管理テーブル書き込み: ", "Writing a management table: ");
inline const char* const kDoingJournal = Say("更新記録の書き込み: ", "Writing the update record: ");
inline const char* const kDoingRemoveJournal = Say("更新記録の削除: ", "Removing the update record: ");
inline const char* const kDoingRemove = Say("削除: ", "Removing: ");
inline const char* const kDoingRename = Say("名前の変更: ", "Renaming: ");
inline const char* const kOutsideCardPath = Say("カード外を指すパス: ", "A path leading outside the card: ");
// What changed on the card since it was loaded (each followed by a path).
inline const char* const kChangedVolume = Say("カードのファイルシステム: ", "The card's file system: ");
inline const char* const kChangedJournal = Say("更新記録: ", "The update record: ");
inline const char* const kChangedTables = Say("管理テーブル: ", "The management tables: ");
// The system's reasons that are the program's own.
inline const char* const kCancelledReason = Say("キャンセルされました", "cancelled");
inline const char* const kNotFoundReason = Say("見つかりません", "not found");
inline const char* const kUnreadableReason = Say("読み込めません", "cannot be read");
inline const char* const kNoFreeNameReason = Say("空いている名前がありません", "no free name");
inline const char* const kSkippedReason = Say("スキップしました", "skipped");
inline const char* const kChangedWhileCopied = Say("コピーしている間にファイルが変わりました", "the file changed while it was copied");
inline const char* const kChangedSinceLoad = Say("読み込んだ後に変わりました", "changed since load");
inline const char* const kMoreFailures = Say("\nほか {1} 件", "\nand {1} more");
inline const char* const kFreeSpaceNow = Say("　空き: ", "; free: ");
// A title, or characters a title cannot hold, in quotes.
inline const char* const kQuoted = Say("「{1}」", " \"{1}\"");
inline const char* const kNamesInParentheses = Say("（{1}）", " ({1})");

// ---- a dry run's words for the steps of a plan, padded to one width
inline const char* const kStepMakeFolder = Say("フォルダ作成  ", "mkdir  ");
inline const char* const kStepWrite = Say("書き込み      ", "write  ");
inline const char* const kStepRemove = Say("削除          ", "delete ");
inline const char* const kStepRename = Say("名前の変更    ", "rename ");
inline const char* const kStepCopy = Say("コピー        ", "copy   ");
inline const char* const kStepRemoveFolder = Say("フォルダ削除  ", "rmdir  ");
inline const char* const kStepJournalNote = Say("（更新記録）", " (journal)");
inline const char* const kStepRecords = Say("（{1} 件）", " ({1} records)");

// ---- what "check" finds ("{n}": names, paths and counts)
inline const char* const kCheckLeadsOutside = Say("カードの外を指しています", "leads outside the card");
inline const char* const kCheckNumberMissing = Say("それより前のテーブル番号が欠けています", "a table number before it is missing");
inline const char* const kCheckChainBroken = Say("前のテーブルの登録が 64 件に満たないものがあります",
    "an earlier table holds fewer than 64 records");
inline const char* const kCheckNoRecords = Say("登録がありません", "it holds no records");
inline const char* const kCheckNoExistingFile = Say("{1} 件の登録のどれも実在するファイルを指していません",
    "none of its {1} records names an existing file");
inline const char* const kCheckFolderOutside = Say("フォルダー {1} がカードの外を指しています", "its folder {1} leads outside the card");
inline const char* const kCheckRecordOutside = Say("登録 {1} がカードの外を指しています", "record {1} leads outside the card");
inline const char* const kCheckNamedOtherCase = Say("{1} の登録はこれを {2} と呼んでいます", "the record in {1} names it {2}");
inline const char* const kCheckSizeDiffers = Say("{1} の登録は {2} バイト、ファイルは {3} バイトです",
    "the record in {1} says {2} bytes, the file holds {3}");
inline const char* const kCheckOnlyCase = Say("{1} と大文字・小文字しか違いません：カードの上では同じファイルです",
    "differs from {1} only in case: on the card they are one file");
inline const char* const kCheckParkedNamed = Say("次の更新でこの名前になります", "the next commit gives it its name");
inline const char* const kCheckNoTableLists = Say("どのテーブルにも載っていません", "no table lists it");
inline const char* const kCheckScratchCopy = Say("中断された更新が残したコピーです：その更新を完了するか戻すと取り除かれます",
    "a copy an interrupted commit left: finishing or undoing that commit removes it");
inline const char* const kCheckMovedAside = Say("更新が、必要な名前を空けるために移したものです",
    "a commit moved it out of the way of a name it needed");
inline const char* const kCheckJournalScratch = Say("更新記録の書きかけです", "the scratch of a commit journal");
inline const char* const kCheckHeaderScratch = Say("テーブルのヘッダーの書きかけです", "the scratch of a table header");
inline const char* const kCheckTableScratch = Say("本来の場所の横に書かれ、名前が変えられなかったテーブルです",
    "a table written beside its place and never renamed");
inline const char* const kCheckFinishNames = Say("更新を完了するとこの名前になります", "finishing the update gives it its name");
inline const char* const kCheckOtherWriter = Say(
    "別のプログラムが今カードに書き込んでいます（{1}、プロセス {2}）：これはそのプログラムの更新記録か、それが中断した更新のものです",
    "another program is writing the card now ({1}, process {2}): this is its journal, or that of an update it left interrupted");
inline const char* const kCheckRemoveIfSure = Say("；そのプログラムが動いていないことが確かなら、{1} を削除してください",
    "; if that program is surely not running, remove {1}");
inline const char* const kCheckStaleJournal = Say(
    "古いものです：カードのどのテーブルにも合いません（古いバックアップを書き戻したか、カードが別の場所で編集されました）．これを元に何かをすることはなく、次の更新がわきへ移します",
    "stale: it fits none of the tables on the card (an older backup copied back, or the card edited elsewhere); it is never acted on, and the next commit sets it aside");
inline const char* const kCheckDamagedJournal = Say(
    "壊れているか途中で切れています：これを元に何かをすることはなく、次の更新がわきへ移します",
    "damaged or cut short: it is never acted on, and the next commit sets it aside");
inline const char* const kCheckStoppedRemoving = Say("ファイルの削除中に止まった更新です：fenmora-cli finish CARD で完了します",
    "an update stopped while removing files: fenmora-cli finish CARD finishes it");
inline const char* const kCheckRecoveryStopped = Say(
    "前の更新の完了か取り消しが途中で止まっています：fenmora-cli finish CARD で完了します",
    "the finishing or undoing of an earlier update stopped half way: fenmora-cli finish CARD finishes it");
inline const char* const kCheckUpdateStopped = Say(
    "途中で止まった更新です：fenmora-cli finish CARD で完了し、fenmora-cli revert CARD で更新前の状態に戻します",
    "an update stopped half way: fenmora-cli finish CARD finishes it, fenmora-cli revert CARD returns the card to its state before it");
// A finding's line: most read "<what>: <path> (<detail>)".
inline const char* const kFindingLine = Say("{1}: {2}（{3}）", "{1}: {2} ({3})");
inline const char* const kFindingMissing = Say("ファイルがありません: {1}（{2} に登録）", "missing file: {1} (listed in {2})");
inline const char* const kFindingUnlisted = Say("登録されていないファイル: {1}（どのテーブルにも載っていません{2}）",
    "unlisted file: {1} (no table lists it{2})");
inline const char* const kFindingDetailJoin = Say("；", "; ");
inline const char* const kFindingBadRecord = Say("使えない登録 {1}: {2}", "unusable record in {1}: {2}");
inline const char* const kFindingStaleTable = Say("残されたテーブル", "left-behind table");
inline const char* const kFindingParked = Say("中断された更新が残したもの", "left by an interrupted commit");
inline const char* const kFindingInterrupted = Say("中断された更新", "interrupted commit");
inline const char* const kFindingUnreadable = Say("読めないテーブル", "unreadable table");
inline const char* const kFindingSize = Say("サイズが登録と違います", "size differs from its record");
inline const char* const kFindingCase = Say("大文字・小文字だけが違う名前", "name differs only in case");
inline const char* const kFindingScratch = Say("作業用ファイル", "scratch file");
inline const char* const kFindingInformation = Say("情報: ", "information: ");

inline const char* Of(const char* const (&perKind)[3], MediaKind k) {
  return perKind[KindIndex(k)];
}

}  // namespace fenmora::texts
