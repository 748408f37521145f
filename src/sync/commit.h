// Committing the catalogues to the card. The commit is first built as a plan,
// the ordered list of table writes and file operations, which is then carried
// out step by step through the file-operation layer. The plan is what a dry
// run prints, what the progress counts and what tests inspect.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "platform/fileops.h"
#include "sync/prompts.h"
#include "sync/session.h"

namespace fenmora {

enum class CommitPhase { Tables = 1, Deletion, Renaming, Copying, Folders };

struct CommitStep {
  enum class Action { MakeFolder, WriteTable, Remove, Rename, Copy, WriteJournal, RemoveJournal };
  MediaKind kind = MediaKind::Image;
  CommitPhase phase = CommitPhase::Tables;
  Action action = Action::MakeFolder;
  std::filesystem::path from;  // Remove, Rename, Copy: the file as it is now
  std::filesystem::path to;    // MakeFolder, WriteTable, Rename, Copy: what it becomes
  TableFile table;             // WriteTable only
  std::string journal;         // WriteJournal only: the journal's bytes
  int placedUpTo = -1;         // WriteJournal: the last kind whose files take their final names
  bool parking = false;        // Rename: the first pass, to a name ending in "_"
  int after = -1;              // index of a step that must have worked first
};

struct CommitPlan {
  std::filesystem::path cardRoot;
  std::vector<CommitStep> steps;
  // Entries whose path would lead outside the card: left alone, and reported.
  std::vector<std::string> refused;
  // A table's folder leads outside the card: the commit changes nothing.
  bool blocked = false;
};

// Plans the commit of the three kinds to the card that was loaded. Gives every
// live entry the cardFolder of its group of 64 (the one thing planning changes
// in the catalogue).
CommitPlan PlanCommit(CardSession& session);

// One line per step, card paths relative to the card ("write PRIVATE/DOCOMO/
// TABLE/STILL/SUD000.TBL (2 records)", "rename A -> B").
std::string DescribeStep(const CommitStep& step, const std::filesystem::path& cardRoot);

struct CommitFailure {
  std::string what;    // the operation and its path
  std::string reason;  // the system's reason
};

struct CommitResult {
  std::vector<CommitFailure> failures;
  // A table file could not be written: the commit stopped there, before any
  // further file on the card was touched.
  bool stopped = false;
  // Some content file operation was carried out (before a stop).
  bool contentTouched = false;
  bool Ok() const { return failures.empty() && !stopped; }
};

// Carries the plan out. Keeps going past a failed file operation (collecting
// it), but stops at a table or journal that cannot be written and at a file
// that cannot be moved out of the way of the final names. Updates the entries of the
// files it moved into place. The caller reloads the card afterwards.
CommitResult ExecuteCommit(CardSession& session, const CommitPlan& plan, FileOps& ops,
                           Progress& progress);

// Composes a table header through the scratch file "tbl.tmp" at the card's
// root: written, read back, removed. A scratch file that cannot be removed
// does not stop the table (scratchRemoval says so).
OpResult BuildTableHeader(FileOps& ops, const std::filesystem::path& cardRoot,
                          std::string_view folderText, int recordCount, int fileNumber,
                          std::string_view prefix, TableHeader& header,
                          OpResult* scratchRemoval = nullptr);

// The text of the message that ends a commit: the completion message, or a
// warning listing every failed operation.
std::string CommitReport(const CommitResult& result);

// One line per failure ("what (reason)"), at most limit of them, then how many
// more there were.
void AppendFailures(std::string& text, const std::vector<CommitFailure>& failures, size_t limit);

}  // namespace fenmora
