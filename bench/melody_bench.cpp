// MLD melodies: converting a 40 KB MFi melody to a MIDI file in memory against
// reading the same file, and the time from a melody's selection to its start
// in the player (MelodyPlayer::Open and Play, what the window runs on a
// selection) for that MLD against the MIDI file of the same notes. The sound
// goes to SDL's dummy driver. Medians of several runs.
//
//   cmake --build build --target melody_bench && build/melody_bench [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "media/mfi_midi.h"
#include "pictures.h"  // MedianMs
#include "platform/fileops.h"
#include "preview/melody_player.h"
#include "support/mfi_writer.h"

using namespace fenmora;
namespace fs = std::filesystem;

namespace {

// Four tracks of 4-byte notes with program, volume and tempo changes, about
// 40 KB: the size limit of the handset's melodies.
std::string FortyKilobyteMelody() {
  using namespace testmfi;
  MfiFile f;
  f.Info("vers", "0500").Info("note", std::string("\x00\x01", 2)).Info("titl", "bench");
  for (int t = 0; t < 4; ++t) {
    std::string track = Ext(0, 0xC3, 120) + ChannelExt(0, 0xE0, 0, 10 + t) + ChannelExt(0, 0xE2, 0, 50);
    for (int i = 0; track.size() < 10000; ++i) {
      track += Note4(i % 4 == 0 ? 12 : 0, i % 4, 10 + (i * 7 + t * 5) % 40, 10 + i % 30, 20 + i % 40, i % 4);
      if (i % 64 == 63) track += ChannelExt(0, 0xE3, i % 4, 20 + i % 24);
    }
    f.tracks.push_back(track);
  }
  return f.Bytes();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("SDL_AUDIODRIVER", "dummy");
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
  QTemporaryDir dir;
  const fs::path mld = fs::path(dir.path().toStdString()) / "RING0001.MLD";
  const fs::path mid = fs::path(dir.path().toStdString()) / "RING0002.MID";
  const std::string bytes = FortyKilobyteMelody();
  WriteFile(mld, bytes);
  const auto converted = ConvertMfiToSmf(bytes);
  if (!converted) {
    std::fprintf(stderr, "the bench melody does not convert\n");
    return 1;
  }
  WriteFile(mid, converted->smf);

  RealFileOps ops;
  const double read = MedianMs(runs * 20, [&] {
    std::string b;
    ops.ReadPrefix(mld, 4 << 20, b);
  });
  const double convert = MedianMs(runs * 20, [&] {
    std::string b;
    ops.ReadPrefix(mld, 4 << 20, b);
    ConvertMfiToSmf(b);
  });
  std::printf("%-34s %9.3f ms %9.3f ms (reading it) %7.2fx   (%zu bytes, %d notes, MIDI file %zu bytes)\n",
              "converting a 40 KB MLD", convert, read, convert / read, bytes.size(), converted->notes,
              converted->smf.size());

  MelodyPlayer player;
  auto startOnce = [&](const fs::path& p) {
    QElapsedTimer t;
    t.start();
    if (!player.Open(QString::fromStdString(p.string())) || !player.Play())
      std::fprintf(stderr, "%s: %s\n", p.c_str(), player.lastError().toUtf8().constData());
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    player.Stop();
    return ms;
  };
  startOnce(mid);  // the device opened once, outside the figures
  // Taken in turns, so that the load of a shared machine falls on both alike.
  std::vector<double> mlds, mids;
  for (int i = 0; i < runs; ++i) {
    mlds.push_back(startOnce(mld));
    mids.push_back(startOnce(mid));
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double fromMld = median(mlds);
  const double fromMid = median(mids);
  const double ratio = fromMld / fromMid;
  std::printf("%-34s %9.3f ms %9.3f ms (the MIDI file) %7.2fx   target <= 1.2x  %s   (fastest %.3f ms / %.3f ms)\n",
              "selection to start, MLD", fromMld, fromMid, ratio, ratio <= 1.2 ? "met" : "NOT MET",
              *std::min_element(mlds.begin(), mlds.end()), *std::min_element(mids.begin(), mids.end()));
  return 0;
}
