// Texts of the window's own (UTF-8), beside the core's in sync/texts.h.
#pragma once

namespace fenmora::app::texts {

// Said once per run when no audio device can be opened; the reason follows
// on its own line.
inline constexpr const char* kNoAudioDevice =
    "音声出力装置を開けないため、着メロを演奏できません．";
// A melody file that the player cannot open; the path and the reason follow.
inline constexpr const char* kCannotPlay = "下記の着メロを演奏できません。\n";

// The playback switch on btStopMelody: the caption is the state.
inline constexpr const char* kPlaybackOn = "着メロを演奏する";
inline constexpr const char* kPlaybackOff = "着メロを演奏しない";

}  // namespace fenmora::app::texts
