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
#include "sync/texts.h"
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
        Add(CheckFinding::Type::UnreadableTable, found.path, texts::kCheckLeadsOutside);
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
        if (t.number != expected) why = texts::kCheckNumberMissing;
        else if (chainBroken) why = texts::kCheckChainBroken;
        else if (t.existing == 0)
          why = t.records == 0 ? std::string(texts::kCheckNoRecords)
                               : Fill(texts::kCheckNoExistingFile, {std::to_string(t.records)});
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
          Fill(texts::kCheckFolderOutside, {contents.folderText}), t.path);
      return;
    }
    for (const TableRecord& record : contents.records) {
      const std::string name = record.FileName();
      const auto file = ResolveCardPath(root_, *folderText, name);
      if (!file) {
        Add(CheckFinding::Type::BadRecord, *folder, Fill(texts::kCheckRecordOutside, {name}), t.path);
        continue;
      }
      // The file as the folder names it: on the card's FAT the record finds
      // it whatever the case of its letters.
      const std::string actual = NameInFolder(*folder, name);
      if (actual != name) {
        const auto found = ResolveCardPath(root_, *folderText, actual);
        if (found && RegularFileId(*found)) {
          Add(CheckFinding::Type::CaseOnlyName, *found, Fill(texts::kCheckNamedOtherCase, {t.path.filename().string(), name}));
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
          Fill(texts::kCheckSizeDiffers, {t.path.filename().string(), std::to_string(record.size),
                                            std::to_string(st.st_size)}));
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
            Fill(texts::kCheckOnlyCase, {first->second}));
      // A link leading off the card is never followed, and no record can
      // list it.
      std::optional<FileId> id;
      if (!S_ISLNK(st.st_mode) || IsInside(root_, p)) id = RegularFileId(p);
      if (name.ends_with(kParkSuffix)) {
        Add(CheckFinding::Type::ParkedFile, p,
            id && parkedListed_.count(*id) ? texts::kCheckParkedNamed : texts::kCheckNoTableLists);
        continue;
      }
      if (IsScratchCopyName(name)) {
        Add(CheckFinding::Type::ScratchFile, p, texts::kCheckScratchCopy);
        continue;
      }
      if (!id || !listed_.count(*id))
        Add(CheckFinding::Type::UnlistedFile, p,
            name.find(kAsideSuffix) != std::string::npos ? texts::kCheckMovedAside : "");
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
    f.detail = SameCardName(name, std::string(kJournalName) + kWriteSuffix) ? texts::kCheckJournalScratch
               : SameCardName(name, kOldHeaderScratch)                ? texts::kCheckHeaderScratch
                                                                      : texts::kCheckTableScratch;
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
      x.detail = texts::kCheckFinishNames;
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
    f.detail = holder ? Fill(texts::kCheckOtherWriter, {holder->host, std::to_string(holder->pid)}) +
                            (holder->OtherHost() ? Fill(texts::kCheckRemoveIfSure, {(cardRoot / kLockName).string()})
                                                 : std::string())
               : found.state == CardJournal::State::Stale   ? texts::kCheckStaleJournal
               : found.state == CardJournal::State::Damaged ? texts::kCheckDamagedJournal
               : removing                                   ? texts::kCheckStoppedRemoving
               : chosen                                     ? texts::kCheckRecoveryStopped
                                                            : texts::kCheckUpdateStopped;
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
      line = Fill(texts::kFindingMissing, {path, Shown(f.table, cardRoot)});
      break;
    case CheckFinding::Type::UnlistedFile:
      line = Fill(texts::kFindingUnlisted,
                  {path, f.detail.empty() ? std::string() : texts::kFindingDetailJoin + f.detail});
      break;
    case CheckFinding::Type::BadRecord:
      line = Fill(texts::kFindingBadRecord, {Shown(f.table, cardRoot), f.detail});
      break;
    case CheckFinding::Type::StaleTable: what = texts::kFindingStaleTable; break;
    case CheckFinding::Type::ParkedFile: what = texts::kFindingParked; break;
    case CheckFinding::Type::InterruptedCommit: what = texts::kFindingInterrupted; break;
    case CheckFinding::Type::UnreadableTable: what = texts::kFindingUnreadable; break;
    case CheckFinding::Type::SizeMismatch: what = texts::kFindingSize; break;
    case CheckFinding::Type::CaseOnlyName: what = texts::kFindingCase; break;
    case CheckFinding::Type::ScratchFile: what = texts::kFindingScratch; break;
  }
  if (what) line = Fill(texts::kFindingLine, {what, path, f.detail});
  if (f.information) line = texts::kFindingInformation + line;
  return NoControls(std::move(line));
}

}  // namespace fenmora
