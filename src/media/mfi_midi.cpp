#include "media/mfi_midi.h"

#include "platform/language.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "media/smf_read.h"
#include "platform/cp932.h"

namespace fenmora {

const char* const kMfiNoMeloMark = Say("MFi メロディではありません：\"melo\" で始まっていません",
                                "not an MFi melody: it does not begin with \"melo\"");
const char* const kMfiHeaderCut = Say("MFi メロディではありません：ヘッダーが途中で切れています",
                                "not an MFi melody: its header is cut short");
const char* const kMfiNoTrack = Say("MFi メロディではありません：トラックがありません",
                                "not an MFi melody: it holds no track");

namespace {


// The MIDI file counts 1920 ticks to the quarter note: every MFi timebase
// (6 or 15 times a power of two up to 128) divides it, so each MFi tick is a
// whole number of MIDI ticks and a timebase change needs no rounding.
constexpr int kDivision = 1920;

// Before the first tempo event a melody plays at 120 beats a minute with 48
// ticks a beat. The public descriptions disagree here (120 or 128 beats, 48
// or 96 ticks); 120 is also what a MIDI file means without a tempo event, and
// 48 is the timebase the handset's own editor writes.
constexpr int kDefaultTempo = 120;
constexpr int kDefaultTimebase = 48;

// MIDI delta times hold 28 bits: events later than this (some nineteen hours
// at 120 beats a minute) are left out.
constexpr std::uint64_t kLastSmfTick = 0x0FFFFFFF;

// A note event with 3 bytes has no velocity of its own: it sounds at full
// velocity, as a 4-byte note with velocity 63 does.
constexpr int kFullVelocity = 63;

constexpr int kPercussion = 16;  // the logical channel of drum notes: MIDI channel 10

enum class Kind { Note, Control };

struct RawEvent {
  std::uint64_t tick = 0;
  int track = 0;
  Kind kind = Kind::Note;
  int status = 0;  // notes: the status byte; controls: the ext byte
  int param = 0;   // notes: gate time; controls: the data byte (0x80-0xEF)
  int extra = -1;  // notes: the 4th byte, -1 without one
};

class Bytes {
 public:
  explicit Bytes(std::string_view b) : b_(b) {}
  size_t size() const { return b_.size(); }
  int At(size_t p) const { return static_cast<unsigned char>(b_[p]); }
  std::uint32_t Be(size_t p, int n) const {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<std::uint32_t>(At(p + static_cast<size_t>(i)));
    return v;
  }
  bool Has(size_t p, size_t n) const { return p <= b_.size() && n <= b_.size() - p; }
  std::string_view Sub(size_t p, size_t n) const { return b_.substr(p, n); }

 private:
  std::string_view b_;
};

bool IsChunkTag(std::string_view tag) {
  return tag.size() == 4 && std::all_of(tag.begin(), tag.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

bool IsBodyTag(std::string_view tag) { return tag == "trac" || tag == "adat"; }

struct Header {
  std::string title;
  bool fourByteNotes = false;
  int extendedBytes = 0;  // the "exst" value: extra bytes of events 0x00-0x7F
  size_t bodyStart = 0;   // where the first "trac" or "adat" chunk stands; size() without one
};

// A chunk's value as a number: one byte or the first two, big-endian.
int SmallNumber(const Bytes& b, size_t p, size_t length) {
  if (length == 0) return 0;
  if (length == 1) return b.At(p);
  return static_cast<int>(b.Be(p, 2));
}

Header ReadHeader(const Bytes& b) {
  Header h;
  // The info chunks, in any order, walked one by one: the header length may
  // lie, the chunks themselves say where the next one starts.
  size_t p = 13;
  bool haveTitle = false;
  while (b.Has(p, 4) && IsChunkTag(b.Sub(p, 4)) && !IsBodyTag(b.Sub(p, 4)) && b.Has(p, 6)) {
    const std::string_view tag = b.Sub(p, 4);
    const size_t length = b.Be(p + 4, 2);
    const size_t data = p + 6;
    const size_t present = std::min(length, b.size() - data);
    if (tag == "titl" && !haveTitle) {
      h.title = std::string(b.Sub(data, present));
      haveTitle = true;
    } else if (tag == "note") {
      h.fourByteNotes = SmallNumber(b, data, present) == 1;
    } else if (tag == "exst") {
      h.extendedBytes = SmallNumber(b, data, present);
    }
    p = data + present;
  }
  if (b.Has(p, 4) && IsBodyTag(b.Sub(p, 4))) {
    h.bodyStart = p;
    return h;
  }
  // The walk stopped on something else: trust the header length, then look
  // for the first track.
  const size_t declared = b.Has(8, 2) ? 10 + static_cast<size_t>(b.Be(8, 2)) : b.size();
  if (b.Has(declared, 4) && IsBodyTag(b.Sub(declared, 4))) {
    h.bodyStart = declared;
    return h;
  }
  const std::string_view all = b.Sub(0, b.size());
  const size_t found = all.find("trac", 13);
  h.bodyStart = found == std::string_view::npos ? b.size() : found;
  return h;
}

// One track's events at their absolute tick, up to its end event or its last
// whole event.
void ReadTrack(const Bytes& b, size_t p, size_t end, int track, const Header& h,
               std::vector<RawEvent>& out, MfiLeftOut& leftOut, std::uint64_t& trackEnd) {
  std::uint64_t tick = 0;
  // The track lasts to its end event: a rest after the last note is part of
  // the melody.
  struct Ends {
    std::uint64_t& end;
    std::uint64_t& tick;
    ~Ends() { end = std::max(end, tick); }
  } ends{trackEnd, tick};
  std::uint64_t pause = 0;  // ticks added by long-pause events to the next delta
  auto cut = [&] { leftOut.truncated = true; };
  while (p < end) {
    if (end - p < 2) return cut();
    tick += b.At(p) + pause;
    pause = 0;
    const int status = b.At(p + 1);
    p += 2;
    if ((status & 0x3F) != 0x3F) {
      const size_t length = h.fourByteNotes ? 2 : 1;
      if (end - p < length) return cut();
      out.push_back({tick, track, Kind::Note, status, b.At(p), h.fourByteNotes ? b.At(p + 1) : -1});
      p += length;
      continue;
    }
    if (end - p < 1) return cut();
    const int ext = b.At(p++);
    if (ext < 0x80) {
      const size_t length = 1 + static_cast<size_t>(h.extendedBytes);
      if (end - p < length) return cut();
      p += length;
      ++leftOut.otherEvents;
    } else if (ext < 0xF0) {
      if (end - p < 1) return cut();
      const int param = b.At(p++);
      if (ext == 0xDF) return;  // end of track
      if (ext == 0xDC) {
        pause += static_cast<std::uint64_t>(param) * 256;
        continue;
      }
      out.push_back({tick, track, Kind::Control, ext, param, -1});
    } else {
      if (end - p < 2) return cut();
      const size_t length = b.Be(p, 2);
      p += 2;
      if (end - p < length) return cut();
      p += length;
      if (ext == 0xF0) ++leftOut.voiceEdits;
      else if (ext == 0xFF) ++leftOut.vendorEvents;
      else ++leftOut.otherEvents;
    }
  }
}

// Where each MFi tick lies in MIDI ticks: one piece per tempo event.
class TempoMap {
 public:
  struct Piece {
    std::uint64_t mfiStart = 0, smfStart = 0;
    std::uint64_t scale = 0;  // MIDI ticks per MFi tick
    int tempo = 0;            // beats a minute
  };

  TempoMap() { pieces_.push_back({0, 0, kDivision / kDefaultTimebase, kDefaultTempo}); }

  void Change(std::uint64_t tick, int timebase, int tempo) {
    const std::uint64_t smf = Smf(tick);
    if (pieces_.back().mfiStart == tick) pieces_.pop_back();
    pieces_.push_back({tick, smf, static_cast<std::uint64_t>(kDivision / timebase), tempo});
  }

  std::uint64_t Smf(std::uint64_t tick) const {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), tick,
                               [](std::uint64_t t, const Piece& piece) { return t < piece.mfiStart; });
    const Piece& piece = *std::prev(it);
    return piece.smfStart + (tick - piece.mfiStart) * piece.scale;
  }

  const std::vector<Piece>& pieces() const { return pieces_; }

 private:
  std::vector<Piece> pieces_;
};

// The timebase of a tempo event, 0 for the reserved C7 and CF.
int TimebaseOf(int ext) {
  if ((ext & 7) == 7) return 0;
  return ((ext & 8) ? 15 : 6) << (ext & 7);
}

// A MIDI event to write: channel messages carry only the high nibble of
// their status until the channels are known.
struct OutEvent {
  std::uint64_t tick = 0;
  std::uint32_t seq = 0;  // the order events of one tick were made in
  int logical = 0;        // 0-15: an MFi channel; kPercussion; -1: not a channel message
  std::uint8_t size = 0;
  std::array<char, 8> bytes{};
};

// One MIDI track as it is made: events in the order of their ticks, and the
// note-offs, which come in any order and go before what else happens at
// their tick.
struct OutTrack {
  std::vector<OutEvent> events, offs;
};

struct SoundingNote {
  size_t track;
  int logical, key;
  std::uint64_t end;       // in MFi ticks
  std::uint64_t smfStart;  // in MIDI ticks
};

std::string Chunk(const std::string& body) {
  std::string out = "MTrk";
  PutBe(out, static_cast<std::uint32_t>(body.size()), 4);
  return out + body;
}

// A value of 0-63 on MIDI's 0-127.
int Scale63(int value) { return (value * 127 + 31) / 63; }

char Byte(int v) { return static_cast<char>(v & 0xFF); }

}  // namespace

std::optional<MfiConversion> ConvertMfiToSmf(std::string_view bytes, std::string* why) {
  const Bytes b(bytes);
  if (!b.Has(0, 4) || b.Sub(0, 4) != "melo") {
    if (why) *why = kMfiNoMeloMark;
    return std::nullopt;
  }
  if (!b.Has(0, 13)) {
    if (why) *why = kMfiHeaderCut;
    return std::nullopt;
  }
  MfiConversion result;
  MfiLeftOut& leftOut = result.leftOut;
  const Header header = ReadHeader(b);
  result.title = header.title;

  // The chunks after the header: audio data (left out) and up to four tracks.
  // Whatever follows them is not read.
  std::vector<RawEvent> events;
  std::uint64_t melodyEnd = 0;  // in MFi ticks: the last track's end
  size_t p = header.bodyStart;
  while (b.Has(p, 8)) {
    const std::string_view tag = b.Sub(p, 4);
    if (!IsBodyTag(tag)) break;
    const size_t declared = b.Be(p + 4, 4);
    const size_t data = p + 8;
    const size_t end = data + std::min(declared, b.size() - data);
    if (end - data < declared) leftOut.truncated = true;
    if (tag == "adat") {
      ++leftOut.audioChunks;
    } else if (result.tracks < 4) {
      // Each track's events come in the order of their ticks: merged in,
      // events of one tick keep the order of their tracks.
      const size_t first = events.size();
      ReadTrack(b, data, end, result.tracks, header, events, leftOut, melodyEnd);
      std::inplace_merge(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(first), events.end(),
                         [](const RawEvent& x, const RawEvent& y) { return x.tick < y.tick; });
      ++result.tracks;
    }
    p = end;
  }
  if (result.tracks == 0) {
    if (why) *why = kMfiNoTrack;
    return std::nullopt;
  }

  // Tempo first: notes end at ticks still to come.
  TempoMap tempo;
  for (const RawEvent& e : events) {
    if (e.kind != Kind::Control || (e.status & 0xF0) != 0xC0) continue;
    const int timebase = TimebaseOf(e.status);
    if (timebase == 0 || e.param == 0) {
      ++leftOut.otherEvents;
      continue;
    }
    tempo.Change(e.tick, timebase, e.param);
  }

  std::vector<OutTrack> tracks(static_cast<size_t>(result.tracks));
  for (OutTrack& t : tracks) t.events.reserve(events.size() / tracks.size() + 16);
  std::uint32_t seq = 0;
  auto putAt = [&](size_t track, std::uint64_t tick, int logical, std::initializer_list<char> bytes,
                   bool off = false) {
    if (tick > kLastSmfTick) {
      ++leftOut.otherEvents;
      return false;
    }
    OutEvent e{tick, seq++, logical, static_cast<std::uint8_t>(bytes.size()), {}};
    std::copy(bytes.begin(), bytes.end(), e.bytes.begin());
    (off ? tracks[track].offs : tracks[track].events).push_back(e);
    return true;
  };
  auto put = [&](size_t track, std::uint64_t mfiTick, int logical, std::initializer_list<char> bytes) {
    return putAt(track, tempo.Smf(mfiTick), logical, bytes);
  };

  // MFi channels that play percussion. Channel 9 (the second part of the
  // third track) does unless the melody says otherwise (0xBA), as the
  // handsets play it; 0xBA switches any channel either way.
  std::array<bool, 16> drums{};
  drums[9] = true;
  std::array<int, 16> bankBit{};   // program bit 6 of each MFi channel (0xE1)
  std::vector<SoundingNote> notes;
  // By logical channel and key: 1 + the index in `notes` of the last note
  // begun there; 0 for none. Made at the first note.
  std::vector<std::uint32_t> sounding;
  for (const RawEvent& e : events) {
    const size_t track = static_cast<size_t>(e.track);
    if (e.kind == Kind::Note) {
      const int channel = e.track * 4 + (e.status >> 6);
      const int key = e.status & 0x3F;
      // The 4th byte: velocity in its high six bits, the octave shift in its
      // low two (0, +1, -2, -1).
      static constexpr int kShift[4] = {0, 1, -2, -1};
      const int shift = e.extra < 0 ? 0 : kShift[e.extra & 3];
      const int velocity = e.extra < 0 ? kFullVelocity : e.extra >> 2;
      const int logical = drums[static_cast<size_t>(channel)] ? kPercussion : channel;
      const int midiKey = key + (logical == kPercussion ? 35 : 45) + 12 * shift;
      if (midiKey < 0 || midiKey > 127) {
        ++leftOut.otherEvents;
        continue;
      }
      const std::uint64_t end = e.tick + static_cast<std::uint64_t>(e.param);
      // Struck again before its gate ends: the note sounds on, to the later end.
      if (sounding.empty()) sounding.resize((kPercussion + 1) * 128);
      std::uint32_t& last = sounding[static_cast<size_t>(logical * 128 + midiKey)];
      if (last != 0 && e.tick < notes[last - 1].end) {
        notes[last - 1].end = std::max(notes[last - 1].end, end);
        continue;
      }
      const std::uint64_t start = tempo.Smf(e.tick);
      if (!putAt(track, start, logical, {Byte(0x90), Byte(midiKey), Byte(std::max(1, Scale63(velocity)))}))
        continue;
      last = static_cast<std::uint32_t>(notes.size() + 1);
      notes.push_back({track, logical, midiKey, end, start});
      continue;
    }
    const int channel = e.track * 4 + (e.param >> 6);
    const int value = e.param & 0x3F;
    const int logical = drums[static_cast<size_t>(channel)] ? kPercussion : channel;
    auto control = [&](int number, int v) {
      put(track, e.tick, logical, {Byte(0xB0), Byte(number), Byte(std::min(v, 127))});
    };
    switch (e.status) {
      case 0xE0:
        // A program change on a percussion channel would choose a drum kit
        // the handset does not have: the General MIDI kit stays.
        if (logical != kPercussion)
          put(track, e.tick, logical, {Byte(0xC0), Byte(value | bankBit[static_cast<size_t>(channel)] << 6)});
        break;
      case 0xE1:
        // Only bit 0 of the bank has a meaning for General MIDI: it is bit 6
        // of the programs that follow. The other bits (the handset's own
        // banks, read differently by different descriptions) are ignored.
        bankBit[static_cast<size_t>(channel)] = value & 1;
        break;
      case 0xE2: control(7, Scale63(value)); break;
      case 0xE3: control(10, value * 2); break;  // 32 is the centre, 64 in MIDI
      case 0xE4: {
        const int bend = std::min(value * 256, 16383);  // 32 is the centre, 8192 in MIDI
        put(track, e.tick, logical, {Byte(0xE0), Byte(bend & 0x7F), Byte(bend >> 7)});
        break;
      }
      case 0xE7:  // bend range in semitones: registered parameter 0
        control(101, 0);
        control(100, 0);
        control(6, value);
        control(38, 0);
        break;
      case 0xEA: control(1, value * 2); break;
      case 0xB0:  // master volume (0-127): the General MIDI master volume message
        put(track, e.tick, -1,
            {Byte(0xF0), Byte(0x7F), Byte(0x7F), Byte(0x04), Byte(0x01), Byte(0x00), Byte(e.param & 0x7F),
             Byte(0xF7)});
        break;
      case 0xBA:  // channel configuration: bits 3-6 the MFi channel, bit 0 percussion
        drums[static_cast<size_t>((e.param >> 3) & 15)] = (e.param & 1) != 0;
        break;
      case 0xD0:
      case 0xD1:
      case 0xDD:
        // Loop and cue points: a melody is played once through.
        leftOut.loopIgnored = true;
        break;
      case 0xDE: break;  // no operation
      default:
        if ((e.status & 0xF0) == 0xC0) break;  // tempo, done above
        // 0xBD and 0xE6 among them: the descriptions give them different
        // meanings, none a General MIDI synthesizer needs; they are counted.
        ++leftOut.otherEvents;
        break;
    }
  }
  // A note of gate time 0 still ends after it begins: one MIDI tick on (a
  // note-off at its own tick would come before it and leave it sounding).
  for (const SoundingNote& n : notes)
    putAt(n.track, std::max(tempo.Smf(n.end), n.smfStart + 1), n.logical, {Byte(0x90), Byte(n.key), Byte(0)}, true);

  // MIDI channel 10 is percussion in General MIDI: an MFi channel 9 that
  // plays melody moves to a channel no other MFi channel uses.
  std::array<bool, 17> used{};
  for (const OutTrack& t : tracks)
    for (const OutEvent& e : t.events)
      if (e.logical >= 0) used[static_cast<size_t>(e.logical)] = true;
  int nine = 9;
  if (used[9]) {
    nine = -1;
    for (int c = 0; c < 16 && nine < 0; ++c)
      if (c != 9 && !used[static_cast<size_t>(c)]) nine = c;
  }

  std::string smf = "MThd";
  PutBe(smf, 6, 4);
  PutBe(smf, 1, 2);
  PutBe(smf, static_cast<std::uint32_t>(1 + tracks.size()), 2);
  PutBe(smf, kDivision, 2);

  // Every track ends where the melody does, its last rest included.
  std::uint64_t lastTick = std::min<std::uint64_t>(tempo.Smf(melodyEnd), kLastSmfTick);
  std::vector<std::string> bodies;
  std::vector<OutEvent> merged;
  std::vector<std::uint64_t> ends;
  for (OutTrack& t : tracks) {
    std::sort(t.offs.begin(), t.offs.end(), [](const OutEvent& x, const OutEvent& y) {
      return x.tick != y.tick ? x.tick < y.tick : x.seq < y.seq;
    });
    merged.clear();
    merged.reserve(t.events.size() + t.offs.size());
    std::merge(t.offs.begin(), t.offs.end(), t.events.begin(), t.events.end(), std::back_inserter(merged),
               [](const OutEvent& x, const OutEvent& y) { return x.tick < y.tick; });
    std::string body;
    body.reserve(merged.size() * 4 + 16);
    std::uint64_t at = 0;
    int running = 0;
    for (const OutEvent& e : merged) {
      const int channel = e.logical == kPercussion ? 9 : e.logical == 9 ? nine : e.logical;
      const bool noteOn = (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] != 0;
      if (e.logical >= 0 && channel < 0) {
        // No channel was left for it: its notes are left out.
        if (noteOn) ++leftOut.otherEvents;
        continue;
      }
      PutVlq(body, e.tick - at);
      at = e.tick;
      if (e.logical < 0) {  // system exclusive: F0, its length, the rest
        body.push_back(e.bytes[0]);
        PutVlq(body, e.size - 1u);
        body.append(e.bytes.data() + 1, e.size - 1u);
        running = 0;
        continue;
      }
      const int status = (static_cast<unsigned char>(e.bytes[0]) & 0xF0) | channel;
      if (status != running) body.push_back(Byte(status));
      running = status;
      body.append(e.bytes.data() + 1, e.size - 1u);
      if (noteOn) ++result.notes;
    }
    bodies.push_back(body);
    ends.push_back(at);
    lastTick = std::max(lastTick, at);
  }

  // The conductor track: the title (as a track name, where the program's
  // title reader finds it), the tempo changes, and the end.
  std::string conductor;
  if (!header.title.empty()) {
    std::string title = Cp932CutBytes(header.title.substr(0, header.title.find('\0')), 127);
    if (!title.empty()) {
      conductor += std::string("\x00\xFF\x03", 3);
      PutVlq(conductor, title.size());
      conductor += title;
    }
  }
  std::uint64_t at = 0;
  for (const TempoMap::Piece& piece : tempo.pieces()) {
    if (piece.smfStart > kLastSmfTick) break;
    PutVlq(conductor, piece.smfStart - at);
    at = piece.smfStart;
    // The field holds 24 bits: tempos under 4 beats a minute (1 to 3) play
    // at its slowest, 3.58 beats a minute, instead of wrapping round.
    const std::uint32_t microseconds = std::min<std::uint32_t>(60'000'000 / piece.tempo, 0xFFFFFF);
    conductor += std::string("\xFF\x51\x03", 3);
    PutBe(conductor, microseconds, 3);
  }
  PutVlq(conductor, lastTick > at ? lastTick - at : 0);
  conductor += std::string("\xFF\x2F\x00", 3);
  smf += Chunk(conductor);
  for (size_t i = 0; i < bodies.size(); ++i) {
    PutVlq(bodies[i], lastTick - ends[i]);
    bodies[i] += std::string("\xFF\x2F\x00", 3);
    smf += Chunk(bodies[i]);
  }
  result.smf = std::move(smf);
  return result;
}

std::string FindMfiTitleChunk(std::string_view bytes) { return ReadHeader(Bytes(bytes)).title; }

std::string DescribeLeftOut(const MfiLeftOut& leftOut) {
  // What was left out, counted: one English word for one, another for more.
  static const char* const kSeparator = Say("、", ", ");
  static const char* const kKinds[4][2] = {
      {Say("ADPCM音声 {1} 個", "{1} ADPCM voice chunk"), Say("ADPCM音声 {1} 個", "{1} ADPCM voice chunks")},
      {Say("FM音色 {1} 個", "{1} FM voice edit"), Say("FM音色 {1} 個", "{1} FM voice edits")},
      {Say("独自データ {1} 個", "{1} vendor event"), Say("独自データ {1} 個", "{1} vendor events")},
      {Say("その他 {1} 個", "{1} event of no General MIDI meaning"),
       Say("その他 {1} 個", "{1} events of no General MIDI meaning")}};
  const int counts[4] = {leftOut.audioChunks, leftOut.voiceEdits, leftOut.vendorEvents, leftOut.otherEvents};
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (counts[i] == 0) continue;
    if (!text.empty()) text += kSeparator;
    text += Fill(kKinds[i][counts[i] == 1 ? 0 : 1], {std::to_string(counts[i])});
  }
  return text;
}

}  // namespace fenmora
