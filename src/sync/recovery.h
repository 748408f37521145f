// An update that did not finish: the journal it left on the card, what the
// card shows of each of its steps, and finishing or undoing it (the design
// notes are in journal.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fileops.h"
#include "profile/profile.h"
#include "sync/journal.h"
#include "sync/journal_v3.h"
#include "sync/prompts.h"
#include "sync/steps.h"

namespace fenmora {

// What the card's root holds of a journal. A journal is input like any file of
// the card: it is acted on only when it passes its own check (complete, its
// checksum, every table path one of the handset's, every path confined to the
// card) and fits the tables on the card (each table file as it was before the
// commit or as the commit wrote it).
struct CardJournal {
  enum class State {
    None,     // no journal
    Fits,     // an interrupted update
    Stale,    // neither its "before" nor its "after" is the card (a backup copied back, the card edited elsewhere)
    Damaged,  // empty, cut short, failing its checksum or naming paths it may not
  };
  State state = State::None;
  std::optional<Journal> journal;      // when Fits
  std::optional<v3::Journal> legacy;   // when Fits and written by fenmora 0.1.4 or before
  std::string fileHash;                // the journal file's fingerprint ("" when none)
  bool Interrupted() const { return state == State::Fits; }
};
// The journal file's fingerprint: "" when there is none, "unreadable" when
// it cannot be read (its bytes go to bytes when asked).
std::string JournalFileHash(const std::filesystem::path& cardRoot, FileOps& ops, std::string* bytes = nullptr);
CardJournal InspectCardJournal(const HandsetProfile& profile, const std::filesystem::path& cardRoot, FileOps& ops);
// A free name at the card root for a journal that is set aside, never acted
// on: "fenmora-stale.jnl", "fenmora-stale-2.jnl", ...
std::filesystem::path SetAsideJournalName(const std::filesystem::path& cardRoot, CardJournal::State state,
                                          FileOps& ops);

// What the card shows of a journal's steps.
struct JournalState {
  // Per file of the journal: how many steps of its chain are done (-1: it is
  // at none of its chain's names).
  std::vector<int> position;
  // Per step.
  std::vector<bool> done;
  // Where the card is neither a step's before nor its after: the item and the
  // name, one a line. Recovery moves nothing while there are any.
  std::vector<std::string> conflicts;
  // A deleted item's file is removed: only finishing is left.
  bool removing = false;
};
JournalState ReadJournalState(const Journal& journal, const std::filesystem::path& cardRoot, FileOps& ops);

struct RecoveryResult {
  bool ok = false;
  // Why nothing was done (the card matches neither side of a step, the
  // source of a copy to make again changed, undoing is no longer possible).
  std::string refusal;
  std::vector<CommitFailure> failures;
  // The journal is still on the card: the update can be taken up again.
  bool journalLeft = true;
};

// Finishes or undoes the update of the journal on the card at cardRoot. The
// caller holds the card's lock. Progress shows the steps.
RecoveryResult RecoverUpdate(const std::filesystem::path& cardRoot, const Journal& journal, Recovery recovery,
                             FileOps& ops, Progress& progress);

}  // namespace fenmora
