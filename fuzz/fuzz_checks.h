// The properties the fuzz targets hold the core's readers to. Shared by the
// libFuzzer targets (fuzz/fuzz_*.cpp) and by the regression test that replays
// every kept finding under fuzz/regressions/<target>/ without libFuzzer.
//
// Each check takes arbitrary bytes and returns the empty text when every
// property holds, otherwise a description of the first one that broke.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fenmora::fuzzing {

// ParseTable: record count from the size, field widths, no 00 inside a field,
// and a record (and header folder text) written back reads the same.
std::string CheckTable(std::string_view bytes);

// ParseMldTitle: at most 256 bytes, no 00, taken from offset 19 of the input
// or, when the first info chunk is another, from after a "titl" chunk's length.
std::string CheckMldTitle(std::string_view bytes);

// ParseSmfTrackName: at most 255 bytes, the bytes after an FF 03 <length>
// that starts below the scan limit.
std::string CheckSmfTrackName(std::string_view bytes);

// SlimSmf: what it returns is one track of format 0 that reads back, and
// slimming it again changes nothing.
std::string CheckSmfSlim(std::string_view bytes);

// ConvertMfiToSmf: an input that begins with "melo" and a whole 13-byte
// header converts; every MIDI file it gives is read back by the program's SMF
// reader with the number of notes the conversion counted, as format 1 with a
// conductor track and one track per MFi track, and slims with those notes.
std::string CheckMfiMidi(std::string_view bytes);

// Both SMF checks, the track name's first.
std::string CheckSmf(std::string_view bytes);

// Cp932ToUtf8, Utf8ToCp932 and Cp932CutBytes: valid UTF-8 out, characters
// converted one by one give the same text as the whole, ASCII survives
// exactly, representable characters come back, cuts fall on boundaries.
std::string CheckCp932(std::string_view bytes);

// A journal as the card may hold it: either format decodes without growing
// past what its size allows, and a journal that decodes writes back to bytes
// that decode to the same.
std::string CheckJournal(std::string_view bytes);

// A temporary card root made once: real folders, a link out of the card
// (absolute), a link inside it (relative), a relative link that climbs out, a
// dangling link that points outside, a link loop and a file link outside. A
// sibling folder "outside" holds one file. Removed when destroyed.
class CardFixture {
 public:
  CardFixture();
  ~CardFixture();
  CardFixture(const CardFixture&) = delete;
  CardFixture& operator=(const CardFixture&) = delete;
  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& outside() const { return outside_; }

 private:
  std::filesystem::path base_, root_, outside_;
};

// The input split at its first two FF bytes into folder text, stem and
// extension (missing parts are empty).
struct CardPathInput {
  std::string_view folder, stem, ext;
};
CardPathInput SplitCardPathInput(std::string_view bytes);

// NormalizeCardFolder, IsSafeCardFileName and ResolveCardPath on the split
// input: a normal form is canonical and stable, refusals agree, and every path
// returned lies under the card root lexically, by IsInside, and by an
// independent walk that follows links with std::filesystem.
std::string CheckCardPath(const CardFixture& card, std::string_view bytes);

// The check of a target by its name ("fuzz_table", ...), for the replay of
// kept findings; nullptr for an unknown name. The card path check needs a
// fixture: pass one (it is only used by "fuzz_cardpath").
using CheckFunction = std::string (*)(const CardFixture&, std::string_view);
CheckFunction CheckOfTarget(std::string_view target);

// Bytes as printable text ("AB\xFF"), for failure messages.
std::string Printable(std::string_view bytes);

// For the fuzz targets: prints the failure and aborts when it is not empty.
void Require(const char* target, const std::string& failure);

}  // namespace fenmora::fuzzing
