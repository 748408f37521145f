// The steps a plan is made of, what each kind of step is (its traits: how it
// runs, how it is named, how the card shows it done, what undoes it), and the
// runner that carries a list of them out: the commit's, and those of finishing
// or undoing an interrupted update.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "platform/fileops.h"
#include "sync/journal.h"
#include "sync/prompts.h"

namespace fenmora {

// One operation of the plan. The plan is carried out in its order, step by
// step; what each kind of step means is its StepTraits.
struct CommitStep {
  using Action = StepAction;
  Action action = Action::MakeFolder;
  MediaKind kind = MediaKind::Image;
  // What the window shows while the step runs (nullptr: what it showed before).
  const char* status = nullptr;
  std::filesystem::path src, dest;
  int ref = -1;   // WriteTable: the table in CommitPlan::tables
  int file = -1;  // the file of the journal it moves, copies or removes
};

class StepRunner;

// What an action is: how it is done, how a dry run and a failure name it,
// what the question before the commit counts it as, what its failure means
// for the steps after it, how the card shows that it is done and what undoes
// it.
struct StepTraits {
  const char* verb;     // a dry run's word ("rename ")
  const char* note;     // after a dry run's paths (" (journal)"), or ""
  const char* failure;  // a failure's words ("名前の変更: ")
  enum class Counts { Nothing, Table, Deletion, Rename, Aside, Copy } counts;
  // The content of the card changes (a file goes, comes or takes a name):
  // the commit is journaled.
  bool changesContent;
  // A failure stops the commit (which then undoes what it did). Only the
  // removals at the end go on past one: nothing can undo those before them.
  bool stopsTheCommit;
  // What the step leaves to be flushed, and what must be on the card before
  // it runs (a flush of the card at each such turn): the copies' bytes before
  // any name or table changes; every name and table before a file is
  // removed; everything before the journal goes.
  enum Unflushed : unsigned { kNothing = 0, kLists = 1, kBytes = 2, kNames = 4, kAll = 7 };
  unsigned leaves, needsFlushed;
  // How the card shows that it is done: the file it moves stands past it in
  // its chain (journal.h), the folder is there, the table holds its new
  // bytes, the name is free; or not at all (the journal's own steps).
  enum class Done { Chain, Folder, Table, Gone, Never } done;
  // What undoes it: nothing to undo, the file back to its old name, the file
  // it made removed, the table's old bytes, the folder removed when empty;
  // or nothing can (a removal).
  enum class Inverse { Nothing, NameBack, RemoveIt, OldTable, RemoveFolder, None } inverse;
  OpResult (*run)(StepRunner&, const CommitStep&);
};
const StepTraits& TraitsOf(CommitStep::Action action);

struct CommitPlan {
  std::filesystem::path cardRoot;
  std::vector<CommitStep> steps;
  std::vector<TableFile> tables;
  // What the journal says before the first file changes (journaled: there is
  // something a pulled card could leave half done): its tables and files; its
  // steps are the plan's, written when the commit runs.
  Journal journal;
  bool journaled = false;
  // Where each file of the journal was when the commit was planned.
  std::vector<std::filesystem::path> fileSources;
  // The content folder each slot of a kind's catalogue is given (live ones).
  std::array<std::vector<std::string>, 3> folders;
  // Files no table lists moved out of the way: "folder/from -> to".
  std::vector<std::string> asides;
  // Entries whose path would lead outside the card: left alone, and reported.
  std::vector<std::string> refused;
  // A table's folder leads outside the card: the commit changes nothing.
  bool blocked = false;
};

struct CommitFailure {
  std::string what;    // the operation and its path
  std::string reason;  // the system's reason
};

struct CommitResult {
  std::vector<CommitFailure> failures;
  // A step failed and the commit stopped there.
  bool stopped = false;
  // ... and undid what it had done: the card is as it was.
  bool undone = false;
  // Some content file operation was carried out (before a stop).
  bool contentTouched = false;
  // The card is not the one that was loaded: nothing was written.
  bool cardChanged = false;
  // Nothing was written, for the reason refusal gives: another program holds
  // the card's lock, or an interrupted update was neither finished nor undone.
  bool refused = false;
  std::string refusal;
  // A lock left by a program that is gone was taken over (said first).
  std::string lockMessage;
  // Files no table lists, moved out of the way ("folder/from -> to").
  std::vector<std::string> asides;
  bool Ok() const { return failures.empty() && !stopped; }
};

// "a -> b", "a" or "b": the paths a step names, each through name.
std::string StepPaths(const CommitStep& step, const char* arrow,
                      const std::function<std::string(const std::filesystem::path&)>& name);

// Runs the steps of a plan in order, the card flushed where the traits ask,
// each failure added to result, up to the first that stops the commit.
// journal is what a WriteJournal step writes.
void RunSteps(const CommitPlan& plan, const Journal& journal, FileOps& ops, Progress& progress,
              CommitResult& result);

}  // namespace fenmora
