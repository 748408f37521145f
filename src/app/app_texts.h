// Texts of the window's own (UTF-8), beside the core's in sync/texts.h.
#pragma once

namespace fenmora::app::texts {

// Said once per run when no audio device can be opened; the reason follows
// on its own line.
inline constexpr const char* kNoAudioDevice =
    "音声出力装置を開けないため、着メロを演奏できません．";
// A melody file that the player cannot open; the path and the reason follow.
inline constexpr const char* kCannotPlay = "下記の着メロを演奏できません。\n";

// The status bar while an MLD melody plays that held what a General MIDI
// synthesizer cannot play; the counts follow, joined by "、".
inline constexpr const char* kMelodyLeftOut = "この着メロで演奏されない部分：";
inline constexpr const char* kLeftOutAudio = "ADPCM音声 %1 個";
inline constexpr const char* kLeftOutVoices = "FM音色 %1 個";
inline constexpr const char* kLeftOutVendor = "独自データ %1 個";
inline constexpr const char* kLeftOutOther = "その他 %1 個";

// The playback switch on btStopMelody: the caption is the state.
inline constexpr const char* kPlaybackOn = "着メロを演奏する";
inline constexpr const char* kPlaybackOff = "着メロを演奏しない";

// The drive list while nothing is chosen in it.
inline constexpr const char* kChooseDrive = "カードを選んでください";

// Asked before edits not yet written to the card are dropped.
inline constexpr const char* kDropEditsOnClose =
    "メモリカードに更新していない変更があります．\n変更を破棄して終了しますか？";
inline constexpr const char* kDropEditsOnLoad =
    "メモリカードに更新していない変更があります．\n変更を破棄してメモリカードを読み込みますか？";

// Status text when the loaded card leaves the mount table or its folder goes.
inline constexpr const char* kCardGone =
    "読み込んだメモリカードが取り外されました．更新するには、もう一度読み込んでください．";

// The desktop could not open something; the file or address follows.
inline constexpr const char* kCannotOpenFile =
    "下記のファイルを開くアプリケーションが見つかりません．\n";
inline constexpr const char* kCannotOpenAddress = "下記のアドレスを開けません．\n";
inline constexpr const char* kFileNotFound = "下記のファイルが見つかりません．\n";
inline constexpr const char* kReadMeName = "ReadMe.txt";

// A retitle with characters the card's titles cannot hold: the characters
// follow the first line, each in 「」.
inline constexpr const char* kUnrepresentable = "次の文字はタイトルに使えません：";
inline constexpr const char* kUnrepresentableQuestion = "\n「?」に置き換えて修正しますか？";

}  // namespace fenmora::app::texts
