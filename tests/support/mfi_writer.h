// A small writer of MFi melodies (".MLD") for the tests: the header with its
// info chunks in the order given, "adat" chunks, then the tracks, each a
// string of events made with the helpers below. The header and file lengths
// are computed unless a test sets them to lie.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fenmora::testmfi {

inline std::string Be(std::uint32_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

// A note: voice 0-3, key 0-62, gate in ticks.
inline std::string Note(int delta, int voice, int key, int gate) {
  return {static_cast<char>(delta), static_cast<char>(voice << 6 | key), static_cast<char>(gate)};
}

// A note of a file with the "note" chunk set to 1: velocity 0-63 and the
// octave shift code (0: none, 1: +1, 2: -2, 3: -1).
inline std::string Note4(int delta, int voice, int key, int gate, int velocity, int shiftCode) {
  return Note(delta, voice, key, gate) + static_cast<char>(velocity << 2 | shiftCode);
}

// A control event 0x80-0xEF with its data byte; status 0xFF unless given.
inline std::string Ext(int delta, int ext, int data, int status = 0xFF) {
  return {static_cast<char>(delta), static_cast<char>(status), static_cast<char>(ext), static_cast<char>(data)};
}

// A control event of a channel (voice 0-3 of its track): value 0-63.
inline std::string ChannelExt(int delta, int ext, int voice, int value) {
  return Ext(delta, ext, voice << 6 | value);
}

// An event 0xF0-0xFF: 2-byte length and data.
inline std::string LongExt(int delta, int ext, const std::string& data) {
  return std::string{static_cast<char>(delta), '\xFF', static_cast<char>(ext)} +
         Be(static_cast<std::uint32_t>(data.size()), 2) + data;
}

inline std::string EndOfTrack(int delta = 0) { return Ext(delta, 0xDF, 0); }

struct MfiFile {
  std::vector<std::pair<std::string, std::string>> info;  // tag and data, in order
  std::vector<std::string> adat;
  std::vector<std::string> tracks;
  std::optional<int> trackCount;         // the header's count; the number of tracks unless set
  std::optional<int> headerLength;       // the header's length field, when it must lie
  std::string trailing;                  // bytes after the last chunk

  MfiFile& Info(std::string tag, std::string data) {
    info.emplace_back(std::move(tag), std::move(data));
    return *this;
  }

  std::string Bytes() const {
    std::string chunks;
    for (const auto& [tag, data] : info) chunks += tag + Be(static_cast<std::uint32_t>(data.size()), 2) + data;
    std::string body;
    for (const std::string& a : adat) body += "adat" + Be(static_cast<std::uint32_t>(a.size()), 4) + a;
    for (const std::string& t : tracks) body += "trac" + Be(static_cast<std::uint32_t>(t.size()), 4) + t;
    const std::string header = std::string("\x01\x01", 2) +
                               static_cast<char>(trackCount.value_or(static_cast<int>(tracks.size()))) + chunks;
    const auto length = static_cast<std::uint32_t>(headerLength.value_or(static_cast<int>(header.size())));
    std::string rest = Be(length, 2) + header + body + trailing;
    return "melo" + Be(static_cast<std::uint32_t>(rest.size()), 4) + rest;
  }
};

}  // namespace fenmora::testmfi
