#include "sync/journal.h"

#include "platform/numbers.h"
#include "sync/journal_text.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace journal_text {

void AppendEscaped(std::string& out, std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  out += '=';
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    size_t run = 0;
    while (run < 0xFFFF && i + run < bytes.size() && bytes[i + run] == '\0') ++run;
    if (run >= 4) {
      out += "%z";
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(run >> shift) & 15];
      i += run - 1;
      continue;
    }
    if (c <= 0x20 || c == '%' || c == 0x7F) {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

std::optional<std::string> Unescape(std::string_view field, Budget& budget) {
  if (field.empty() || field[0] != '=') return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  // Every byte decoded is paid for before it is made: a run of zero bytes
  // ("%zFFFF", six bytes for 65,535) cannot grow past what the journal's own
  // size allows.
  std::string out;
  auto spend = [&](size_t n) {
    if (n > budget.left) return false;
    budget.left -= n;
    return true;
  };
  if (!spend(field.size())) return std::nullopt;
  out.reserve(field.size());
  for (size_t i = 1; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    if (i + 5 < field.size() && field[i + 1] == 'z') {
      size_t run = 0;
      for (size_t k = i + 2; k < i + 6; ++k) {
        const int d = nibble(field[k]);
        if (d < 0) return std::nullopt;
        run = run * 16 + static_cast<size_t>(d);
      }
      if (!spend(run)) return std::nullopt;
      out.append(run, '\0');
      i += 5;
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int hi = nibble(field[i + 1]);
    const int lo = nibble(field[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find(' ', start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return fields;
}

std::optional<long long> Number(std::string_view s) {
  if (s.size() > 19) return std::nullopt;
  return ParseInteger(s);
}

std::optional<MediaKind> KindOf(std::optional<long long> k) {
  if (!k || *k < 0 || *k > 2) return std::nullopt;
  return static_cast<MediaKind>(*k);
}

std::optional<std::vector<std::string_view>> Lines(std::string_view bytes, std::string_view magic, bool checksum) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 2 || lines.front() != magic) return std::nullopt;
  const std::string_view last = lines.back();
  if (checksum) {
    const size_t body = bytes.size() - last.size() - 1;
    if (last.substr(0, 4) != "end " || last.substr(4) != HashBytes(bytes.substr(0, body))) return std::nullopt;
  } else if (last != "end") {
    return std::nullopt;
  }
  lines.pop_back();
  lines.erase(lines.begin());
  return lines;
}

std::set<std::string> HandsetTablePaths(const HandsetProfile& profile) {
  std::set<std::string> paths;
  for (MediaKind kind : kListKinds)
    for (int n = HandsetProfile::FirstTableNumber(kind); n <= HandsetProfile::LastTableNumber(kind); ++n)
      paths.insert(profile.ExpandTablePath(kind, n));
  return paths;
}

}  // namespace journal_text

namespace {

using namespace journal_text;

// Version 4: the plan's steps. Older versions are read by journal_v3.cpp.
constexpr std::string_view kMagic = "FENMORA-JOURNAL 4";

constexpr int kLastAction = static_cast<int>(StepAction::RemoveFolder);

}  // namespace

std::string EncodeJournal(const Journal& j) {
  Writer w(kMagic);
  w.out += "mode";
  w.Number(static_cast<int>(j.mode));
  w.out += '\n';
  for (const JournalTable& t : j.tables) {
    w.out += "table";
    w.Number(KindIndex(t.kind));
    w.Field(t.cardPath);
    w.Number(t.existed);
    w.Field(t.oldBytes);
    w.Number(t.written);
    w.Field(t.newBytes);
    w.out += '\n';
  }
  for (const JournalFile& f : j.files) {
    w.out += "file";
    w.Number(f.id.size);
    w.Field(f.id.head);
    w.Field(f.id.hash);
    w.Field(f.label);
    w.out += '\n';
  }
  for (const JournalStep& s : j.steps) {
    w.out += "step";
    w.Number(static_cast<int>(s.action));
    w.Field(s.src);
    w.Field(s.dest);
    w.Number(s.file);
    w.Number(s.table);
    w.out += '\n';
  }
  return w.Sealed();
}

std::optional<Journal> DecodeJournal(std::string_view bytes) {
  if (static_cast<std::int64_t>(bytes.size()) > kMaxJournalBytes) return std::nullopt;
  const auto lines = Lines(bytes, kMagic, true);
  if (!lines) return std::nullopt;
  // What the fields may decode to in all: sixteen times the journal's size
  // (the runs of zero bytes that fill a table), and a table's worth more.
  Budget budget{bytes.size() * 16 + (1u << 20)};
  Journal j;
  bool moded = false;
  for (const std::string_view line : *lines) {
    const auto f = Split(line);
    if (f[0] == "mode" && f.size() == 2 && !moded) {
      const auto m = Number(f[1]);
      if (!m || *m < 0 || *m > 2) return std::nullopt;
      j.mode = static_cast<Journal::Mode>(*m);
      moded = true;
    } else if (f[0] == "table" && f.size() == 7) {
      JournalTable t;
      const auto kind = KindOf(Number(f[1]));
      const auto existed = Number(f[3]), written = Number(f[5]);
      auto path = Unescape(f[2], budget), oldBytes = Unescape(f[4], budget), newBytes = Unescape(f[6], budget);
      if (!kind || !existed || !written || !path || !oldBytes || !newBytes) return std::nullopt;
      j.tables.push_back({*kind, std::move(*path), *existed == 1, std::move(*oldBytes), *written == 1,
                          std::move(*newBytes)});
    } else if (f[0] == "file" && f.size() == 5) {
      JournalFile file;
      const auto size = Number(f[1]);
      auto head = Unescape(f[2], budget), hash = Unescape(f[3], budget), label = Unescape(f[4], budget);
      if (!size || *size < -1 || !head || !hash || !label) return std::nullopt;
      file.id.size = *size;
      file.id.head = std::move(*head);
      file.id.hash = std::move(*hash);
      file.label = std::move(*label);
      j.files.push_back(std::move(file));
    } else if (f[0] == "step" && f.size() == 6) {
      JournalStep s;
      const auto action = Number(f[1]), file = Number(f[4]), table = Number(f[5]);
      auto src = Unescape(f[2], budget), dest = Unescape(f[3], budget);
      if (!action || *action < 0 || *action > kLastAction || !file || !table || !src || !dest) return std::nullopt;
      // (Whether a file or table is named is checked once all are read.)
      if (*file < -1 || *file >= (1 << 24) || *table < -1 || *table >= (1 << 24)) return std::nullopt;
      s.action = static_cast<StepAction>(*action);
      s.src = std::move(*src);
      s.dest = std::move(*dest);
      s.file = static_cast<int>(*file);
      s.table = static_cast<int>(*table);
      j.steps.push_back(std::move(s));
    } else {
      return std::nullopt;
    }
  }
  if (!moded) return std::nullopt;
  for (const JournalStep& s : j.steps) {
    if (s.file >= static_cast<int>(j.files.size()) || s.table >= static_cast<int>(j.tables.size())) return std::nullopt;
    if (s.action == StepAction::WriteTable && s.table < 0) return std::nullopt;
  }
  return j;
}

std::string HeadOf(FileOps& ops, const fs::path& p) {
  std::string bytes;
  return ops.ReadPrefix(p, kHeadBytes, bytes) ? HashBytes(bytes) : "";
}

bool IsTheFile(FileOps& ops, const fs::path& p, const FileIdentity& id, bool copy) {
  const FileStat st = ops.Stat(p);
  if (!st.regular || id.size < 0 || st.size != id.size) return false;
  if (copy && id.hash.empty()) return false;
  if (!id.head.empty() && HeadOf(ops, p) != id.head) return false;
  if (id.hash.empty()) return true;
  return HashFile(ops, p) == id.hash;
}

}  // namespace fenmora
