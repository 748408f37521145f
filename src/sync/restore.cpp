#include "sync/restore.h"

#include <cstring>
#include <map>
#include <utility>

#include "platform/cardpath.h"
#include "sync/backup.h"
#include "sync/card_lock.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

// The load a restore makes of the card asks nothing: a folder that is not a
// removable drive was chosen by the user, and an interrupted update is
// refused, not recovered.
class QuietPrompts : public Prompts {
 public:
  Answer Ask(Question, Icon, Buttons buttons, const std::string&) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
};

// A file's fingerprint, read in pieces ("" when it cannot be read).
std::string FingerprintOf(FileOps& ops, const std::optional<fs::path>& p) { return p ? HashFile(ops, *p) : ""; }

// The backup's items of one kind, each paired with a live card item holding
// the same bytes (that file is only renamed), otherwise queued from the
// backup. Returns the bytes to copy; the card's files left unpaired go to kept.
std::int64_t PairKind(const fs::path& backup, FileOps& ops, MediaCatalogue& fromBackup,
                      const MediaCatalogue& onCard, const fs::path& cardRoot, std::vector<fs::path>& kept) {
  const CardGuard backupGuard(backup), cardGuard(cardRoot);
  std::vector<bool> used(static_cast<size_t>(onCard.count), false);
  std::map<int, std::string> cardHashes;  // read once, and only those of a size the backup has
  std::int64_t toCopy = 0;
  auto cardFile = [&](int j) { return cardGuard.Resolve(onCard.Slot(j).sourceFolder, onCard.Slot(j).sourceName); };
  for (int i = 0; i < fromBackup.count; ++i) {
    MediaEntry& e = fromBackup.Slot(i);
    const auto file = backupGuard.Resolve(e.sourceFolder, e.sourceName);
    const std::string hash = FingerprintOf(ops, file);
    if (hash.empty()) continue;  // the commit names it as a failed copy
    int match = -1;
    for (int j = 0; j < onCard.count && match < 0; ++j) {
      const MediaEntry& c = onCard.Slot(j);
      if (used[static_cast<size_t>(j)] || c.toDelete || c.queued || c.size != e.size) continue;
      auto known = cardHashes.find(j);
      if (known == cardHashes.end()) known = cardHashes.emplace(j, FingerprintOf(ops, cardFile(j))).first;
      // The same fingerprint, then the same bytes: a file is only ever
      // taken for the backup's when it is the backup's.
      if (known->second == hash && cardFile(j) && SameBytes(ops, *file, *cardFile(j))) match = j;
    }
    if (match >= 0) {
      used[static_cast<size_t>(match)] = true;
      e.sourceFolder = onCard.Slot(match).sourceFolder;
      e.sourceName = onCard.Slot(match).sourceName;
      e.queued = false;
    } else {
      e.sourceFolder = file->parent_path().string() + "/";
      e.queued = true;
      toCopy += e.size;
    }
  }
  for (int j = 0; j < onCard.count; ++j) {
    const MediaEntry& c = onCard.Slot(j);
    if (used[static_cast<size_t>(j)] || c.toDelete || c.queued) continue;
    if (const auto p = cardFile(j); p && ops.Stat(*p).exists) kept.push_back(*p);
  }
  return toCopy;
}

}  // namespace

RestoreSetup PrepareRestore(const fs::path& backup, const fs::path& cardRoot, FileOps& ops) {
  RestoreSetup setup;
  if (const auto differences = VerifyBackup(backup, ops); !differences.empty()) {
    setup.refusal.push_back(texts::kRestoreBadBackup);
    setup.refusal.insert(setup.refusal.end(), differences.begin(), differences.end());
    return setup;
  }
  // The card is read under its lock: no commit moves its files while they
  // are paired with the backup's.
  const CardLock::Taken lock = CardLock::Take(cardRoot);
  if (!lock.lock) {
    setup.refusal.push_back(lock.message);
    return setup;
  }
  CardSession& session = setup.session;
  QuietPrompts prompts;
  SilentProgress progress;
  const LoadResult loaded = LoadCard(session, cardRoot, prompts, progress, ops, InterruptedChoice::Tables);
  if (!loaded.Completed()) {
    setup.refusal.push_back(texts::kInsertCard);
    return setup;
  }
  if (loaded.interrupted) {
    setup.refusal.push_back(texts::kRestoreInterrupted);
    return setup;
  }
  Catalogues fromBackup;
  LoadResult backupLoad;
  std::int64_t toCopy = 0;
  for (MediaKind kind : kListKinds) {
    LoadKind(session.profile, kind, backup, ops, fromBackup[kind], backupLoad);
    toCopy += PairKind(backup, ops, fromBackup[kind], session.Catalogue(kind), cardRoot, setup.kept);
  }
  if (toCopy > session.space.Free()) {
    setup.refusal.push_back(std::string(texts::kNoSpace) + " (" + std::to_string(toCopy) + texts::kBytes + ")");
    return setup;
  }
  for (MediaKind kind : kListKinds) std::swap(session.Catalogue(kind), fromBackup[kind]);
  setup.leftOut = backupLoad.droppedRecords;
  return setup;
}

std::string RestoreReport(const RestoreSetup& setup, const CommitPlan& plan, const CommitResult& result) {
  std::string text = CommitReport(result);
  if (!result.Ok()) return text;
  // The commit's report, the restore's completion in place of the commit's.
  if (const size_t done = text.find(texts::kCommitDone); done != std::string::npos)
    text.replace(done, std::strlen(texts::kCommitDone), texts::kRestoreDone);
  // The kept files the commit moved aside are named by its report already.
  std::string stayed;
  for (const fs::path& p : setup.kept) {
    bool moved = false;
    for (const CommitStep& s : plan.steps) moved = moved || (s.action == CommitStep::Action::MoveAside && s.src == p);
    if (!moved) stayed += "\n" + p.lexically_relative(plan.cardRoot).generic_string();
  }
  if (!stayed.empty()) text += std::string("\n") + texts::kRestoreKept + stayed;
  if (setup.leftOut > 0) text += "\n" + std::to_string(setup.leftOut) + texts::kRestoreLeftOut;
  return text;
}

}  // namespace fenmora
