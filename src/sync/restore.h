// Restoring a backup: the card's three lists become the backup's, written as
// a commit (planned, shown, journaled; an interrupted restore is finished or
// undone at the next load like any commit). Nothing on the card is deleted:
// files the backup does not have stay on the card, moved aside under their
// ".fmkeep" names where they stand in the way, and are named at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fileops.h"
#include "sync/commit.h"
#include "sync/session.h"

namespace fenmora {

struct RestoreSetup {
  // Why the restore cannot be done, one reason a line (a backup that is not
  // whole or does not match its manifest, an interrupted update on the card,
  // no room): nothing is written. Empty when it can.
  std::vector<std::string> refusal;
  // The card as it was just loaded, with the backup's lists in place of its
  // own: each item names the card's own file when the card holds the same
  // bytes (it is only renamed), otherwise it is queued from the backup.
  CardSession session;
  // The card's listed files that no item of the backup names: they stay.
  std::vector<std::filesystem::path> kept;
  // Records of the backup's tables left out (their file is not in the
  // backup, or they lead outside it): said at the end.
  int leftOut = 0;
};

// Verifies the backup, loads the card at cardRoot (without questions) and the
// backup's lists, and pairs the backup's files with the card's. Reads only.
RestoreSetup PrepareRestore(const std::filesystem::path& backup, const std::filesystem::path& cardRoot,
                            FileOps& ops);

// The message that ends a restore: the commit's report (the completion of the
// restore when it went through), then the card's files the backup did not
// have, each where the restore left it, relative to the card, and how many of
// the backup's records could not be restored.
std::string RestoreReport(const RestoreSetup& setup, const CommitPlan& plan, const CommitResult& result);

}  // namespace fenmora
