// Texts of the window's own (UTF-8), beside the core's in sync/texts.h.
//
// One word for one thing in everything the program shows (the window, its
// messages, the read-me), where the handset's own manuals and the old texts
// spelled it two ways:
//   メモリカード   (not メモリーカード), as on the buttons "メモリカード読込" and
//                  "メモリカード更新"; SDメモリカード where the kind of card matters
//   待ち受け画像   (not 待受け画像), as in the status texts and messages
//   着メロ, ムービー, 管理テーブル, バックアップ, 修正 (a title applied), 更新
//   (what the commit does), 読み込み (a load)
//   Sentences end in "．" and clauses are joined with "、" as in the load's
//   and commit's messages.
#pragma once

#include "platform/language.h"

namespace fenmora::app::texts {

// Said once per run when no audio device can be opened; the reason follows
// on its own line.
inline constexpr const char* kNoAudioDevice =
    "音声出力装置を開けないため、着メロを演奏できません．";
// A melody file that the player cannot open; the path follows (the player's
// reason goes to the details).
inline constexpr const char* kCannotPlay = "下記の着メロを演奏できません．\n";

// The status bar while an MLD melody plays that held what a General MIDI
// synthesizer cannot play; the counts follow, joined by "、".
inline constexpr const char* kMelodyLeftOut = "この着メロで演奏されない部分：";
inline constexpr const char* kLeftOutAudio = "ADPCM音声 %1 個";
inline constexpr const char* kLeftOutVoices = "FM音色 %1 個";
inline constexpr const char* kLeftOutVendor = "独自データ %1 個";
inline constexpr const char* kLeftOutOther = "その他 %1 個";

// The captions of the playback switch (btStopMelody), on and off.
inline constexpr const char* kPlaybackOn = "着メロを演奏する";
inline constexpr const char* kPlaybackOff = "着メロを演奏しない";

// The drive list while nothing is chosen in it.
inline constexpr const char* kChooseDrive = "カードを選んでください";

// Asked before edits not yet written to the card are dropped.
inline constexpr const char* kDropEditsOnClose =
    "メモリカードに更新していない変更があります．\n変更を破棄して終了しますか？";
inline constexpr const char* kDropEditsOnLoad =
    "メモリカードに更新していない変更があります．\n変更を破棄してメモリカードを読み込みますか？";
inline constexpr const char* kDropEditsOnRestore =
    "メモリカードに更新していない変更があります．\n変更を破棄してバックアップから復元しますか？";

// Before the plan's summary in the restore's question; the backup's folder
// follows.
inline constexpr const char* kRestoreFrom = "次のバックアップから復元します：\n";

// The tip of the drive list's entry of the loaded card, after its place.
inline constexpr const char* kLoadedCardMark = "（読み込んだメモリカード）";
// Status text when the loaded card leaves the mount table or its folder goes.
inline constexpr const char* kCardGone =
    "読み込んだメモリカードが取り外されました．更新するには、もう一度読み込んでください．";
// Status text when the card that was pulled out is back with other tables:
// editing goes on, the commit waits for a load.
inline constexpr const char* kCardBack =
    "メモリカードが戻りましたが、読み込んだ後に内容が変わっています．更新するには、もう一度読み込んでください．";
// ... back as it was loaded: the lists and their edits go on as before.
inline constexpr const char* kCardBackUnchanged =
    "読み込んだメモリカードが戻りました．変更はそのまま更新できます．";
// The commit or the backup pressed after the loaded card's folder went
// (nothing watched saw it go).
inline constexpr const char* kCardPulledBeforeWrite =
    "読み込んだメモリカードが取り外されました．メモリカードには何も書き込んでいません．\n"
    "メモリカードを入れ直してください．";
// First line of the commit's closing message when the card went while it
// was written.
inline constexpr const char* kCardPulledDuringWrite = "更新中にメモリカードが取り外されました．";
// The backup pressed while the loaded card is gone or changed.
inline constexpr const char* kBackupCardGone =
    "読み込んだ後にメモリカードが変わっています．バックアップは取っていません．\n"
    "メモリカードを読み込み直してください．";

// The desktop could not open something; the file or address follows.
inline constexpr const char* kCannotOpenFile =
    "下記のファイルを開くアプリケーションが見つかりません．\n";
inline constexpr const char* kCannotOpenAddress =
    "下記のアドレスを開けるブラウザが見つかりません．\nアドレスをコピーしてブラウザで開いてください．\n";
inline constexpr const char* kCannotReadFile = "下記のファイルを読み込めません．\n";
inline constexpr const char* kFileNotFound = "下記のファイルが見つかりません．\n";
inline constexpr const char* kReadMeName = "ReadMe.txt";

// A retitle with characters the card's titles cannot hold: the characters
// follow the first line, each in 「」.
inline constexpr const char* kUnrepresentable = "次の文字はタイトルに使えません：";
inline constexpr const char* kUnrepresentableQuestion = "\n「?」に置き換えて修正しますか？";
// Another row chosen while the title edit holds a title not yet applied.
inline constexpr const char* kTitleNotApplied =
    "入力したタイトルがまだ修正されていません．\n前に選んでいたデータのタイトルを修正しますか？\n";

// The partner strip under the lists, after the kind of the tab in front.
inline constexpr const char* kBanner[3] = {"待ち受け画像のダウンロードはこちらのサイトからどうぞ →",
                                           "着メロのダウンロードはこちらのサイトからどうぞ →",
                                           "ムービーのダウンロードはこちらのサイトからどうぞ →"};

// Names of controls without a caption of their own, for screen readers.
inline constexpr const char* kPreviewName = "プレビュー";
inline constexpr const char* kFreeSpaceName = "空き容量";
inline constexpr const char* kKindTabsName = "データの種類";

// The menu bar: menus and commands (the button's caption where there is
// one), with their access keys.
inline constexpr const char* kMenuFile = "ファイル(&F)";
inline constexpr const char* kMenuEdit = "編集(&E)";
inline constexpr const char* kMenuCard = "カード(&C)";
inline constexpr const char* kMenuHelp = "ヘルプ(&H)";
inline constexpr const char* kOpenFolderAsCard = "フォルダーをカードとして開く(&O)...";
inline constexpr const char* kChooseCardFolder = "カードとして開くフォルダーを選んでください";
inline constexpr const char* kQuit = "終了(&X)";
inline constexpr const char* kUndo = "元に戻す(&U)";
inline constexpr const char* kRedo = "やり直し(&R)";
inline constexpr const char* kMenuUp = "上へ(&P)";
inline constexpr const char* kMenuDown = "下へ(&N)";
inline constexpr const char* kMenuRenumber = "リナンバ(&M)";
inline constexpr const char* kMenuDelete = "削除(&D)";
inline constexpr const char* kMenuAdd = "追加(&A)...";
inline constexpr const char* kMenuLoad = "メモリカード読込(&L)";
inline constexpr const char* kMenuCommit = "メモリカード更新(&W)";
inline constexpr const char* kMenuBackup = "データバックアップ(&B)";
inline constexpr const char* kMenuRestore = "復元(&R)...";
inline constexpr const char* kMenuHelpCommand = "ヘルプ(&H)";
inline constexpr const char* kMenuAbout = "バージョン情報(&A)";

// The about box.
inline constexpr const char* kAboutTitle = "バージョン情報";
// Before the version number, in the about box and the branding panel.
inline constexpr const char* kVersionPrefix = "バージョン ";
inline constexpr const char* kCopyright = "© 2026 Fenmora 開発チーム";

// The read-me shown by the window itself.
inline constexpr const char* kHelpTitle = "ヘルプ － ReadMe.txt";
inline constexpr const char* kHelpFindLabel = "検索:";
inline constexpr const char* kHelpFindNext = "次を検索";
inline constexpr const char* kHelpNotFound = "見つかりません";
inline constexpr const char* kClose = "閉じる";

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
    "Finish or undo it with \"Write memory card\" first, then restore the backup.");
// After kCardPulledDuringWrite: what became of the card.
inline const char* const kCardPulledReinsert = fenmora::Say(
    "メモリカードを差し込み直して「メモリカード読込」を押すと、中断された更新を完了するか、更新前に戻せます．",
    "Put the memory card back and press \"Read memory card\" to finish or undo the interrupted update.");
inline const char* const kCardPulledUntouched = fenmora::Say("カード上のファイルは変更していません．",
                                                             "The files on the card were not changed.");

// The folder dialogs ("フォルダーをカードとして開く", "復元"): Qt's own dialog
// with these words.
inline const char* const kFolderLookIn = fenmora::Say("場所：", "Look in:");
inline const char* const kFolderName = fenmora::Say("フォルダー：", "Folder:");
inline const char* const kFolderType = fenmora::Say("種類：", "Type:");
inline const char* const kFolderChoose = fenmora::Say("選択", "Choose");
inline const char* const kFolderCancel = fenmora::Say("キャンセル", "Cancel");
inline const char* const kFolderColumnName = fenmora::Say("名前", "Name");
inline const char* const kFolderColumnSize = fenmora::Say("サイズ", "Size");
inline const char* const kFolderColumnType = fenmora::Say("種類", "Type");
inline const char* const kFolderColumnDate = fenmora::Say("更新日時", "Date Modified");
inline const char* const kFolderKind = fenmora::Say("フォルダー", "Folder");

}  // namespace fenmora::app::texts
