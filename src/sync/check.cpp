#include "sync/check.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "catalogue/table.h"
#include "platform/cardname.h"
#include "platform/cardpath.h"
#include "sync/card_lock.h"
#include "sync/recovery.h"
#include "sync/load.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

using FileId = std::pair<dev_t, ino_t>;

// A regular file (links followed) and its identity. The path must already be
// known to stay on the card.
std::optional<FileId> RegularFileId(const fs::path& p) {
  struct stat st;
  if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

bool ReadTable(const fs::path& p, std::string& bytes, std::string& why) {
  const OpResult r = RealFileOps().ReadPrefix(p, kMaxTableBytes, bytes);
  if (!r) why = r.error;
  return r.ok;
}

// The group folder number named by a subfolder of a kind's content folder
// ("SUD001", "RUD012", "PRL00A"; letters in any case), or -1.
int GroupFolderNumber(MediaKind kind, const std::string& name) {
  const std::string prefix = HandsetProfile::TablePrefix(kind);
  if (name.size() != prefix.size() + 3) return -1;
  const std::string upper = AsciiUpper(name);
  if (upper.compare(0, prefix.size(), prefix) != 0) return -1;
  const int n = HandsetProfile::ParseNumeral(kind, std::string_view(upper).substr(prefix.size()));
  return n >= 1 ? n : -1;
}

std::vector<fs::path> SortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool IsFolderNoLink(const fs::path& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct TableState {
  fs::path path;
  int number = 0;
  int records = 0;
  int existing = 0;
  std::vector<CheckFinding> missing;  // reported unless the table is left behind
};

class Checker {
 public:
  Checker(const HandsetProfile& profile, const fs::path& root, CheckReport& report)
      : profile_(profile), root_(root), report_(report) {}

  void Kind(MediaKind kind) {
    kind_ = kind;
    listed_.clear();
    parkedListed_.clear();
    Tables();
    ContentFolders();
  }

 private:
  void Add(CheckFinding::Type type, const fs::path& path, std::string detail = {},
           const fs::path& table = {}) {
    CheckFinding f;
    f.type = type;
    f.kind = kind_;
    f.path = path;
    f.table = table;
    f.detail = std::move(detail);
    report_.findings.push_back(std::move(f));
  }

  void Tables() {
    std::vector<TableState> tables;
    for (const FoundTable& found : FindTableFiles(profile_, kind_, root_)) {
      if (!IsInside(root_, found.path)) {
        Add(CheckFinding::Type::UnreadableTable, found.path, "leads outside the card");
        continue;
      }
      std::string bytes, why;
      if (!ReadTable(found.path, bytes, why)) {
        Add(CheckFinding::Type::UnreadableTable, found.path, why);
        continue;
      }
      TableState t;
      t.path = found.path;
      t.number = found.number;
      Records(ParseTable(bytes), t);
      tables.push_back(std::move(t));
    }

    // The commit writes a kind's tables from the first number on without a
    // gap, every one of them full but the last.
    int expected = HandsetProfile::FirstTableNumber(kind_);
    bool chainBroken = false;
    for (size_t i = 0; i < tables.size(); ++i) {
      TableState& t = tables[i];
      const bool first = t.number == HandsetProfile::FirstTableNumber(kind_);
      std::string why;
      if (!first) {
        if (t.number != expected) why = "a table number before it is missing";
        else if (chainBroken) why = "an earlier table holds fewer than 64 records";
        else if (t.existing == 0)
          why = t.records == 0 ? "it holds no records"
                               : "none of its " + std::to_string(t.records) + " records names an existing file";
      }
      if (!why.empty()) {
        Add(CheckFinding::Type::StaleTable, t.path, why);
        report_.findings.back().information = t.existing == 0;
      } else {
        for (CheckFinding& f : t.missing) report_.findings.push_back(std::move(f));
      }
      if (t.records < kItemsPerTable) chainBroken = true;
      expected = t.number + 1;
    }
  }

  void Records(const TableContents& contents, TableState& t) {
    t.records = static_cast<int>(contents.records.size());
    if (contents.records.empty()) return;
    const auto folderText = NormalizeCardFolder(contents.folderText);
    const auto folder = folderText ? ResolveCardPath(root_, *folderText) : std::nullopt;
    if (!folder) {
      Add(CheckFinding::Type::BadRecord, t.path,
          "its folder " + contents.folderText + " leads outside the card", t.path);
      return;
    }
    for (const TableRecord& record : contents.records) {
      const std::string name = record.FileName();
      const auto file = ResolveCardPath(root_, *folderText, name);
      if (!file) {
        Add(CheckFinding::Type::BadRecord, *folder, "record " + name + " leads outside the card", t.path);
        continue;
      }
      // The file as the folder names it: on the card's FAT the record finds
      // it whatever the case of its letters.
      const std::string actual = NameInFolder(*folder, name);
      if (actual != name) {
        const auto found = ResolveCardPath(root_, *folderText, actual);
        if (found && RegularFileId(*found)) {
          Add(CheckFinding::Type::CaseOnlyName, *found, "the record in " + t.path.filename().string() +
                                                            " names it " + name);
          Listed(*found, record, t);
          continue;
        }
      }
      if (RegularFileId(*file)) {
        Listed(*file, record, t);
        continue;
      }
      fs::path parked = *file;
      parked += kParkSuffix;
      if (const auto id = IsInside(root_, parked) ? RegularFileId(parked) : std::nullopt) {
        parkedListed_.insert(*id);
        ++t.existing;
        continue;
      }
      CheckFinding f;
      f.type = CheckFinding::Type::MissingFile;
      f.kind = kind_;
      f.path = *file;
      f.table = t.path;
      t.missing.push_back(std::move(f));
    }
  }

  // A record's file that exists: listed, and its size compared with the
  // record's.
  void Listed(const fs::path& file, const TableRecord& record, TableState& t) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) return;
    listed_.insert({st.st_dev, st.st_ino});
    ++t.existing;
    if (static_cast<std::uint64_t>(st.st_size) != record.size)
      Add(CheckFinding::Type::SizeMismatch, file,
          "the record in " + t.path.filename().string() + " says " + std::to_string(record.size) +
              " bytes, the file holds " + std::to_string(st.st_size));
  }

  // The name of the entry of folder that is `name` without regard to case:
  // `name` itself when it is there, or when nothing is.
  std::string NameInFolder(const fs::path& folder, const std::string& name) {
    auto at = listings_.find(folder);
    if (at == listings_.end()) {
      std::vector<std::string> names;
      for (const fs::path& p : SortedEntries(folder)) names.push_back(p.filename().string());
      at = listings_.emplace(folder, std::move(names)).first;
    }
    const std::vector<std::string>& names = at->second;
    if (std::find(names.begin(), names.end(), name) != names.end()) return name;
    for (const std::string& n : names)
      if (SameCardName(n, name)) return n;
    return name;
  }

  void ContentFolders() {
    const std::string& contentFolder = profile_.Kind(kind_).contentFolder;
    const auto base = ResolveCardPath(root_, contentFolder);
    if (!base || !IsFolderNoLink(*base)) return;
    // Movies lie only in the group folders (PRL001, ...), never in SD_VIDEO itself.
    if (kind_ != MediaKind::Movie) Files(*base);
    for (const fs::path& sub : SortedEntries(*base)) {
      const std::string name = sub.filename().string();
      if (GroupFolderNumber(kind_, name) < 0) continue;
      const auto folder = ResolveCardPath(root_, contentFolder + name);
      if (folder && IsFolderNoLink(*folder)) Files(*folder);
    }
  }

  void Files(const fs::path& folder) {
    std::map<std::string, std::string> byKey;  // the first name of each case-blind name
    for (const fs::path& p : SortedEntries(folder)) {
      struct stat st;
      if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
      const std::string name = p.filename().string();
      if (const auto [first, fresh] = byKey.emplace(CardNameKey(name), name); !fresh)
        Add(CheckFinding::Type::CaseOnlyName, p,
            "differs from " + first->second + " only in case: on the card they are one file");
      // A link leading off the card is never followed, and no record can
      // list it.
      std::optional<FileId> id;
      if (!S_ISLNK(st.st_mode) || IsInside(root_, p)) id = RegularFileId(p);
      if (name.ends_with(kParkSuffix)) {
        Add(CheckFinding::Type::ParkedFile, p,
            id && parkedListed_.count(*id) ? "the next commit gives it its name"
                                           : "no table lists it");
        continue;
      }
      if (IsScratchCopyName(name)) {
        Add(CheckFinding::Type::ScratchFile, p, "a copy an interrupted commit left: finishing or undoing that commit removes it");
        continue;
      }
      if (!id || !listed_.count(*id))
        Add(CheckFinding::Type::UnlistedFile, p,
            name.find(kAsideSuffix) != std::string::npos ? "a commit moved it out of the way of a name it needed"
                                                          : "");
    }
  }

  const HandsetProfile& profile_;
  const fs::path& root_;
  CheckReport& report_;
  MediaKind kind_ = MediaKind::Image;
  std::set<FileId> listed_;
  std::set<FileId> parkedListed_;  // parked files a record waits for
  std::map<fs::path, std::vector<std::string>> listings_;  // folders of records, listed once
};

// Scratch files of a commit: "*.TBL.tmp" in the kinds' table folders, and
// at the root the header scratch and the journal's scratch. (Copies under
// their scratch name are told where their folder is listed.)
void ScratchFiles(const HandsetProfile& profile, const fs::path& root, CheckReport& report) {
  RealFileOps ops;
  for (const fs::path& p : CommitScratchFiles(profile, root, ops)) {
    const std::string name = p.filename().string();
    if (IsScratchCopyName(name)) continue;
    CheckFinding f;
    f.type = CheckFinding::Type::ScratchFile;
    f.path = p;
    f.detail = SameCardName(name, std::string(kJournalName) + kWriteSuffix) ? "the scratch of a commit journal"
               : SameCardName(name, kOldHeaderScratch)                ? "the scratch of a table header"
                                                                      : "a table written beside its place and never renamed";
    report.findings.push_back(std::move(f));
  }
}

std::string Shown(const fs::path& p, const fs::path& root) {
  const fs::path rel = p.lexically_relative(root);
  const std::string text =
      rel.empty() || rel.native().rfind("..", 0) == 0 ? p.string() : rel.generic_string();
  return text;
}

std::string NoControls(std::string s) {
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return s;
}

// An interrupted update, reported first, explains the names it had not given
// yet: a record waiting for its file, a file waiting under a "_" name.
void ForgiveTheUpdate(const CardJournal& found, const fs::path& cardRoot, CheckReport& report) {
  std::set<fs::path> finals, parked;
  if (found.journal) {
    for (const JournalStep& s : found.journal->steps) {
      if (s.dest.empty() || fs::path(s.dest).is_absolute()) continue;
      const fs::path p = (cardRoot / s.dest).lexically_normal();
      finals.insert(p);
      if (s.dest.size() > 1 && s.dest.back() == kParkSuffix[0]) parked.insert(p);
    }
  }
  if (found.legacy) {
    for (const v3::JournalItem& i : found.legacy->items) {
      if (i.toDelete) continue;
      if (const auto p = ResolveCardPath(cardRoot, i.cardFolder, i.cardName)) finals.insert(*p);
      if (const auto p = ResolveCardPath(cardRoot, i.cardFolder, i.cardName + kParkSuffix)) parked.insert(*p);
    }
  }
  auto& f = report.findings;
  f.erase(std::remove_if(f.begin(), f.end(),
                         [&](const CheckFinding& x) {
                           return x.type == CheckFinding::Type::MissingFile && finals.count(x.path.lexically_normal());
                         }),
          f.end());
  for (CheckFinding& x : f)
    if (x.type == CheckFinding::Type::ParkedFile && parked.count(x.path.lexically_normal()))
      x.detail = "finishing the update gives it its name";
}

}  // namespace

CheckReport CheckCard(const HandsetProfile& profile, const fs::path& cardRoot) {
  CheckReport report;
  const fs::path journal = cardRoot / kJournalName;
  RealFileOps ops;
  if (ops.Exists(journal)) {
    CheckFinding f;
    f.type = CheckFinding::Type::InterruptedCommit;
    f.path = journal;
    const CardJournal found = InspectCardJournal(profile, cardRoot, ops);
    const auto holder = LiveLockHolder(cardRoot);
    const bool removing = found.journal ? ReadJournalState(*found.journal, cardRoot, ops).removing
                                        : found.legacy && found.legacy->removing;
    const bool chosen = found.journal ? found.journal->mode != Journal::Mode::Update
                                      : found.legacy && found.legacy->recovery;
    f.detail = holder ? "another program is writing the card now (" + holder->host + ", process " +
                            std::to_string(holder->pid) + "): this is its journal, or that of an update it "
                            "left interrupted" + (holder->OtherHost() ? "; if that program is surely not running, "
                            "remove " + (cardRoot / kLockName).string() : std::string())
               : found.state == CardJournal::State::Stale
                   ? "stale: it fits none of the tables on the card (an older backup copied back, or the card "
                     "edited elsewhere); it is never acted on, and the next commit sets it aside"
               : found.state == CardJournal::State::Damaged
                   ? "damaged or cut short: it is never acted on, and the next commit sets it aside"
               : removing ? "an update stopped while removing files: fenmora-cli finish CARD finishes it"
               : chosen ? "the finishing or undoing of an earlier update stopped half way: "
                               "fenmora-cli finish CARD finishes it"
                             : "an update stopped half way: fenmora-cli finish CARD finishes it, "
                               "fenmora-cli revert CARD returns the card to its state before it";
    report.findings.push_back(std::move(f));
  }
  ScratchFiles(profile, cardRoot, report);
  Checker checker(profile, cardRoot, report);
  for (MediaKind kind : kListKinds)
    if (profile.Supported(kind)) checker.Kind(kind);
  if (const CardJournal found = InspectCardJournal(profile, cardRoot, ops); found.Interrupted())
    ForgiveTheUpdate(found, cardRoot, report);
  return report;
}

std::string DescribeFinding(const CheckFinding& f, const fs::path& cardRoot) {
  const std::string path = Shown(f.path, cardRoot);
  // Most findings read "<what>: <path> (<detail>)".
  const char* what = nullptr;
  std::string line;
  switch (f.type) {
    case CheckFinding::Type::MissingFile:
      line = "missing file: " + path + " (listed in " + Shown(f.table, cardRoot) + ")";
      break;
    case CheckFinding::Type::UnlistedFile:
      line = "unlisted file: " + path + " (no table lists it" + (f.detail.empty() ? "" : "; " + f.detail) + ")";
      break;
    case CheckFinding::Type::BadRecord:
      line = "unusable record in " + Shown(f.table, cardRoot) + ": " + f.detail;
      break;
    case CheckFinding::Type::StaleTable: what = "left-behind table"; break;
    case CheckFinding::Type::ParkedFile: what = "left by an interrupted commit"; break;
    case CheckFinding::Type::InterruptedCommit: what = "interrupted commit"; break;
    case CheckFinding::Type::UnreadableTable: what = "unreadable table"; break;
    case CheckFinding::Type::SizeMismatch: what = "size differs from its record"; break;
    case CheckFinding::Type::CaseOnlyName: what = "name differs only in case"; break;
    case CheckFinding::Type::ScratchFile: what = "scratch file"; break;
  }
  if (what) line = std::string(what) + ": " + path + " (" + f.detail + ")";
  if (f.information) line = "information: " + line;
  return NoControls(std::move(line));
}

}  // namespace fenmora
