#include "sync/recovery.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/cardname.h"
#include "platform/cardpath.h"
#include "sync/steps.h"
#include "sync/journal_text.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

using A = StepAction;

// A journal's card path ("PRIVATE/DOCOMO/STILL/STIL0001.JPG", or a folder)
// as a path of this card, or nullopt when it would lead outside it.
std::optional<fs::path> OnCard(const CardGuard& card, std::string_view rel, bool folder = false) {
  if (rel.empty() || rel.front() == '/' || rel.find('\\') != std::string_view::npos) return std::nullopt;
  std::string folderText = "\\";
  std::string_view name;
  if (folder) {
    folderText += rel;
  } else {
    const size_t slash = rel.rfind('/');
    if (slash != std::string_view::npos) folderText += rel.substr(0, slash);
    name = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
    if (name.empty()) return std::nullopt;
  }
  std::replace(folderText.begin(), folderText.end(), '/', '\\');
  if (folderText == "\\") {
    if (folder || !IsSafeCardFileName(name)) return std::nullopt;
    const fs::path p = card.root() / std::string(name);
    return card.Contains(p) ? std::optional<fs::path>(p) : std::nullopt;
  }
  return card.Resolve(folderText, name);
}

// The card path of a table ("\PRIVATE\...\SUD000.TBL") as the journal's steps
// name it.
std::string StepPathOfTable(const std::string& cardPath) {
  std::string rel = cardPath;
  std::replace(rel.begin(), rel.end(), '\\', '/');
  while (!rel.empty() && rel.front() == '/') rel.erase(0, 1);
  return rel;
}

// Whether a step's paths are ones it may name: the card's own, a table step
// its own table's place, and the computer only as the source of a copy.
bool Confined(const HandsetProfile& profile, const Journal& j, const CardGuard& card) {
  const std::set<std::string> tables = journal_text::HandsetTablePaths(profile);
  for (const JournalTable& t : j.tables)
    if (!tables.count(t.cardPath)) return false;
  for (const JournalStep& s : j.steps) {
    switch (s.action) {
      case A::MakeFolder:
      case A::RemoveFolder:
        if (!OnCard(card, s.dest, true)) return false;
        break;
      case A::WriteTable:
        if (!SameCardName(s.dest, StepPathOfTable(j.tables[static_cast<size_t>(s.table)].cardPath)) ||
            !OnCard(card, s.dest))
          return false;
        break;
      case A::Remove:
      case A::RemoveScratch:
        if (!OnCard(card, s.src)) return false;
        break;
      case A::Rename:
      case A::MoveAside:
      case A::PlaceCopy:
        if (s.file < 0 || !OnCard(card, s.src) || !OnCard(card, s.dest)) return false;
        break;
      case A::CopyIn:
        // A copy's source may be the computer's: it is read again only when
        // it is still exactly the file the commit was planned with.
        if (s.file < 0 || !OnCard(card, s.dest) ||
            (!fs::path(s.src).is_absolute() && !OnCard(card, s.src)))
          return false;
        break;
      case A::WriteJournal:
      case A::RemoveJournal: return false;
    }
  }
  return true;
}

}  // namespace

std::string JournalFileHash(const fs::path& cardRoot, FileOps& ops, std::string* bytes) {
  const fs::path path = cardRoot / kJournalName;
  if (!ops.Stat(path).exists) return "";
  std::string read;
  if (!ops.ReadPrefix(path, kMaxJournalBytes, read)) return "unreadable";
  const std::string hash = HashBytes(read);
  if (bytes) *bytes = std::move(read);
  return hash;
}

CardJournal InspectCardJournal(const HandsetProfile& profile, const fs::path& cardRoot, FileOps& ops) {
  CardJournal found;
  const fs::path path = cardRoot / kJournalName;
  if (!ops.Stat(path).exists) return found;
  found.state = CardJournal::State::Damaged;
  std::string bytes;
  found.fileHash = JournalFileHash(cardRoot, ops, &bytes);
  if (found.fileHash == "unreadable") return found;
  // Each table path it knows, with the fingerprints a table there may have.
  std::map<std::string, std::set<std::string>> sides;
  auto journal = DecodeJournal(bytes);
  std::optional<v3::Journal> legacy;
  if (journal) {
    if (!Confined(profile, *journal, CardGuard(cardRoot))) return found;
    for (const JournalTable& t : journal->tables) {
      auto& s = sides[t.cardPath];
      if (t.existed) s.insert(HashBytes(t.oldBytes));
      if (t.written) s.insert(HashBytes(t.newBytes));
    }
  } else {
    legacy = v3::DecodeJournal(bytes);
    if (!legacy || !v3::ConfinedToCard(profile, *legacy, cardRoot)) return found;
    for (const v3::JournalTable& t : legacy->tables) {
      auto& s = sides[t.cardPath];
      if (t.existed) s.insert(HashBytes(t.oldBytes));
      if (!t.newHash.empty()) s.insert(t.newHash);
    }
  }
  // Every table file on the card must be one the journal knows: as it was
  // before the commit, or as the commit wrote it.
  found.state = CardJournal::State::Stale;
  std::map<std::string, std::string> onCard;
  if (!HashCardTables(profile, cardRoot, ops, onCard)) return found;
  for (const auto& [cardPath, hash] : onCard) {
    const auto known = sides.find(cardPath);
    if (known == sides.end() || !known->second.count(hash)) return found;
  }
  found.state = CardJournal::State::Fits;
  found.journal = std::move(journal);
  found.legacy = std::move(legacy);
  return found;
}

fs::path SetAsideJournalName(const fs::path& cardRoot, CardJournal::State state, FileOps& ops) {
  const std::string word = state == CardJournal::State::Stale ? "stale" : "damaged";
  for (int n = 1;; ++n) {
    const fs::path p = cardRoot / ("fenmora-" + word + (n == 1 ? "" : "-" + std::to_string(n)) + ".jnl");
    if (!ops.Stat(p).exists) return p;
  }
}

namespace {

// The chain of one file: its steps in order, and the names it has before and
// after each (none: not on the card, not yet copied or removed).
struct Chain {
  std::vector<size_t> steps;
  std::vector<std::optional<std::string>> places;  // places[k]: after k steps
  bool copy = false;     // it comes into being by a copy
  bool removed = false;  // its last step removes it
};

std::vector<Chain> ChainsOf(const Journal& j) {
  std::vector<Chain> chains(j.files.size());
  for (size_t i = 0; i < j.steps.size(); ++i) {
    const JournalStep& s = j.steps[i];
    if (s.file < 0) continue;
    Chain& c = chains[static_cast<size_t>(s.file)];
    if (c.steps.empty()) {
      c.copy = s.action == A::CopyIn;
      c.places.push_back(c.copy ? std::nullopt : std::optional<std::string>(s.src));
    }
    c.steps.push_back(i);
    const bool gone = s.action == A::Remove || s.action == A::RemoveScratch;
    c.removed = gone;
    c.places.push_back(gone ? std::nullopt : std::optional<std::string>(s.dest));
  }
  return chains;
}

// Looks at names of the card, each folder listed once: a name holds a file
// only when it is spelt so (FAT finds "a.jpg" under "A.JPG" too).
class CardLook {
 public:
  CardLook(const fs::path& root, FileOps& ops) : card_(root), ops_(ops) {}

  std::optional<fs::path> Path(const std::string& rel, bool folder = false) const { return OnCard(card_, rel, folder); }

  bool Holds(const std::string& rel, const FileIdentity& id, bool copy) {
    const auto p = Path(rel);
    return p && Spelt(*p) && IsTheFile(ops_, *p, id, copy);
  }
  bool Exists(const std::string& rel) {
    const auto p = Path(rel);
    return p && ops_.Stat(*p).exists;
  }
  bool Folder(const std::string& rel) {
    const auto p = Path(rel, true);
    return p && ops_.Stat(*p).folder;
  }
  // The fingerprint of a table file ("" when there is none).
  std::string TableHash(const std::string& rel) {
    const auto p = Path(rel);
    if (!p || !ops_.Stat(*p).exists) return "";
    std::string bytes;
    return ops_.ReadPrefix(*p, kMaxTableBytes + 1, bytes) ? HashBytes(bytes) : "unreadable";
  }

 private:
  bool Spelt(const fs::path& p) {
    auto known = listings_.find(p.parent_path());
    if (known == listings_.end()) {
      std::vector<std::string> names;
      ops_.ListFolder(p.parent_path(), names);
      known = listings_.emplace(p.parent_path(), std::set<std::string>(names.begin(), names.end())).first;
    }
    return known->second.count(p.filename().string()) > 0;
  }

  CardGuard card_;
  FileOps& ops_;
  std::map<fs::path, std::set<std::string>> listings_;
};

}  // namespace

JournalState ReadJournalState(const Journal& j, const fs::path& cardRoot, FileOps& ops) {
  JournalState state;
  CardLook look(cardRoot, ops);
  const std::vector<Chain> chains = ChainsOf(j);
  // Each file's candidates: where it may stand in its chain, latest first; a
  // name the card holds it under, then (when its chain allows) removed or
  // not yet copied, which no name shows.
  struct Candidate {
    int position;
    std::optional<std::string> name;
  };
  std::vector<std::vector<Candidate>> candidates(chains.size());
  std::vector<size_t> chosen(chains.size(), 0);
  for (size_t f = 0; f < chains.size(); ++f) {
    const Chain& c = chains[f];
    if (c.steps.empty()) continue;
    const FileIdentity& id = j.files[f].id;
    for (size_t k = c.places.size(); k-- > 0;)
      if (c.places[k] && look.Holds(*c.places[k], id, c.copy))
        candidates[f].push_back({static_cast<int>(k), c.places[k]});
    if (c.removed) candidates[f].push_back({static_cast<int>(c.steps.size()), std::nullopt});
    if (c.copy) candidates[f].push_back({0, std::nullopt});
  }
  // Two files that nothing tells apart (the same bytes) may both seem to
  // stand on one name; a name holds one file at a time (a rename never
  // replaces). The later arrival is believed when every earlier one can be
  // gone by now (removed); otherwise the later one has not arrived yet.
  auto arrival = [&](size_t f) {
    const Candidate& c = candidates[f][chosen[f]];
    return c.position == 0 ? -1L : static_cast<long>(chains[f].steps[static_cast<size_t>(c.position) - 1]);
  };
  for (bool changed = true; changed;) {
    changed = false;
    std::map<std::string, std::vector<size_t>> claims;
    for (size_t f = 0; f < chains.size(); ++f)
      if (chosen[f] < candidates[f].size() && candidates[f][chosen[f]].name)
        claims[CardNameKey(*candidates[f][chosen[f]].name)].push_back(f);
    for (auto& [name, files] : claims) {
      if (files.size() < 2) continue;
      std::sort(files.begin(), files.end(), [&](size_t a, size_t b) { return arrival(a) < arrival(b); });
      const size_t last = files.back();
      const bool earlierGone = std::all_of(files.begin(), files.end() - 1, [&](size_t f) {
        return chains[f].removed && !candidates[f].back().name;
      });
      if (earlierGone) {
        for (auto f = files.begin(); f != files.end() - 1; ++f) chosen[*f] = candidates[*f].size() - 1;
      } else {
        ++chosen[last];
      }
      changed = true;
      break;
    }
  }
  state.position.assign(chains.size(), -1);
  state.done.assign(j.steps.size(), false);
  for (size_t f = 0; f < chains.size(); ++f) {
    const Chain& c = chains[f];
    if (c.steps.empty()) continue;
    if (chosen[f] >= candidates[f].size()) {
      std::string names;
      for (const auto& p : c.places)
        if (p) names += (names.empty() ? "" : ", ") + *p;
      state.conflicts.push_back(j.files[f].label + Fill(texts::kNamesInParentheses, {names}));
      continue;
    }
    const int position = candidates[f][chosen[f]].position;
    state.position[f] = position;
    for (int k = 0; k < position; ++k) {
      const size_t step = c.steps[static_cast<size_t>(k)];
      state.done[step] = true;
      if (j.steps[step].action == A::Remove) state.removing = true;
    }
  }
  for (size_t i = 0; i < j.steps.size(); ++i) {
    const JournalStep& s = j.steps[i];
    if (s.file >= 0) continue;  // (a file's steps: by its chain, above)
    switch (TraitsOf(s.action).done) {
      case StepTraits::Done::Folder: state.done[i] = look.Folder(s.dest); break;
      case StepTraits::Done::Gone: state.done[i] = !look.Exists(s.src); break;
      case StepTraits::Done::Table: {
        const JournalTable& t = j.tables[static_cast<size_t>(s.table)];
        const std::string now = look.TableHash(s.dest);
        if (now == HashBytes(t.newBytes)) {
          state.done[i] = true;
        } else if (!(t.existed ? now == HashBytes(t.oldBytes) : now.empty())) {
          state.conflicts.push_back(s.dest);
        }
        break;
      }
      case StepTraits::Done::Chain:
      case StepTraits::Done::Never: break;
    }
  }
  return state;
}

namespace {

// The steps that take the card from where it is to the journal's after
// (finish) or back to its before (undo), as a plan the commit's runner
// carries out.
class RecoveryPlanner {
 public:
  RecoveryPlanner(const Journal& j, const fs::path& root, FileOps& ops, const JournalState& state)
      : j_(j), card_(root), ops_(ops), state_(state) {
    plan_.cardRoot = root;
  }

  // Empty when it can go on; otherwise why not.
  std::string Finish() {
    for (size_t i = 0; i < j_.steps.size(); ++i) {
      if (state_.done[i]) continue;
      const JournalStep& s = j_.steps[i];
      if (s.action == A::CopyIn && !SourceStillThere(s)) return texts::kRecoverySourceChanged + s.src;
      Add(s.action, s.src, s.dest, s.table >= 0 ? Table(j_.tables[static_cast<size_t>(s.table)].newBytes) : -1);
    }
    Scratch();
    return "";
  }

  std::string Undo() {
    if (state_.removing) return texts::kInterruptedFinishOnly;
    for (size_t i = j_.steps.size(); i-- > 0;) {
      if (!state_.done[i]) continue;
      const JournalStep& s = j_.steps[i];
      switch (TraitsOf(s.action).inverse) {
        case StepTraits::Inverse::Nothing: break;
        case StepTraits::Inverse::NameBack: Add(A::Rename, s.dest, s.src); break;
        case StepTraits::Inverse::RemoveIt: Add(A::RemoveScratch, s.dest, ""); break;
        case StepTraits::Inverse::OldTable: {
          const JournalTable& t = j_.tables[static_cast<size_t>(s.table)];
          if (t.existed) Add(A::WriteTable, "", s.dest, Table(t.oldBytes));
          else Add(A::RemoveScratch, s.dest, "");
          break;
        }
        case StepTraits::Inverse::RemoveFolder: Add(A::RemoveFolder, "", s.dest); break;
        case StepTraits::Inverse::None: return texts::kInterruptedFinishOnly;
      }
    }
    // A copy cut short under its scratch name goes too.
    for (size_t i = 0; i < j_.steps.size(); ++i) {
      const JournalStep& s = j_.steps[i];
      if (s.action != A::CopyIn || state_.done[i]) continue;
      const auto p = OnCard(card_, s.dest);
      const FileStat st = p ? ops_.Stat(*p) : FileStat{};
      if (st.regular && st.size <= j_.files[static_cast<size_t>(s.file)].id.size) Add(A::RemoveScratch, s.dest, "");
    }
    Scratch();
    return "";
  }

  CommitPlan& plan() { return plan_; }

 private:
  // A copy is made again only from exactly the file the commit was planned
  // with: a plain file (no link, no device, no FIFO), its size and its whole
  // fingerprint.
  bool SourceStillThere(const JournalStep& s) {
    const FileIdentity& id = j_.files[static_cast<size_t>(s.file)].id;
    const auto p = fs::path(s.src).is_absolute() ? std::optional<fs::path>(s.src) : OnCard(card_, s.src);
    if (!p || id.hash.empty()) return false;
    const FileStat st = ops_.Stat(*p);
    return st.regular && st.size == id.size && HashFile(ops_, *p) == id.hash;
  }

  int Table(const std::string& bytes) {
    TableFile t;
    t.bytes = bytes;
    plan_.tables.push_back(std::move(t));
    return static_cast<int>(plan_.tables.size()) - 1;
  }

  void Add(A action, const std::string& src, const std::string& dest, int table = -1) {
    CommitStep s;
    s.action = action;
    s.status = texts::kRecoveryStatus;
    auto path = [&](const std::string& rel, bool folder) -> fs::path {
      if (rel.empty()) return {};
      if (fs::path(rel).is_absolute()) return rel;
      return OnCard(card_, rel, folder).value_or(fs::path());
    };
    const bool folder = action == A::MakeFolder || action == A::RemoveFolder;
    s.src = path(src, folder);
    s.dest = path(dest, folder);
    s.ref = table;
    plan_.steps.push_back(std::move(s));
  }

  // The scratch files of the journal's tables (a table is written beside
  // its place, then renamed over it) and of the journal itself.
  void Scratch() {
    std::vector<std::string> scratch = {std::string(kJournalName) + kWriteSuffix};
    for (const JournalStep& s : j_.steps)
      if (s.action == A::WriteTable) scratch.push_back(s.dest + kWriteSuffix);
    for (const std::string& rel : scratch)
      if (const auto p = OnCard(card_, rel); p && ops_.Stat(*p).regular) Add(A::RemoveScratch, rel, "");
  }

  const Journal& j_;
  CardGuard card_;
  FileOps& ops_;
  const JournalState& state_;
  CommitPlan plan_;
};

}  // namespace

RecoveryResult RecoverUpdate(const fs::path& cardRoot, const Journal& journal, Recovery recovery, FileOps& ops,
                             Progress& progress) {
  RecoveryResult result;
  const JournalState state = ReadJournalState(journal, cardRoot, ops);
  if (!state.conflicts.empty()) {
    result.refusal = texts::kRecoveryConflict;
    for (const std::string& c : state.conflicts) result.refusal += "\n" + c;
    return result;
  }
  RecoveryPlanner planner(journal, cardRoot, ops, state);
  if (recovery == Recovery::Finish && journal.mode == Journal::Mode::Undoing) recovery = Recovery::Revert;
  if (const std::string why = recovery == Recovery::Finish ? planner.Finish() : planner.Undo(); !why.empty()) {
    result.refusal = why;
    return result;
  }
  CommitPlan& plan = planner.plan();
  const fs::path journalPath = cardRoot / kJournalName;
  Journal written = journal;
  if (recovery == Recovery::Revert && journal.mode != Journal::Mode::Undoing) {
    // Undoing is a plan of its own: once begun, it is what the journal says.
    written.mode = Journal::Mode::Undoing;
    CommitStep first;
    first.action = A::WriteJournal;
    first.dest = journalPath;
    first.status = texts::kRecoveryStatus;
    plan.steps.insert(plan.steps.begin(), first);
  }
  CommitStep last;
  last.action = A::RemoveJournal;
  last.src = journalPath;
  last.status = texts::kRecoveryStatus;
  plan.steps.push_back(last);
  CommitResult run;
  RunSteps(plan, written, ops, progress, run);
  result.failures = run.failures;
  result.ok = run.Ok();
  result.journalLeft = ops.Stat(journalPath).exists;
  return result;
}

}  // namespace fenmora
