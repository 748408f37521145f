// What a commit will do, told before it does it: the counts of a commit
// plan's operations, and the items it deletes and adds with their names and
// titles. The window asks with it before the commit's first write; the
// command line's dry run prints it.
#pragma once

#include <string>

#include "sync/commit.h"
#include "sync/session.h"

namespace fenmora {

struct PlanSummary {
  int renames = 0;    // files that take another name or folder
  int deletions = 0;  // files removed from the card
  int copies = 0;     // files copied onto the card
  int tables = 0;     // management tables written
  int asides = 0;     // files no table lists, moved out of the way under a new name
  std::string text;     // the counts, as a question (UTF-8)
  std::string details;  // the deleted and the added items, one a line (UTF-8)
};

// Counts the plan's steps by what they do (a file that takes a name on its
// way, a "_" name in an exchange or a name set aside before its removal,
// counts once, by its last step) and lists, from the session, the items marked for
// deletion that lie on the card and the items queued to be added.
PlanSummary SummarizePlan(const CommitPlan& plan, const CardSession& session);

}  // namespace fenmora
