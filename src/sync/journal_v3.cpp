#include "sync/journal_v3.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/table.h"
#include "platform/cardname.h"
#include "platform/cardpath.h"
#include "platform/numbers.h"
#include "sync/journal_text.h"
#include "sync/load.h"

namespace fenmora::v3 {

namespace fs = std::filesystem;
using namespace journal_text;

namespace {

// Version 3 adds the fingerprints of the first 4 KiB, what a moved-aside file
// is, and a last line with the checksum of everything before it. Version 2
// (fenmora 0.1.4) is still read: an update it left must still be finished.
constexpr std::string_view kMagic = "FENMORA-JOURNAL 3";
constexpr std::string_view kMagic2 = "FENMORA-JOURNAL 2";

}  // namespace

std::string EncodeJournal(const Journal& j) {
  Writer w(kMagic);
  std::string& out = w.out;
  auto field = [&](std::string_view text) { w.Field(text); };
  auto number = [&](long long n) { w.Number(n); };
  out += "stage";
  number(j.removing ? 1 : 0);
  out += '\n';
  if (j.recovery) out += "recovery\n";
  for (const JournalTable& t : j.tables) {
    out += "table";
    number(KindIndex(t.kind));
    field(t.cardPath);
    number(t.existed);
    field(t.oldBytes);
    field(t.newHash);
    out += '\n';
  }
  for (const JournalItem& i : j.items) {
    out += "item";
    number(KindIndex(i.kind));
    number(i.position);
    number(i.toDelete);
    number(i.queued);
    for (const std::string* text : {&i.sourceFolder, &i.sourceName, &i.cardFolder, &i.cardName,
                                    &i.dateText, &i.title})
      field(*text);
    number(i.size);
    number(i.file.size);
    number(i.file.mtimeNs);
    field(i.file.hash);
    field(i.file.head);
    out += '\n';
  }
  for (const JournalAside& a : j.asides) {
    out += "aside";
    number(KindIndex(a.kind));
    field(a.folder);
    field(a.from);
    field(a.to);
    number(a.file.size);
    field(a.file.head);
    field(a.file.hash);
    out += '\n';
  }
  for (const JournalSweep& s : j.sweeps) {
    out += "sweep";
    field(s.path);
    number(s.file.size);
    number(s.file.mtimeNs);
    field(s.file.hash);
    out += '\n';
  }
  return w.Sealed();
}

namespace {

std::optional<long long> BigNumber(std::string_view s) { return Number(s); }

bool DecodeTable(const std::vector<std::string_view>& f, Journal& j, Budget& budget) {
  const auto kind = Number(f[1]), existed = Number(f[3]);
  auto path = Unescape(f[2], budget), oldBytes = Unescape(f[4], budget), newHash = Unescape(f[5], budget);
  if (!KindOf(kind) || !existed || !path || !oldBytes || !newHash) return false;
  j.tables.push_back({*KindOf(kind), *path, *existed == 1, *oldBytes, *newHash});
  return true;
}

bool DecodeItem(const std::vector<std::string_view>& f, Journal& j, Budget& budget) {
  JournalItem i;
  if (f.size() == 16) {
    auto head = Unescape(f[15], budget);
    if (!head) return false;
    i.file.head = *head;
  }
  const auto kind = Number(f[1]), pos = Number(f[2]), del = Number(f[3]), queued = Number(f[4]),
             size = Number(f[11]);
  const auto fileSize = BigNumber(f[12]), mtime = BigNumber(f[13]);
  std::optional<std::string> texts[7];
  for (size_t n = 0; n < 6; ++n) texts[n] = Unescape(f[5 + n], budget);
  texts[6] = Unescape(f[14], budget);
  if (!KindOf(kind) || !pos || !del || !queued || !size || !fileSize || !mtime) return false;
  for (const auto& t : texts)
    if (!t) return false;
  i.kind = *KindOf(kind);
  i.position = static_cast<std::int32_t>(*pos);
  i.toDelete = *del == 1;
  i.queued = *queued == 1;
  i.sourceFolder = *texts[0];
  i.sourceName = *texts[1];
  i.cardFolder = *texts[2];
  i.cardName = *texts[3];
  i.dateText = *texts[4];
  i.title = *texts[5];
  i.size = *size;
  i.file.size = *fileSize;
  i.file.mtimeNs = *mtime;
  i.file.hash = *texts[6];
  j.items.push_back(std::move(i));
  return true;
}

bool DecodeAside(const std::vector<std::string_view>& f, Journal& j, Budget& budget) {
  const auto kind = Number(f[1]);
  auto folder = Unescape(f[2], budget), from = Unescape(f[3], budget), to = Unescape(f[4], budget);
  if (!KindOf(kind) || !folder || !from || !to) return false;
  JournalAside a{*KindOf(kind), *folder, *from, *to, {}};
  if (f.size() == 8) {
    const auto size = BigNumber(f[5]);
    auto head = Unescape(f[6], budget), hash = Unescape(f[7], budget);
    if (!size || !head || !hash) return false;
    a.file.size = *size;
    a.file.head = *head;
    a.file.hash = *hash;
  }
  j.asides.push_back(std::move(a));
  return true;
}

bool DecodeSweep(const std::vector<std::string_view>& f, Journal& j, Budget& budget) {
  auto path = Unescape(f[1], budget), hash = Unescape(f[4], budget);
  const auto size = BigNumber(f[2]), mtime = BigNumber(f[3]);
  if (!path || !hash || !size || !mtime) return false;
  JournalSweep sweep{*path, {}};
  sweep.file.size = *size;
  sweep.file.mtimeNs = *mtime;
  sweep.file.hash = *hash;
  j.sweeps.push_back(std::move(sweep));
  return true;
}

}  // namespace

std::optional<Journal> DecodeJournal(std::string_view bytes) {
  Journal j;
  Budget budget{bytes.size() * 16 + (1u << 20)};
  const bool v3 = bytes.substr(0, kMagic.size()) == kMagic;
  const auto lines = v3 ? Lines(bytes, kMagic, true) : Lines(bytes, kMagic2, false);
  if (!lines || lines->empty()) return std::nullopt;
  for (const std::string_view line : *lines) {
    const auto f = Split(line);
    bool ok = false;
    if (f[0] == "stage" && f.size() == 2) {
      ok = f[1] == "0" || f[1] == "1";
      j.removing = f[1] == "1";
    } else if (f[0] == "recovery" && f.size() == 1) {
      ok = j.recovery = true;
    } else if (f[0] == "table" && f.size() == 6) {
      ok = DecodeTable(f, j, budget);
    } else if (f[0] == "item" && f.size() == (v3 ? 16u : 15u)) {
      ok = DecodeItem(f, j, budget);
    } else if (f[0] == "aside" && f.size() == (v3 ? 8u : 5u)) {
      ok = DecodeAside(f, j, budget);
    } else if (f[0] == "sweep" && f.size() == 5) {
      ok = DecodeSweep(f, j, budget);
    }
    if (!ok) return std::nullopt;
  }
  return j;
}

// What a journal may name, checked before anything of it is believed: the
// tables are the handset's own, every card folder and name stays on the card,
// and nothing of the computer is ever named as the file of a record.
bool ConfinedToCard(const HandsetProfile& profile, const Journal& j, const fs::path& cardRoot) {
  const std::set<std::string> tables = HandsetTablePaths(profile);
  for (const JournalTable& t : j.tables)
    if (!tables.count(t.cardPath)) return false;
  const CardGuard card(cardRoot);
  auto onCard = [&](const std::string& folder, const std::string& name) {
    return NormalizeCardFolder(folder) && IsSafeCardFileName(name) && card.Resolve(folder, name);
  };
  for (const JournalItem& i : j.items) {
    if (i.queued && i.toDelete) continue;  // never copied: names only the computer's file
    if (!onCard(i.cardFolder, i.cardName)) return false;
    // A queued item's origin is the computer's: recovery never reads it.
    if (!i.queued && !onCard(i.sourceFolder, i.sourceName)) return false;
  }
  for (const JournalAside& a : j.asides)
    if (!onCard(a.folder, a.from) || !onCard(a.folder, a.to)) return false;
  for (const JournalSweep& s : j.sweeps) {
    const fs::path p = (cardRoot / s.path).lexically_normal();
    if (s.path.empty() || fs::path(s.path).is_absolute() || !card.Contains(p.parent_path())) return false;
  }
  return true;
}


std::vector<fs::path> SweepsOnCard(const Journal& journal, const fs::path& cardRoot, FileOps& ops) {
  // A name an item of the update stands on or is given is never swept: once
  // a sweep is done, the update may give its name to a file with the same
  // bytes (a copy made again from the same file).
  auto key = [](std::string folder, const std::string& name) {
    std::replace(folder.begin(), folder.end(), '\\', '/');
    while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return CardNameKey(folder + name);
  };
  std::set<std::string> itemNames;
  for (const JournalItem& i : journal.items) {
    itemNames.insert(key(i.cardFolder, i.cardName));
    itemNames.insert(key(i.cardFolder, i.cardName + kParkSuffix));
    if (!i.queued) itemNames.insert(key(i.sourceFolder, i.sourceName));
  }
  std::vector<fs::path> found;
  const CardGuard card(cardRoot);
  for (const JournalSweep& s : journal.sweeps) {
    const fs::path p = (cardRoot / s.path).lexically_normal();
    if (!s.path.empty() && !itemNames.count(CardNameKey(s.path)) && card.Contains(p.parent_path()) &&
        IsTheFile(ops, p, s.file, true))
      found.push_back(p);
  }
  return found;
}

bool Indistinct(const FileIdentity& a, const FileIdentity& b) {
  if (a.size < 0 || a.size != b.size) return false;
  if (!a.head.empty() && !b.head.empty() && a.head != b.head) return false;
  // Both whole fingerprints known: different files are told apart, and the
  // same bytes may stand for each other.
  return a.hash.empty() || b.hash.empty();
}

namespace {

// Where an item's file may be now: a card folder text and a name.
struct Place {
  std::string folder, name;
};

class Finder {
 public:
  Finder(const Journal& j, const fs::path& root, FileOps& ops) : journal_(j), card_(root), ops_(ops) {}

  std::optional<fs::path> Path(const Place& p) const { return card_.Resolve(p.folder, p.name); }

  // The place of a card file that is what the item's file was.
  std::optional<Place> Resident(const JournalItem& i) const {
    std::vector<Place> candidates = {{i.sourceFolder, i.sourceName},
                                     {i.cardFolder, i.cardName},
                                     {i.cardFolder, i.cardName + kParkSuffix}};
    for (const JournalAside& a : journal_.asides)
      if (a.kind == i.kind && SameCardName(a.from, i.sourceName)) candidates.push_back({a.folder, a.to});
    // A file the journal cannot tell from another file it names is not
    // placed on a guess.
    if (!Provable(i)) {
      unplaced_.push_back(i.cardName + " " + i.title);
      return std::nullopt;
    }
    for (const Place& c : candidates)
      if (const auto p = Path(c); p && IsTheFile(ops_, *p, i.file, false)) return c;
    return std::nullopt;
  }

  // Items whose file could not be told from another one.
  const std::vector<std::string>& Unplaced() const { return unplaced_; }

  // The file of a record of the old tables that no item of the update stands
  // for (a restore leaves the card's files the backup does not have out of
  // its lists, never moving them but aside): where the update moved it
  // aside, or where it was. Its size goes to size.
  std::optional<Place> Unlisted(MediaKind kind, const std::string& folder, const std::string& name,
                                std::int64_t& size) const {
    std::vector<Place> candidates;
    for (const JournalAside& a : journal_.asides)
      if (a.kind == kind && SameCardName(a.folder, folder) && SameCardName(a.from, name))
        candidates.push_back({a.folder, a.to});
    candidates.push_back({folder, name});
    // A name the update gave or took from one of its items holds that item's
    // file (or a file the update moved there), never this record's.
    // (An added file's name too, once its complete copy stands there.)
    auto items = [&](const Place& c) {
      return std::any_of(journal_.items.begin(), journal_.items.end(), [&](const JournalItem& i) {
        return i.kind == kind &&
               ((!i.queued && SameCardName(i.sourceFolder, c.folder) && SameCardName(i.sourceName, c.name)) ||
                (SameCardName(i.cardFolder, c.folder) &&
                 (SameCardName(i.cardName, c.name) || SameCardName(i.cardName + kParkSuffix, c.name)) &&
                 (!i.queued || Copied(i))));
      });
    };
    for (const Place& c : candidates) {
      if (items(c)) continue;
      const auto p = Path(c);
      const FileStat st = p ? ops_.Stat(*p) : FileStat{};
      if (!st.regular) continue;
      size = st.size;
      return c;
    }
    return std::nullopt;
  }

  // The complete copy of an added file under its final name.
  std::optional<Place> Copied(const JournalItem& i) const {
    const Place final{i.cardFolder, i.cardName};
    const auto p = Path(final);
    if (p && IsTheFile(ops_, *p, i.file, true)) return final;
    return std::nullopt;
  }

  // No other file the journal names (another record's, one moved aside)
  // could pass for the item's own.
  bool Provable(const JournalItem& i) const {
    for (const JournalItem& o : journal_.items)
      if (&o != &i && !o.queued && Indistinct(i.file, o.file) &&
          !(SameCardName(o.sourceFolder, i.sourceFolder) && SameCardName(o.sourceName, i.sourceName)))
        return false;
    for (const JournalAside& a : journal_.asides)
      if (Indistinct(i.file, a.file)) return false;
    return true;
  }

  // Where the file is now of the record whose file an added item was to be
  // copied from, once that file had its final name (two records naming one
  // file: the second gets a copy of its own).
  std::optional<Place> Keeper(const JournalItem& i) const {
    const fs::path from = fs::path(i.sourceFolder) / i.sourceName;
    for (const JournalItem& k : journal_.items) {
      if (k.queued || k.toDelete || k.kind != i.kind) continue;
      const auto place = Path({k.cardFolder, k.cardName});
      if (place && place->lexically_normal() == from.lexically_normal()) return Resident(k);
    }
    return std::nullopt;
  }

  // The copies an update made: they go when the update is undone, and a
  // partial one goes in any case.
  void Leftovers(const JournalItem& i, bool withFinal, std::vector<fs::path>& out) const {
    if (const auto p = Path({i.cardFolder, i.cardName + kCopySuffix}); p && ops_.Stat(*p).regular)
      out.push_back(*p);
    if (withFinal)
      if (const auto c = Copied(i)) out.push_back(*Path(*c));
  }

 private:
  const Journal& journal_;
  CardGuard card_;
  FileOps& ops_;
  mutable std::vector<std::string> unplaced_;
};

// An item at the end of its list, its file where it is now; one marked for
// deletion keeps its name until its file goes.
void AddEntry(MediaCatalogue& c, const Place& now, const std::string& cardFolder, const std::string& cardName,
              const std::string& date, const std::string& title, std::int64_t size, bool toDelete = false) {
  MediaEntry entry;
  entry.sourceFolder = now.folder;
  entry.sourceName = now.name;
  entry.cardFolder = toDelete ? now.folder : cardFolder;
  entry.cardName = toDelete ? now.name : cardName;
  entry.dateText = date;
  entry.title = title;
  entry.size = size;
  c.Append(std::move(entry));
  if (toDelete) c.MarkDeleted(c.LiveCount());
}

std::vector<const JournalItem*> ItemsOf(const Journal& journal, MediaKind kind) {
  std::vector<const JournalItem*> items;
  for (const JournalItem& i : journal.items)
    if (i.kind == kind) items.push_back(&i);
  std::stable_sort(items.begin(), items.end(),
                   [](const JournalItem* a, const JournalItem* b) { return a->position < b->position; });
  return items;
}

// The lists the interrupted commit was writing.
int FinishKind(const Journal& journal, MediaKind kind, const Finder& find,
               MediaCatalogue& c, std::vector<fs::path>& leftovers) {
  int dropped = 0;
  std::vector<std::pair<const JournalItem*, Place>> deleted;
  for (const JournalItem* i : ItemsOf(journal, kind)) {
    if (c.Full()) break;
    if (i->queued) {
      find.Leftovers(*i, false, leftovers);
      if (i->toDelete) continue;  // never copied
      // (A copy not complete on the card is left out: the journal's word is
      // never a reason to read a file of the computer.)
      if (const auto copied = find.Copied(*i)) {
        AddEntry(c, *copied, i->cardFolder, i->cardName, i->dateText, i->title, i->size);
      } else if (const auto shared = find.Keeper(*i)) {
        // The second record of a shared file whose own copy was not made:
        // it names the file of the record that keeps it, wherever that is.
        AddEntry(c, *shared, i->cardFolder, i->cardName, i->dateText, i->title, i->size);
      } else {
        ++dropped;
      }
      continue;
    }
    const auto now = find.Resident(*i);
    if (i->toDelete) {
      if (now) deleted.push_back({i, *now});
    } else if (now) {
      AddEntry(c, *now, i->cardFolder, i->cardName, i->dateText, i->title, i->size);
    } else {
      ++dropped;
    }
  }
  for (const auto& [i, now] : deleted)
    if (!c.Full()) AddEntry(c, now, "", "", i->dateText, i->title, i->size, true);
  return dropped;
}

// The lists as they were before the interrupted commit: its old tables, each
// record with its file found by what it is.
int RevertKind(const HandsetProfile& profile, const Journal& journal, MediaKind kind, const Finder& find,
               MediaCatalogue& c, std::vector<fs::path>& leftovers, std::vector<Place>& unlistedAsides) {
  int dropped = 0;
  const auto items = ItemsOf(journal, kind);
  for (const JournalItem* i : items)
    if (i->queued) find.Leftovers(*i, true, leftovers);
  std::vector<const JournalTable*> tables;
  for (const JournalTable& t : journal.tables)
    if (t.kind == kind && t.existed) tables.push_back(&t);
  std::sort(tables.begin(), tables.end(),
            [](const JournalTable* a, const JournalTable* b) { return a->cardPath < b->cardPath; });
  std::vector<bool> taken(items.size(), false);
  for (const JournalTable* t : tables) {
    const TableContents contents = ParseTable(t->oldBytes);
    const auto folder = NormalizeCardFolder(contents.folderText);
    for (const TableRecord& r : contents.records) {
      if (c.Full() || !folder) break;
      // The item the commit knew this record as.
      // (Two records naming one file are two items with one origin; a
      // record's file may have waited under its parked name.)
      size_t k = items.size();
      for (int pass = 0; pass < 2 && k == items.size(); ++pass)
        for (k = 0; k < items.size(); ++k)
          if ((pass == 1 || !taken[k]) && !items[k]->queued && !items[k]->sourceFolder.empty() &&
              items[k]->sourceFolder[0] == '\\' &&
              (SameCardName(items[k]->sourceName, r.FileName()) ||
               SameCardName(items[k]->sourceName, r.FileName() + kParkSuffix)) &&
              SameCardName(items[k]->sourceFolder, *folder))
            break;
      if (k == items.size()) {
        std::int64_t size = 0;
        if (const auto place = find.Unlisted(kind, *folder, r.FileName(), size)) {
          // Moved aside: the undoing moves it back as the record's file.
          if (!SameCardName(place->name, r.FileName())) unlistedAsides.push_back(*place);
          AddEntry(c, *place, *folder, r.FileName(), r.dateText, r.title, size);
        } else {
          ++dropped;
        }
        continue;
      }
      auto now = find.Resident(*items[k]);
      // A file two records named before the update is where the commit took
      // it for either of them.
      for (size_t o = 0; !now && k < items.size() && o < items.size(); ++o)
        if (o != k && !items[o]->queued && SameCardName(items[o]->sourceName, items[k]->sourceName) &&
            SameCardName(items[o]->sourceFolder, items[k]->sourceFolder))
          now = find.Resident(*items[o]);
      if (!now) {
        ++dropped;
        continue;
      }
      taken[k] = true;
      AddEntry(c, *now, *folder, r.FileName(), r.dateText, r.title, items[k]->size);
    }
  }
  (void)profile;
  return dropped;
}

}  // namespace

int LoadKindFromJournal(const HandsetProfile& profile, const Journal& journal, MediaKind kind,
                        const fs::path& cardRoot, FileOps& ops, Recovery recovery, MediaCatalogue& catalogue,
                        std::vector<fs::path>& leftovers, std::vector<std::pair<fs::path, fs::path>>* putBack,
                        std::vector<std::string>* unplaced) {
  catalogue.Clear();
  const Finder find(journal, cardRoot, ops);
  auto placed = [&](int dropped) {
    if (unplaced) unplaced->insert(unplaced->end(), find.Unplaced().begin(), find.Unplaced().end());
    return dropped;
  };
  if (recovery == Recovery::Finish) return placed(FinishKind(journal, kind, find, catalogue, leftovers));
  std::vector<Place> unlistedAsides;
  const int dropped = RevertKind(profile, journal, kind, find, catalogue, leftovers, unlistedAsides);
  if (putBack) {
    for (const JournalAside& a : journal.asides) {
      if (a.kind != kind) continue;
      const bool itemsFile = std::any_of(journal.items.begin(), journal.items.end(), [&](const JournalItem& i) {
        return i.kind == kind && !i.queued && SameCardName(i.sourceName, a.from) &&
               SameCardName(i.sourceFolder, a.folder);
      });
      const auto from = find.Path({a.folder, a.to}), to = find.Path({a.folder, a.from});
      // (Its name may still be held by a file the undoing gives back its own.)
      const bool recordsFile = std::any_of(unlistedAsides.begin(), unlistedAsides.end(), [&](const Place& p) {
        return SameCardName(p.folder, a.folder) && SameCardName(p.name, a.to);
      });
      if (!itemsFile && !recordsFile && from && to && ops.Stat(*from).exists)
        putBack->emplace_back(*from, *to);
    }
  }
  return placed(dropped);
}

}  // namespace fenmora::v3
