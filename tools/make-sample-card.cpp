// make-sample-card FOLDER: writes a small F900i card into FOLDER so that the
// window has something to load without a handset: standby images (JPEG and
// GIF), ring melodies (a playable MIDI file with a track name, MLD files with
// a title) and movies, listed with Japanese titles in the handset's own
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
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
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

// An MLD file: the "melo" header, then a "titl" chunk at offset 13 with the
// title, then the chunks the handset puts after it.
std::string MldBytes(const std::string& cp932Title) {
  std::string chunks;
  chunks += "titl" + Be16(static_cast<std::uint16_t>(cp932Title.size())) + cp932Title;
  chunks += "sorc" + Be16(1) + std::string(1, '\x00');
  chunks += "note" + Be16(2) + std::string(2, '\x00');
  // header length, content type, content class, number of tracks
  std::string body = Be16(static_cast<std::uint16_t>(3 + chunks.size())) + std::string("\x01\x00\x01", 3);
  body += chunks;
  const std::string events = std::string("\x00\xFF\x00\x00", 4);
  body += "trac" + Be32(static_cast<std::uint32_t>(events.size())) + events;
  return "melo" + Be32(static_cast<std::uint32_t>(body.size())) + body;
}

// ---------------------------------------------------------------- movies

// Not a film: a 3GP file type box and filler, enough to be listed.
std::string MovieBytes(const char* tag, int kilobytes) {
  std::string ftyp = "ftyp3gp4" + Be32(0x200) + "isom3gp4";
  std::string box = Be32(static_cast<std::uint32_t>(ftyp.size() + 4)) + ftyp;
  std::string filler(static_cast<size_t>(kilobytes) * 1024, '\0');
  for (size_t i = 0; i < filler.size(); ++i) filler[i] = tag[i % 4];
  return box + Be32(static_cast<std::uint32_t>(filler.size() + 8)) + "free" + filler;
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
      {"RING0002.MLD", "着信音サンプル", "2004:03:03 09:00:00", MldBytes(Utf8ToCp932("着信音サンプル"))},
      {"RING0003.MID", "ドレミの練習", "2004:03:04 09:00:00", MidiBytes(Utf8ToCp932("ドレミの練習"), 0, scale)},
  };
  const std::vector<Sample> movies = {
      {"MOL001.3GP", "花火大会", "2004:08:01 20:00:00", MovieBytes("HANA", 24)},
      {"MOL002.3GP", "運動会", "2004:10:10 11:30:00", MovieBytes("UNDO", 12)},
  };

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
