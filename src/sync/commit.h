// Committing the catalogues to the card. The commit is first built as a plan,
// the ordered list of table writes and file operations, which is then carried
// out step by step through the file-operation layer. The plan is what a dry
// run prints, what the progress counts and what tests inspect.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "platform/fileops.h"
#include "sync/journal.h"
#include "sync/prompts.h"
#include "sync/session.h"

namespace fenmora {

enum class CommitPhase { Tables = 1, Deletion, Renaming, Copying, Folders, Removal };

// One operation of the plan.
struct CommitStep {
  enum class Action {
    MakeFolder,     // dest
    WriteTable,     // dest; ref: the table in CommitPlan::tables
    WriteJournal,   // ref: 1 once the deleted items' files are being removed
    Remove,         // src
    RemoveScratch,  // src: a scratch file of an earlier commit; already gone is as good
    Rename,         // src -> dest, never over an existing file
    CopyIn,         // src -> dest through a scratch name in dest's folder; ref: its journal item
    RemoveJournal,
  };
  Action action = Action::MakeFolder;
  MediaKind kind = MediaKind::Image;
  CommitPhase phase = CommitPhase::Tables;
  std::filesystem::path src, dest;
  int ref = -1;
};

struct CommitPlan {
  std::filesystem::path cardRoot;
  std::vector<CommitStep> steps;
  std::vector<TableFile> tables;
  // What the journal says before the first file changes (journaled: there is
  // something a pulled card could leave half done).
  Journal journal;
  bool journaled = false;
  // The content folder each slot of a kind's catalogue is given (live ones).
  std::array<std::vector<std::string>, 3> folders;
  // Files no table lists moved out of the way: "folder/from -> to".
  std::vector<std::string> asides;
  // Entries whose path would lead outside the card: left alone, and reported.
  std::vector<std::string> refused;
  // A table's folder leads outside the card: the commit changes nothing.
  bool blocked = false;
};

// Plans the commit of the three kinds to the card that was loaded, against a
// listing of the card's folders (through ops). Changes nothing, neither the
// session nor the card.
CommitPlan PlanCommit(const CardSession& session, FileOps& ops);
CommitPlan PlanCommit(const CardSession& session);

// One line per step, card paths relative to the card ("write PRIVATE/DOCOMO/
// TABLE/STILL/SUD000.TBL (2 records)", "rename A -> B").
std::string DescribeStep(const CommitPlan& plan, const CommitStep& step);

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
  // The card is not the one that was loaded: nothing was written.
  bool cardChanged = false;
  // Another program holds the card's lock: nothing was written. lockMessage
  // says who; it also says when a lock left by a program that is gone was
  // taken over (the commit then went on).
  bool lockRefused = false;
  std::string lockMessage;
  // Files no table lists, moved out of the way ("folder/from -> to").
  std::vector<std::string> asides;
  bool Ok() const { return failures.empty() && !stopped; }
};

// Carries the plan out under the card's lock, after checking that the card is
// still the one loaded.
// Keeps going past a failed copy or removal (collecting it), but stops at any
// other failure (StopsTheCommit). Updates the entries of the files it moved
// into place. The caller reloads the card afterwards.
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
