// Loading the card: the drive checks, then the three catalogues filled from
// the management tables. Nothing on the card is written, but for finishing or
// undoing an interrupted update when the user chooses so.
#pragma once

#include <filesystem>
#include <optional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops.h"
#include "sync/recovery.h"
#include "sync/prompts.h"
#include "sync/session.h"

namespace fenmora {

class FileOps;

struct LoadResult {
  enum class Outcome { Completed, Declined, NoCard };
  Outcome outcome = Outcome::Completed;
  bool Completed() const { return outcome == Outcome::Completed; }
  // Records left out: their file is missing or unreadable, or their folder
  // text or name would lead outside the card.
  int droppedRecords = 0;
  // Kinds whose tables list more than 1024 existing files (the first 1024 are
  // taken).
  std::vector<MediaKind> overfullKinds;
  // The card holds the journal of a commit that did not finish: the lists come
  // from it, and the next commit completes the work.
  bool interrupted = false;
  // ... and the lists are those before it: the next commit undoes it.
  bool reverting = false;
  // The interrupted update was finished or undone as the load began (its
  // message in recoveryMessage); or, when not, why (said, and the journal
  // stays: nothing is written until it is dealt with).
  bool recovered = false;
  std::string recoveryMessage;
  // What the card's journal was found to be (see CardJournal).
  CardJournal::State journal = CardJournal::State::None;
  // Another program holds the card's lock: its journal, if any, is its own
  // work in progress and is left alone. The holder, in words.
  std::string lockedBy;
  // Recovery stopped: these items' files could not be told from others the
  // journal names. The lists are the tables as they are; nothing is written
  // until the interrupted update is dealt with.
  std::vector<std::string> unplaced;
  // Table files that could not be read (their path and the reason): their
  // records are not listed.
  std::vector<std::string> unreadableTables;
};

// A table file longer than this is read only this far: 4096 records are more
// than a kind can use.
inline constexpr std::int64_t kMaxTableBytes = 512 + 256 * 4096;

// What to do when the card holds the journal of an interrupted update: ask,
// finish it or undo it (at once, under the card's lock, before the tables
// are read). Tables: neither; the lists are the tables as they are, and the
// session writes nothing until the update is finished or undone (a listing,
// a check, an apply that refuses to go on top of an unfinished update).
enum class InterruptedChoice { Ask, Finish, Revert, Tables };

// The table files of a kind on the card, in rising table number, as the
// handset numbers them (Image and Melody 000-999, Movie 001-FFF).
struct FoundTable {
  int number = 0;
  std::filesystem::path path;
};
std::vector<FoundTable> FindTableFiles(const HandsetProfile& profile, MediaKind kind,
                                       const std::filesystem::path& cardRoot);

// The whole load of the card at cardRoot. On Declined or NoCard the session is
// unchanged. On Completed the catalogues, the card root and the card space are set
// and session.loaded is true.
LoadResult LoadCard(CardSession& session, const std::filesystem::path& cardRoot, Prompts& prompts,
                    Progress& progress, InterruptedChoice choice = InterruptedChoice::Ask);
// The load's questions that a caller may leave out: the drive warning (the
// caller knows the volume is a card reader's or holds the card, or this is the
// reload after a commit) and the backup advice (already given for this card).
struct LoadAsks {
  bool driveWarning = true;
  bool backupAdvice = true;
};
LoadResult LoadCard(CardSession& session, const std::filesystem::path& cardRoot, Prompts& prompts,
                    Progress& progress, FileOps& ops, InterruptedChoice choice = InterruptedChoice::Ask,
                    const LoadAsks& asks = {});

// A table file as it was read: its kind, card path
// ("\PRIVATE\DOCOMO\TABLE\STILL\SUD000.TBL") and bytes (none when it could not
// be read).
struct TableOnCard {
  MediaKind kind = MediaKind::Image;
  std::string cardPath;
  std::optional<std::string> bytes;
};

// Every table file of the three kinds by card path, with its fingerprint
// ("unreadable" for one that cannot be read, named in unreadable with the
// reason), and, when asked, what was read. False when one cannot be read.
bool HashCardTables(const HandsetProfile& profile, const std::filesystem::path& cardRoot, FileOps& ops,
                    std::map<std::string, std::string>& hashes, std::vector<std::string>* unreadable = nullptr,
                    std::vector<TableOnCard>* read = nullptr);

// Before the first write of a commit or a backup: the card root is still the
// file system that was loaded and its tables are byte for byte what was
// loaded. An empty text when so, otherwise what differs. The tables read
// for it go to tables when asked (a commit's journal keeps them).
std::string CardChangedSinceLoad(const CardSession& session, FileOps& ops,
                                 std::vector<TableOnCard>* tables = nullptr);

// The names of the files (and folders) in a kind's content folder and in its
// group folders on the card, as the file-operation layer lists them. Folders
// that are missing or lead outside the card give nothing.
// Copies still under their scratch name are also added to scratchCopies.
std::vector<std::string> ListKindFolders(const HandsetProfile& profile, MediaKind kind,
                                         const std::filesystem::path& cardRoot, FileOps& ops,
                                         std::vector<std::filesystem::path>* scratchCopies = nullptr);

// A copy of a computer file still under its scratch name ("STIL0001.JPG.fmcopy").
bool IsScratchCopyName(std::string_view name);

// The scratch files commits leave when cut short: the journal's and the table
// header's at the root, and a table's beside it. None is ever the only copy of
// anything: the next commit removes them. (Copies under their scratch name are
// the journal's to name.)
std::vector<std::filesystem::path> CommitScratchFiles(const HandsetProfile& profile,
                                                      const std::filesystem::path& cardRoot, FileOps& ops);

// Only the part of the load that reads the tables of one kind into its
// catalogue (the counters of that catalogue must be 0).
void LoadKind(const HandsetProfile& profile, MediaKind kind, const std::filesystem::path& cardRoot,
              MediaCatalogue& catalogue, LoadResult& result);
void LoadKind(const HandsetProfile& profile, MediaKind kind, const std::filesystem::path& cardRoot,
              FileOps& ops, MediaCatalogue& catalogue, LoadResult& result);

}  // namespace fenmora
