// The commit's journal: the plan's own steps, written at the card's root
// ("fenmora.jnl") before the first of them changes anything.
//
// NOTES ON THE DESIGN OF RECOVERY
//
// A commit is an ordered list of steps (StepAction). The journal holds that
// list whole: each step's names, the file it moves (by what the file is:
// FileIdentity), and for a table the bytes before and after. It is written
// once, flushed, and never rewritten while the commit runs; whether a step is
// done is read from the card, not from the journal.
//
// Invariants, each kept by the commit's order and its flushes (commit.cpp):
//  1. The journal is durable before the first step that changes the card,
//     and stays until every step is durable. No journal: the card is whole,
//     as before or as after.
//  2. Every name a step gives a file was free when the commit was planned
//     (the planner moves whatever stood there aside first, as a step), and a
//     rename never replaces: a name holds at most one file the journal names
//     at any time.
//  3. Copies are made under scratch names and flushed before any name or
//     table changes: a copy that bears its final name is complete.
//  4. Every name and table is durable before the first file is removed:
//     once a removal is done, only finishing is left (there is no inverse).
//  5. Each file the steps move follows a chain of names (its steps in
//     order). Where it stands in its chain says which of its steps are done;
//     it is looked for only at the names of its chain, and known there by its
//     identity. A power cut may lose any step not yet flushed; a torn rename
//     leaves the file at one end of it. Either way the file is at one name
//     of its chain, and the steps before that name are done.
//  6. A table is done when it holds the new bytes, not done when it holds
//     the old ones (or is absent and was), and anything else is someone
//     else's: recovery stops.
//
// Finishing carries out, in order, the steps that are not done; undoing
// carries out the inverses of the done ones, in reverse order. Both read the
// card afresh each time they start, so either, cut at any point and run
// again, starts from where the card is and converges. Undoing first marks the
// journal as an undo (one rewrite): the next attempt goes on undoing. Where a
// file of the journal is at none of its chain's names, or a name holds
// something else, recovery moves nothing and says which item and which name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops.h"
#include "profile/profile.h"

namespace fenmora {

inline constexpr const char* kJournalName = "fenmora.jnl";
// Names the commit gives files for a while, none of which a table record can
// hold (a record's name is a stem and a three-letter extension):
inline constexpr const char* kParkSuffix = "_";           // a file caught in an exchange of names
inline constexpr const char* kCopySuffix = ".fmcopy";     // an added file while it is copied
inline constexpr const char* kAsideSuffix = ".fmkeep";    // a file no table lists, moved out of the way
inline constexpr const char* kWriteSuffix = ".tmp";       // a table or the journal, written beside its place
// The table header scratch file earlier versions wrote at the card root and
// may have left there (swept and reported; never written now).
inline constexpr const char* kOldHeaderScratch = "tbl.tmp";

// What a file is, by its bytes only: copying the card off and back (which
// gives every file a new time) changes nothing of it. Its size always; the
// fingerprint of its first 4 KiB when another file the journal names has the
// same size; the fingerprint of all of it when those agree too, and for
// copies (which may be partial).
inline constexpr std::int64_t kHeadBytes = 4096;
struct FileIdentity {
  std::int64_t size = -1;  // -1: unknown
  std::int64_t mtimeNs = 0;  // kept for the record; never decides anything
  std::string hash;  // all of the file
  std::string head;  // its first kHeadBytes
};

// True when the file at p is the one the identity describes: a plain file
// (links not followed), its size, and every fingerprint the identity has (a
// copy must have its whole one).
bool IsTheFile(FileOps& ops, const std::filesystem::path& p, const FileIdentity& id, bool copy);

// The fingerprint of a file's first kHeadBytes ("" when it cannot be read).
std::string HeadOf(FileOps& ops, const std::filesystem::path& p);

// What a step does. Its traits (how it runs, how it is named, whether it is
// done on the card, what undoes it) are in commit.cpp.
enum class StepAction {
  MakeFolder,     // dest
  WriteTable,     // dest; table: its new bytes
  WriteJournal,   // dest
  Remove,         // src: the file of a deleted item
  RemoveScratch,  // src: a scratch file of an earlier commit; already gone is as good
  Rename,         // src -> dest, never over an existing file
  MoveAside,      // src -> dest: a file no table lists, kept under another name
  CopyIn,         // src -> dest, the copy's scratch name beside its place
  PlaceCopy,      // src (a copy's scratch name) -> dest, its place
  RemoveJournal,  // src
  RemoveFolder,   // dest: a folder the commit made, when it is empty (undoing)
};

struct JournalTable {
  MediaKind kind = MediaKind::Image;
  std::string cardPath;  // "\PRIVATE\DOCOMO\TABLE\STILL\SUD000.TBL"
  bool existed = false;  // there was a file before the commit
  std::string oldBytes;  // the file before the commit
  bool written = false;  // the commit writes it
  std::string newBytes;  // what it writes
};

// A file the steps move, copy or remove.
struct JournalFile {
  FileIdentity id;
  std::string label;  // how messages name it ("STIL0002.JPG 海")
};

struct JournalStep {
  StepAction action = StepAction::MakeFolder;
  // Card paths relative to the card's root, "/" between folders
  // ("PRIVATE/DOCOMO/STILL/STIL0001.JPG"); a copy's source may be a file of
  // the computer (an absolute path).
  std::string src, dest;
  int file = -1;   // the JournalFile it moves, copies or removes
  int table = -1;  // WriteTable: the JournalTable it writes
};

struct Journal {
  enum class Mode {
    Update,      // a commit: finished or undone, as the user chooses
    FinishOnly,  // carries out a choice already made about an earlier update
    Undoing,     // being undone: going on undoing is all that is left
  };
  Mode mode = Mode::Update;
  std::vector<JournalTable> tables;
  std::vector<JournalFile> files;
  std::vector<JournalStep> steps;
};

// What to do with an interrupted update.
enum class Recovery { Finish, Revert };

std::string EncodeJournal(const Journal& journal);
// Nothing read from a journal grows beyond a small multiple of its size, and
// a journal that fails its check (complete, its checksum, its fields) is
// nullopt.
std::optional<Journal> DecodeJournal(std::string_view bytes);

// A journal file is read at most this far.
inline constexpr std::int64_t kMaxJournalBytes = 64 << 20;

}  // namespace fenmora
