// Committing the catalogues to the card. The commit is first built as a plan,
// the ordered list of table writes and file operations (steps.h), which is
// then carried out step by step through the file-operation layer. The plan is
// what a dry run prints, what the progress counts and what tests inspect.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "platform/fileops.h"
#include "sync/journal.h"
#include "sync/steps.h"
#include "sync/prompts.h"
#include "sync/session.h"

namespace fenmora {

// Plans the commit of the three kinds to the card that was loaded, against a
// listing of the card's folders (through ops). Changes nothing, neither the
// session nor the card.
CommitPlan PlanCommit(const CardSession& session, FileOps& ops);
CommitPlan PlanCommit(const CardSession& session);

// One line per step, card paths relative to the card ("write PRIVATE/DOCOMO/
// TABLE/STILL/SUD000.TBL (2 records)", "rename A -> B").
std::string DescribeStep(const CommitPlan& plan, const CommitStep& step);

// Carries the plan out under the card's lock, after checking that the card is
// still the one loaded. A step that fails stops it, and what it did is undone
// while the card can still be written (otherwise its journal stays for the
// next load). Only a removal at the end is passed by (collected). Updates the
// entries of the files it moved into place. The caller reloads the card
// afterwards.
CommitResult ExecuteCommit(CardSession& session, const CommitPlan& plan, FileOps& ops,
                           Progress& progress);

// The text of the message that ends a commit: the completion message, or a
// warning listing every failed operation. With `details`, the system's
// reasons go there (the window's "詳細") and the text names only what failed.
std::string CommitReport(const CommitResult& result, std::string* details = nullptr);

// One line per failure ("what (reason)"), at most limit of them, then how many
// more there were; with `details`, "what" alone in text and the whole lines
// in details.
void AppendFailures(std::string& text, const std::vector<CommitFailure>& failures, size_t limit,
                    std::string* details = nullptr);

}  // namespace fenmora
