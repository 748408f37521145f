// make-sample-card FOLDER: writes a small F900i card into FOLDER so that the
// window has something to load without a handset: standby images (JPEG and
// GIF), ring melodies (playable MIDI files with a track name, MLD melodies
// with a title and notes, drums on their percussion part, written by the
// tests' MFi writer) and movies (a moving pattern with a tone, made through
// FFmpeg's libraries and converted into the handset's 3GP by the program's
// own conversion), listed with Japanese titles in the handset's own
// management tables, written by the program's own table writer.
//
// The build runs it to make <build>/sample-card; `make run` offers that
// folder in the drive list.
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QBuffer>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "movie/movie.h"
#include "movie/test_movies.h"
#include "support/mfi_writer.h"
#include "catalogue/table.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "profile/profile.h"

namespace fs = std::filesystem;
using namespace fenmora;

namespace {

constexpr const char* kMarker = "FENMORA-SAMPLE-CARD.txt";
constexpr int kWidth = 240, kHeight = 320;  // the handset's standby screen

struct Sample {
  std::string cardName;
  const char* title;  // UTF-8; stored as CP932
  const char* date;
  std::string bytes;
};

// ---------------------------------------------------------------- pictures

QImage Picture(QColor top, QColor bottom, const QString& caption, bool stars) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, top);
  sky.setColorAt(1, bottom);
  p.fillRect(image.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  if (stars) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 220));
    for (int i = 0; i < 40; ++i) p.drawEllipse(QPointF((i * 97) % kWidth, (i * 53) % (kHeight / 2)), 1.5, 1.5);
  }
  p.setBrush(QColor(255, 255, 255, 60));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(kWidth * 0.7, kHeight * 0.3), 38, 38);
  p.setBrush(QColor(0, 0, 0, 70));
  QPolygonF hills;
  hills << QPointF(0, kHeight) << QPointF(0, kHeight * 0.72) << QPointF(kWidth * 0.35, kHeight * 0.62)
        << QPointF(kWidth * 0.7, kHeight * 0.75) << QPointF(kWidth, kHeight * 0.66) << QPointF(kWidth, kHeight);
  p.drawPolygon(hills);
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(22);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, kHeight - 70, kWidth, 40), Qt::AlignCenter, caption);
  return image;
}

std::string JpegBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "JPG", 80)) {
    std::fprintf(stderr, "make-sample-card: Qt cannot write JPEG\n");
    std::exit(1);
  }
  return bytes.toStdString();
}

// A GIF without compression: 128 colours, so every LZW code is 8 bits wide
// when a clear code comes before the table would grow to 9 bits.
std::string GifBytes(const QImage& source) {
  auto level = [](int v) { return (v * 4 + 127) / 255; };  // 0..4
  std::string out = "GIF89a";
  auto u16 = [&](int v) { out += char(v & 0xFF); out += char((v >> 8) & 0xFF); };
  u16(source.width());
  u16(source.height());
  out += char(0xF6);  // global table of 2^(6+1) = 128 colours
  out += char(0);
  out += char(0);
  for (int i = 0; i < 128; ++i) {  // a 5 x 5 x 5 cube, then black
    const int r = i < 125 ? i / 25 : 0, g = i < 125 ? (i / 5) % 5 : 0, b = i < 125 ? i % 5 : 0;
    out += char(r * 255 / 4);
    out += char(g * 255 / 4);
    out += char(b * 255 / 4);
  }
  out += ',';
  u16(0);
  u16(0);
  u16(source.width());
  u16(source.height());
  out += char(0);
  out += char(7);  // minimum code size: codes start 8 bits wide
  std::string codes;
  int sinceClear = 0;
  codes += char(128);  // clear
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x) {
      if (sinceClear == 126) {
        codes += char(128);
        sinceClear = 0;
      }
      const QRgb c = source.pixel(x, y);
      codes += char(level(qRed(c)) * 25 + level(qGreen(c)) * 5 + level(qBlue(c)));
      ++sinceClear;
    }
  codes += char(129);  // end of information
  for (size_t at = 0; at < codes.size(); at += 255) {
    const size_t n = std::min<size_t>(255, codes.size() - at);
    out += char(n);
    out.append(codes, at, n);
  }
  out += char(0);
  out += ';';
  return out;
}

// ---------------------------------------------------------------- melodies

std::string Be32(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string Be16(std::uint16_t v) { return {char(v >> 8), char(v)}; }

std::string VarLen(std::uint32_t v) {
  std::string out(1, char(v & 0x7F));
  while (v >>= 7) out.insert(out.begin(), char((v & 0x7F) | 0x80));
  return out;
}

// A Standard MIDI File (format 0) whose first event names the track.
std::string MidiBytes(const std::string& cp932Name, int program, const std::vector<int>& notes) {
  std::string track;
  track += VarLen(0) + "\xFF\x03" + VarLen(static_cast<std::uint32_t>(cp932Name.size())) + cp932Name;
  track += VarLen(0) + std::string("\xFF\x51\x03\x07\xA1\x20", 6);  // 120 beats a minute
  track += VarLen(0) + std::string{char(0xC0), char(program)};
  std::uint32_t wait = 0;  // a short rest between notes
  for (int note : notes) {
    const std::uint32_t length = note < 0 ? 960 : 480;  // a negative key: a half note
    const char key = static_cast<char>(note < 0 ? -note : note);
    track += VarLen(wait) + std::string{char(0x90), key, char(96)};
    track += VarLen(length - 40) + std::string{char(0x80), key, char(0)};
    wait = 40;
  }
  track += VarLen(wait) + std::string("\xFF\x2F\x00", 3);
  return "MThd" + Be32(6) + Be16(0) + Be16(1) + Be16(480) + "MTrk" +
         Be32(static_cast<std::uint32_t>(track.size())) + track;
}

// An MLD melody: the title first (where the handset's own reader looks, at
// offset 13), a melody on two parts and drums on the percussion part
// (track 2, part 1), 48 ticks a beat at 120 beats a minute.
std::string MldBytes(const std::string& cp932Title, const std::vector<int>& tune) {
  using namespace testmfi;
  MfiFile f;
  f.Info("titl", cp932Title).Info("sorc", std::string(1, '\x00')).Info("note", std::string(2, '\x00'));
  std::string melody = ChannelExt(0, 0xE0, 0, 10), bass = ChannelExt(0, 0xE0, 1, 33), drums;
  int beat = 0;
  for (int key : tune) {
    const int beats = key < 0 ? 2 : 1;
    melody += Note(beat == 0 ? 0 : 48, 0, (key < 0 ? -key : key) - 45, 44 * beats);
    if (beats == 2) melody += Ext(48, 0xDE, 0);  // a no-operation: the half note's second beat
    beat += beats;
  }
  for (int b = 0; b < beat; b += 2) bass += Note(b == 0 ? 0 : 96, 1, 48 - 45 + (b / 4 % 2) * 7, 90);
  for (int b = 0; b < beat; ++b) drums += Note(b == 0 ? 0 : 48, 1, b % 2 == 0 ? 1 : 3, 20);
  f.tracks = {melody + EndOfTrack(48), bass + EndOfTrack(96), drums + EndOfTrack(48)};
  return f.Bytes();
}

// ---------------------------------------------------------------- movies

// A real movie of the handset: a moving pattern with a tone, converted by
// the program's own conversion (its helper beside this program). Empty when
// it cannot be made.
std::string MovieBytes(const fs::path& scratch, const char* name, const movie::test::SourceMovie& source) {
  const fs::path from = scratch / (std::string(name) + ".mp4"), to = scratch / (std::string(name) + ".3gp");
  if (!movie::test::MakeMovie(from, source)) return {};
  const movie::Converted done = movie::ConvertMovie(from, to, source.seconds, nullptr);
  if (done.status != movie::Converted::Status::Done) return {};
  std::string bytes;
  RealFileOps ops;
  if (!ops.ReadPrefix(to, 307200, bytes)) return {};
  return bytes;
}

// ---------------------------------------------------------------- the card

bool WriteCardFile(FileOps& ops, const fs::path& root, const std::string& cardPath,
                   const std::string& bytes) {
  const auto slash = cardPath.rfind('\\');
  const auto path = ResolveCardPath(root, cardPath.substr(0, slash), cardPath.substr(slash + 1));
  if (!path) return false;
  return ops.MakeFolders(path->parent_path()) && ops.WriteFile(*path, bytes);
}

bool WriteKind(FileOps& ops, const fs::path& root, const HandsetProfile& profile, MediaKind kind,
               const std::vector<Sample>& samples) {
  MediaCatalogue catalogue;
  for (const Sample& s : samples) {
    MediaEntry& e = catalogue.Append({});
    e.cardName = s.cardName;
    e.title = Utf8ToCp932(s.title);
    e.dateText = s.date;
    e.size = static_cast<std::int32_t>(s.bytes.size());
  }
  std::vector<std::string> folders;
  for (const TableFile& table : LayoutTables(profile, kind, catalogue, &folders))
    if (!WriteCardFile(ops, root, table.tablePath, table.bytes)) return false;
  for (int i = 0; i < catalogue.count; ++i) {
    const MediaEntry& e = catalogue.Slot(i);
    if (!WriteCardFile(ops, root, folders[static_cast<size_t>(i)] + e.cardName, samples[static_cast<size_t>(i)].bytes))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample-card FOLDER\n");
    return 2;
  }
  const fs::path root = fs::absolute(argv[1]);
  std::error_code ec;
  // Only a folder this program made (or an empty or new one) is rewritten.
  if (fs::exists(root, ec) && !fs::is_empty(root, ec) && !fs::exists(root / kMarker, ec)) {
    std::fprintf(stderr, "make-sample-card: %s is not empty and not a sample card\n", root.c_str());
    return 1;
  }
  fs::remove_all(root / "PRIVATE", ec);
  fs::remove_all(root / "SD_VIDEO", ec);

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);

  const HandsetProfile profile = HandsetProfile::F900i();
  const std::vector<Sample> images = {
      {"STIL0001.JPG", "夕焼けの海", "2004:03:01 18:30:00",
       JpegBytes(Picture(QColor(250, 140, 60), QColor(60, 30, 110), QStringLiteral("夕焼けの海"), false))},
      {"STIL0002.JPG", "桜並木", "2004:04:05 10:15:00",
       JpegBytes(Picture(QColor(255, 205, 225), QColor(120, 170, 90), QStringLiteral("桜並木"), false))},
      {"STIL0003.GIF", "ドット絵の星空", "2004:05:20 21:00:00",
       GifBytes(Picture(QColor(10, 20, 70), QColor(40, 60, 140), QStringLiteral("星空"), true))},
      {"STIL0004.JPG", "とても長いタイトルの待受け画像サンプル", "2004:06:11 07:45:00",
       JpegBytes(Picture(QColor(120, 200, 250), QColor(240, 250, 255), QStringLiteral("青空"), false))},
  };
  const std::vector<int> twinkle = {60, 60, 67, 67, 69, 69, -67, 65, 65, 64, 64, 62, 62, -60};
  const std::vector<int> scale = {60, 62, 64, 65, 67, 69, 71, -72};
  const std::vector<Sample> melodies = {
      {"RING0001.MID", "きらきら星", "2004:03:02 09:00:00", MidiBytes(Utf8ToCp932("きらきら星"), 10, twinkle)},
      {"RING0002.MLD", "着信音サンプル", "2004:03:03 09:00:00", MldBytes(Utf8ToCp932("着信音サンプル"), twinkle)},
      {"RING0003.MID", "ドレミの練習", "2004:03:04 09:00:00", MidiBytes(Utf8ToCp932("ドレミの練習"), 0, scale)},
  };
  const fs::path scratch = fs::temp_directory_path() / ("fenmora-sample-" + std::to_string(getpid()));
  fs::create_directories(scratch, ec);
  const std::vector<Sample> movies = {
      {"MOL001.3GP", "花火大会", "2004:08:01 20:00:00",
       MovieBytes(scratch, "hanabi", {.width = 640, .height = 360, .fps = 30, .seconds = 6, .videoRate = 800000})},
      {"MOL002.3GP", "運動会", "2004:10:10 11:30:00",
       MovieBytes(scratch, "undokai", {.width = 360, .height = 640, .fps = 30, .seconds = 4, .videoRate = 800000})},
  };
  fs::remove_all(scratch, ec);
  for (const Sample& m : movies)
    if (m.bytes.empty()) {
      std::fprintf(stderr, "make-sample-card: cannot make the movie %s\n", m.cardName.c_str());
      return 1;
    }

  RealFileOps ops;
  const bool ok = ops.MakeFolders(root) &&
                  ops.WriteFile(root / kMarker,
                                "A sample card made by make-sample-card for trying Fenmora.\n") &&
                  WriteKind(ops, root, profile, MediaKind::Image, images) &&
                  WriteKind(ops, root, profile, MediaKind::Melody, melodies) &&
                  WriteKind(ops, root, profile, MediaKind::Movie, movies);
  if (!ok) {
    std::fprintf(stderr, "make-sample-card: cannot write %s\n", root.c_str());
    return 1;
  }
  return 0;
}
