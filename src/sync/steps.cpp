#include "sync/steps.h"

#include "sync/texts.h"

#include <unistd.h>

#include <set>

namespace fenmora {

namespace fs = std::filesystem;

std::string StepPaths(const CommitStep& step, const char* arrow,
                      const std::function<std::string(const fs::path&)>& name) {
  std::string text = step.src.empty() ? "" : name(step.src);
  if (!step.src.empty() && !step.dest.empty()) text += arrow;
  return text + (step.dest.empty() ? "" : name(step.dest));
}

namespace {

// What a failed step did, for the user.
std::string FailureText(const CommitStep& s) {
  return TraitsOf(s.action).failure + StepPaths(s, " → ", [](const fs::path& p) { return p.string(); });
}

}  // namespace

namespace {

// Written beside the old file (and flushed: WriteFile does) and renamed over
// it once complete: a card pulled out half way keeps the old file whole, and
// a power cut never leaves the name on bytes that were not yet written.
OpResult WriteWhole(FileOps& ops, const fs::path& to, std::string_view bytes) {
  fs::path temp = to;
  temp += kWriteSuffix;
  OpResult r = ops.WriteFile(temp, bytes);
  if (r) r = ops.Replace(temp, to);
  if (!r) ops.Remove(temp);
  return r;
}

// The journal's new state, durable before the step it describes: the file
// (flushed by WriteFile before its rename) and its name in the card's root.
OpResult WriteJournalFile(FileOps& ops, const fs::path& path, const Journal& journal) {
  OpResult r = WriteWhole(ops, path, EncodeJournal(journal));
  if (r) r = ops.SyncFolder(path.parent_path());
  return r;
}

}  // namespace

// Carries out the steps of one plan: one small function per action.
class StepRunner {
 public:
  StepRunner(const CommitPlan& plan, FileOps& ops, const Journal& journal)
      : plan_(plan), ops_(ops), journal_(journal) {}

  static OpResult MakeFolder(StepRunner& r, const CommitStep& s) { return r.ops_.MakeFolders(s.dest); }
  // The table, header and records as the plan composed them, written beside
  // its place and renamed over it.
  static OpResult WriteTable(StepRunner& r, const CommitStep& s) {
    return WriteWhole(r.ops_, s.dest, r.plan_.tables[static_cast<size_t>(s.ref)].bytes);
  }
  static OpResult WriteJournal(StepRunner& r, const CommitStep& s) {
    return WriteJournalFile(r.ops_, s.dest, r.journal_);
  }
  static OpResult Remove(StepRunner& r, const CommitStep& s) { return r.ops_.Remove(s.src); }
  static OpResult RemoveScratch(StepRunner& r, const CommitStep& s) {
    return r.ops_.Stat(s.src).exists ? r.ops_.Remove(s.src) : OpResult::Ok();
  }
  static OpResult Rename(StepRunner& r, const CommitStep& s) { return r.ops_.Rename(s.src, s.dest); }
  // (A folder that is not empty stays: it holds something the commit did not
  // put there.)
  static OpResult RemoveFolder(StepRunner& r, const CommitStep& s) {
    std::vector<std::string> names;
    if (r.ops_.ListFolder(s.dest, names) && names.empty()) ::rmdir(s.dest.c_str());
    return OpResult::Ok();
  }

  // Copied to a scratch name beside its place. A copy cut short never bears
  // the final name; one that is not the size the journal says (its source
  // changed since) is not taken.
  static OpResult CopyIn(StepRunner& r, const CommitStep& s) {
    OpResult result = r.ops_.CopyFile(s.src, s.dest);
    if (result && s.file >= 0 && r.ops_.Stat(s.dest).size != r.journal_.files[static_cast<size_t>(s.file)].id.size)
      result = OpResult::Fail(texts::kChangedWhileCopied);
    return result;
  }

 private:
  const CommitPlan& plan_;
  FileOps& ops_;
  const Journal& journal_;
};

const StepTraits& TraitsOf(CommitStep::Action action) {
  using A = CommitStep::Action;
  using C = StepTraits::Counts;
  using D = StepTraits::Done;
  using I = StepTraits::Inverse;
  using R = StepRunner;
  constexpr unsigned L = StepTraits::kLists, B = StepTraits::kBytes, N = StepTraits::kNames,
                     All = StepTraits::kAll;
  // verb, note, failure, counted as, changes content, stops the commit,
  // leaves unflushed, needs flushed, done when, undone by, run
  static const StepTraits traits[] = {
      /* MakeFolder    */ {texts::kStepMakeFolder, "", texts::kDoingMakeFolder, C::Nothing, false, true, N, 0, D::Folder, I::RemoveFolder,
                           R::MakeFolder},
      /* WriteTable    */ {texts::kStepWrite, "", texts::kDoingTable, C::Table, false, true, L, B, D::Table, I::OldTable,
                           R::WriteTable},
      /* WriteJournal  */ {texts::kStepWrite, texts::kStepJournalNote, texts::kDoingJournal, C::Nothing, false, true, 0, 0, D::Never,
                           I::Nothing, R::WriteJournal},
      /* Remove        */ {texts::kStepRemove, "", texts::kDoingRemove, C::Deletion, true, false, N, All, D::Chain, I::None, R::Remove},
      /* RemoveScratch */ {texts::kStepRemove, "", texts::kDoingRemove, C::Nothing, true, false, N, 0, D::Gone, I::Nothing,
                           R::RemoveScratch},
      /* Rename        */ {texts::kStepRename, "", texts::kDoingRename, C::Rename, true, true, N, B, D::Chain, I::NameBack, R::Rename},
      /* MoveAside     */ {texts::kStepRename, "", texts::kDoingRename, C::Aside, true, true, N, B, D::Chain, I::NameBack, R::Rename},
      /* CopyIn        */ {texts::kStepCopy, "", texts::kDoingCopy, C::Copy, true, true, B | N, 0, D::Chain, I::RemoveIt, R::CopyIn},
      /* PlaceCopy     */ {texts::kStepRename, "", texts::kDoingCopy, C::Nothing, true, true, N, B, D::Chain, I::NameBack, R::Rename},
      /* RemoveJournal */ {texts::kStepRemove, texts::kStepJournalNote, texts::kDoingRemoveJournal, C::Nothing, false, false, N, All, D::Never,
                           I::Nothing, R::Remove},
      /* RemoveFolder  */ {texts::kStepRemoveFolder, "", texts::kDoingRemoveFolder, C::Nothing, false, false, N, 0, D::Never, I::Nothing,
                           R::RemoveFolder},
  };
  static_assert(std::size(traits) == static_cast<size_t>(A::RemoveFolder) + 1);
  return traits[static_cast<size_t>(action)];
}

void RunSteps(const CommitPlan& plan, const Journal& journal, FileOps& ops, Progress& progress,
              CommitResult& result) {
  StepRunner runner(plan, ops, journal);
  // What was written and not yet flushed (StepTraits::Unflushed); a flush of
  // the card whenever a step needs some of it on the card first.
  unsigned unflushed = StepTraits::kNothing;
  auto barrier = [&] {
    if (unflushed == StepTraits::kNothing) return true;
    unflushed = StepTraits::kNothing;
    if (OpResult r = ops.Flush(plan.cardRoot); !r) {
      result.failures.push_back({texts::kDoingFlush + plan.cardRoot.string(), r.error});
      return false;
    }
    return true;
  };
  const long total = static_cast<long>(plan.steps.size());
  const char* shown = nullptr;
  for (size_t i = 0; i < plan.steps.size() && !result.stopped; ++i) {
    const CommitStep& s = plan.steps[i];
    const StepTraits& traits = TraitsOf(s.action);
    if (s.status && s.status != shown) progress.Status(shown = s.status);
    progress.Step(static_cast<long>(i), total);
    // (A flush that fails: what it was to make durable first is not.)
    if ((unflushed & traits.needsFlushed) && !barrier()) {
      result.stopped = true;
      break;
    }
    result.contentTouched = result.contentTouched || traits.changesContent || s.action == CommitStep::Action::RemoveJournal;
    if (const OpResult r = traits.run(runner, s); !r) {
      result.failures.push_back({FailureText(s), r.error});
      result.stopped = traits.stopsTheCommit;
    } else {
      unflushed |= traits.leaves;
    }
  }
  barrier();
  progress.Step(total, total);
}
}  // namespace fenmora
