// The handset's own melodies (MFi, ".MLD") converted to a Standard MIDI File
// in memory, for the General MIDI synthesizer that plays ".MID" files and for
// keeping a card's melodies in a form a computer plays. Nothing is written
// anywhere: bytes in, bytes out.
//
// The file is read leniently: unknown versions and chunks, trailing bytes, a
// header or chunk length that lies and a track cut short give what can be
// read; nothing past the data is ever read. What a General MIDI synthesizer
// cannot render (ADPCM voice data, the handset's own FM voice edits, vendor
// data) is left out and counted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fenmora {

// What the conversion could not carry over, by kind.
struct MfiLeftOut {
  int audioChunks = 0;    // "adat" chunks (ADPCM voice data)
  int voiceEdits = 0;     // 0xF0 events: the handset's FM voice edits
  int vendorEvents = 0;   // 0xFF events: vendor data
  int otherEvents = 0;    // events of no known meaning, and notes on a channel no MIDI channel was left for
  bool loopIgnored = false;  // loop points: played once, not repeated
  bool truncated = false;    // a chunk or an event ran past the end of the file
  bool Any() const { return audioChunks || voiceEdits || vendorEvents || otherEvents; }
};

struct MfiConversion {
  // A Standard MIDI File of format 1: a conductor track (title, tempo), then
  // one track per MFi track. Format 1 keeps the melody's own parts apart, as
  // a sequencer shows them; a file for the handset is made format 0 by
  // slimming when it must be.
  std::string smf;
  std::string title;    // the bytes of the "titl" chunk (CP932), empty without one
  int tracks = 0;       // MFi tracks read
  int notes = 0;        // note-on events written
  MfiLeftOut leftOut;
};

// The MIDI file, or nullopt with `why` (English, one line) when the bytes are
// not an MFi melody: no "melo" mark or a header cut short.
std::optional<MfiConversion> ConvertMfiToSmf(std::string_view bytes, std::string* why = nullptr);

// The bytes of the first "titl" info chunk, wherever it stands among the
// info chunks that follow the 13-byte header (the magic is not looked at);
// empty without one. Bytes of the chunk past the end of `bytes` are not in it.
std::string FindMfiTitleChunk(std::string_view bytes);

// The left-out items in a few words ("2 ADPCM voice chunks, 1 vendor event"),
// empty when nothing was left out. English, for the command line.
// Why bytes are no MFi melody that converts, as ConvertMfiToSmf says it.
extern const char* const kMfiNoMeloMark;
extern const char* const kMfiHeaderCut;
extern const char* const kMfiNoTrack;

std::string DescribeLeftOut(const MfiLeftOut& leftOut);

}  // namespace fenmora
