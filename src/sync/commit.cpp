#include "sync/commit.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/cardpath.h"
#include "sync/journal.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

bool PathExists(const fs::path& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// The card folder that holds a table file ("\PRIVATE\DOCOMO\TABLE\STILL").
std::string FolderOfTable(const std::string& tablePath) {
  return tablePath.substr(0, tablePath.rfind('\\'));
}

std::string FileOfTable(const std::string& tablePath) {
  return tablePath.substr(tablePath.rfind('\\') + 1);
}

class Planner {
 public:
  Planner(CardSession& session, CommitPlan& plan) : session_(session), plan_(plan) {}

  void Kind(MediaKind kind) {
    kind_ = kind;
    MediaCatalogue& cat = session_.Catalogue(kind);
    const std::vector<TableFile> tables = LayoutTables(session_.profile, kind, cat);

    phase_ = CommitPhase::Tables;
    MakeFolderIfMissing(FolderOfTable(tables.front().tablePath));
    for (const TableFile& t : tables) {
      if (t.recordCount > 0) MakeFolderIfMissing(t.cardFolder);
      // The table is written beside its place and renamed over it, so a link
      // in its place is replaced, never written through; its folder must be
      // the card's own.
      const auto to = CardFile(FolderOfTable(t.tablePath), FileOfTable(t.tablePath));
      if (!to) {
        plan_.blocked = true;
        continue;
      }
      CommitStep& s = Add(CommitStep::Action::WriteTable);
      s.to = *to;
      s.table = t;
    }

    phase_ = CommitPhase::Deletion;
    for (int i = 0; i < cat.count; ++i) {
      const MediaEntry& e = cat.Slot(i);
      if (!e.toDelete || e.queued) continue;  // a queued file is never deleted
      const auto from = CardFile(e.sourceFolder, e.sourceName);
      if (from && PathExists(*from)) Add(CommitStep::Action::Remove).from = *from;
    }

    phase_ = CommitPhase::Renaming;
    struct Parked {
      int firstPass;  // its first-pass step, or -1
      fs::path parked, to;
    };
    std::vector<Parked> second;
    for (int i = 0; i < cat.count; ++i) {
      const MediaEntry& e = cat.Slot(i);
      if (e.toDelete || e.queued || e.cardName == e.sourceName) continue;
      auto from = CardFile(e.sourceFolder, e.sourceName);
      auto to = CardFile(e.cardFolder, e.cardName);
      if (!from || !to) continue;
      std::optional<fs::path> parked = *to;
      *parked += "_";
      int first = -1;
      if (from->native() != parked->native()) {  // already parked by an interrupted commit: one pass left
        CommitStep& s = Add(CommitStep::Action::Rename);
        s.from = std::move(*from);
        s.to = *parked;
        s.parking = true;
        first = static_cast<int>(plan_.steps.size()) - 1;
      }
      second.push_back({first, std::move(*parked), std::move(*to)});
    }
    // From here on the files take their final names: the journal says so first.
    if (!second.empty()) Add(CommitStep::Action::WriteJournal).placedUpTo = KindIndex(kind);
    for (Parked& p : second) {
      CommitStep& s = Add(CommitStep::Action::Rename);
      s.from = std::move(p.parked);
      s.to = std::move(p.to);
      s.after = p.firstPass;
    }

    phase_ = CommitPhase::Copying;
    for (int i = 0; i < cat.count; ++i) {
      const MediaEntry& e = cat.Slot(i);
      if (e.toDelete || !e.queued) continue;
      const auto to = CardFile(e.cardFolder, e.cardName, true);
      if (!to) continue;
      CommitStep& s = Add(CommitStep::Action::Copy);
      s.from = fs::path(e.sourceFolder) / e.sourceName;
      s.to = *to;
    }

    phase_ = CommitPhase::Folders;
    for (int i = 0; i < cat.count; ++i) {
      const MediaEntry& e = cat.Slot(i);
      if (e.toDelete || e.queued || e.cardName != e.sourceName) continue;
      if (NormalizeCardFolder(e.cardFolder) == NormalizeCardFolder(e.sourceFolder)) continue;
      const auto from = CardFile(e.sourceFolder, e.sourceName);
      const auto to = CardFile(e.cardFolder, e.cardName);
      if (!from || !to) continue;
      CommitStep& s = Add(CommitStep::Action::Rename);
      s.from = *from;
      s.to = *to;
    }
  }

 private:
  CommitStep& Add(CommitStep::Action action) {
    CommitStep s;
    s.kind = kind_;
    s.phase = phase_;
    s.action = action;
    plan_.steps.push_back(std::move(s));
    return plan_.steps.back();
  }

  // A folder of the card, checked once however many files it holds.
  const fs::path* CardFolder(const std::string& folderText) {
    auto known = folders_.find(folderText);
    if (known == folders_.end()) known = folders_.emplace(folderText, card_.Resolve(folderText)).first;
    return known->second ? &*known->second : nullptr;
  }

  // A file of the card. Renaming or removing a link never follows it, so the
  // name itself needs no look; a file written through (a copy's target) does.
  std::optional<fs::path> CardFile(const std::string& folder, const std::string& name,
                                   bool writtenThrough = false) {
    std::optional<fs::path> p;
    if (IsSafeCardFileName(name))
      if (const fs::path* f = CardFolder(folder)) p = *f / name;
    if (p && writtenThrough && !card_.Contains(*p)) p.reset();
    if (!p) plan_.refused.push_back(folder + name);
    return p;
  }

  void MakeFolderIfMissing(const std::string& folderText) {
    const fs::path* p = CardFolder(folderText);
    if (!p) {
      plan_.refused.push_back(folderText);
      return;
    }
    if (PathExists(*p)) return;
    if (!madeFolders_.insert(*p).second) return;
    Add(CommitStep::Action::MakeFolder).to = *p;
  }

  CardSession& session_;
  CardGuard card_{session_.cardRoot};
  std::map<std::string, std::optional<fs::path>> folders_;
  std::set<fs::path> madeFolders_;
  CommitPlan& plan_;
  MediaKind kind_ = MediaKind::Image;
  CommitPhase phase_ = CommitPhase::Tables;
};

std::string Relative(const fs::path& p, const fs::path& root) {
  const fs::path rel = p.lexically_relative(root);
  return rel.empty() || rel.native().rfind("..", 0) == 0 ? p.string() : rel.string();
}

const char* const* PhaseTexts(CommitPhase phase) {
  switch (phase) {
    case CommitPhase::Tables: return texts::kTableStatus;
    case CommitPhase::Deletion: return texts::kDeleteStatus;
    case CommitPhase::Renaming: return texts::kRenameStatus;
    case CommitPhase::Copying: return texts::kCopyStatus;
    case CommitPhase::Folders: break;
  }
  return nullptr;
}

std::string PhaseStatus(MediaKind kind, CommitPhase phase) {
  const char* const* perKind = PhaseTexts(phase);
  return perKind ? perKind[KindIndex(kind)] : texts::kFolderStatus;
}

// What a failed step did, for the user.
std::string FailureText(const CommitStep& s) {
  switch (s.action) {
    case CommitStep::Action::MakeFolder: return "フォルダ作成: " + s.to.string();
    case CommitStep::Action::WriteTable: return "管理テーブル書き込み: " + s.to.string();
    case CommitStep::Action::Remove: return "削除: " + s.from.string();
    case CommitStep::Action::Rename: return "名前の変更: " + s.from.string() + " → " + s.to.string();
    case CommitStep::Action::Copy: return "コピー: " + s.from.string() + " → " + s.to.string();
    case CommitStep::Action::WriteJournal: return "更新記録の書き込み: " + s.to.string();
    case CommitStep::Action::RemoveJournal: return "更新記録の削除: " + s.from.string();
  }
  return {};
}

}  // namespace

namespace {

bool ChangesContent(const CommitStep& s) {
  return s.action == CommitStep::Action::Remove || s.action == CommitStep::Action::Rename ||
         s.action == CommitStep::Action::Copy;
}

// The journal of a commit: the lists as they are to be written, each item with
// the place its file has now, and every table file before and after.
Journal JournalOf(const CardSession& session, const CommitPlan& plan) {
  Journal j;
  for (MediaKind kind : kListKinds) {
    for (const FoundTable& t : FindTableFiles(session.profile, kind, plan.cardRoot)) {
      std::string bytes;
      RealFileOps().ReadFile(t.path, bytes);
      j.tables.push_back({kind, session.profile.ExpandTablePath(kind, t.number), HashBytes(bytes), ""});
    }
    const MediaCatalogue& c = session.Catalogue(kind);
    for (int i = 0; i < c.count; ++i) {
      const MediaEntry& e = c.Slot(i);
      j.items.push_back({kind, e.position, e.toDelete, e.queued, e.sourceFolder, e.sourceName,
                         e.cardFolder, e.cardName, e.dateText, e.title, e.size});
    }
  }
  for (const CommitStep& s : plan.steps) {
    if (s.action != CommitStep::Action::WriteTable) continue;
    auto known = std::find_if(j.tables.begin(), j.tables.end(), [&](const JournalTable& t) {
      return t.kind == s.kind && t.cardPath == s.table.tablePath;
    });
    if (known == j.tables.end()) known = j.tables.insert(j.tables.end(), {s.kind, s.table.tablePath, "", ""});
    known->newHash = HashBytes(s.table.bytes);
  }
  return j;
}

// The last step of a journaled commit.
CommitStep RemoveJournalStep(const fs::path& cardRoot) {
  CommitStep last;
  last.kind = MediaKind::Movie;
  last.phase = CommitPhase::Folders;
  last.action = CommitStep::Action::RemoveJournal;
  last.from = cardRoot / kJournalName;
  return last;
}

}  // namespace

CommitPlan PlanCommit(CardSession& session) {
  CommitPlan plan;
  plan.cardRoot = session.cardRoot;
  Planner planner(session, plan);
  for (MediaKind kind : kListKinds) planner.Kind(kind);
  if (std::none_of(plan.steps.begin(), plan.steps.end(), ChangesContent)) {
    // Only tables change, each replaced whole: nothing to journal.
    plan.steps.erase(std::remove_if(plan.steps.begin(), plan.steps.end(),
                                    [](const CommitStep& s) {
                                      return s.action == CommitStep::Action::WriteJournal;
                                    }),
                     plan.steps.end());
    if (PathExists(plan.cardRoot / kJournalName)) {
      // The journal of an interrupted commit whose work is done by now.
      plan.steps.push_back(RemoveJournalStep(plan.cardRoot));
    }
    return plan;
  }
  Journal journal = JournalOf(session, plan);
  CommitStep first;
  first.kind = MediaKind::Image;
  first.phase = CommitPhase::Tables;
  first.action = CommitStep::Action::WriteJournal;
  first.to = plan.cardRoot / kJournalName;
  // The lists are the same in every version of the journal; only the marks
  // of the kinds whose files take their final names change.
  const std::string body = EncodeJournalBody(journal);
  first.journal = EncodeJournalHead(journal) + body;
  plan.steps.insert(plan.steps.begin(), first);
  for (CommitStep& s : plan.steps) {
    if (s.after >= 0) ++s.after;
    if (s.action != CommitStep::Action::WriteJournal || s.placedUpTo < 0) continue;
    for (int k = 0; k <= s.placedUpTo; ++k) journal.placed[static_cast<size_t>(k)] = true;
    s.to = plan.cardRoot / kJournalName;
    s.journal = EncodeJournalHead(journal) + body;
  }
  plan.steps.push_back(RemoveJournalStep(plan.cardRoot));
  return plan;
}

std::string DescribeStep(const CommitStep& step, const fs::path& cardRoot) {
  switch (step.action) {
    case CommitStep::Action::MakeFolder: return "mkdir  " + Relative(step.to, cardRoot);
    case CommitStep::Action::WriteTable:
      return "write  " + Relative(step.to, cardRoot) + " (" + std::to_string(step.table.recordCount) +
             " records)";
    case CommitStep::Action::Remove: return "delete " + Relative(step.from, cardRoot);
    case CommitStep::Action::Rename:
      return "rename " + Relative(step.from, cardRoot) + " -> " + Relative(step.to, cardRoot);
    case CommitStep::Action::Copy: return "copy   " + step.from.string() + " -> " + Relative(step.to, cardRoot);
    case CommitStep::Action::WriteJournal: return "write  " + Relative(step.to, cardRoot) + " (journal)";
    case CommitStep::Action::RemoveJournal: return "delete " + Relative(step.from, cardRoot) + " (journal)";
  }
  return {};
}

namespace {

// Written beside the old file and renamed over it once complete: a card pulled
// out half way keeps the old file whole.
OpResult WriteWhole(FileOps& ops, const fs::path& to, std::string_view bytes) {
  fs::path temp = to;
  temp += ".tmp";
  OpResult r = ops.WriteFile(temp, bytes);
  if (r) r = ops.Replace(temp, to);
  if (!r) ops.Remove(temp);
  return r;
}

}  // namespace

OpResult BuildTableHeader(FileOps& ops, const fs::path& cardRoot, std::string_view folderText,
                          int recordCount, int fileNumber, std::string_view prefix,
                          TableHeader& header, OpResult* scratchRemoval) {
  const TableHeader composed = ComposeTableHeader(folderText, recordCount, fileNumber, prefix);
  const fs::path scratch = cardRoot / "tbl.tmp";
  OpResult r = ops.WriteFile(scratch, std::string_view(reinterpret_cast<const char*>(composed.data()),
                                                       composed.size()));
  if (!r) return r;
  std::string back;
  r = ops.ReadFile(scratch, back);
  const OpResult removed = ops.Remove(scratch);
  if (scratchRemoval) *scratchRemoval = removed;
  if (!r) return r;
  if (back.size() < header.size()) return OpResult::Fail("scratch file came back short");
  std::copy_n(back.begin(), header.size(), header.begin());
  return OpResult::Ok();
}

CommitResult ExecuteCommit(CardSession& session, const CommitPlan& plan, FileOps& ops,
                           Progress& progress) {
  CommitResult result;
  for (const std::string& refused : plan.refused)
    result.failures.push_back({"カード外を指すパス: " + refused, "skipped"});
  if (plan.blocked) {  // a table cannot be written: nothing else may change
    result.stopped = true;
    return result;
  }
  std::vector<char> failed(plan.steps.size(), 0);
  // Tables and the journal must be on the card before any file moves, and the
  // files before the journal goes: one flush of the card at each such turn.
  bool metaDirty = false, contentDirty = false;
  auto barrier = [&] {
    if (!metaDirty && !contentDirty) return;
    metaDirty = contentDirty = false;
    if (OpResult r = ops.Flush(plan.cardRoot); !r)
      result.failures.push_back({"書き込みの確定: " + plan.cardRoot.string(), r.error});
  };
  const long total = static_cast<long>(plan.steps.size());
  size_t next = 0;
  for (MediaKind kind : kListKinds) {
    for (CommitPhase phase : {CommitPhase::Tables, CommitPhase::Deletion, CommitPhase::Renaming,
                              CommitPhase::Copying, CommitPhase::Folders}) {
      progress.Status(PhaseStatus(kind, phase));
      for (; next < plan.steps.size() && plan.steps[next].kind == kind &&
             plan.steps[next].phase == phase;
           ++next) {
        const CommitStep& s = plan.steps[next];
        progress.Step(static_cast<long>(next), total);
        if (s.after >= 0 && failed[static_cast<size_t>(s.after)]) {
          failed[next] = 1;  // its first half failed and was reported
          continue;
        }
        if (ChangesContent(s)) {
          if (metaDirty) barrier();
          result.contentTouched = true;
        }
        if (s.action == CommitStep::Action::RemoveJournal) barrier();
        OpResult r;
        switch (s.action) {
          case CommitStep::Action::MakeFolder: r = ops.MakeFolders(s.to); break;
          case CommitStep::Action::Remove: r = ops.Remove(s.from); break;
          case CommitStep::Action::Rename: r = ops.Rename(s.from, s.to); break;
          case CommitStep::Action::Copy: r = ops.CopyFile(s.from, s.to); break;
          case CommitStep::Action::RemoveJournal: r = ops.Remove(s.from); break;
          case CommitStep::Action::WriteJournal: r = WriteWhole(ops, s.to, s.journal); break;
          case CommitStep::Action::WriteTable: {
            TableHeader header{};
            OpResult removed;
            r = BuildTableHeader(ops, plan.cardRoot, s.table.folderText, s.table.recordCount,
                                 s.table.tableNumber, HandsetProfile::TablePrefix(kind), header,
                                 &removed);
            if (!removed)  // harmless for the card, but said: the next commit removes it
              result.failures.push_back({"削除: " + (plan.cardRoot / "tbl.tmp").string(), removed.error});
            if (!r) break;
            std::string bytes(header.begin(), header.end());
            bytes.append(s.table.bytes, kTableHeaderSize);
            r = WriteWhole(ops, s.to, bytes);
            break;
          }
        }
        if (r) {
          (ChangesContent(s) ? contentDirty : metaDirty) = true;
          continue;
        }
        failed[next] = 1;
        result.failures.push_back({FailureText(s), r.error});
        if (s.phase == CommitPhase::Tables || s.parking ||
            s.action == CommitStep::Action::WriteJournal) {
          // Without its tables, its journal, or with a file still in the way
          // of the final names, the card must not change further.
          result.stopped = true;
          progress.Step(total, total);
          return result;
        }
      }
    }
    progress.Status(texts::Of(texts::kUpdateStatus, kind));
    MediaCatalogue& cat = session.Catalogue(kind);
    for (int i = 0; i < cat.count; ++i) {
      MediaEntry& e = cat.Slot(i);
      if (e.toDelete) continue;
      e.sourceFolder = e.cardFolder;
      e.sourceName = e.cardName;
      e.queued = false;
    }
  }
  barrier();
  progress.Step(total, total);
  return result;
}

std::string CommitReport(const CommitResult& result) {
  if (result.Ok()) return texts::kCommitDone;
  std::string text = !result.stopped        ? texts::kCommitFailures
                     : result.contentTouched ? texts::kCommitStoppedLater
                                             : texts::kCommitStopped;
  AppendFailures(text, result.failures, 20);
  return text;
}

void AppendFailures(std::string& text, const std::vector<CommitFailure>& failures, size_t limit) {
  const size_t shown = std::min(failures.size(), limit);
  for (size_t i = 0; i < shown; ++i) text += "\n" + failures[i].what + " (" + failures[i].reason + ")";
  if (failures.size() > shown) text += "\nほか " + std::to_string(failures.size() - shown) + " 件";
}

}  // namespace fenmora
