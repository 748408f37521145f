// The player is tested through SDL's "disk" audio driver, which writes the
// mixed samples (44.1 kHz, 16-bit stereo) to a file in real time.
#include "support/env_var.h"
#include "preview/melody_player.h"
#include "support/mfi_writer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace fenmora {
namespace {

using testcard::EnvVar;

constexpr qint64 kBytesPerSecond = 44100 * 2 * 2;
constexpr int kPatience = 30000;  // ms; only a bound for a broken player

void Put16(QByteArray& b, int v) {
  b.append(char(v & 255));
  b.append(char((v >> 8) & 255));
}
void Put32(QByteArray& b, quint32 v) {
  Put16(b, int(v & 0xFFFF));
  Put16(b, int(v >> 16));
}

// A mono 16-bit WAV of a 440 Hz sine at half amplitude.
QByteArray SineWav(double seconds) {
  const int rate = 22050;
  const int n = static_cast<int>(seconds * rate);
  QByteArray b("RIFF");
  Put32(b, 36 + n * 2);
  b.append("WAVEfmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, rate);
  Put32(b, rate * 2);
  Put16(b, 2);
  Put16(b, 16);
  b.append("data");
  Put32(b, n * 2);
  for (int i = 0; i < n; ++i)
    Put16(b, static_cast<int>(std::lround(16000 * std::sin(2 * M_PI * 440 * i / rate))));
  return b;
}

// A Standard MIDI File: acoustic grand piano, middle C held for two seconds
// (1920 ticks at 480 per quarter and the default 120 beats per minute).
QByteArray PianoSmf() {
  const QByteArray track("\x00\xC0\x00"          // program change: piano
                         "\x00\x90\x3C\x70"      // note on C4
                         "\x8F\x00\x80\x3C\x40"  // 1920 ticks later: note off
                         "\x00\xFF\x2F\x00",     // end of track
                         16);
  QByteArray b("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14);
  b.append("MTrk");
  b.append(char(0)).append(char(0)).append(char(0)).append(char(track.size()));
  b.append(track);
  return b;
}

class MelodyPlayerDisk : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }

  qint64 OutputSize() const { return QFileInfo(output_).size(); }

  // Lets the audio thread write until the output holds `bytes`.
  bool WaitForOutput(qint64 bytes) {
    return QTest::qWaitFor([&] { return OutputSize() >= bytes; }, kPatience);
  }

  std::vector<int16_t> Samples(qint64 fromByte, qint64 toByte) const {
    QFile f(output_);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = f.readAll();
    fromByte = std::clamp<qint64>(fromByte & ~qint64{1}, 0, all.size());
    toByte = std::clamp<qint64>(toByte, fromByte, all.size());
    std::vector<int16_t> s(static_cast<size_t>((toByte - fromByte) / 2));
    std::memcpy(s.data(), all.constData() + fromByte, s.size() * 2);
    return s;
  }

  int Loudest(qint64 fromByte, qint64 toByte) const {
    int peak = 0;
    for (int16_t v : Samples(fromByte, toByte)) peak = std::max(peak, std::abs(int(v)));
    return peak;
  }

  QTemporaryDir dir_;
  QString output_ = dir_.filePath("audio.raw");
  EnvVar driver_{"SDL_AUDIODRIVER", "disk"};
  EnvVar file_{"SDL_DISKAUDIOFILE", QFile::encodeName(output_).toStdString()};
};

TEST_F(MelodyPlayerDisk, MidiAndWavSoundAndStopAtOnce) {
  const QString midi = WriteFile("RING0001.MID", PianoSmf());
  const QString wav = WriteFile("beep.wav", SineWav(3.0));
  MelodyPlayer player;
  EXPECT_TRUE(player.fileName().isEmpty());
  EXPECT_FALSE(player.available());
  QSignalSpy finished(&player, &MelodyPlayer::finished);

  qint64 start = 0;
  for (const QString& path : {midi, wav}) {
    SCOPED_TRACE(path.toStdString());
    ASSERT_TRUE(player.Open(path)) << player.lastError().toStdString();
    EXPECT_TRUE(player.available());
    EXPECT_EQ(player.fileName(), path);
    if (start == 0) start = OutputSize();  // the device is open from here on
    ASSERT_TRUE(player.Play()) << player.lastError().toStdString();
    EXPECT_TRUE(player.isPlaying());
    ASSERT_TRUE(WaitForOutput(start + kBytesPerSecond));
    ASSERT_TRUE(player.isPlaying());  // both last longer than a second
    player.Stop();
    EXPECT_FALSE(player.isPlaying());
    const qint64 stopped = OutputSize();
    // A block or two mixed before the stop may still be on its way.
    const qint64 settled = stopped + 32768;
    ASSERT_TRUE(WaitForOutput(settled + kBytesPerSecond / 4));
    EXPECT_GT(Loudest(start, stopped), 2000);
    EXPECT_EQ(Loudest(settled, OutputSize()), 0);
    start = OutputSize();
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(finished.count(), 0);  // a stop is not an ending
}

TEST_F(MelodyPlayerDisk, ReportsTheEndAndPlaysAgainFromTheStart) {
  const QString wav = WriteFile("short.WAV", SineWav(0.3));
  MelodyPlayer player;
  QSignalSpy finished(&player, &MelodyPlayer::finished);
  ASSERT_TRUE(player.Open(wav)) << player.lastError().toStdString();
  const qint64 start = OutputSize();
  ASSERT_TRUE(player.Play());
  ASSERT_TRUE(finished.wait(kPatience));
  EXPECT_FALSE(player.isPlaying());
  const qint64 firstEnd = OutputSize();
  EXPECT_GT(Loudest(start, firstEnd), 8000);

  // The player stays open on the melody; Play starts it over.
  ASSERT_TRUE(player.Play()) << player.lastError().toStdString();
  ASSERT_TRUE(finished.wait(kPatience));
  EXPECT_EQ(finished.count(), 2);
  EXPECT_GT(Loudest(firstEnd, OutputSize()), 8000);
}

TEST_F(MelodyPlayerDisk, OpeningTheNextFileEndsTheMelodyQuietly) {
  const QString first = WriteFile("long.WAV", SineWav(5.0));
  const QString second = WriteFile("next.MID", PianoSmf());
  MelodyPlayer player;
  QSignalSpy finished(&player, &MelodyPlayer::finished);
  ASSERT_TRUE(player.Open(first));
  ASSERT_TRUE(player.Play());
  ASSERT_TRUE(player.isPlaying());
  ASSERT_TRUE(player.Open(second)) << player.lastError().toStdString();
  EXPECT_FALSE(player.isPlaying());
  EXPECT_EQ(player.fileName(), second);
  ASSERT_TRUE(player.Play());
  EXPECT_TRUE(player.isPlaying());
  QCoreApplication::processEvents();
  EXPECT_EQ(finished.count(), 0);
}

// An MLD melody is converted in memory and heard through the synthesizer;
// its loop points do not repeat it: it ends after one pass. An SMF plays as
// a MIDI file.
TEST_F(MelodyPlayerDisk, MldAndSmfMelodiesSoundAndAnMldLoopPlaysOnce) {
  using namespace testmfi;
  MfiFile f;
  f.Info("titl", "loop").Info("vers", "0300");
  // 1.5 s of middle C at 120 beats and 48 ticks a beat, between loop points,
  // and vendor data that is left out.
  f.tracks = {Ext(0, 0xD0, 0) + LongExt(0, 0xFF, "vendor") + Note(0, 0, 15, 144) + Ext(144, 0xDD, 0x11) +
              Ext(0, 0xD0, 1)};
  const std::string bytes = f.Bytes();
  const QString mld = WriteFile("RING0002.MLD", QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  const QString smf = WriteFile("song.SMF", PianoSmf());
  MelodyPlayer player;
  QSignalSpy finished(&player, &MelodyPlayer::finished);
  ASSERT_TRUE(player.Open(mld)) << player.lastError().toStdString();
  ASSERT_TRUE(player.leftOut());
  EXPECT_EQ(player.leftOut()->vendorEvents, 1);
  EXPECT_TRUE(player.leftOut()->loopIgnored);
  const qint64 start = OutputSize();
  ASSERT_TRUE(player.Play()) << player.lastError().toStdString();
  EXPECT_TRUE(player.isPlaying());
  ASSERT_TRUE(finished.wait(kPatience));
  EXPECT_EQ(finished.count(), 1);
  const qint64 end = OutputSize();
  EXPECT_GT(Loudest(start, start + kBytesPerSecond), 2000);
  // One pass of 1.5 s and the release of the note: a repeat would sound
  // from 1.5 s to 3 s again.
  const qint64 afterNote = start + 5 * kBytesPerSecond / 2;
  if (end > afterNote) { EXPECT_LT(Loudest(afterNote, end), 500); }

  ASSERT_TRUE(player.Open(smf)) << player.lastError().toStdString();
  EXPECT_FALSE(player.leftOut());
  const qint64 smfStart = OutputSize();
  ASSERT_TRUE(player.Play());
  ASSERT_TRUE(WaitForOutput(smfStart + kBytesPerSecond));
  EXPECT_GT(Loudest(smfStart, OutputSize()), 2000);
  player.Stop();
}

TEST_F(MelodyPlayerDisk, RefusesOtherKindsAndBadFilesWithoutOpeningTheDevice) {
  MelodyPlayer player;
  // An MLD that is no MFi melody (its header cut short) is unreadable.
  const QString mld = WriteFile("RING0002.MLD", QByteArray("melo\x00\x00\x00\x10", 8));
  EXPECT_FALSE(player.Open(mld));
  EXPECT_TRUE(player.unreadable());
  EXPECT_FALSE(player.lastError().isEmpty());
  EXPECT_EQ(player.fileName(), mld);  // remembered even so
  EXPECT_FALSE(player.Open(WriteFile("notes.txt", "text")));
  EXPECT_FALSE(player.unreadable());
  EXPECT_FALSE(player.Open(dir_.filePath("missing.MID")));
  EXPECT_FALSE(player.Open(dir_.path()));
  EXPECT_FALSE(player.available());
  EXPECT_FALSE(player.Play());
  player.Stop();
  EXPECT_FALSE(QFileInfo::exists(output_));

  const QString fakeWav = WriteFile("fake.WAV", QByteArray(4000, 'x'));
  EXPECT_FALSE(player.Open(fakeWav));
  EXPECT_FALSE(player.lastError().isEmpty());
  EXPECT_FALSE(player.Play());

  // A MIDI file that ends in the middle of its track: no crash, no hang.
  const QString cut = WriteFile("cut.MID", PianoSmf().left(26));
  if (player.Open(cut) && player.Play()) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !player.isPlaying(); }, kPatience));
    player.Stop();
  }
}

TEST(MelodyPlayerNoDevice, FailsWithAnErrorAndTriesAgainNextTime) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString wav = dir.filePath("beep.WAV");
  {
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SineWav(0.5));
  }
  MelodyPlayer player;
  {
    EnvVar driver("SDL_AUDIODRIVER", "nonexistent");
    EXPECT_FALSE(player.Open(wav));
    EXPECT_FALSE(player.lastError().isEmpty());
    EXPECT_FALSE(player.available());
    EXPECT_EQ(player.fileName(), wav);
    EXPECT_FALSE(player.Play());
    player.Stop();
    EXPECT_FALSE(player.isPlaying());
  }
  // Once a device can be had, the next Open gets it.
  EnvVar driver("SDL_AUDIODRIVER", "dummy");
  EXPECT_TRUE(player.Open(wav)) << player.lastError().toStdString();
  EXPECT_TRUE(player.available());
  EXPECT_TRUE(player.lastError().isEmpty());
  EXPECT_TRUE(player.Play());
  player.Stop();
}

TEST(PlayableMelody, MidSmfMldAndWavByTheirExtension) {
  EXPECT_TRUE(IsPlayableMelody("RING0001.MID"));
  EXPECT_TRUE(IsPlayableMelody("tune.mid"));
  EXPECT_TRUE(IsPlayableMelody("chime.Wav"));
  EXPECT_TRUE(IsPlayableMelody("RING0001.MLD"));
  EXPECT_TRUE(IsPlayableMelody("song.smf"));
  EXPECT_FALSE(IsPlayableMelody("song.txt"));
  EXPECT_FALSE(IsPlayableMelody("song.MIDI"));
  EXPECT_FALSE(IsPlayableMelody("MID"));
  EXPECT_FALSE(IsPlayableMelody("song.mid.bak"));
}

}  // namespace
}  // namespace fenmora
