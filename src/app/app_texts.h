// Texts of the window's own (UTF-8), beside the core's in sync/texts.h, each
// in Japanese (the source, and the language of any locale but English) and
// English.
//
// One word for one thing in everything the program shows (the window, its
// messages, the read-me, the command line), where the handset's own manuals
// and the old texts spelled it two ways, and the one English word for it:
//   メモリカード        memory card (not メモリーカード), as on the buttons
//                       "メモリカード読込" (Load Memory Card) and
//                       "メモリカード更新" (Write to Memory Card);
//                       SDメモリカード (SD memory card) where the kind of card matters
//   待ち受け画像        standby image (not 待受け画像)
//   着メロ              ring melody
//   ムービー            movie
//   管理テーブル        management table
//   更新                write to the card (what the commit does); its record on
//                       the card, 更新記録, is the update record
//   読込、読み込み      load, read (a load)
//   バックアップ        backup, back up
//   復元                restore
//   修正                apply (a title)
//   Japanese sentences end in "．" and clauses are joined with "、" as in the
//   load's and commit's messages; English sentences end in ".".
#pragma once

#include "platform/language.h"

namespace fenmora::app::texts {

// Said once per run when no audio device can be opened; the reason follows
// on its own line.
inline const char* const kNoAudioDevice = Say("音声出力装置を開けないため、着メロを演奏できません．",
    "No audio output device can be opened, so ring melodies cannot be played.");
// A melody file that the player cannot open; the path follows (the player's
// reason goes to the details).
inline const char* const kCannotPlay = Say("下記の着メロを演奏できません．\n",
    "The ring melody below cannot be played.\n");

// The status bar while an MLD melody plays that held what a General MIDI
// synthesizer cannot play; what it held follows (DescribeLeftOut).
inline const char* const kMelodyLeftOut = Say("この着メロで演奏されない部分：",
    "Not played in this ring melody: ");

// The captions of the playback switch (btStopMelody), on and off.
inline const char* const kPlaybackOn = Say("着メロを演奏する",
    "Play ring melodies");
inline const char* const kPlaybackOff = Say("着メロを演奏しない",
    "Don't play ring melodies");

// The drive list while nothing is chosen in it.
inline const char* const kChooseDrive = Say("カードを選んでください",
    "Choose a card");

// Asked before edits not yet written to the card are dropped.
inline const char* const kDropEditsOnClose = Say("メモリカードに更新していない変更があります．\n変更を破棄して終了しますか？",
    "There are changes not yet written to the memory card.\nDiscard them and quit?");
inline const char* const kDropEditsOnLoad = Say("メモリカードに更新していない変更があります．\n変更を破棄してメモリカードを読み込みますか？",
    "There are changes not yet written to the memory card.\nDiscard them and read the memory card?");
inline const char* const kDropEditsOnRestore = Say("メモリカードに更新していない変更があります．\n変更を破棄してバックアップから復元しますか？",
    "There are changes not yet written to the memory card.\nDiscard them and restore from a backup?");

// Before the plan's summary in the restore's question; the backup's folder
// follows.
inline const char* const kRestoreFrom = Say("次のバックアップから復元します：\n",
    "Restoring from this backup:\n");

// The tip of the drive list's entry of the loaded card, after its place.
inline const char* const kLoadedCardMark = Say("（読み込んだメモリカード）",
    " (the memory card read)");
// Status text when the loaded card leaves the mount table or its folder goes.
inline const char* const kCardGone = Say("読み込んだメモリカードが取り外されました．更新するには、もう一度読み込んでください．",
    "The memory card that was read has been removed. Read it again to write to it.");
// Status text when the card that was pulled out is back with other tables:
// editing goes on, the commit waits for a load.
inline const char* const kCardBack = Say("メモリカードが戻りましたが、読み込んだ後に内容が変わっています．更新するには、もう一度読み込んでください．",
    "The memory card is back, but it changed after it was read. Read it again to write to it.");
// ... back as it was loaded: the lists and their edits go on as before.
inline const char* const kCardBackUnchanged = Say("読み込んだメモリカードが戻りました．変更はそのまま更新できます．",
    "The memory card that was read is back. The changes can be written as they are.");
// The commit or the backup pressed after the loaded card's folder went
// (nothing watched saw it go).
inline const char* const kCardPulledBeforeWrite = Say("読み込んだメモリカードが取り外されました．メモリカードには何も書き込んでいません．\n"
    "メモリカードを入れ直してください．",
    "The memory card that was read has been removed. Nothing was written to it.\nPut the memory card back in.");
// First line of the commit's closing message when the card went while it
// was written.
inline const char* const kCardPulledDuringWrite = Say("更新中にメモリカードが取り外されました．",
    "The memory card was removed while it was written.");
// The backup pressed while the loaded card is gone or changed.
inline const char* const kBackupCardGone = Say("読み込んだ後にメモリカードが変わっています．バックアップは取っていません．\n"
    "メモリカードを読み込み直してください．",
    "The memory card changed after it was read. No backup was made.\nRead the memory card again.");

// The desktop could not open something; the file or address follows.
inline const char* const kCannotOpenFile = Say("下記のファイルを開くアプリケーションが見つかりません．\n",
    "No application to open the file below was found.\n");
inline const char* const kCannotOpenAddress = Say("下記のアドレスを開けるブラウザが見つかりません．\nアドレスをコピーしてブラウザで開いてください．\n",
    "No browser to open the address below was found.\nCopy the address and open it in a browser.\n");
inline const char* const kCannotReadFile = Say("下記のファイルを読み込めません．\n",
    "The file below cannot be read.\n");
inline const char* const kFileNotFound = Say("下記のファイルが見つかりません．\n",
    "The file below was not found.\n");
inline constexpr const char* kReadMeName = "ReadMe.txt";  // a file name, never translated

// A retitle with characters the card's titles cannot hold: the characters
// follow the first line, each in 「」.
inline const char* const kUnrepresentable = Say("次の文字はタイトルに使えません：",
    "These characters cannot be used in a title: ");
inline const char* const kUnrepresentableQuestion = Say("\n「?」に置き換えて修正しますか？",
    "\nReplace them with \"?\" and apply the title?");
// Another row chosen while the title edit holds a title not yet applied.
inline const char* const kTitleNotApplied = Say("入力したタイトルがまだ修正されていません．\n前に選んでいたデータのタイトルを修正しますか？\n",
    "The title you typed has not been applied yet.\nApply it to the item chosen before?\n");

// The partner strip under the lists, after the kind of the tab in front.
inline const char* const kBanner[3] = {
    Say("待ち受け画像のダウンロードはこちらのサイトからどうぞ →", "Download standby images from this site →"),
    Say("着メロのダウンロードはこちらのサイトからどうぞ →", "Download ring melodies from this site →"),
    Say("ムービーのダウンロードはこちらのサイトからどうぞ →", "Download movies from this site →")};

// Names of controls without a caption of their own, for screen readers.
inline const char* const kPreviewName = Say("プレビュー",
    "Preview");
inline const char* const kFreeSpaceName = Say("空き容量",
    "Free space");
inline const char* const kKindTabsName = Say("データの種類",
    "Kind of data");

// The menu bar: menus and commands (the button's caption where there is
// one), with their access keys.
inline const char* const kMenuFile = Say("ファイル(&F)",
    "&File");
inline const char* const kMenuEdit = Say("編集(&E)",
    "&Edit");
inline const char* const kMenuCard = Say("カード(&C)",
    "&Card");
inline const char* const kMenuHelp = Say("ヘルプ(&H)",
    "&Help");
inline const char* const kOpenFolderAsCard = Say("フォルダーをカードとして開く(&O)...",
    "&Open a Folder as a Card...");
inline const char* const kChooseCardFolder = Say("カードとして開くフォルダーを選んでください",
    "Choose the folder to open as a card");
inline const char* const kQuit = Say("終了(&X)",
    "E&xit");
inline const char* const kUndo = Say("元に戻す(&U)",
    "&Undo");
inline const char* const kRedo = Say("やり直し(&R)",
    "&Redo");
inline const char* const kMenuUp = Say("上へ(&P)",
    "Move U&p");
inline const char* const kMenuDown = Say("下へ(&N)",
    "Move Dow&n");
inline const char* const kMenuRenumber = Say("リナンバ(&M)",
    "Re&number");
inline const char* const kMenuDelete = Say("削除(&D)",
    "&Delete");
inline const char* const kMenuAdd = Say("追加(&A)...",
    "&Add...");
inline const char* const kMenuLoad = Say("メモリカード読込(&L)",
    "&Load Memory Card");
inline const char* const kMenuCommit = Say("メモリカード更新(&W)",
    "&Write to Memory Card");
inline const char* const kMenuBackup = Say("データバックアップ(&B)",
    "&Back Up Data");
inline const char* const kMenuRestore = Say("復元(&R)...",
    "&Restore...");
inline const char* const kMenuHelpCommand = Say("ヘルプ(&H)",
    "&Help");
inline const char* const kMenuAbout = Say("バージョン情報(&A)",
    "&About");

// The about box.
inline const char* const kAboutTitle = Say("バージョン情報",
    "About");
// Before the version number, in the about box and the branding panel.
inline const char* const kVersionPrefix = Say("バージョン ",
    "Version ");
inline const char* const kCopyright = Say("© 2026 Fenmora 開発チーム",
    "© 2026 The Fenmora developers");

// The about box's words beside its links.
inline const char* const kAboutLatest = Say("最新版入手やご意見等は↓こちらへどうぞ",
    "The latest version, your comments: below");
inline const char* const kAboutDonate = Say("今後の開発のためご寄付をお願い致します<(_ _)>",
    "Please donate for what comes next <(_ _)>");
inline const char* const kDonate = Say("寄付", "Donate");
// Two lines before the two links ("コチラ") of ratings and support.
inline const char* const kAboutRatingsSupport = Say("評価感想は\nサポートは", "Ratings\nSupport");
inline const char* const kHere = Say("コチラ", "Here");

// The read-me shown by the window itself.
inline const char* const kHelpTitle = Say("ヘルプ － ReadMe.txt",
    "Help - ReadMe.txt");
inline const char* const kHelpFindLabel = Say("検索:",
    "Find:");
inline const char* const kHelpFindNext = Say("次を検索",
    "Find Next");
inline const char* const kHelpNotFound = Say("見つかりません",
    "Not found");
inline const char* const kClose = Say("閉じる",
    "Close");

// The menu "表示": the lists as a grid or as thumbnails of the handset's
// screen.
inline const char* const kMenuView = fenmora::Say("表示(&V)", "&View");
inline const char* const kViewList = fenmora::Say("一覧(&L)", "&List");
inline const char* const kViewThumbnails = fenmora::Say("縮小表示(&T)", "&Thumbnails");

// "復元" on a card whose update was interrupted: refused before anything is
// asked or chosen.
inline const char* const kRestoreRefusedInterrupted = fenmora::Say(
    "このメモリカードは更新が途中で中断されています．\n"
    "先に「メモリカード更新」で中断された更新を完了するか、更新前に戻してから復元してください．",
    "The last update of this memory card was interrupted.\n"
    "Finish or undo it with \"Write to Memory Card\" first, then restore the backup.");
// After kCardPulledDuringWrite: what became of the card.
inline const char* const kCardPulledReinsert = fenmora::Say(
    "メモリカードを差し込み直して「メモリカード読込」を押すと、中断された更新を完了するか、更新前に戻せます．",
    "Put the memory card back and press \"Load Memory Card\" to finish or undo the interrupted update.");
inline const char* const kCardPulledUntouched = fenmora::Say("カード上のファイルは変更していません．",
                                                             "The files on the card were not changed.");

// The folder dialogs ("フォルダーをカードとして開く", "復元"): Qt's own dialog
// with these words.
inline const char* const kFolderLookIn = fenmora::Say("場所：", "Look in:");
inline const char* const kFolderName = fenmora::Say("フォルダー：", "Folder:");
inline const char* const kFolderType = fenmora::Say("種類：", "Type:");
inline const char* const kFolderChoose = fenmora::Say("選択", "Choose");
inline const char* const kFolderColumnName = fenmora::Say("名前", "Name");
inline const char* const kFolderColumnSize = fenmora::Say("サイズ", "Size");
inline const char* const kFolderColumnType = fenmora::Say("種類", "Type");
inline const char* const kFolderColumnDate = fenmora::Say("更新日時", "Date Modified");
inline const char* const kFolderKind = fenmora::Say("フォルダー", "Folder");

// The window's captions (the buttons and labels of the form).
inline const char* const kDriveLabel = Say("ドライブ選択", "Drive");
inline const char* const kLoadButton = Say("メモリカード読込", "Load Memory Card");
inline const char* const kDiskSpaceLabel = Say("ディスク容量", "Disk space");
inline const char* const kCommitButton = Say("メモリカード更新", "Write to Memory Card");
inline const char* const kBackupButton = Say("データバックアップ", "Back Up Data");
inline const char* const kHelpButton = Say("ヘルプ", "Help");
inline const char* const kExitButton = Say("終了", "Exit");
inline const char* const kApply = Say("修正", "Apply");
inline const char* const kUp = Say("上へ", "Up");
inline const char* const kDown = Say("下へ", "Down");
inline const char* const kRenumber = Say("リナンバ", "Renumber");
inline const char* const kDelete = Say("削除", "Delete");
inline const char* const kAdd = Say("追加", "Add");
inline const char* const kCancel = Say("キャンセル", "Cancel");
inline const char* const kMenuBarName = Say("メニュー", "Menu");
inline const char* const kMakerName = Say("Fenmora 開発チーム", "Fenmora team");
// A list's name for screen readers, after the kind ("待ち受け画像の一覧").
inline const char* const kListOf = Say("{1}の一覧", "{1} list");
// After a movie's length in the status bar: its frame's width and height.
inline const char* const kMovieFrameSize = Say("　%1×%2", "  %1×%2");

// The window's language, chosen in the help menu: its name in both languages
// so that either reader finds it; the choice takes effect at the next start.
inline const char* const kMenuLanguage = "表示言語 / Language(&G)";
inline const char* const kLanguageJapanese = "日本語";
inline const char* const kLanguageEnglish = "English";
inline const char* const kLanguageSystem = Say("システムの設定に従う", "Follow the system");
inline const char* const kLanguageNextStart = Say("表示言語は、次に Fenmora を起動したときに変わります．",
    "The language changes the next time Fenmora starts.");
inline const char* const kLanguageNotSaved = Say("表示言語の設定を保存できませんでした．",
    "The language setting could not be saved.");

}  // namespace fenmora::app::texts
