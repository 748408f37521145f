#include "fuzz_checks.h"

#include "sync/journal.h"
#include "sync/journal_v3.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "catalogue/table.h"
#include "media/melody_title.h"
#include "media/mfi_midi.h"
#include "media/smf_read.h"
#include "media/smf_slim.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"

namespace fenmora::fuzzing {

namespace fs = std::filesystem;

std::string Printable(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

namespace {
// The card fixture alive now, removed by Require before it aborts (the abort
// skips destructors).
const std::filesystem::path* liveCardFixture = nullptr;
}  // namespace

void Require(const char* target, const std::string& failure) {
  if (failure.empty()) return;
  std::fprintf(stderr, "%s: %s\n", target, failure.c_str());
  if (liveCardFixture) {
    std::error_code ec;
    std::filesystem::remove_all(*liveCardFixture, ec);
  }
  std::abort();
}

namespace {

bool HasNul(std::string_view s) { return s.find('\0') != std::string_view::npos; }

// What a field of the table should read as: the bytes of [offset, offset +
// width) that the input holds, up to the first 00. Written as a plain loop so
// that it does not share code with the reader.
std::string ExpectedField(std::string_view bytes, size_t offset, size_t width) {
  size_t end = offset;
  while (end < offset + width && end < bytes.size() && bytes[end] != '\0') ++end;
  return offset < end ? std::string(bytes.substr(offset, end - offset)) : std::string();
}

std::string CheckField(const char* what, int record, const std::string& value, size_t width,
                       std::string_view bytes, size_t offset) {
  const auto where = [&] {
    return std::string(what) + (record < 0 ? "" : " of record " + std::to_string(record));
  };
  if (value.size() > width)
    return where() + " is " + std::to_string(value.size()) + " bytes, wider than " + std::to_string(width);
  if (HasNul(value)) return where() + " holds a 00 byte";
  if (value != ExpectedField(bytes, offset, width))
    return where() + " reads \"" + Printable(value) + "\" instead of \"" +
           Printable(ExpectedField(bytes, offset, width)) + "\"";
  return {};
}

}  // namespace

// ------------------------------------------------------------------- tables

std::string CheckTable(std::string_view bytes) {
  const TableContents t = ParseTable(bytes);
  const int expected = TableRecordCount(static_cast<std::int64_t>(bytes.size()));
  if (static_cast<std::int64_t>(t.records.size()) != expected)
    return std::to_string(t.records.size()) + " records read from " + std::to_string(bytes.size()) +
           " bytes, expected " + std::to_string(expected);
  if (auto f = CheckField("folder text", -1, t.folderText, 64, bytes, 2); !f.empty()) return f;

  // The header written back with the folder text that was read reads the same.
  const TableHeader header = ComposeTableHeader(t.folderText, 1, 0, "SUD");
  const std::string headerBytes(header.begin(), header.end());

  for (size_t k = 0; k < t.records.size(); ++k) {
    const TableRecord& r = t.records[k];
    const size_t at = kTableHeaderSize + kTableRecordSize * k;
    const int n = static_cast<int>(k);
    for (auto f : {CheckField("stem", n, r.stem, 8, bytes, at + 3),
                   CheckField("extension", n, r.ext, 3, bytes, at + 11),
                   CheckField("title", n, r.title, kTitleFieldBytes, bytes, at + 16),
                   CheckField("date", n, r.dateText, 19, bytes, at + 80)})
      if (!f.empty()) return f;

    // Written back: the card name is split at its first ".", so a stem that
    // holds a "." cannot come back as the same stem (the handset's own names
    // are 8.3 and never do).
    if (r.stem.find('.') != std::string::npos) continue;
    const TableRecordBytes rec = ComposeTableRecord(r.FileName(), r.title, r.dateText, 4096);
    std::string file = headerBytes;
    file.append(reinterpret_cast<const char*>(rec.data()), rec.size());
    const TableContents back = ParseTable(file);
    if (back.folderText != t.folderText)
      return "folder text \"" + Printable(t.folderText) + "\" written back reads \"" +
             Printable(back.folderText) + "\"";
    if (back.records.size() != 1) return "a written record does not read back as one record";
    const TableRecord& b = back.records[0];
    if (b.stem != r.stem || b.ext != r.ext || b.title != r.title || b.dateText != r.dateText)
      return "record " + std::to_string(k) + " (" + Printable(r.stem) + "|" + Printable(r.ext) +
             "|" + Printable(r.title) + "|" + Printable(r.dateText) + ") written back reads (" +
             Printable(b.stem) + "|" + Printable(b.ext) + "|" + Printable(b.title) + "|" +
             Printable(b.dateText) + ")";
  }
  return {};
}

// ------------------------------------------------------------ melody titles

std::string CheckMldTitle(std::string_view bytes) {
  const std::string title = ParseMldTitle(bytes);
  if (title.size() > kMldTitleBuffer)
    return "MLD title of " + std::to_string(title.size()) + " bytes";
  if (HasNul(title)) return "MLD title holds a 00 byte: " + Printable(title);
  if (title.empty()) return {};
  if (bytes.size() < 17) return "MLD title read from a file of " + std::to_string(bytes.size()) + " bytes";
  if (bytes.substr(13, 4) != "titl") {
    // A title chunk further on: the bytes after some "titl" and its length.
    for (size_t at = bytes.find("titl", 13); at != std::string_view::npos; at = bytes.find("titl", at + 1))
      if (bytes.size() >= at + 6 + title.size() && bytes.substr(at + 6, title.size()) == title) return {};
    return "MLD title \"" + Printable(title) + "\" follows no titl chunk";
  }
  if (bytes.size() < 19 + title.size() || bytes.substr(19, title.size()) != title)
    return "MLD title \"" + Printable(title) + "\" is not the bytes at offset 19";
  return {};
}

std::string CheckSmfTrackName(std::string_view bytes) {
  const std::string name = ParseSmfTrackName(bytes);
  if (name.size() > 255) return "SMF track name of " + std::to_string(name.size()) + " bytes";
  if (name.empty()) return {};
  // It must be the bytes after some FF 03 <length> that starts below the scan
  // limit, no longer than the length byte says, and shorter only at the end.
  for (size_t p = 3; p + name.size() <= bytes.size() && p - 3 < kSmfScanLimit; ++p) {
    if (static_cast<unsigned char>(bytes[p - 3]) != 0xFF || bytes[p - 2] != 0x03) continue;
    const size_t length = static_cast<unsigned char>(bytes[p - 1]);
    if (bytes.substr(p, name.size()) != name || name.size() > length) continue;
    if (name.size() < length && p + name.size() != bytes.size()) continue;
    return {};
  }
  return "SMF track name \"" + Printable(name) + "\" follows no FF 03 <length> of the input";
}

std::string CheckSmfSlim(std::string_view bytes) {
  const auto slim = SlimSmf(bytes);
  if (!slim) return {};
  // One track of format 0, and a second pass finds nothing more to leave out.
  if (slim->size() < 22 || slim->compare(0, 4, "MThd") != 0 || (*slim)[9] != 0 || (*slim)[11] != 1)
    return "slimmed SMF is not one track of format 0";
  const auto again = SlimSmf(*slim);
  if (!again) return "a slimmed SMF cannot be read back";
  if (*again != *slim) return "slimming a slimmed SMF changes it";
  return {};
}

std::string CheckMfiMidi(std::string_view bytes) {
  std::string why;
  const auto conversion = ConvertMfiToSmf(bytes, &why);
  const bool mfi = bytes.size() >= 13 && bytes.substr(0, 4) == "melo";
  // A whole header converts unless no track follows it.
  if (!conversion) return mfi && why != kMfiNoTrack ? "an MFi header that does not convert" : std::string();
  if (!mfi) return "converted bytes that are no MFi melody";
  if (conversion->tracks > 4) return std::to_string(conversion->tracks) + " MFi tracks";
  const auto smf = ReadSmf(conversion->smf);
  if (!smf) return "the MIDI file of the conversion does not read back";
  if (smf->format != 1 || smf->tracks != 1 + conversion->tracks)
    return "format " + std::to_string(smf->format) + " with " + std::to_string(smf->tracks) + " tracks for " +
           std::to_string(conversion->tracks) + " MFi tracks";
  const size_t notes = CountSmfNotes(*smf);
  if (notes != static_cast<size_t>(conversion->notes))
    return "the MIDI file holds " + std::to_string(notes) + " notes, the conversion counted " +
           std::to_string(conversion->notes);
  const auto slim = SlimSmf(conversion->smf);
  const auto slimRead = slim ? ReadSmf(*slim) : std::nullopt;
  if (!slimRead || CountSmfNotes(*slimRead) != notes) return "the converted MIDI file does not slim with its notes";
  return {};
}

std::string CheckSmf(std::string_view bytes) {
  std::string failure = CheckSmfTrackName(bytes);
  return failure.empty() ? CheckSmfSlim(bytes) : failure;
}

// --------------------------------------------------------------------- CP932

namespace {

// Splits valid UTF-8 into its characters; nullopt when the bytes are not valid
// UTF-8 (overlong forms, surrogates, code points above U+10FFFF, cut
// sequences and stray continuation bytes all count as invalid).
std::optional<std::vector<std::string_view>> Utf8Characters(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  auto cont = [&](size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) {
    if (k >= s.size()) return false;
    const auto c = static_cast<unsigned char>(s[k]);
    return c >= lo && c <= hi;
  };
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (b < 0x80) {
      n = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = cont(i + 1) ? 2 : 0;
    } else if (b == 0xE0) {
      n = cont(i + 1, 0xA0) && cont(i + 2) ? 3 : 0;
    } else if (b == 0xED) {
      n = cont(i + 1, 0x80, 0x9F) && cont(i + 2) ? 3 : 0;
    } else if (b >= 0xE1 && b <= 0xEF) {
      n = cont(i + 1) && cont(i + 2) ? 3 : 0;
    } else if (b == 0xF0) {
      n = cont(i + 1, 0x90) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    } else if (b >= 0xF1 && b <= 0xF3) {
      n = cont(i + 1) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    } else if (b == 0xF4) {
      n = cont(i + 1, 0x80, 0x8F) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    }
    if (n == 0) return std::nullopt;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

struct CharRoundTrip {
  std::string cp932;  // Utf8ToCp932 of the character alone
  std::string back;   // Cp932ToUtf8 of that
};

// One character's conversion, remembered (the fuzzer sees the same ones over
// and over; the memory is bounded by dropping everything now and then).
const CharRoundTrip& RoundTripOf(std::string_view ch) {
  static std::unordered_map<std::string, CharRoundTrip> cache;
  if (cache.size() > 200000) cache.clear();
  auto it = cache.find(std::string(ch));
  if (it == cache.end()) {
    CharRoundTrip r;
    r.cp932 = Utf8ToCp932(ch);
    r.back = Cp932ToUtf8(r.cp932);
    it = cache.emplace(std::string(ch), std::move(r)).first;
  }
  return it->second;
}

// The ends of the characters of a CP932 text by the lead-byte rules: a lead
// byte with a byte after it opens a pair, anything else stands alone.
std::vector<size_t> Cp932Boundaries(std::string_view s) {
  std::vector<size_t> ends{0};
  size_t i = 0;
  while (i < s.size()) {
    i += IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    ends.push_back(i);
  }
  return ends;
}

std::string CheckCut(std::string_view text, size_t n, const std::vector<size_t>& ends) {
  const std::string cut = Cp932CutBytes(text, n);
  const auto where = [&] {
    return "Cp932CutBytes(\"" + Printable(text) + "\", " + std::to_string(n) + ")";
  };
  if (cut.size() > n) return where() + " gives " + std::to_string(cut.size()) + " bytes";
  if (text.substr(0, cut.size()) != cut) return where() + " is not a prefix of the text";
  // Ending on a boundary also means never ending with a lone lead byte, except
  // one that already stood alone at the very end of the text.
  if (!std::binary_search(ends.begin(), ends.end(), cut.size()))
    return where() + " splits a double-byte character (ends with a lone lead byte)";
  // The longest such prefix: the next character would not have fitted.
  const auto next = std::upper_bound(ends.begin(), ends.end(), cut.size());
  if (next != ends.end() && *next <= n) return where() + " cuts more than it needs to";
  return {};
}

}  // namespace

std::string CheckCp932(std::string_view bytes) {
  const std::string utf8 = Cp932ToUtf8(bytes);
  if (!Utf8Characters(utf8)) return "Cp932ToUtf8 gives invalid UTF-8: " + Printable(utf8);
  const std::string cp932 = Utf8ToCp932(bytes);
  if (!Utf8Characters(Cp932ToUtf8(cp932)))
    return "Cp932ToUtf8 of Utf8ToCp932 output gives invalid UTF-8";

  if (const auto chars = Utf8Characters(bytes)) {
    // Characters converted one at a time give what the whole text gives: a
    // character that cannot be held costs exactly its own "?".
    std::string oneByOne, backOneByOne;
    bool ascii = true;
    for (std::string_view ch : *chars) {
      const CharRoundTrip& r = RoundTripOf(ch);
      if (static_cast<unsigned char>(ch[0]) >= 0x80) ascii = false;
      // Every character comes back as itself, as "?" when CP932 has no room
      // for it, or as the one look-alike CP932 holds in its place ("¥" as
      // "\", "〜" as "～"), which must come back as itself.
      if (r.back != ch && r.back != "?") {
        const auto alike = Utf8Characters(r.back);
        if (!alike || alike->size() != 1 || RoundTripOf(r.back).back != r.back)
          return "character \"" + Printable(ch) + "\" comes back as \"" + Printable(r.back) +
                 "\" (CP932 \"" + Printable(r.cp932) + "\")";
      }
      oneByOne += r.cp932;
      backOneByOne += r.back;
    }
    if (cp932 != oneByOne)
      return "Utf8ToCp932 of the whole text gives \"" + Printable(cp932) +
             "\", character by character \"" + Printable(oneByOne) + "\"";
    const std::string back = Cp932ToUtf8(cp932);
    if (back != backOneByOne)
      return "the round trip of the whole text gives \"" + Printable(back) +
             "\", character by character \"" + Printable(backOneByOne) + "\"";
    if (ascii && (cp932 != bytes || back != bytes))
      return "ASCII text does not round-trip exactly: \"" + Printable(bytes) + "\"";
  }

  const std::vector<size_t> ends = Cp932Boundaries(bytes);
  const size_t size = bytes.size();
  const size_t first = size ? static_cast<unsigned char>(bytes[0]) : 0;
  for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size / 2, kTitleFieldBytes,
                   kTitleFieldBytes - 1, size ? size - 1 : 0, size, size + 1, first})
    if (auto f = CheckCut(bytes, n, ends); !f.empty()) return f;
  return {};
}

// ---------------------------------------------------------------- card paths

CardFixture::CardFixture() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  base_ = fs::temp_directory_path() / ("fenmora-fuzz-card-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(stamp) + "-" + std::to_string(counter++));
  root_ = base_ / "card";
  outside_ = base_ / "outside";
  fs::create_directories(root_ / "PRIVATE" / "DOCOMO" / "STILL");
  fs::create_directories(root_ / "PRIVATE" / "DOCOMO" / "MELODY");
  fs::create_directories(root_ / "PRIVATE" / "DOCOMO" / "TABLE" / "STILL");
  fs::create_directories(root_ / "SD_VIDEO" / "PRL001");
  fs::create_directories(outside_ / "dir");
  std::ofstream(root_ / "PRIVATE" / "DOCOMO" / "STILL" / "STIL0001.JPG") << "card";
  std::ofstream(outside_ / "f") << "outside";

  const fs::path still = root_ / "PRIVATE" / "DOCOMO" / "STILL";
  fs::create_directory_symlink(outside_, root_ / "OUT");                         // out, absolute
  fs::create_directory_symlink("DOCOMO", root_ / "PRIVATE" / "IN");             // in, relative
  fs::create_directory_symlink("../../../outside", root_ / "PRIVATE" / "DOCOMO" / "UP");
  fs::create_symlink(outside_ / "missing", root_ / "GONE");                     // dangling, out
  fs::create_symlink("../MELODY/later", still / "NEW");                          // dangling, in
  fs::create_symlink("LOOP", still / "LOOP");                                    // a loop
  fs::create_symlink(outside_ / "f", still / "link.jpg");                        // a file outside
  // A dangling link whose target climbs out of a folder that does not exist
  // yet and then through the link OUT: once "nothere" is a folder, it leads out.
  fs::create_symlink("nothere/../OUT", root_ / "TRICK");
  fs::create_directory_symlink("/", root_ / "SD_VIDEO" / "ROOT");               // the whole system
  liveCardFixture = &base_;
}

CardFixture::~CardFixture() {
  if (liveCardFixture == &base_) liveCardFixture = nullptr;
  std::error_code ec;
  fs::remove_all(base_, ec);
}

CardPathInput SplitCardPathInput(std::string_view bytes) {
  CardPathInput in;
  const size_t a = bytes.find('\xFF');
  in.folder = bytes.substr(0, a);
  if (a == std::string_view::npos) return in;
  const size_t b = bytes.find('\xFF', a + 1);
  in.stem = bytes.substr(a + 1, b == std::string_view::npos ? std::string_view::npos : b - a - 1);
  if (b != std::string_view::npos) in.ext = bytes.substr(b + 1);
  return in;
}

namespace {

bool StartsWithPath(const fs::path& full, const fs::path& base) {
  auto f = full.begin();
  for (auto b = base.begin(); b != base.end(); ++b) {
    if (b->empty()) continue;
    if (f == full.end() || *f != *b) return false;
    ++f;
  }
  return true;
}

// Where p leads on this system, worked out with std::filesystem rather than
// the program's own walk: the deepest entry that exists (a link counts, even
// a dangling one) made canonical, the rest appended. A link that leads
// nowhere is followed by hand; a ".." in the part that does not exist yet is
// resolved as the folders would be once created, and the walk starts over.
// nullopt when links loop.
std::optional<fs::path> WhereItLeads(fs::path p) {
  for (int hops = 0; hops <= 40; ++hops) {
    std::vector<fs::path> tail;
    fs::path q = p;
    for (;;) {
      std::error_code ec;
      const auto st = fs::symlink_status(q, ec);
      if (!ec && fs::exists(st)) break;
      if (!q.has_relative_path()) break;
      tail.push_back(q.filename());
      q = q.parent_path();
    }
    std::reverse(tail.begin(), tail.end());
    const bool climbs = std::any_of(tail.begin(), tail.end(), [](const fs::path& c) { return c == ".."; });

    std::error_code ec;
    const auto target = fs::status(q, ec);
    if (!ec && fs::exists(target)) {
      fs::path out = fs::canonical(q, ec);
      if (ec) return std::nullopt;
      for (const auto& c : tail) out /= c;
      out = out.lexically_normal();
      if (!climbs) return out;
      p = out;  // the ".." may have brought the walk back to existing links
      continue;
    }
    // q exists but leads nowhere: a dangling link, or a loop.
    const fs::path link = fs::read_symlink(q, ec);
    if (ec) return std::nullopt;
    fs::path next = link.is_absolute() ? link : q.parent_path() / link;
    for (const auto& c : tail) next /= c;
    p = next;
  }
  return std::nullopt;
}

std::string CheckInside(const CardFixture& card, const fs::path& p, const std::string& what) {
  const fs::path& root = card.root();
  for (const auto& c : p)
    if (c == ".." || c == ".") return what + " holds a \"" + c.string() + "\" component: " + p.string();
  const fs::path rel = p.lexically_relative(root);
  if (rel.empty() || *rel.begin() == "..") return what + " is not under the card root lexically: " + p.string();
  if (!IsInside(root, p)) return what + " is not inside by IsInside: " + p.string();
  std::error_code ec;
  const fs::path canonicalRoot = fs::canonical(root, ec);
  if (ec) return "the card root is gone";
  const auto leads = WhereItLeads(p);
  if (!leads) return what + " goes round a link loop: " + p.string();
  if (!StartsWithPath(*leads, canonicalRoot))
    return what + " " + p.string() + " leads to " + leads->string() + ", outside the card";
  return {};
}

std::string CheckNormalForm(std::string_view folder, const std::string& norm) {
  const auto where = [&] {
    return "NormalizeCardFolder(\"" + Printable(folder) + "\") = \"" + Printable(norm) + "\"";
  };
  if (norm.empty() || norm.front() != '\\' || norm.back() != '\\') return where() + " lacks its \\ ends";
  if (norm.size() > 1 && norm.find("\\\\") != std::string::npos) return where() + " has an empty component";
  if (norm.find('/') != std::string::npos) return where() + " holds a /";
  for (unsigned char c : norm)
    if (c < 0x20 || c == 0x7F || c == ':') return where() + " holds a forbidden byte";
  for (size_t start = 1; start < norm.size();) {
    const size_t end = norm.find('\\', start);
    const std::string_view part = std::string_view(norm).substr(start, end - start);
    if (part == "." || part == "..") return where() + " holds a dot component";
    start = end + 1;
  }
  const auto again = NormalizeCardFolder(norm);
  if (!again || *again != norm) return where() + " is not stable";
  return {};
}

}  // namespace

std::string CheckCardPath(const CardFixture& card, std::string_view bytes) {
  const CardPathInput in = SplitCardPathInput(bytes);
  const fs::path& root = card.root();

  const auto norm = NormalizeCardFolder(in.folder);
  if (norm)
    if (auto f = CheckNormalForm(in.folder, *norm); !f.empty()) return f;

  const auto folderPath = ResolveCardPath(root, in.folder);
  if (folderPath && !norm)
    return "folder \"" + Printable(in.folder) + "\" resolves although its normal form is refused";
  if (norm && folderPath != ResolveCardPath(root, *norm))
    return "folder \"" + Printable(in.folder) + "\" resolves differently from its normal form";
  if (folderPath)
    if (auto f = CheckInside(card, *folderPath, "folder \"" + Printable(in.folder) + "\""); !f.empty())
      return f;

  std::string name(in.stem);
  name += '.';
  name += in.ext;
  for (std::string_view candidate : {std::string_view(name), in.stem}) {
    const bool safe = IsSafeCardFileName(candidate);
    if (safe && (candidate == "." || candidate == ".." ||
                 candidate.find_first_of(std::string_view("\\/:\0", 4)) != std::string_view::npos ||
                 std::any_of(candidate.begin(), candidate.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })))
      return "IsSafeCardFileName accepts \"" + Printable(candidate) + "\"";
    const auto file = ResolveCardPath(root, in.folder, candidate);
    if (!file) continue;
    const std::string what = "file \"" + Printable(candidate) + "\" in \"" + Printable(in.folder) + "\"";
    if (!norm) return what + " resolves although the folder is refused";
    if (!candidate.empty() && !safe) return what + " resolves although the name is refused";
    if (auto f = CheckInside(card, *file, what); !f.empty()) return f;
  }
  return {};
}

// ------------------------------------------------------------------ journals

std::string CheckJournal(std::string_view bytes) {
  (void)v3::DecodeJournal(bytes);
  const auto j = DecodeJournal(bytes);
  if (!j) return "";
  size_t decoded = 0;
  for (const JournalTable& t : j->tables) decoded += t.cardPath.size() + t.oldBytes.size() + t.newBytes.size();
  for (const JournalFile& f : j->files) decoded += f.id.head.size() + f.id.hash.size() + f.label.size();
  for (const JournalStep& s : j->steps) decoded += s.src.size() + s.dest.size();
  if (decoded > bytes.size() * 16 + (1u << 20)) return "decoded " + std::to_string(decoded) + " bytes from " + std::to_string(bytes.size());
  const std::string again = EncodeJournal(*j);
  const auto back = DecodeJournal(again);
  if (!back || EncodeJournal(*back) != again) return "a decoded journal does not write back the same";
  return "";
}

// ------------------------------------------------------------------ by name

namespace {

template <std::string (*Check)(std::string_view)>
std::string WithoutCard(const CardFixture&, std::string_view bytes) {
  return Check(bytes);
}

}  // namespace

CheckFunction CheckOfTarget(std::string_view target) {
  if (target == "fuzz_table") return &WithoutCard<CheckTable>;
  if (target == "fuzz_mld") return &WithoutCard<CheckMldTitle>;
  if (target == "fuzz_smf") return &WithoutCard<CheckSmf>;
  if (target == "fuzz_mfi_midi") return &WithoutCard<CheckMfiMidi>;
  if (target == "fuzz_cp932") return &WithoutCard<CheckCp932>;
  if (target == "fuzz_journal") return &WithoutCard<CheckJournal>;
  if (target == "fuzz_cardpath") return &CheckCardPath;
  return nullptr;
}

}  // namespace fenmora::fuzzing
