// Titles read out of melody files: the "titl" chunk of an MLD file and the
// first track-name meta event (FF 03) of a Standard MIDI File. Both are
// fixed-bound byte scans that return the raw bytes stored in the file (CP932
// in practice) or the empty text when there is none.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fenmora {

inline constexpr size_t kMldTitleBuffer = 256;   // the MLD title never exceeds this
inline constexpr size_t kMldScanLimit = 65535;   // end markers are looked for below this offset
inline constexpr size_t kSmfScanLimit = 2048;    // track names must start before this offset

// The same rules on bytes already in memory (the file's first bytes; a reader
// never needs more than kMldScanLimit + 3 or kSmfScanLimit + 257 of them).
std::string ParseMldTitle(std::string_view bytes);
std::string ParseSmfTrackName(std::string_view bytes);

// Empty when the file cannot be opened or read.
std::string ReadMldTitle(const std::filesystem::path& path);
std::string ReadSmfTrackName(const std::filesystem::path& path);

}  // namespace fenmora
