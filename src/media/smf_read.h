// Reading a Standard MIDI File into its events, in the order a player plays
// them. One reader for the slimming, the tests, the fuzz checks and the
// benchmarks: what it accepts is what the program calls a readable SMF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

struct SmfEvent {
  std::uint64_t tick = 0;
  int track = 0;             // the index of its track chunk among the MTrk chunks
  std::uint8_t status = 0;   // channel status, 0xFF for a meta event, 0xF0 / 0xF7 system exclusive
  std::uint8_t metaType = 0;
  std::string data;          // channel: the data bytes; meta and system exclusive: the payload
};

struct Smf {
  int format = 0;
  int division = 0;          // ticks per quarter note (or the SMPTE form, as stored)
  int tracks = 0;            // track chunks read
  std::uint64_t endTick = 0; // the latest end of a track
  // Every event of every track but the ends of tracks, by tick; events of one
  // tick keep the order of their tracks, then their own order.
  std::vector<SmfEvent> events;
};

// nullopt when the bytes are not a Standard MIDI File of format 0 or 1 whose
// tracks can be read to their end (a track may lack its end-of-track event).
std::optional<Smf> ReadSmf(std::string_view bytes);

// A note as it sounds: note-on (velocity above 0) to its note-off, in seconds
// by the file's tempo events (120 beats a minute before the first).
struct SmfNote {
  double start = 0;
  double length = 0;
  int channel = 0;  // 0-15
  int key = 0;
  int velocity = 0;
};

// The notes of a file read by ReadSmf, by start time; a note never ended
// lasts to the end of its file. Empty for SMPTE divisions.
std::vector<SmfNote> SmfNotes(const Smf& smf);

// The number of note-on events with a velocity above 0.
size_t CountSmfNotes(const Smf& smf);

// For the writers of MIDI files: a variable-length quantity, and a number of
// `bytes` bytes, big-endian, appended to out.
void PutVlq(std::string& out, std::uint64_t value);
void PutBe(std::string& out, std::uint32_t value, int bytes);

}  // namespace fenmora
