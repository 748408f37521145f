#include "sync/commit.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include <unistd.h>

#include "platform/cardname.h"
#include "platform/drives.h"
#include "platform/cardpath.h"
#include "sync/card_lock.h"
#include "sync/load.h"
#include "sync/recovery.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

// The file name in a table's card path ("SUD000.TBL").
std::string FileOfTable(const std::string& tablePath) { return tablePath.substr(tablePath.rfind('\\') + 1); }

// A folder text as FAT compares it: normalized, ASCII case folded.
std::string FolderTextKey(const std::string& folderText) {
  return CardNameKey(NormalizeCardFolder(folderText).value_or(folderText));
}

// A file of the card as FAT tells files apart.
struct Key {
  std::string folder, name;
  bool operator<(const Key& o) const { return std::tie(folder, name) < std::tie(o.folder, o.name); }
  bool operator==(const Key& o) const { return folder == o.folder && name == o.name; }
};

// A card folder as it is: its place and the names in it, by their key.
struct Folder {
  std::string text;  // the folder text it was first named by
  std::optional<fs::path> path;
  std::map<std::string, std::string> names;  // key -> the name as it is spelt
};

// A file that changes its name or folder.
struct Move {
  Key from, to;
  fs::path src, dest;
  int file = -1;  // its file in the journal
};

// Plans the steps in the order that keeps the journal's invariants
// (journal.h): folders and copies under scratch names first, then every name
// and table, then the removals. Each kind is planned on its own; the steps
// of all kinds are put in that order at the end.
class Planner {
 public:
  Planner(const CardSession& session, FileOps& ops, CommitPlan& plan)
      : session_(session), ops_(ops), plan_(plan), card_(session.cardRoot) {}

  void Kind(MediaKind kind) {
    kind_ = kind;
    const MediaCatalogue& cat = session_.Catalogue(kind);
    const std::vector<TableFile> tables =
        LayoutTables(session_.profile, kind, cat, &plan_.folders[static_cast<size_t>(KindIndex(kind))]);

    Tables(tables);
    if (kind == MediaKind::Image) Leftovers();
    Entries(cat);
    ClearTargets();
    status_ = texts::Of(texts::kRenameStatus, kind);
    OrderRenames();
    // Each copy takes its name once every copy is on the card.
    status_ = texts::Of(texts::kCopyStatus, kind);
    for (const CommitStep& c : copiesOfKind_) {
      CommitStep& place = Add(names_, CommitStep::Action::PlaceCopy);
      place.src = c.dest;
      place.dest = c.dest.parent_path() / c.dest.stem();
      place.file = c.file;
    }
    copies_.insert(copies_.end(), copiesOfKind_.begin(), copiesOfKind_.end());
    copiesOfKind_.clear();
    names_.insert(names_.end(), tablesOfKind_.begin(), tablesOfKind_.end());
    tablesOfKind_.clear();
  }

  // The steps in their order: folders, copies, names and tables, then the
  // files of deleted items, removed once everything else is on the card;
  // then the files no table lists that an update of the old journal format
  // being undone had moved aside go back to their names, which nothing holds
  // any more.
  void Finish() {
    for (auto* part : {&makeFolders_, &sweeps_, &copies_, &names_}) plan_.steps.insert(plan_.steps.end(), part->begin(), part->end());
    for (const auto& [kind, p, file] : removals_) {
      kind_ = kind;
      status_ = texts::Of(texts::kDeleteStatus, kind);
      CommitStep& s = Add(plan_.steps, CommitStep::Action::Remove);
      s.src = p;
      s.file = file;
    }
    status_ = texts::kFolderStatus;
    for (const auto& [from, to] : session_.putBack) {
      if (!card_.Contains(from.parent_path()) || !card_.Contains(to.parent_path())) continue;
      // A name the undoing gives a listed file again (the same name in
      // another case on FAT) stays that file's: the kept file keeps its
      // kept name.
      if (TakenByPlan(to)) continue;
      CommitStep& s = Add(plan_.steps, CommitStep::Action::MoveAside);
      s.src = from;
      s.dest = to;
      s.file = NewFile(from, from.filename().string(), ops_.Stat(from).size);
    }
  }

 private:
  CommitStep& Add(std::vector<CommitStep>& to, CommitStep::Action action) {
    CommitStep s;
    s.kind = kind_;
    s.status = status_;
    s.action = action;
    to.push_back(std::move(s));
    return to.back();
  }

  // A file the journal names: where it is now, how messages name it, its size.
  int NewFile(const fs::path& source, std::string label, std::int64_t size) {
    JournalFile f;
    f.id.size = size;
    f.label = std::move(label);
    plan_.journal.files.push_back(std::move(f));
    plan_.fileSources.push_back(source);
    return static_cast<int>(plan_.journal.files.size()) - 1;
  }

  // The journal's file for a card file, one per file however many records
  // name it.
  int FileOf(const Key& k, const fs::path& path, const std::string& label, std::int64_t size = -1) {
    const auto known = fileOfKey_.find(k);
    if (known != fileOfKey_.end()) return known->second;
    const int f = NewFile(path, label, size >= 0 ? size : ops_.Stat(path).size);
    fileOfKey_.emplace(k, f);
    return f;
  }

  // Two folder texts name one folder when the file system says so ("\STILL"
  // and "\still" on FAT); a folder not made yet is known by its text.
  const std::string& FolderKey(const std::string& folderText) {
    // (Items come folder by folder: the last folder asked for is the likely one.)
    if (lastKey_ && lastKey_->first == folderText) return lastKey_->second;
    auto known = folderKeys_.find(folderText);
    if (known != folderKeys_.end()) {
      lastKey_ = &*known;
      return known->second;
    }
    std::string key = "new " + FolderTextKey(folderText);
    if (const auto& path = resolved_[folderText] = card_.Resolve(folderText)) {
      const FileStat st = ops_.Stat(*path / ".");
      if (st.folder) key = std::to_string(st.device) + ":" + std::to_string(st.inode);
    }
    lastKey_ = &*folderKeys_.emplace(folderText, key).first;
    return lastKey_->second;
  }

  Folder& FolderOf(const std::string& folderText) {
    const std::string& key = FolderKey(folderText);
    if (lastFolder_ && lastFolder_->first == key) return lastFolder_->second;
    auto known = folders_.find(key);
    if (known != folders_.end()) {
      lastFolder_ = &*known;
      return known->second;
    }
    Folder& f = folders_[key];
    f.text = folderText;
    const auto resolved = resolved_.find(folderText);
    f.path = resolved != resolved_.end() ? resolved->second : card_.Resolve(folderText);
    std::vector<std::string> names;
    if (f.path && ops_.Stat(*f.path).folder && ops_.ListFolder(*f.path, names))
      for (std::string& n : names) f.names.emplace(CardNameKey(n), std::move(n));
    return f;
  }

  // A leftover of an interrupted update is removed before anything is
  // renamed: its name is free for the renames.
  bool Occupied(const Key& k) {
    Folder& f = folders_[k.folder];
    const auto n = f.names.find(k.name);
    return n != f.names.end() && !(f.path && leftovers_.count((*f.path / n->second).lexically_normal()));
  }
  bool TakenByPlan(const fs::path& p) {
    for (const auto& [key, f] : folders_)
      if (f.path && f.path->lexically_normal() == p.parent_path().lexically_normal())
        return f.names.count(CardNameKey(p.filename().string())) > 0;
    return false;
  }
  void Take(const Key& k, const std::string& name) { folders_[k.folder].names[k.name] = name; }
  void Free(const Key& k) { folders_[k.folder].names.erase(k.name); }

  // The host path of a name in a card folder, or nullopt (reported) when it
  // would lead outside the card.
  std::optional<fs::path> PathOf(const std::string& folderText, const std::string& name,
                                 bool writtenThrough = false) {
    std::optional<fs::path> p;
    if (IsSafeCardFileName(name))
      if (const Folder& f = FolderOf(folderText); f.path) p = *f.path / name;
    if (p && writtenThrough && !card_.Contains(*p)) p.reset();
    if (!p) plan_.refused.push_back(folderText + name);
    return p;
  }

  Key KeyOf(const std::string& folderText, const std::string& name) {
    FolderOf(folderText);
    return {FolderKey(folderText), CardNameKey(name)};
  }

  void MakeFolderIfMissing(const std::string& folderText) {
    const Folder& f = FolderOf(folderText);
    if (!f.path) {
      plan_.refused.push_back(folderText);
      return;
    }
    if (ops_.Stat(*f.path).exists || !madeFolders_.insert(*f.path).second) return;
    status_ = texts::kFolderStatus;
    Add(makeFolders_, CommitStep::Action::MakeFolder).dest = *f.path;
  }

  void Tables(const std::vector<TableFile>& tables) {
    MakeFolderIfMissing(session_.profile.TableFolderText(kind_));
    for (const TableFile& t : tables) {
      if (t.recordCount > 0) MakeFolderIfMissing(t.cardFolder);
      // The table is written beside its place and renamed over it, so a link
      // in its place is replaced, never written through; its folder must be
      // the card's own.
      const auto to = PathOf(session_.profile.TableFolderText(kind_), FileOfTable(t.tablePath));
      if (!to) {
        plan_.blocked = true;
        continue;
      }
      status_ = texts::Of(texts::kTableStatus, kind_);
      CommitStep& s = Add(tablesOfKind_, CommitStep::Action::WriteTable);
      s.dest = *to;
      s.ref = static_cast<int>(plan_.tables.size());
      plan_.tables.push_back(t);
      JournalTable j;
      j.kind = kind_;
      j.cardPath = t.tablePath;
      j.written = true;
      j.newBytes = t.bytes;
      plan_.journal.tables.push_back(std::move(j));
    }
  }

  // Copies and scratch files an interrupted update left behind, removed
  // first. A copy is known by what it is, so that a name it frees and a copy
  // made there again later are never taken for each other.
  void Leftovers() {
    for (const fs::path& p : session_.leftovers) {
      if (!card_.Contains(p.parent_path()) || !leftovers_.insert(p.lexically_normal()).second) continue;
      status_ = texts::kFolderStatus;
      CommitStep& s = Add(sweeps_, CommitStep::Action::RemoveScratch);
      s.src = p;
      if (IsScratchCopyName(p.filename().string())) {
        s.file = NewFile(p, p.filename().string(), ops_.Stat(p).size);
        plan_.journal.files[static_cast<size_t>(s.file)].id.hash = HashFile(ops_, p);
      }
    }
  }

  // Sorts the entries into moves, copies and removals, and notes every file a
  // live entry stands on.
  void Entries(const MediaCatalogue& cat) {
    const auto& folders = plan_.folders[static_cast<size_t>(KindIndex(kind_))];
    // The file of each live resident entry, and who keeps it where it is.
    std::map<Key, int> owner;
    std::vector<int> order;
    for (int i = 0; i < cat.count; ++i)
      if (!cat.Slot(i).toDelete && !cat.Slot(i).queued) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return cat.Slot(a).position < cat.Slot(b).position; });
    for (int i : order) {
      const MediaEntry& e = cat.Slot(i);
      const Key from = KeyOf(e.sourceFolder, e.sourceName), to = KeyOf(folders[static_cast<size_t>(i)], e.cardName);
      auto [at, first] = owner.emplace(from, i);
      // A file two records name stays with the one that keeps its name.
      if (!first && from == to) at->second = i;
      sources_.insert(from);
    }
    for (int i = 0; i < cat.count; ++i) {
      const MediaEntry& e = cat.Slot(i);
      const std::string cardFolder = e.toDelete ? e.sourceFolder : folders[static_cast<size_t>(i)];
      if (e.queued) {
        if (!e.toDelete) Copy(fs::path(e.sourceFolder) / e.sourceName, cardFolder, e);
        continue;
      }
      const auto src = PathOf(e.sourceFolder, e.sourceName);
      if (const FileStat st = src ? ops_.Stat(*src) : FileStat{}; st.exists)
        Resident(cat, i, owner, *src, st.size, cardFolder);
    }
  }

  static std::string Label(const MediaEntry& e, const std::string& name) { return name + " " + e.title; }

  void Resident(const MediaCatalogue& cat, int i, const std::map<Key, int>& owner, const fs::path& src,
                std::int64_t size, const std::string& cardFolder) {
    const MediaEntry& e = cat.Slot(i);
    const Key from = KeyOf(e.sourceFolder, e.sourceName);
    if (e.toDelete) {
      // A file a live record still names, of any kind, is that record's file.
      if (!sources_.count(from) && !liveAnyKind_.count(from) && deleted_.insert(from).second)
        removals_.push_back({kind_, src, FileOf(from, src, Label(e, e.sourceName), size)});
      return;
    }
    const Key to = KeyOf(cardFolder, e.cardName);
    const int keeper = owner.at(from);
    if (keeper != i) {
      // The second record of a shared file gets a copy of its own, made
      // before any name changes.
      const MediaEntry& k = cat.Slot(keeper);
      const std::string& keptFolder = plan_.folders[static_cast<size_t>(KindIndex(kind_))][static_cast<size_t>(keeper)];
      if (!(to == KeyOf(keptFolder, k.cardName))) Copy(src, cardFolder, e);
      return;
    }
    if (from == to && FolderOf(e.sourceFolder).names[from.name] == e.cardName) return;
    if (const auto dest = PathOf(cardFolder, e.cardName))
      moves_.push_back({from, to, src, *dest, FileOf(from, src, Label(e, e.sourceName), size)});
  }

  void Copy(const fs::path& src, const std::string& cardFolder, const MediaEntry& e) {
    const auto dest = PathOf(cardFolder, e.cardName, true);
    if (!dest) return;
    status_ = texts::Of(texts::kCopyStatus, kind_);
    CommitStep& s = Add(copiesOfKind_, CommitStep::Action::CopyIn);
    s.src = src;
    s.dest = *dest;
    s.dest += kCopySuffix;
    // (Its identity is the source's, fingerprinted whole when the commit runs.)
    s.file = NewFile(src, Label(e, e.cardName), -1);
    targets_.push_back(KeyOf(cardFolder, e.cardName));
    targets_.push_back(KeyOf(cardFolder, e.cardName + kCopySuffix));
  }

  // Every name the plan will give a file must be free of files the plan does
  // not move itself: a file no table lists, or a deleted item's file, is moved
  // aside (and kept) first.
  void ClearTargets() {
    for (const Move& m : moves_) {
      targets_.push_back(m.to);
      targets_.push_back({m.to.folder, m.to.name + kParkSuffix});
      // A parked name no record stands on beside a name the move leaves: a
      // table that goes on naming the old name (one a shorter list leaves
      // behind) would take that file for its record's.
      targets_.push_back({m.from.folder, m.from.name + kParkSuffix});
    }
    for (const Key& k : targets_) {
      if (!Occupied(k) || sources_.count(k)) continue;
      const bool deletedFile = deleted_.count(k) > 0;
      Folder& f = folders_[k.folder];
      const std::string name = f.names[k.name];
      if (!f.path) continue;
      std::string aside = name + kAsideSuffix;
      for (int n = 2; f.names.count(CardNameKey(aside)); ++n) aside = name + kAsideSuffix + std::to_string(n);
      status_ = texts::kFolderStatus;
      // (A deleted item's file only makes way: its removal follows.)
      CommitStep& s = Add(names_, deletedFile ? CommitStep::Action::Rename : CommitStep::Action::MoveAside);
      s.src = *f.path / name;
      s.dest = *f.path / aside;
      s.file = FileOf(k, s.src, name);
      Free(k);
      Take({k.folder, CardNameKey(aside)}, aside);
      const std::string folderOnCard = s.src.parent_path().lexically_relative(plan_.cardRoot).string();
      if (deletedFile) {
        for (auto& r : removals_)
          if (std::get<1>(r) == s.src) std::get<1>(r) = s.dest;
      } else {
        plan_.asides.push_back(folderOnCard + "/" + name + " -> " + aside);
      }
    }
  }

  // Renames each file once, straight to its final name, as soon as that name
  // is free; a file caught in a cycle of names takes a "_" name first. A name
  // that differs from the old one only in case is reached through the "_"
  // name too (FAT takes the two for one).
  void OrderRenames() {
    std::vector<Move> pending = std::move(moves_);
    moves_.clear();
    // The moves still to make, by index (a move's index is its place in the
    // order they were found), and of those the ones whose name is free now,
    // kept up to date as names are freed and taken.
    std::vector<bool> done(pending.size(), false);
    std::map<Key, std::vector<size_t>> wanting;  // name -> moves that go to it
    for (size_t i = 0; i < pending.size(); ++i) wanting[pending[i].to].push_back(i);
    std::set<size_t> ready;
    auto review = [&](size_t i) {
      const Move& m = pending[i];
      if (!done[i] && !(m.from == m.to) && !Occupied(m.to))
        ready.insert(i);
      else
        ready.erase(i);
    };
    auto reviewName = [&](const Key& k) {
      if (const auto w = wanting.find(k); w != wanting.end())
        for (size_t i : w->second) review(i);
    };
    auto rename = [&](const Move& m, const fs::path& dest, std::optional<Key> to = std::nullopt) {
      const Key freed = m.from, taken = to.value_or(m.to);
      Rename(m, dest, to);
      reviewName(freed);
      reviewName(taken);
    };
    auto finish = [&](size_t i) {
      done[i] = true;
      ready.erase(i);
    };
    for (size_t i = 0; i < pending.size(); ++i) review(i);
    size_t front = 0;  // the first move still to make
    for (;;) {
      while (front < pending.size() && done[front]) ++front;
      if (front == pending.size()) break;
      if (!ready.empty()) {
        const size_t i = *ready.begin();
        finish(i);
        rename(pending[i], pending[i].dest);
        continue;
      }
      // Every name wanted is held by a file still to move: a cycle. Park one.
      Move& m = pending[front];
      fs::path parked = m.dest;
      parked += kParkSuffix;
      const Key parkKey{m.to.folder, m.to.name + kParkSuffix};
      if (Occupied(parkKey) && !(parkKey == m.from)) {  // a "_" name no table lists: cleared above, or ours
        CommitStep& s = Add(names_, CommitStep::Action::Rename);
        s.src = m.src;
        s.dest = m.dest;  // fails and stops the commit: nothing is overwritten
        s.file = m.file;
        finish(front);
        continue;
      }
      if (parkKey == m.from) {  // already parked by an interrupted commit
        m.from = m.to;
        finish(front);
        rename(m, m.dest);
        continue;
      }
      Move rest{parkKey, m.to, parked, m.dest, m.file};
      rename(m, parked, parkKey);
      if (m.from == m.to) {  // a change of case only: the way back out of "_" is free now
        finish(front);
        rename(rest, rest.dest);
      } else {
        pending[front] = rest;
        review(front);
      }
    }
  }


  void Rename(const Move& m, const fs::path& dest, std::optional<Key> to = std::nullopt) {
    CommitStep& s = Add(names_, CommitStep::Action::Rename);
    s.src = m.src;
    s.dest = dest;
    s.file = m.file;
    const Key k = to.value_or(m.to);
    Free(m.from);
    Take(k, dest.filename().string());
  }

  const CardSession& session_;
  FileOps& ops_;
  CommitPlan& plan_;
  CardGuard card_;
  std::map<std::string, Folder> folders_;
  std::map<std::string, std::string> folderKeys_;  // folder text -> key
  std::map<std::string, std::optional<fs::path>> resolved_;  // folder text -> its path, links checked
  const std::pair<const std::string, std::string>* lastKey_ = nullptr;
  std::pair<const std::string, Folder>* lastFolder_ = nullptr;
  std::set<fs::path> madeFolders_;
  MediaKind kind_ = MediaKind::Image;
  const char* status_ = nullptr;  // what the window shows while the next steps run
  // Per kind:
  std::set<Key> sources_;   // files live entries stand on
  std::set<Key> deleted_;   // files of deleted entries that go
  std::vector<Move> moves_;
  std::vector<CommitStep> copiesOfKind_, tablesOfKind_;
  std::vector<Key> targets_;  // names the plan gives files
  std::set<fs::path> leftovers_;
  // For the whole commit, in the order they run:
  std::vector<CommitStep> makeFolders_, sweeps_, copies_, names_;
  std::vector<std::tuple<MediaKind, fs::path, int>> removals_;
  std::map<Key, int> fileOfKey_;  // the journal's file of each card file it names
  std::set<Key> liveAnyKind_;  // files live entries of any kind stand on

 public:
  // The files the live entries of every kind stand on: a table of one kind
  // (a damaged or hand-made one) may name another kind's file.
  void NoteLiveFiles() {
    for (MediaKind kind : kListKinds) {
      const MediaCatalogue& c = session_.Catalogue(kind);
      for (int i = 0; i < c.count; ++i)
        if (const MediaEntry& e = c.Slot(i); !e.toDelete && !e.queued)
          liveAnyKind_.insert(KeyOf(e.sourceFolder, e.sourceName));
    }
  }

  void NextKind() {
    sources_.clear();
    deleted_.clear();
    targets_.clear();
  }
};

std::string Relative(const fs::path& p, const fs::path& root) {
  const fs::path rel = p.lexically_relative(root);
  return rel.empty() || rel.native().rfind("..", 0) == 0 ? p.string() : rel.string();
}

// Files the journal names that their size alone cannot tell apart are
// fingerprinted by their first 4 KiB, and those whose first 4 KiB agree too
// by all of their bytes: the only files a commit reads that it does not copy.
// A copy is known by all of its bytes (taken when the commit runs), and its
// source stands with the files of its size: it may come to stand where a
// file of the same size stood. Times are never asked: a card copied off and
// back has new ones.
void FingerprintLookalikes(CommitPlan& plan, FileOps& ops) {
  std::map<std::int64_t, std::vector<size_t>> bySize;
  for (size_t f = 0; f < plan.journal.files.size(); ++f) {
    FileIdentity& id = plan.journal.files[f].id;
    if (id.size < 0) {  // a copy: its source's size
      const FileStat st = ops.Stat(plan.fileSources[f]);
      if (!st.regular) continue;
      id.size = st.size;
    }
    bySize[id.size].push_back(f);
  }
  for (auto& [size, files] : bySize) {
    if (files.size() < 2) continue;
    std::map<std::string, std::vector<size_t>> byHead;
    for (size_t f : files) {
      FileIdentity& id = plan.journal.files[f].id;
      id.head = HeadOf(ops, plan.fileSources[f]);
      byHead[id.head].push_back(f);
    }
    if (size <= kHeadBytes) {  // the head is all of it
      for (size_t f : files) plan.journal.files[f].id.hash = plan.journal.files[f].id.head;
      continue;
    }
    for (auto& [head, same] : byHead)
      if (same.size() > 1)
        for (size_t f : same) plan.journal.files[f].id.hash = HashFile(ops, plan.fileSources[f]);
  }
}

}  // namespace

namespace {

// The last step of a journaled commit.
CommitStep RemoveJournalStep(const fs::path& journalPath) {
  CommitStep last;
  last.action = CommitStep::Action::RemoveJournal;
  last.src = journalPath;
  return last;
}

// A journal that is not acted on (stale, damaged) goes out of the way first,
// kept under a name that says so.
void SetJournalAside(const CardSession& session, CommitPlan& plan) {
  if (session.journalUse != CardSession::JournalUse::SetAside || session.journalAside.empty()) return;
  CommitStep s;
  s.action = CommitStep::Action::MoveAside;
  s.src = plan.cardRoot / kJournalName;
  s.dest = session.journalAside;
  plan.steps.insert(plan.steps.begin(), s);
}

// A step with no text of its own (the journal, a journal set aside) shows
// the text of the step it prepares; the last one, what was shown before it.
void ShowWhatStepsPrepare(CommitPlan& plan) {
  for (size_t i = plan.steps.size(); i-- > 1;)
    if (!plan.steps[i - 1].status) plan.steps[i - 1].status = plan.steps[i].status;
}

}  // namespace

CommitPlan PlanCommit(const CardSession& session, FileOps& ops) {
  CommitPlan plan;
  plan.cardRoot = session.cardRoot;
  // (Carrying out the user's choice about an update of the old journal
  // format: never undone, or it would return to that half-done card.)
  if (session.recovering) plan.journal.mode = Journal::Mode::FinishOnly;
  Planner planner(session, ops, plan);
  planner.NoteLiveFiles();
  for (MediaKind kind : kListKinds) {
    planner.Kind(kind);
    planner.NextKind();
  }
  planner.Finish();
  const fs::path journalPath = plan.cardRoot / kJournalName;
  if (std::none_of(plan.steps.begin(), plan.steps.end(),
                   [](const CommitStep& s) { return TraitsOf(s.action).changesContent; })) {
    // Only tables change, each replaced whole: nothing to journal.
    // (The journal of an interrupted update whose work is done by now goes.)
    if (session.recovering && ops.Stat(journalPath).exists) plan.steps.push_back(RemoveJournalStep(journalPath));
    SetJournalAside(session, plan);
    ShowWhatStepsPrepare(plan);
    return plan;
  }
  plan.journaled = true;
  FingerprintLookalikes(plan, ops);
  CommitStep first;
  first.action = CommitStep::Action::WriteJournal;
  first.dest = journalPath;
  plan.steps.insert(plan.steps.begin(), first);
  plan.steps.push_back(RemoveJournalStep(journalPath));
  SetJournalAside(session, plan);
  ShowWhatStepsPrepare(plan);
  return plan;
}

CommitPlan PlanCommit(const CardSession& session) {
  RealFileOps ops;
  return PlanCommit(session, ops);
}

std::string DescribeStep(const CommitPlan& plan, const CommitStep& step) {
  const StepTraits& t = TraitsOf(step.action);
  std::string text = t.verb + StepPaths(step, " -> ", [&](const fs::path& p) { return Relative(p, plan.cardRoot); });
  if (step.action == CommitStep::Action::WriteTable)
    text += Fill(texts::kStepRecords, {std::to_string(plan.tables[static_cast<size_t>(step.ref)].recordCount)});
  return text + t.note;
}



namespace {

// The entries of a kind whose files are in place: each where its file now is.
void TakeFinalPlaces(const CommitPlan& plan, MediaKind kind, MediaCatalogue& cat) {
  const auto& folders = plan.folders[static_cast<size_t>(KindIndex(kind))];
  for (int i = 0; i < cat.count && i < static_cast<int>(folders.size()); ++i) {
    MediaEntry& e = cat.Slot(i);
    if (e.toDelete) continue;
    e.cardFolder = folders[static_cast<size_t>(i)];
    e.sourceFolder = e.cardFolder;
    e.sourceName = e.cardName;
    e.queued = false;
  }
}

}  // namespace

namespace {

// What the copies of a plan need on the card beyond what it has free, said
// for the user ("" when they fit). Each file takes whole clusters; the
// journal and the tables written beside their places take a few more.
std::string SpaceShortfall(const CommitPlan& plan, const Journal& journal) {
  const std::int64_t cluster = std::max<std::int64_t>(DiskCluster(plan.cardRoot), 512);
  auto clusters = [&](std::int64_t bytes) { return (bytes + cluster - 1) / cluster * cluster; };
  std::int64_t need = 0;
  for (const CommitStep& s : plan.steps) {
    if (s.action == CommitStep::Action::CopyIn) {
      std::error_code ec;
      const auto size = fs::file_size(s.src, ec);
      need += clusters(ec ? 0 : static_cast<std::int64_t>(size));
    } else if (s.action == CommitStep::Action::WriteTable) {
      need += clusters(static_cast<std::int64_t>(plan.tables[static_cast<size_t>(s.ref)].bytes.size()));
    }
  }
  if (need == 0) return "";
  need += clusters(static_cast<std::int64_t>(EncodeJournal(journal).size()) * 2);
  const std::int64_t free = DiskFree(plan.cardRoot);
  if (free < 0 || free >= need) return "";
  return std::string(texts::kNoSpaceForCommit) + std::to_string(need) + texts::kBytes + texts::kFreeSpaceNow +
         std::to_string(free) + texts::kBytes;
}

// A file added from the computer as the journal names it: the file itself,
// by its whole path, wherever the user's link to it led (a journal is read
// again from anywhere, and finishing never follows a link).
fs::path SourceOnComputer(const fs::path& p) {
  std::error_code ec;
  fs::path whole = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? fs::absolute(p, ec) : whole;
}

// The tables as they were before the commit, in the journal.
void KeepOldTables(Journal& journal, std::vector<TableOnCard> tables) {
  for (TableOnCard& t : tables) {
    auto known = std::find_if(journal.tables.begin(), journal.tables.end(),
                              [&](const JournalTable& j) { return j.cardPath == t.cardPath; });
    if (known == journal.tables.end()) {
      known = journal.tables.insert(journal.tables.end(), JournalTable{});
      known->kind = t.kind;
      known->cardPath = t.cardPath;
    }
    known->existed = t.bytes.has_value();
    if (t.bytes) known->oldBytes = std::move(*t.bytes);
  }
}

// The journal's steps: the plan's between the journal's writing and its
// removal, their paths relative to the card (a copy's source on the
// computer stays whole).
void JournalSteps(const CommitPlan& plan, Journal& journal) {
  bool inside = false;
  auto rel = [&](const fs::path& p) {
    if (p.empty()) return std::string();
    const fs::path r = p.lexically_relative(plan.cardRoot);
    return r.empty() || *r.begin() == ".." ? SourceOnComputer(p).string() : r.generic_string();
  };
  for (const CommitStep& s : plan.steps) {
    if (s.action == CommitStep::Action::WriteJournal) {
      inside = true;
      continue;
    }
    if (!inside || s.action == CommitStep::Action::RemoveJournal) continue;
    journal.steps.push_back({s.action, rel(s.src), rel(s.dest), s.file, s.action == CommitStep::Action::WriteTable ? s.ref : -1});
  }
}

// Each copy is known by all of its source's bytes, taken now: finishing an
// update cut short copies again only a source that is still exactly this.
// The name of a source that cannot be read when empty.
std::string FingerprintCopies(const CommitPlan& plan, Journal& journal, FileOps& ops) {
  for (const CommitStep& s : plan.steps) {
    if (s.action != CommitStep::Action::CopyIn || s.file < 0) continue;
    FileIdentity& id = journal.files[static_cast<size_t>(s.file)].id;
    const fs::path source = SourceOnComputer(s.src);
    const FileStat st = ops.Stat(source);
    id.hash = st.regular ? HashFile(ops, source) : "";
    id.size = st.size;
    if (id.hash.empty()) return s.src.string();
  }
  return "";
}

}  // namespace

CommitResult ExecuteCommit(CardSession& session, const CommitPlan& plan, FileOps& ops, Progress& progress) {
  CommitResult result;
  result.asides = plan.asides;
  for (const std::string& refused : plan.refused)
    result.failures.push_back({texts::kOutsideCardPath + refused, texts::kSkippedReason});
  if (plan.blocked) {  // a table cannot be written: nothing else may change
    result.stopped = true;
    return result;
  }
  // One writer at a time; and what was loaded is checked under the lock, so
  // that a second program cannot change the card between the look and the
  // first write.
  if (session.journalUse == CardSession::JournalUse::Blocks) {
    result.stopped = result.refused = true;
    result.refusal = texts::kJournalBlocks;
    return result;
  }
  // A card folder that is gone (the card pulled, the folder deleted) is a
  // card that changed, said as such, not a lock that cannot be made.
  if (std::error_code ec; !fs::is_directory(plan.cardRoot, ec)) {
    result.stopped = result.cardChanged = true;
    result.failures.push_back({plan.cardRoot.string(), "gone"});
    return result;
  }
  CardLock::Taken lock = CardLock::Take(plan.cardRoot);
  if (!lock.lock) {
    result.stopped = result.refused = true;
    result.refusal = lock.message;
    return result;
  }
  result.lockMessage = lock.message;
  // The one look at the card before the first write; the tables read for it
  // are the ones the journal keeps, so that the update can be undone.
  std::vector<TableOnCard> tables;
  if (const std::string changed = CardChangedSinceLoad(session, ops, &tables); !changed.empty()) {
    result.stopped = result.cardChanged = true;
    result.failures.push_back({changed, texts::kChangedSinceLoad});
    return result;
  }
  Journal journal = plan.journal;
  if (plan.journaled) {
    KeepOldTables(journal, std::move(tables));
    if (const std::string unreadable = FingerprintCopies(plan, journal, ops); !unreadable.empty()) {
      result.stopped = true;
      result.failures.push_back({TraitsOf(CommitStep::Action::CopyIn).failure + unreadable, texts::kUnreadableReason});
      return result;
    }
    JournalSteps(plan, journal);
  }
  // Room for the copies, counted in whole clusters, checked before the first
  // write: a card that fills up half way would list a file it does not hold.
  if (const std::string short_ = SpaceShortfall(plan, journal); !short_.empty()) {
    result.stopped = result.refused = true;
    result.refusal = short_;
    return result;
  }
  RunSteps(plan, journal, ops, progress, result);
  const fs::path journalPath = plan.cardRoot / kJournalName;
  if (result.stopped && plan.journaled && ops.Stat(journalPath).exists) {
    // What was done is undone while the card can still be written: no table
    // lists a file that a step failing left out. Otherwise the journal stays
    // for the next load.
    const RecoveryResult undo = RecoverUpdate(plan.cardRoot, journal, Recovery::Revert, ops, progress);
    result.undone = undo.ok && !undo.journalLeft;
  } else if (result.stopped && (plan.journaled || !result.contentTouched)) {
    // (Journaled, it stopped at the journal: no step of the plan ran.)
    result.undone = true;
  }
  if (!result.stopped) {
    // Each entry where its file now is.
    for (MediaKind kind : kListKinds) {
      progress.Status(texts::Of(texts::kUpdateStatus, kind));
      TakeFinalPlaces(plan, kind, session.Catalogue(kind));
    }
    session.leftovers.clear();
    session.putBack.clear();
  }
  if (result.Ok()) session.recovering = false;
  return result;
}

std::string CommitReport(const CommitResult& result, std::string* details) {
  if (result.refused) return result.refusal;
  std::string text = result.Ok()          ? texts::kCommitDone
                     : result.cardChanged ? texts::kCardChanged
                     : !result.stopped    ? texts::kCommitFailures
                     : result.undone      ? texts::kCommitStopped
                                          : texts::kCommitStoppedLater;
  if (!result.Ok() && !result.cardChanged) AppendFailures(text, result.failures, 20, details);
  if (!result.lockMessage.empty()) text = result.lockMessage + "\n" + text;
  if (!result.asides.empty()) {
    text += std::string("\n") + texts::kMovedAside;
    for (const std::string& a : result.asides) text += "\n" + a;
  }
  return text;
}

void AppendFailures(std::string& text, const std::vector<CommitFailure>& failures, size_t limit,
                    std::string* details) {
  const size_t shown = std::min(failures.size(), limit);
  for (size_t i = 0; i < shown; ++i) {
    const std::string whole = failures[i].what + " (" + failures[i].reason + ")";
    text += "\n" + (details ? failures[i].what : whole);
    if (details) *details += (details->empty() ? "" : "\n") + whole;
  }
  if (failures.size() > shown) text += Fill(texts::kMoreFailures, {std::to_string(failures.size() - shown)});
}

}  // namespace fenmora
