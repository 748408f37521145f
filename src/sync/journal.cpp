#include "sync/journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "catalogue/table.h"
#include "platform/cardpath.h"
#include "sync/load.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "FENMORA-JOURNAL 1";

// Texts are written as they are, with the bytes that would break a line or a
// field ("%", space, control characters) as "%XX"; "=" marks an empty text.
void AppendEscaped(std::string& out, std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  out += '=';
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c == '%' || c == 0x7F) {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

std::optional<std::string> Unescape(std::string_view field) {
  if (field.empty() || field[0] != '=') return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(field.size());
  for (size_t i = 1; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
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

std::optional<long> Number(std::string_view s) {
  if (s.empty() || s.size() > 12) return std::nullopt;
  long v = 0;
  bool negative = false;
  size_t i = 0;
  if (s[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i == s.size()) return std::nullopt;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  return negative ? -v : v;
}

std::optional<MediaKind> KindOf(long k) {
  if (k < 0 || k > 2) return std::nullopt;
  return static_cast<MediaKind>(k);
}

bool Exists(const fs::path& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

std::string HashBytes(std::string_view bytes) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return std::string(buf) + ":" + std::to_string(bytes.size());
}

std::string EncodeJournalHead(const Journal& j) {
  std::string out(kMagic);
  out += "\nplaced ";
  for (size_t k = 0; k < 3; ++k) {
    out += j.placed[k] ? '1' : '0';
    out += k < 2 ? ' ' : '\n';
  }
  return out;
}

std::string EncodeJournalBody(const Journal& j) {
  std::string out;
  out.reserve(j.tables.size() * 80 + j.items.size() * 120 + 8);
  auto field = [&](std::string_view text) {
    out += ' ';
    AppendEscaped(out, text);
  };
  auto number = [&](long n) {
    out += ' ';
    out += std::to_string(n);
  };
  for (const JournalTable& t : j.tables) {
    out += "table";
    number(KindIndex(t.kind));
    field(t.cardPath);
    field(t.oldHash);
    field(t.newHash);
    out += '\n';
  }
  for (const JournalItem& i : j.items) {
    out += "item";
    number(KindIndex(i.kind));
    number(i.position);
    number(i.toDelete);
    number(i.queued);
    for (const std::string* text : {&i.originFolder, &i.originName, &i.cardFolder, &i.cardName,
                                    &i.dateText, &i.title})
      field(*text);
    number(i.size);
    out += '\n';
  }
  out += "end\n";
  return out;
}

std::string EncodeJournal(const Journal& j) { return EncodeJournalHead(j) + EncodeJournalBody(j); }

std::optional<Journal> DecodeJournal(std::string_view bytes) {
  Journal j;
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 3 || lines.front() != kMagic || lines.back() != "end") return std::nullopt;
  for (size_t n = 1; n + 1 < lines.size(); ++n) {
    const auto f = Split(lines[n]);
    if (f[0] == "placed" && f.size() == 4) {
      for (int k = 0; k < 3; ++k) j.placed[static_cast<size_t>(k)] = f[static_cast<size_t>(k) + 1] == "1";
    } else if (f[0] == "table" && f.size() == 5) {
      const auto kind = Number(f[1]);
      auto path = Unescape(f[2]), oldHash = Unescape(f[3]), newHash = Unescape(f[4]);
      if (!kind || !KindOf(*kind) || !path || !oldHash || !newHash) return std::nullopt;
      j.tables.push_back({*KindOf(*kind), *path, *oldHash, *newHash});
    } else if (f[0] == "item" && f.size() == 12) {
      JournalItem i;
      const auto kind = Number(f[1]), pos = Number(f[2]), del = Number(f[3]), queued = Number(f[4]),
                 size = Number(f[11]);
      auto of = Unescape(f[5]), on = Unescape(f[6]), cf = Unescape(f[7]), cn = Unescape(f[8]), dt = Unescape(f[9]),
           ti = Unescape(f[10]);
      if (!kind || !KindOf(*kind) || !pos || !del || !queued || !size || !of || !on || !cf || !cn ||
          !dt || !ti)
        return std::nullopt;
      i.kind = *KindOf(*kind);
      i.position = static_cast<std::int32_t>(*pos);
      i.toDelete = *del == 1;
      i.queued = *queued == 1;
      i.originFolder = *of;
      i.originName = *on;
      i.cardFolder = *cf;
      i.cardName = *cn;
      i.dateText = *dt;
      i.title = *ti;
      i.size = static_cast<std::int32_t>(*size);
      j.items.push_back(std::move(i));
    } else {
      return std::nullopt;
    }
  }
  return j;
}

std::optional<Journal> ReadCardJournal(const HandsetProfile& profile, const fs::path& cardRoot) {
  const fs::path path = cardRoot / kJournalName;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (64 << 20))
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  auto journal = DecodeJournal(bytes);
  if (!journal) return std::nullopt;
  // Every table file on the card must be one the journal knows: as it was
  // before the commit, or as the commit wrote it.
  for (MediaKind kind : kListKinds) {
    for (const FoundTable& t : FindTableFiles(profile, kind, cardRoot)) {
      const std::string cardPath = profile.ExpandTablePath(kind, t.number);
      std::ifstream f(t.path, std::ios::binary);
      const std::string hash = HashBytes(std::string((std::istreambuf_iterator<char>(f)), {}));
      const auto known = std::find_if(journal->tables.begin(), journal->tables.end(),
                                      [&](const JournalTable& jt) {
                                        return jt.kind == kind && jt.cardPath == cardPath;
                                      });
      if (known == journal->tables.end() || (hash != known->oldHash && hash != known->newHash))
        return std::nullopt;
    }
  }
  return journal;
}

int LoadKindFromJournal(const Journal& journal, MediaKind kind, const fs::path& cardRoot,
                        MediaCatalogue& catalogue) {
  const bool placed = journal.placed[static_cast<size_t>(KindIndex(kind))];
  std::vector<const JournalItem*> items;
  for (const JournalItem& i : journal.items)
    if (i.kind == kind) items.push_back(&i);
  std::stable_sort(items.begin(), items.end(), [](const JournalItem* a, const JournalItem* b) {
    return a->position < b->position;
  });
  struct Found {
    const JournalItem* item;
    std::string folder, name;  // where its file is now
    bool queued;
  };
  std::vector<Found> live, deleted;
  std::set<fs::path> claimed;  // the files of live items
  int dropped = 0;
  for (const JournalItem* i : items) {
    const auto origin = i->queued ? std::optional<fs::path>(fs::path(i->originFolder) / i->originName)
                                  : ResolveCardPath(cardRoot, i->originFolder, i->originName);
    const auto final = ResolveCardPath(cardRoot, i->cardFolder, i->cardName);
    const auto parked = ResolveCardPath(cardRoot, i->cardFolder, i->cardName + "_");
    if (!origin || !final || !parked) {
      ++dropped;
      continue;
    }
    if (i->toDelete) {
      if (!i->queued && Exists(*origin)) deleted.push_back({i, i->originFolder, i->originName, false});
      continue;
    }
    Found f{i, i->originFolder, i->originName, i->queued};
    const bool renamed = !i->queued && i->originName != i->cardName;
    if (i->queued) {
      if (placed && Exists(*final)) f = {i, i->cardFolder, i->cardName, false};
    } else if (renamed) {
      if (placed || !Exists(*origin)) {
        f = Exists(*parked) ? Found{i, i->cardFolder, i->cardName + "_", false}
                            : Found{i, i->cardFolder, i->cardName, false};
      }
    } else if (!Exists(*origin)) {  // a move into another folder that already happened
      f = {i, i->cardFolder, i->cardName, false};
    }
    const fs::path now = f.queued ? fs::path(f.folder) / f.name
                                  : ResolveCardPath(cardRoot, f.folder, f.name).value_or(fs::path());
    if (now.empty() || !Exists(now)) {
      ++dropped;
      continue;
    }
    live.push_back(f);
    if (!f.queued) claimed.insert(now);
  }
  // A file waiting for deletion whose name a live item has taken since is that
  // item's file now: it is not deleted again.
  deleted.erase(std::remove_if(deleted.begin(), deleted.end(),
                               [&](const Found& f) {
                                 const auto p = ResolveCardPath(cardRoot, f.folder, f.name);
                                 return !p || claimed.count(*p);
                               }),
                deleted.end());
  catalogue.count = 0;
  catalogue.deletedCount = 0;
  std::int32_t position = 0;
  for (auto* group : {&live, &deleted}) {
    for (const Found& f : *group) {
      if (catalogue.Full()) break;
      MediaEntry& e = catalogue.Slot(catalogue.count++);
      e.position = ++position;
      e.sourceFolder = f.folder;
      e.sourceName = f.name;
      e.cardFolder = f.item->cardFolder;
      e.cardName = f.item->cardName;
      e.dateText = f.item->dateText;
      e.title = f.item->title;
      e.size = f.item->size;
      e.queued = f.queued;
      e.toDelete = group == &deleted;
      if (e.toDelete) {
        e.cardFolder = f.folder;
        e.cardName = f.name;
        ++catalogue.deletedCount;
      }
    }
  }
  return dropped;
}

}  // namespace fenmora
