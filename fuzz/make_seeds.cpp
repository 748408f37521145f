// Writes the seed corpora of the fuzz targets, made by the program's own
// writers where it has them: make_seeds <folder> fills <folder>/<target>/.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/table.h"
#include "sync/journal.h"
#include "sync/journal_v3.h"
#include "platform/cp932.h"
#include "profile/profile.h"
#include "support/mfi_writer.h"

namespace fs = std::filesystem;
using namespace fenmora;
using namespace std::string_literals;

namespace {

int written = 0;

void Write(const fs::path& folder, const std::string& name, std::string_view bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "make_seeds: cannot write %s\n", (folder / name).c_str());
    std::exit(1);
  }
  ++written;
}

// ------------------------------------------------------------------ tables

void AddLive(MediaCatalogue& c, const std::string& cardName, const std::string& title) {
  MediaEntry& e = c.Slot(c.count);
  e = MediaEntry{};
  e.position = c.LiveCount() + 1;
  e.cardName = e.sourceName = cardName;
  e.title = title;
  e.dateText = "2005:03:07 09:05:00";
  e.size = 1000 + c.count;
  ++c.count;
}

std::string CardName(const HandsetProfile& profile, MediaKind kind, int number) {
  const std::string ext = profile.Kind(kind).extensions.empty()
                              ? ".DAT"
                              : profile.Kind(kind).extensions[static_cast<size_t>(number) %
                                                              profile.Kind(kind).extensions.size()]
                                    .ext;
  return profile.ContentFileName(kind, number, ext);
}

void WriteLayout(const fs::path& dir, const std::string& tag, const HandsetProfile& profile,
                 MediaKind kind, int items) {
  MediaCatalogue catalogue;
  const std::vector<std::string> titles = {
      Utf8ToCp932("待受け画像"), Utf8ToCp932("着信メロディ ｱｲｳ"), "Summer 2004",
      Utf8ToCp932("ムービー①～"), std::string(64, 'x'),
      Utf8ToCp932("全角だけで三十二文字をちょうど埋めるためのとても長い題名です")};
  for (int i = 1; i <= items; ++i)
    AddLive(catalogue, CardName(profile, kind, i), titles[static_cast<size_t>(i) % titles.size()]);
  const auto files = LayoutTables(profile, kind, catalogue);
  for (size_t k = 0; k < files.size(); ++k)
    Write(dir, tag + "-" + std::to_string(k) + ".tbl", files[k].bytes);
}

std::string Table(std::string_view folderText, const std::vector<TableRecordBytes>& records) {
  const TableHeader h = ComposeTableHeader(folderText, static_cast<int>(records.size()), 0, "SUD");
  std::string out(h.begin(), h.end());
  for (const auto& r : records) out.append(reinterpret_cast<const char*>(r.data()), r.size());
  return out;
}

void TableSeeds(const fs::path& dir) {
  const HandsetProfile profile = HandsetProfile::F900i();
  WriteLayout(dir, "image-empty", profile, MediaKind::Image, 0);
  WriteLayout(dir, "image-3", profile, MediaKind::Image, 3);
  WriteLayout(dir, "image-65", profile, MediaKind::Image, 65);
  WriteLayout(dir, "melody-3", profile, MediaKind::Melody, 3);
  WriteLayout(dir, "movie-65", profile, MediaKind::Movie, 65);

  const auto rec = [](std::string_view name, std::string_view title) {
    return ComposeTableRecord(name, title, "2004:02:14 00:00:00", 4096);
  };
  const std::vector<TableRecordBytes> plain = {rec("STIL0001.JPG", Utf8ToCp932("画像")),
                                               rec("STIL0002.GIF", "t")};
  Write(dir, "hostile-dotdot.tbl", Table("..", plain));
  Write(dir, "hostile-backslash-dotdot.tbl", Table("\\..\\..\\x", plain));
  Write(dir, "hostile-drive.tbl", Table("C:\\x", plain));
  Write(dir, "hostile-absolute.tbl", Table("/etc", plain));
  Write(dir, "hostile-254-folder.tbl", Table(std::string(254, 'F'), plain));
  Write(dir, "hostile-names.tbl",
        Table("\\PRIVATE\\DOCOMO\\STILL",
              {rec("...", "x"), rec("..", ""), rec("A.B.JPG", "two dots"), rec(".JPG", "no stem"),
               rec("STIL0003", "no extension"), rec("C:X.JPG", "colon"),
               rec("STIL0004.JPG", std::string(63, 'x') + "\x8a\xbf")}));
  std::string nul = Table("\\PRIVATE\\DOCOMO\\STILL", plain);
  nul[2 + 8] = '\0';           // a 00 inside the folder text
  nul[512 + 3 + 2] = '\0';     // ... and inside the first stem
  Write(dir, "hostile-nul.tbl", nul);
  std::string cut = Table("\\PRIVATE\\DOCOMO\\STILL", plain);
  Write(dir, "cut-mid-record.tbl", cut.substr(0, 512 + 256 + 100));
  Write(dir, "header-only-cut.tbl", cut.substr(0, 300));
}

// ----------------------------------------------------------------- melodies

std::string MldHeader() { return "melo"s + "\x00\x00\x01\x00"s + "\x00\x20"s + "\x01\x00\x01"s; }

std::string Chunk(std::string_view tag, std::string_view data) {
  std::string out(tag);
  out += static_cast<char>((data.size() >> 8) & 0xFF);
  out += static_cast<char>(data.size() & 0xFF);
  out += data;
  return out;
}

void MldSeeds(const fs::path& dir) {
  Write(dir, "titl-sorc.mld", MldHeader() + Chunk("titl", "Hello") + Chunk("sorc", "\x01\x02"s));
  Write(dir, "titl-cp932-copy.mld",
        MldHeader() + Chunk("titl", Utf8ToCp932("着信メロディ")) + Chunk("copy", "(c)") +
            Chunk("sorc", "\x00"s) + "trac"s + "\x00\x00\x00\x10"s + std::string(16, '\x90'));
  Write(dir, "titl-note-inside.mld", MldHeader() + Chunk("titl", "my notebook") + Chunk("prot", "x"));
  Write(dir, "titl-no-end.mld", MldHeader() + Chunk("titl", "no end tag here"));
  Write(dir, "titl-long.mld", MldHeader() + Chunk("titl", std::string(300, 'L')) + Chunk("sorc", "x"));
  Write(dir, "titl-nul.mld", MldHeader() + Chunk("titl", "ab\0cd"s) + Chunk("note", "\x01"s));
  Write(dir, "no-titl.mld", MldHeader() + Chunk("sorc", "\x01"s));
}

// Whole melodies for the converter, written by the tests' MFi writer: every
// kind of event it reads, in the forms the versions use.
void MfiSeeds(const fs::path& dir) {
  using namespace testmfi;
  MfiFile simple;
  simple.Info("titl", "Simple").Info("vers", "0100").Info("sorc", "\x00"s);
  simple.tracks = {Ext(0, 0xC3, 120) + ChannelExt(0, 0xE0, 0, 5) + Note(0, 0, 15, 24) + Note(24, 1, 17, 24) +
                   Ext(0, 0xDC, 1) + Note(10, 0, 15, 4) + EndOfTrack()};
  Write(dir, "simple.mld", simple.Bytes());

  MfiFile four;
  four.Info("vers", "0500").Info("note", "\x00\x01"s).Info("exst", "\x00\x01"s).Info("titl", Utf8ToCp932("着メロ"));
  four.adat = {std::string(40, '\x42')};
  four.tracks = {Ext(0, 0xCB, 90) + Ext(0, 0xBA, 9 << 3 | 1) + ChannelExt(0, 0xE1, 1, 1) + ChannelExt(0, 0xE0, 1, 3) +
                     Note4(0, 1, 15, 30, 40, 1) + Note4(5, 1, 15, 30, 63, 3) + Ext(0, 0xD0, 0),
                 ChannelExt(0, 0xE2, 0, 50) + ChannelExt(0, 0xE3, 0, 10) + ChannelExt(0, 0xE4, 0, 40) +
                     ChannelExt(0, 0xE7, 0, 2) + ChannelExt(0, 0xEA, 0, 9) + Note4(3, 0, 40, 200, 20, 2),
                 LongExt(0, 0xF0, "voice") + LongExt(0, 0xFF, "vendor") + Note4(0, 1, 2, 5, 60, 0),
                 "\x00\xBF\x10\x01\x02"s + Ext(0, 0xB0, 90, 0x7F) + Ext(1, 0xDD, 0x11, 0x3F) +
                     Note4(0, 3, 62, 9, 1, 1) + EndOfTrack(7)};
  Write(dir, "four-tracks.mld", four.Bytes());

  MfiFile cut = simple;
  cut.trailing = "trailing bytes";
  const std::string bytes = cut.Bytes();
  Write(dir, "trailing.mld", bytes);
  Write(dir, "cut.mld", bytes.substr(0, bytes.size() - 20));
  Write(dir, "header-only.mld", bytes.substr(0, 13));
}

std::string SmfHeaders() {
  return "MThd"s + "\x00\x00\x00\x06"s + "\x00\x00\x00\x01\x00\x60"s + "MTrk"s + "\x00\x00\x00\x40"s;
}

std::string TrackName(std::string_view name) {
  return "\x00\xFF\x03"s + static_cast<char>(name.size()) + std::string(name);
}

void SmfSeeds(const fs::path& dir) {
  const std::string end = "\x00\xFF\x2F\x00"s;
  Write(dir, "name.mid", SmfHeaders() + TrackName("Piano") + end);
  Write(dir, "name-cp932.mid", SmfHeaders() + TrackName(Utf8ToCp932("ピアノ曲")) + end);
  Write(dir, "name-255.mid", SmfHeaders() + TrackName(std::string(255, 'n')) + end);
  Write(dir, "name-cut.mid", SmfHeaders() + "\x00\xFF\x03\x40"s + "short");
  Write(dir, "ff-ff-03.mid", SmfHeaders() + "\x00\xFF\xFF\x03\x03"s + "abc" + end);
  Write(dir, "name-late.mid", SmfHeaders() + std::string(2020, '\x00') + TrackName("late") + end);
  Write(dir, "text-then-name.mid",
        SmfHeaders() + "\x00\xFF\x01\x04text"s + TrackName("second") + end);
}

// --------------------------------------------------------------- card paths

void CardPathSeeds(const fs::path& dir) {
  // folder text FF stem FF extension; the names of the fuzz card's folders
  // and links (see CardFixture) are in here so that mutations reach them.
  const std::vector<std::pair<std::string, std::string>> seeds = {
      {"still", "\\PRIVATE\\DOCOMO\\STILL\\\xFFSTIL0001\xFFJPG"},
      {"still-slashes", "PRIVATE/DOCOMO/./STILL//\xFFSTIL0002\xFF" "GIF"},
      {"group", "\\PRIVATE\\DOCOMO\\STILL\\SUD001\xFFSTIL0065\xFFJPG"},
      {"movie", "\\SD_VIDEO\\PRL001\xFFMOL001\xFF" "3GP"},
      {"root", "\xFF\xFF"},
      {"dotdot", "..\xFFx\xFFy"},
      {"backslash-dotdot", "\\..\\..\\x\xFF" "a\xFF" "b"},
      {"drive", "C:\\x\xFF" "a\xFF" "b"},
      {"absolute", "/etc\xFFpasswd\xFF"},
      {"nul", std::string("\\PRI\0VATE\xFF" "a\xFF" "b", 13)},
      {"name-dotdot", "\\PRIVATE\xFF.\xFF."},
      {"name-dots", "\\PRIVATE\xFF..\xFF."},
      {"link-out", "\\OUT\xFF" "f\xFF"},
      {"link-out-deeper", "\\OUT\\dir\xFFx\xFFJPG"},
      {"link-in", "\\PRIVATE\\IN\\STILL\xFFSTIL0001\xFFJPG"},
      {"link-up", "\\PRIVATE\\DOCOMO\\UP\xFF" "f\xFF"},
      {"link-gone", "\\GONE\xFFx\xFFy"},
      {"link-new", "\\PRIVATE\\DOCOMO\\STILL\\NEW\xFFx\xFFy"},
      {"link-loop", "\\PRIVATE\\DOCOMO\\STILL\\LOOP\xFFx\xFFy"},
      {"link-file", "\\PRIVATE\\DOCOMO\\STILL\xFFlink\xFFjpg"},
      {"link-trick", "\\TRICK\xFFx\xFFy"},
      {"link-system", "\\SD_VIDEO\\ROOT\\tmp\xFFx\xFFy"},
      {"long", std::string(300, 'A') + "\\" + std::string(300, 'B') + "\xFF" + std::string(300, 'c') + "\xFF"},
      {"control", "\\PRIVATE\\\x01\xFFx\x7F\xFFy"},
      {"cp932", "\\" + Utf8ToCp932("写真") + "\xFF" + Utf8ToCp932("画像") + "\xFFJPG"},
  };
  for (const auto& [name, bytes] : seeds) Write(dir, name + ".path", bytes);
}

// -------------------------------------------------------------------- CP932

void Cp932Seeds(const fs::path& dir) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"ascii", "STIL0001.JPG Summer 2004 ~\\"},
      {"kana-kanji", "待受け画像"},
      {"halfwidth", "ﾒﾛﾃﾞｨ ｱｲｳｴｵ"},
      {"lookalikes", "¥ ‾ 〜 ― ‖ − ¢ £ ¬"},
      {"nec-ibm", "①②③ ㈱ № 髙 﨑 ⅰⅱ"},
      {"mixed", "Track 01 「夏の日」～ﾃｽﾄ"},
      {"not-in-cp932", "Emoji 😀 and é and 한국어"},
      {"long", std::string(200, 'a') + "画像" + std::string(100, 'b')},
  };
  for (const auto& [name, text] : texts) {
    Write(dir, name + ".utf8", text);
    Write(dir, name + ".cp932", Utf8ToCp932(text));
  }
  Write(dir, "stray-lead.cp932", "ab\x82"s);
  Write(dir, "bad-pairs.cp932", "\x80" "A\xA0\xFD\x85\x9F\x81" "0"s);
  Write(dir, "bad-utf8.bin", "a\xFF" "b\xC0\x80\xE3\x81" "A\xED\xA0\x80\xF4\x90\x80\x80"s);
}

// ------------------------------------------------------------------ journals

// A journal of each format, written by the program's own writers.
void JournalSeeds(const fs::path& dir) {
  Journal j;
  j.tables.push_back({MediaKind::Image, "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", true,
                      std::string(768, '\0'), true, std::string(1024, '\0')});
  j.files.push_back({{3000, 0, "", ""}, "STIL0001.JPG one"});
  j.files.push_back({{9000, 0, "0123456789abcdef:9000", ""}, "STIL0002.JPG photo"});
  j.steps.push_back({StepAction::CopyIn, "/home/u/photo.jpg", "PRIVATE/DOCOMO/STILL/STIL0002.JPG.fmcopy", 1, -1});
  j.steps.push_back({StepAction::Rename, "PRIVATE/DOCOMO/STILL/STIL0001.JPG", "PRIVATE/DOCOMO/STILL/STIL0003.JPG", 0, -1});
  j.steps.push_back({StepAction::PlaceCopy, "PRIVATE/DOCOMO/STILL/STIL0002.JPG.fmcopy",
                     "PRIVATE/DOCOMO/STILL/STIL0002.JPG", 1, -1});
  j.steps.push_back({StepAction::WriteTable, "", "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL", -1, 0});
  Write(dir, "update.jnl", EncodeJournal(j));
  v3::Journal old;
  old.tables.push_back({MediaKind::Image, "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", true,
                        std::string(768, '\0'), "ab:1"});
  Write(dir, "format3.jnl", v3::EncodeJournal(old));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <folder>\n");
    return 2;
  }
  const fs::path out = argv[1];
  TableSeeds(out / "fuzz_table");
  MldSeeds(out / "fuzz_mld");
  MfiSeeds(out / "fuzz_mfi_midi");
  SmfSeeds(out / "fuzz_smf");
  CardPathSeeds(out / "fuzz_cardpath");
  Cp932Seeds(out / "fuzz_cp932");
  JournalSeeds(out / "fuzz_journal");
  std::printf("make_seeds: %d seed files in %s\n", written, out.c_str());
  return 0;
}
