// The MFi reader and converter: melodies made here by the test writer, their
// notes read back from the MIDI file through the program's SMF reader and
// compared with notes worked out by hand (seconds, channel, key, velocity,
// length).
#include "media/mfi_midi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz_checks.h"
#include "media/melody_title.h"
#include "media/smf_read.h"
#include "support/mfi_writer.h"

namespace fenmora {
namespace {

using namespace std::string_literals;
using namespace testmfi;

// 120 beats a minute, 48 ticks a beat: the tick before any tempo event.
constexpr double kTick = 60.0 / (120 * 48);

struct Heard {
  double start, length;
  int channel, key, velocity;
};

std::ostream& operator<<(std::ostream& os, const Heard& n) {
  return os << "{" << n.start << " s, " << n.length << " s, ch " << n.channel << ", key " << n.key << ", vel "
            << n.velocity << "}";
}

MfiConversion Convert(const MfiFile& file) {
  std::string why;
  auto result = ConvertMfiToSmf(file.Bytes(), &why);
  EXPECT_TRUE(result) << why;
  return result.value_or(MfiConversion{});
}

std::vector<Heard> NotesOf(const MfiConversion& conversion) {
  const auto smf = ReadSmf(conversion.smf);
  EXPECT_TRUE(smf);
  if (!smf) return {};
  EXPECT_EQ(CountSmfNotes(*smf), static_cast<size_t>(conversion.notes));
  std::vector<Heard> heard;
  for (const SmfNote& n : SmfNotes(*smf)) heard.push_back({n.start, n.length, n.channel, n.key, n.velocity});
  return heard;
}

void ExpectNotes(const MfiConversion& conversion, const std::vector<Heard>& expected) {
  const std::vector<Heard> heard = NotesOf(conversion);
  ASSERT_EQ(heard.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "note " << i << ": heard " << heard[i] << ", expected " << expected[i]);
    EXPECT_NEAR(heard[i].start, expected[i].start, 1e-6);
    EXPECT_NEAR(heard[i].length, expected[i].length, 1e-6);
    EXPECT_EQ(heard[i].channel, expected[i].channel);
    EXPECT_EQ(heard[i].key, expected[i].key);
    EXPECT_EQ(heard[i].velocity, expected[i].velocity);
  }
}

// ------------------------------------------------------------- versions

TEST(MfiNotes, OneTrackOfThreeByteNotes) {
  MfiFile f;
  f.Info("titl", "Tune").Info("vers", "0100").Info("sorc", "\x01"s);
  f.tracks = {Note(0, 0, 15, 24) + Note(48, 1, 0, 12) + Note(0, 0, 62, 1) + EndOfTrack()};
  const MfiConversion c = Convert(f);
  EXPECT_EQ(c.tracks, 1);
  EXPECT_FALSE(c.leftOut.Any());
  // Key 15 is MIDI 60; a 3-byte note sounds at full velocity.
  ExpectNotes(c, {{0, 24 * kTick, 0, 60, 127}, {48 * kTick, 12 * kTick, 1, 45, 127},
                  {48 * kTick, kTick, 0, 107, 127}});
  const auto smf = ReadSmf(c.smf);
  ASSERT_TRUE(smf);
  EXPECT_EQ(smf->format, 1);
  EXPECT_EQ(smf->tracks, 2);  // the conductor and the one MFi track
}

TEST(MfiNotes, FourTracksWithVelocityAndOctaveShift) {
  MfiFile f;
  f.Info("vers", "0500").Info("note", "\x00\x01"s).Info("titl", "Four");
  // Track t, voice v is MFi channel 4t + v; shift codes 0, 1, 2, 3 are 0, +1, -2, -1 octaves.
  f.tracks = {Note4(0, 0, 15, 10, 63, 0), Note4(1, 3, 15, 10, 32, 1), Note4(2, 2, 27, 10, 0, 2),
              Note4(3, 1, 15, 10, 16, 3)};
  const MfiConversion c = Convert(f);
  EXPECT_EQ(c.tracks, 4);
  ExpectNotes(c, {{0, 10 * kTick, 0, 60, 127}, {kTick, 10 * kTick, 7, 72, 65},
                  {2 * kTick, 10 * kTick, 10, 48, 1}, {3 * kTick, 10 * kTick, 13, 48, 32}});
}

TEST(MfiNotes, EveryTimebaseAndTempo) {
  for (int ext = 0xC0; ext <= 0xCE; ++ext) {
    if (ext == 0xC7) continue;  // reserved
    SCOPED_TRACE(ext);
    const int timebase = ((ext & 8) ? 15 : 6) << (ext & 7);
    const int bpm = 30 + ext - 0xC0;
    MfiFile f;
    f.tracks = {Ext(0, ext, bpm) + Note(5, 0, 15, 7)};
    const double tick = 60.0 / (bpm * timebase);
    ExpectNotes(Convert(f), {{5 * tick, 7 * tick, 0, 60, 127}});
  }
}

TEST(MfiNotes, TempoChangesTimeEveryTrackAndNotesThatSpanThem) {
  MfiFile f;
  // Track 0 changes the tempo at tick 96 (1 s) to 60 beats with timebase 96;
  // the note of track 1 spans the change.
  f.tracks = {Ext(96, 0xC4, 60), Note(48, 0, 15, 96) + Note(96, 0, 17, 48)};
  const double later = 60.0 / (60 * 96);
  ExpectNotes(Convert(f), {{48 * kTick, 48 * kTick + 48 * later, 4, 60, 127},
                           {1 + 48 * later, 48 * later, 4, 62, 127}});
}

TEST(MfiNotes, LongPauseAddsToTheNextDelta) {
  MfiFile f;
  f.tracks = {Note(0, 0, 15, 5) + Ext(10, 0xDC, 2) + Note(7, 0, 15, 5)};
  ExpectNotes(Convert(f), {{0, 5 * kTick, 0, 60, 127}, {(10 + 512 + 7) * kTick, 5 * kTick, 0, 60, 127}});
}

TEST(MfiNotes, StrikingAgainInsideTheGateExtendsTheNote) {
  MfiFile f;
  // Struck again at 10 while sounding to 20: one note to 40. Struck at 40,
  // when it has ended: a new note. Another voice with the same key is
  // another channel.
  f.tracks = {Note(0, 0, 15, 20) + Note(10, 0, 15, 30) + Note(0, 1, 15, 5) + Note(30, 0, 15, 4)};
  ExpectNotes(Convert(f), {{0, 40 * kTick, 0, 60, 127}, {10 * kTick, 5 * kTick, 1, 60, 127},
                           {40 * kTick, 4 * kTick, 0, 60, 127}});
}

// ------------------------------------------------------------- controls

// The channel messages of the MIDI file (not notes), as "status data..." hex.
std::vector<std::string> ChannelMessages(const MfiConversion& c) {
  std::vector<std::string> out;
  const auto smf = ReadSmf(c.smf);
  EXPECT_TRUE(smf);
  if (!smf) return out;
  for (const SmfEvent& e : smf->events) {
    if (e.status >= 0xF0 && e.status != 0xF0) continue;
    if ((e.status & 0xE0) == 0x80) continue;  // notes
    char text[8];
    std::snprintf(text, sizeof text, "%02X", e.status);
    std::string line = text;
    for (char d : e.data) {
      std::snprintf(text, sizeof text, " %02X", static_cast<unsigned char>(d));
      line += text;
    }
    out.push_back(line);
  }
  return out;
}

TEST(MfiControls, ProgramsBankBitVolumePanBendAndModulation) {
  MfiFile f;
  f.tracks = {ChannelExt(0, 0xE0, 1, 5) + ChannelExt(0, 0xE1, 1, 1) + ChannelExt(0, 0xE0, 1, 5) +
                  ChannelExt(0, 0xE1, 1, 2) + ChannelExt(0, 0xE0, 1, 6),
              ChannelExt(0, 0xE2, 2, 63) + ChannelExt(0, 0xE3, 2, 32) + ChannelExt(0, 0xE4, 2, 32) +
                  ChannelExt(0, 0xE4, 2, 63) + ChannelExt(0, 0xE7, 2, 12) + ChannelExt(0, 0xEA, 2, 10) +
                  Ext(0, 0xB0, 100)};
  EXPECT_EQ(ChannelMessages(Convert(f)),
            (std::vector<std::string>{
                // Program 5, then 5 with the bank bit (69); bank 2 has bit 0 clear.
                "C1 05", "C1 45", "C1 06",
                // Track 1, voice 2 is channel 6.
                "B6 07 7F", "B6 0A 40", "E6 00 40", "E6 00 7E", "B6 65 00", "B6 64 00", "B6 06 0C", "B6 26 00",
                "B6 01 14", "F0 7F 7F 04 01 00 64 F7"}));
}

TEST(MfiControls, PercussionChannelsPlayOnMidiChannelTenAndChannelNineMoves) {
  MfiFile f;
  // 0xBA: MFi channel in bits 3-6, bit 0 on. Channel 1 is drums from tick 0;
  // channel 9 (track 2, voice 1), percussion unless told otherwise, is told
  // to play melody and must leave MIDI channel 10.
  f.tracks = {Ext(0, 0xBA, 1 << 3 | 1) + Note(0, 1, 1, 4) + Note(0, 0, 15, 4), "",
              Ext(0, 0xBA, 9 << 3) + Note(0, 1, 15, 4)};
  ExpectNotes(Convert(f), {{0, 4 * kTick, 9, 36, 127}, {0, 4 * kTick, 0, 60, 127}, {0, 4 * kTick, 1, 60, 127}});
}

// Every part of four tracks in use, as most ring melodies have them, read
// here independently: MFi channel c (track c / 4, part c % 4) is MIDI channel
// c, channel 9 the drums on MIDI channel 10 (key + 35), the others melody
// (key + 45). A note of gate time 0 ends, and the rest after the last note
// is kept.
TEST(MfiNotes, EveryPartOfFourTracksIsHeardTheDrumsOnChannelTen) {
  MfiFile f;
  f.Info("note", "\x00\x01"s);
  f.tracks.resize(4);
  std::vector<Heard> expected;
  std::mt19937 random(7);
  int lastEnd = 0;
  for (int t = 0; t < 4; ++t) {
    int tick = 0;
    for (int n = 0; n < 24; ++n) {
      const int delta = static_cast<int>(random() % 20), part = static_cast<int>(random() % 4);
      // Keys apart within a track: no note is struck again while it sounds.
      const int key = 5 + n, gate = n == 5 ? 0 : 1 + static_cast<int>(random() % 30);
      const int velocity = 1 + static_cast<int>(random() % 63);
      tick += delta;
      f.tracks[static_cast<size_t>(t)] += Note4(delta, part, key, gate, velocity, 0);
      const int channel = t * 4 + part;
      const double length = gate == 0 ? kTick / 40 : gate * kTick;  // one MIDI tick of 1920 a beat
      expected.push_back({tick * kTick, length, channel, key + (channel == 9 ? 35 : 45), (velocity * 127 + 31) / 63});
      lastEnd = std::max(lastEnd, tick + gate);
    }
    if (t == 3) f.tracks[3] += EndOfTrack(lastEnd + 96 - tick);  // a rest of two beats
  }
  const MfiConversion c = Convert(f);
  EXPECT_FALSE(c.leftOut.Any()) << DescribeLeftOut(c.leftOut);
  std::vector<Heard> heard = NotesOf(c);
  auto order = [](const Heard& a, const Heard& b) {
    return std::tie(a.start, a.channel, a.key) < std::tie(b.start, b.channel, b.key);
  };
  std::sort(heard.begin(), heard.end(), order);
  std::sort(expected.begin(), expected.end(), order);
  ASSERT_EQ(heard.size(), expected.size());
  for (size_t i = 0; i < heard.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "heard " << heard[i] << ", expected " << expected[i]);
    EXPECT_NEAR(heard[i].start, expected[i].start, 1e-6);
    EXPECT_EQ(heard[i].channel, expected[i].channel);
    EXPECT_EQ(heard[i].key, expected[i].key);
    EXPECT_EQ(heard[i].velocity, expected[i].velocity);
    EXPECT_GT(heard[i].length, 0);
    EXPECT_LE(heard[i].length, expected[i].length + 1e-6);
  }
  const auto smf = ReadSmf(c.smf);
  ASSERT_TRUE(smf);
  EXPECT_NEAR(static_cast<double>(smf->endTick) / 1920 * 0.5, (lastEnd + 96) * kTick, 1e-6);
}

TEST(MfiNotes, ATempoUnderFourBeatsIsTheSlowestTheFieldHolds) {
  MfiFile f;
  f.tracks = {Ext(0, 0xC0, 2) + Note(1, 0, 15, 1)};
  const auto smf = ReadSmf(Convert(f).smf);
  ASSERT_TRUE(smf);
  const auto tempo = std::find_if(smf->events.begin(), smf->events.end(),
                                  [](const SmfEvent& e) { return e.status == 0xFF && e.metaType == 0x51; });
  ASSERT_NE(tempo, smf->events.end());
  EXPECT_EQ(tempo->data, "\xFF\xFF\xFF"s);
}

TEST(MfiControls, LoopsPlayOncePassingTheirPoints) {
  MfiFile f;
  f.tracks = {Ext(0, 0xD0, 0) + Note(0, 0, 15, 4) + Ext(4, 0xDD, 0x11) + Ext(0, 0xD0, 1) + Note(0, 0, 16, 4) +
              EndOfTrack(4) + Note(0, 0, 20, 4)};
  const MfiConversion c = Convert(f);
  EXPECT_TRUE(c.leftOut.loopIgnored);
  // Nothing after the end of the track.
  ExpectNotes(c, {{0, 4 * kTick, 0, 60, 127}, {4 * kTick, 4 * kTick, 0, 61, 127}});
}

TEST(MfiControls, ExtendedStatusFormsAndExstDataBytes) {
  MfiFile f;
  f.Info("exst", "\x00\x02"s);
  // Events 0x00-0x7F take 1 + 2 bytes here; 0x3F, 0x7F and 0xBF are
  // extended statuses like 0xFF. 0xBD and 0xE6 are counted, not played.
  f.tracks = {"\x00\xFF\x10\x0F\x0F\x0F"s + Ext(0, 0xE0, 7, 0x3F) + Ext(0, 0xBD, 1, 0x7F) + Ext(2, 0xE6, 1, 0xBF) +
              Note(0, 0, 15, 3)};
  const MfiConversion c = Convert(f);
  EXPECT_EQ(c.leftOut.otherEvents, 3);
  EXPECT_EQ(ChannelMessages(c), std::vector<std::string>{"C0 07"});
  ExpectNotes(c, {{2 * kTick, 3 * kTick, 0, 60, 127}});
}

TEST(MfiControls, AudioVoiceEditsAndVendorDataAreLeftOutAndCounted) {
  MfiFile f;
  f.Info("vers", "0400").Info("ainf", "\x02"s);
  f.adat = {std::string(300, '\x11'), "trac"};  // ADPCM, even when it holds a chunk tag
  f.tracks = {LongExt(0, 0xF0, "voice") + LongExt(0, 0xFF, std::string(70, 'v')) + Note(1, 0, 15, 2) +
              LongExt(0, 0xFF, "")};
  const MfiConversion c = Convert(f);
  EXPECT_EQ(c.leftOut.audioChunks, 2);
  EXPECT_EQ(c.leftOut.voiceEdits, 1);
  EXPECT_EQ(c.leftOut.vendorEvents, 2);
  // (Each count named once, in the order of the kinds.)
  const std::string leftOut = DescribeLeftOut(c.leftOut);
  EXPECT_NE(leftOut.find("2"), std::string::npos) << leftOut;
  EXPECT_LT(leftOut.find("ADPCM"), leftOut.find("FM")) << leftOut;
  EXPECT_EQ(std::count(leftOut.begin(), leftOut.end(), '1'), 1) << leftOut;
  ExpectNotes(c, {{kTick, 2 * kTick, 0, 60, 127}});
}

// ------------------------------------------------------------- titles

TEST(MfiTitle, FoundWhereverItStandsAndCarriedIntoTheMidiFile) {
  MfiFile f;
  f.Info("sorc", "\x00"s).Info("vers", "0300").Info("titl", "\x97\x5B\x8F\xC4\x82\xAF").Info("copy", "c");
  f.tracks = {Note(0, 0, 15, 1)};
  const std::string bytes = f.Bytes();
  EXPECT_EQ(ParseMldTitle(bytes), "\x97\x5B\x8F\xC4\x82\xAF");
  const MfiConversion c = Convert(f);
  EXPECT_EQ(c.title, "\x97\x5B\x8F\xC4\x82\xAF");
  EXPECT_EQ(ParseSmfTrackName(c.smf), "\x97\x5B\x8F\xC4\x82\xAF");
  // Not first and cut by the end of the file: the bytes present.
  EXPECT_EQ(ParseMldTitle(bytes.substr(0, bytes.find("copy") - 2)), "\x97\x5B\x8F\xC4");
}

// ------------------------------------------------------------- lenient reading

TEST(MfiLenient, TrailingBytesLyingLengthsAndTracksCutShort) {
  MfiFile f;
  f.Info("titl", "T");
  f.tracks = {Note(0, 0, 15, 4) + Note(4, 0, 17, 4) + Note(4, 0, 19, 4)};
  f.trailing = "junk after the tracks";
  const std::vector<Heard> all = {
      {0, 4 * kTick, 0, 60, 127}, {4 * kTick, 4 * kTick, 0, 62, 127}, {8 * kTick, 4 * kTick, 0, 64, 127}};
  ExpectNotes(Convert(f), all);

  MfiFile lying = f;
  lying.headerLength = 2;  // the chunks say where the track is
  lying.trackCount = 1;
  ExpectNotes(Convert(lying), all);
  // The title chunk's length runs past the file: the header length is used;
  // with that wrong too, the first track is looked for.
  std::string liar = f.Bytes();
  liar.replace(liar.find("titl") + 4, 2, Be(0x100, 2));
  ExpectNotes(*ConvertMfiToSmf(liar), all);
  liar.replace(8, 2, Be(3, 2));
  ExpectNotes(*ConvertMfiToSmf(liar), all);

  // Cut inside the third note, then inside the track chunk's header: what
  // was read plays, nothing past the end is read.
  const std::string bytes = f.Bytes();
  const size_t third = bytes.find("junk") - 2;
  for (size_t n : {third + 1, third, third - 1}) {
    SCOPED_TRACE(n);
    const auto cut = ConvertMfiToSmf(std::string(bytes, 0, n));
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->leftOut.truncated);
    ExpectNotes(*cut, {all[0], all[1]});
  }
  // Cut inside the first track's header: no track, nothing to play.
  const std::string headerOnly(bytes, 0, bytes.find("trac") + 6);
  EXPECT_FALSE(ConvertMfiToSmf(headerOnly));
  EXPECT_EQ(FindMfiTitleChunk(headerOnly), "T");
}

TEST(MfiLenient, ATrackLengthThatLiesEndsWithTheFile) {
  MfiFile f;
  f.tracks = {Note(0, 0, 15, 4) + Note(4, 0, 17, 4)};
  std::string bytes = f.Bytes();
  bytes.replace(bytes.find("trac") + 4, 4, Be(100000, 4));
  const auto c = ConvertMfiToSmf(bytes);
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->leftOut.truncated);
  ExpectNotes(*c, {{0, 4 * kTick, 0, 60, 127}, {4 * kTick, 4 * kTick, 0, 62, 127}});
}

TEST(MfiLenient, WhatIsNotAnMfiMelodyIsRefusedWithAReason) {
  std::string why;
  EXPECT_FALSE(ConvertMfiToSmf("", &why));
  EXPECT_EQ(why, kMfiNoMeloMark);
  EXPECT_FALSE(ConvertMfiToSmf("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60"s, &why));
  EXPECT_FALSE(ConvertMfiToSmf("melo\x00\x00\x00\x10\x00"s, &why));
  EXPECT_EQ(why, kMfiHeaderCut);
  // A header and no track: nothing a MIDI file could play.
  MfiFile empty;
  empty.Info("titl", "Empty");
  EXPECT_FALSE(ConvertMfiToSmf(empty.Bytes(), &why));
  EXPECT_EQ(why, kMfiNoTrack);
}

// Every prefix of a melody using every kind of event, and copies with bytes
// changed at random: the fuzz target's properties hold (it converts when the
// header is whole, and the MIDI file reads back with the notes counted).
TEST(MfiLenient, EveryPrefixAndRandomDamageKeepTheConvertersPromises) {
  MfiFile f;
  f.Info("vers", "0500").Info("note", "\x00\x01"s).Info("exst", "\x00\x01"s).Info("titl", "damage");
  f.adat = {"pcm"};
  f.tracks = {Ext(0, 0xC5, 100) + Ext(0, 0xBA, 9 << 3 | 1) + ChannelExt(0, 0xE1, 1, 1) + ChannelExt(0, 0xE0, 1, 9) +
                  Note4(0, 1, 15, 30, 40, 1) + Note4(5, 1, 15, 30, 63, 3) + Ext(0, 0xDC, 3) + Ext(0, 0xD0, 0),
              ChannelExt(0, 0xE2, 0, 50) + ChannelExt(0, 0xE4, 0, 40) + Note4(3, 0, 40, 200, 20, 2),
              LongExt(0, 0xF0, "voice") + Note4(0, 1, 2, 5, 60, 0) + "\x00\x3F\x10\x01\x02"s,
              Ext(0, 0xB0, 90, 0x7F) + Note4(0, 3, 62, 9, 1, 1) + EndOfTrack(7)};
  const std::string bytes = f.Bytes();
  for (size_t n = 0; n <= bytes.size(); ++n) {
    const std::string prefix = bytes.substr(0, n);
    ASSERT_EQ(fuzzing::CheckMfiMidi(prefix), "") << n;
    FindMfiTitleChunk(prefix);
  }
  std::mt19937 rng(21);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = bytes;
    for (int k = 0; k < 3; ++k)
      damaged[std::uniform_int_distribution<size_t>(4, damaged.size() - 1)(rng)] =
          static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
    ASSERT_EQ(fuzzing::CheckMfiMidi(damaged), "") << fuzzing::Printable(damaged);
  }
}

}  // namespace
}  // namespace fenmora
