// Slimming Standard MIDI Files: the events that make the sound come out at the
// same ticks, in one track, with running status; the rest is left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/melody_title.h"
#include "media/smf_slim.h"

using namespace fenmora;

namespace {

// ---- writing test files: tracks of events at absolute ticks

struct Ev {
  std::uint32_t tick;
  std::string bytes;  // status (or none, for running status) and data, as written
};

std::string Vlq(std::uint32_t v) {
  std::string out(1, static_cast<char>(v & 0x7F));
  while (v >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return out;
}

std::string Be(std::uint32_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

std::string Meta(int type, const std::string& data) {
  return std::string{'\xFF', static_cast<char>(type)} + Vlq(static_cast<std::uint32_t>(data.size())) + data;
}

std::string Track(const std::vector<Ev>& events, std::uint32_t endTick) {
  std::string body;
  std::uint32_t at = 0;
  for (const Ev& e : events) {
    body += Vlq(e.tick - at) + e.bytes;
    at = e.tick;
  }
  body += Vlq(endTick - at) + Meta(0x2F, "");
  return "MTrk" + Be(static_cast<std::uint32_t>(body.size()), 4) + body;
}

std::string Smf(int format, const std::vector<std::string>& tracks, int division = 480) {
  std::string out = "MThd" + Be(6, 4) + Be(static_cast<std::uint32_t>(format), 2) +
                    Be(static_cast<std::uint32_t>(tracks.size()), 2) + Be(static_cast<std::uint32_t>(division), 2);
  for (const auto& t : tracks) out += t;
  return out;
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int x : b) s.push_back(static_cast<char>(x));
  return s;
}

// ---- reading the slimmed file back, independently of the code under test

struct Timed {
  std::uint64_t tick;
  int status;  // channel status, or 0x100 + meta type
  std::string data;
  bool operator==(const Timed&) const = default;
};

struct Read {
  int format = -1, tracks = -1, division = -1;
  std::vector<Timed> events;
  int runningStatusUses = 0;
  int sysex = 0;
  bool ok = false;
};

Read ReadSingleTrack(const std::string& f) {
  Read r;
  auto u8 = [&](size_t i) { return static_cast<unsigned char>(f.at(i)); };
  if (f.substr(0, 4) != "MThd") return r;
  r.format = u8(8) << 8 | u8(9);
  r.tracks = u8(10) << 8 | u8(11);
  r.division = u8(12) << 8 | u8(13);
  if (f.substr(14, 4) != "MTrk") return r;
  const size_t len = static_cast<size_t>(u8(18)) << 24 | u8(19) << 16 | u8(20) << 8 | u8(21);
  size_t p = 22;
  const size_t end = p + len;
  if (end != f.size()) return r;
  std::uint64_t tick = 0;
  int running = 0;
  auto vlq = [&] {
    std::uint32_t v = 0;
    int b;
    do {
      b = u8(p++);
      v = v << 7 | (b & 0x7F);
    } while (b & 0x80);
    return v;
  };
  while (p < end) {
    tick += vlq();
    int st = u8(p);
    if (st & 0x80) ++p;
    else {
      st = running;
      ++r.runningStatusUses;
    }
    if (st == 0xFF) {
      const int type = u8(p++);
      const std::uint32_t n = vlq();
      r.events.push_back({tick, 0x100 + type, f.substr(p, n)});
      p += n;
      running = 0;
      if (type == 0x2F) break;
    } else if (st == 0xF0 || st == 0xF7) {
      ++r.sysex;
      p += vlq();
    } else {
      running = st;
      const int n = (st & 0xF0) == 0xC0 || (st & 0xF0) == 0xD0 ? 1 : 2;
      r.events.push_back({tick, st, f.substr(p, static_cast<size_t>(n))});
      p += static_cast<size_t>(n);
    }
  }
  r.ok = p == end;
  return r;
}

std::vector<Timed> ChannelEvents(const std::vector<Timed>& all) {
  std::vector<Timed> out;
  for (const auto& e : all)
    if (e.status < 0x100) out.push_back(e);
  return out;
}

std::vector<Timed> MetaEvents(const std::vector<Timed>& all) {
  std::vector<Timed> out;
  for (const auto& e : all)
    if (e.status >= 0x100) out.push_back(e);
  return out;
}

// A song as a sequencer saves it: a conductor track with title, copyright,
// tempo changes, signatures and markers; two instrument tracks with names,
// program and controller changes, notes written with and without running
// status (note-off as note-on with velocity 0 too), pitch bends, lyrics,
// cue points and system-exclusive messages (GM reset, a long vendor dump).
struct Song {
  std::string file;
  std::vector<Timed> expectedChannel;  // in the order a merged track plays them
};

Song MakeSong(int bars) {
  std::vector<Ev> conductor = {
      {0, Meta(0x03, "\x83\x65\x83\x58\x83\x67 Song")},  // a CP932 title
      {0, Meta(0x02, "(c) nobody")},
      {0, Meta(0x51, Bytes({0x07, 0xA1, 0x20}))},
      {0, Meta(0x58, Bytes({4, 2, 24, 8}))},
      {0, Meta(0x59, Bytes({0xFE, 0}))},
      {0, Bytes({0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7})},
  };
  std::vector<Timed> channel;
  std::vector<Ev> piano = {{0, Meta(0x03, "Piano")},
                           {0, Bytes({0xC0, 0})},
                           {0, Bytes({0xB0, 7, 100})},
                           {0, Bytes({0xB0, 10, 64})}};
  std::vector<Ev> bass = {{0, Meta(0x03, "Bass")}, {0, Meta(0x04, "Finger Bass")},
                          {0, Bytes({0xC1, 33})}, {0, Bytes({0xB1, 91, 40})},
                          {0, Bytes({0xF0, 0x81, 0x01}) + std::string(128, '\x11') + "\xF7"}};
  std::vector<std::pair<std::uint32_t, std::vector<Timed>>> order;  // filled below in merged order
  std::vector<Timed> pianoChannel = {{0, 0xC0, Bytes({0})}, {0, 0xB0, Bytes({7, 100})}, {0, 0xB0, Bytes({10, 64})}};
  std::vector<Timed> bassChannel = {{0, 0xC1, Bytes({33})}, {0, 0xB1, Bytes({91, 40})}};
  for (int bar = 0; bar < bars; ++bar) {
    const std::uint32_t t = static_cast<std::uint32_t>(bar) * 1920;
    if (bar % 8 == 0) conductor.push_back({t, Meta(0x06, "Verse " + std::to_string(bar / 8))});
    if (bar == bars / 2) conductor.push_back({t, Meta(0x51, Bytes({0x06, 0x1A, 0x80}))});
    // A parameter dump every bar, as some sequencers save their mixer state.
    bass.push_back({t, Bytes({0xF0, 0x81, 0x01}) + std::string(128, '\x22') + "\xF7"});
    for (int beat = 0; beat < 4; ++beat) {
      const std::uint32_t on = t + static_cast<std::uint32_t>(beat) * 480;
      const int note = 60 + (bar + beat) % 12;
      // Chord tones with running status; the note-offs as velocity 0.
      piano.push_back({on, Bytes({0x90, note, 90})});
      piano.push_back({on, Bytes({note + 4, 80})});
      piano.push_back({on, Meta(0x05, "la")});  // ends running status for a strict reader
      piano.push_back({on + 240, Bytes({0x90, note, 0})});
      piano.push_back({on + 240, Bytes({note + 4, 0})});
      pianoChannel.push_back({on, 0x90, Bytes({note, 90})});
      pianoChannel.push_back({on, 0x90, Bytes({note + 4, 80})});
      pianoChannel.push_back({on + 240, 0x90, Bytes({note, 0})});
      pianoChannel.push_back({on + 240, 0x90, Bytes({note + 4, 0})});
      bass.push_back({on, Bytes({0x91, 36 + beat, 100})});
      bass.push_back({on + 120, Bytes({0xE1, 0, 0x50})});
      bass.push_back({on + 470, Bytes({0x81, 36 + beat, 64})});
      bassChannel.push_back({on, 0x91, Bytes({36 + beat, 100})});
      bassChannel.push_back({on + 120, 0xE1, Bytes({0, 0x50})});
      bassChannel.push_back({on + 470, 0x81, Bytes({36 + beat, 64})});
    }
    piano.push_back({t + 1900, Bytes({0xB0, 64, bar % 2 ? 0 : 127})});  // sustain pedal
    pianoChannel.push_back({t + 1900, 0xB0, Bytes({64, bar % 2 ? 0 : 127})});
    if (bar % 4 == 3) {
      bass.push_back({t + 1910, Meta(0x07, "cue")});
      bass.push_back({t + 1910, Bytes({0xF7, 2, 0x43, 0x10})});
    }
  }
  const std::uint32_t end = static_cast<std::uint32_t>(bars) * 1920;
  Song song;
  song.file = Smf(1, {Track(conductor, end), Track(piano, end), Track(bass, end + 10)});
  // A merged track plays the events of one tick in the order of their tracks.
  std::vector<Timed> all = pianoChannel;
  all.insert(all.end(), bassChannel.begin(), bassChannel.end());
  std::stable_sort(all.begin(), all.end(), [](const Timed& a, const Timed& b) { return a.tick < b.tick; });
  song.expectedChannel = all;
  return song;
}

}  // namespace

TEST(SmfSlim, KeepsEveryTimedChannelEventAndTheTitleInOneTrack) {
  const Song song = MakeSong(160);
  ASSERT_GT(song.file.size(), 40960u);
  const auto slim = SlimSmf(song.file);
  ASSERT_TRUE(slim);
  EXPECT_LE(slim->size(), 40960u);
  EXPECT_LT(slim->size(), song.file.size() * 3 / 4);

  const Read r = ReadSingleTrack(*slim);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.format, 0);
  EXPECT_EQ(r.tracks, 1);
  EXPECT_EQ(r.division, 480);
  EXPECT_EQ(r.sysex, 0);
  EXPECT_GT(r.runningStatusUses, 1000);
  EXPECT_EQ(ChannelEvents(r.events), song.expectedChannel);

  // Meta events: the title, both tempos, the signatures, the end; no names
  // of other tracks, no copyright, lyrics, markers or cues.
  const std::vector<Timed> metas = MetaEvents(r.events);
  ASSERT_EQ(metas.size(), 6u);
  EXPECT_EQ(metas[0], (Timed{0, 0x103, "\x83\x65\x83\x58\x83\x67 Song"}));
  EXPECT_EQ(metas[1], (Timed{0, 0x151, Bytes({0x07, 0xA1, 0x20})}));
  EXPECT_EQ(metas[2], (Timed{0, 0x158, Bytes({4, 2, 24, 8})}));
  EXPECT_EQ(metas[3], (Timed{0, 0x159, Bytes({0xFE, 0})}));
  EXPECT_EQ(metas[4], (Timed{80 * 1920, 0x151, Bytes({0x06, 0x1A, 0x80})}));
  // The end comes at the latest track end, not at the last event.
  EXPECT_EQ(metas[5], (Timed{160 * 1920 + 10, 0x12F, ""}));
  EXPECT_EQ(ParseSmfTrackName(*slim), ParseSmfTrackName(song.file));
}

TEST(SmfSlim, FormatZeroInputAndRunningStatusAcrossTracks) {
  // A format 0 file shrinks by its sysex and its status bytes alone; a second
  // pass changes nothing.
  std::vector<Ev> events = {{0, Bytes({0xF0, 3, 1, 2, 0xF7})}, {0, Bytes({0xC2, 5})}};
  std::vector<Timed> expected = {{0, 0xC2, Bytes({5})}};
  for (std::uint32_t i = 0; i < 200; ++i) {
    events.push_back({i * 10, Bytes({0x92, static_cast<int>(40 + i % 40), 70})});
    expected.push_back({i * 10, 0x92, Bytes({static_cast<int>(40 + i % 40), 70})});
  }
  const std::string file = Smf(0, {Track(events, 2000)});
  const auto slim = SlimSmf(file);
  ASSERT_TRUE(slim);
  const Read r = ReadSingleTrack(*slim);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(ChannelEvents(r.events), expected);
  EXPECT_EQ(r.runningStatusUses, 199);
  EXPECT_EQ(SlimSmf(*slim), slim);
}

TEST(SmfSlim, RefusesWhatItCannotReadWhole) {
  const Song song = MakeSong(4);
  EXPECT_FALSE(SlimSmf(""));
  EXPECT_FALSE(SlimSmf("MThd"));
  EXPECT_FALSE(SlimSmf("RIFF....RMIDdata"));
  // Cut anywhere inside a track.
  for (size_t cut : {song.file.size() - 2, song.file.size() / 2, size_t{30}})
    EXPECT_FALSE(SlimSmf(song.file.substr(0, cut))) << cut;
  // Format 2: independent sequences do not merge.
  std::string two = song.file;
  two[9] = 2;
  EXPECT_FALSE(SlimSmf(two));
  // A data byte with no status before it; a status byte where data belongs;
  // a variable-length number longer than four bytes.
  EXPECT_FALSE(SlimSmf(Smf(0, {Track({{0, Bytes({0x40, 0x40})}}, 10)})));
  EXPECT_FALSE(SlimSmf(Smf(0, {Track({{0, Bytes({0x90, 0x40, 0x90})}}, 10)})));
  EXPECT_FALSE(SlimSmf(Smf(0, {"MTrk" + Be(8, 4) + Bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0xC0, 0, 0})})));
  // A pause longer than one delta time can say, once the sysex between is gone.
  EXPECT_FALSE(SlimSmf(Smf(0, {Track({{0x0FFFFFF0, Bytes({0xF0, 1, 0xF7})}, {0x1FFFFFF0, Bytes({0xC0, 1})}}, 0x1FFFFFF0)})));
  // A chunk of another kind between the tracks is passed over.
  const std::string withChunk = Smf(1, {"XFIH" + Be(3, 4) + "abc", Track({{5, Bytes({0xC0, 1})}}, 20)});
  EXPECT_TRUE(SlimSmf(withChunk));
}

// A sequencer's file that sends volume and expression before every note:
// repeats of the value a controller already holds on its channel go, changes
// stay, and the 62 KB file fits the handset's 40,960 bytes.
TEST(SmfSlim, ControllerChangesRepeatingTheirValueAreLeftOut) {
  std::vector<Ev> events;
  std::vector<Timed> expected;
  int volume = -1;
  for (std::uint32_t i = 0; i < 3700; ++i) {
    const std::uint32_t t = i * 240;
    const int v = i % 500 == 499 ? 90 : 100;
    const int note = 50 + static_cast<int>(i % 30);
    events.push_back({t, Bytes({0xB0, 7, v})});
    events.push_back({t, Bytes({0xB0, 11, 127})});
    events.push_back({t, Bytes({0x90, note, 100})});
    events.push_back({t + 200, Bytes({0x80, note, 64})});
    if (v != volume) expected.push_back({t, 0xB0, Bytes({7, v})});
    if (i == 0) expected.push_back({t, 0xB0, Bytes({11, 127})});
    volume = v;
    expected.push_back({t, 0x90, Bytes({note, 100})});
    expected.push_back({t + 200, 0x80, Bytes({note, 64})});
  }
  const std::string file = Smf(1, {Track(events, 3700 * 240)});
  ASSERT_GT(file.size(), 62u * 1000);
  const auto slim = SlimSmf(file);
  ASSERT_TRUE(slim);
  EXPECT_LE(slim->size(), 40960u);
  const Read r = ReadSingleTrack(*slim);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(ChannelEvents(r.events), expected);
}

TEST(SmfSlim, ControllerMemoryIsPerChannelAndResetAndCommandsAlwaysCount) {
  const std::vector<Ev> events = {
      {0, Bytes({0xB0, 7, 100})},  {1, Bytes({0xB1, 7, 100})},  // another channel: its own value
      {2, Bytes({0xB0, 7, 100})},                                // a repeat: left out
      {3, Bytes({0xB0, 121, 0})},  {4, Bytes({0xB0, 7, 100})},  // after a reset the value is sent again
      {5, Bytes({0xB0, 96, 0})},   {6, Bytes({0xB0, 96, 0})},   // data increment acts each time
      {7, Bytes({0xB0, 123, 0})},  {8, Bytes({0xB0, 123, 0})},  // all notes off: a command
      {9, Bytes({0xB0, 121, 0})},
  };
  const auto slim = SlimSmf(Smf(0, {Track(events, 10)}));
  ASSERT_TRUE(slim);
  const Read r = ReadSingleTrack(*slim);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(ChannelEvents(r.events),
            (std::vector<Timed>{{0, 0xB0, Bytes({7, 100})},
                                {1, 0xB1, Bytes({7, 100})},
                                {3, 0xB0, Bytes({121, 0})},
                                {4, 0xB0, Bytes({7, 100})},
                                {5, 0xB0, Bytes({96, 0})},
                                {6, 0xB0, Bytes({96, 0})},
                                {7, 0xB0, Bytes({123, 0})},
                                {8, 0xB0, Bytes({123, 0})},
                                {9, 0xB0, Bytes({121, 0})}}));
}
