// The commit's journal. Before the first file of a commit changes, the commit
// writes "fenmora.jnl" at the card's root: the lists it is about to write, the
// tables as they were, and for every item where its file was and what the file
// is (size and modification time; for an added file also the fingerprint of
// the copy on the card, written once the copy is complete). Files are found
// again by what they are, never by the name they happen to have, so a load
// that finds a journal (a card pulled out, or a full or failing card,
// mid-commit) can finish the update or return the card to its state before it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops.h"
#include "profile/profile.h"
#include "sync/session.h"

namespace fenmora {

inline constexpr const char* kJournalName = "fenmora.jnl";
// Names the commit gives files for a while, none of which a table record can
// hold (a record's name is a stem and a three-letter extension):
inline constexpr const char* kParkSuffix = "_";           // a file caught in an exchange of names
inline constexpr const char* kCopySuffix = ".fmcopy";     // an added file while it is copied
inline constexpr const char* kAsideSuffix = ".fmkeep";    // a file no table lists, moved out of the way

// What a file is: enough to tell it from any other file of the card without
// reading it (added files are also fingerprinted: their copy may be partial).
struct FileIdentity {
  std::int64_t size = -1;  // -1: unknown (an added file not yet copied)
  std::int64_t mtimeNs = 0;
  std::string hash;  // added files, and files that size and time cannot tell apart
};

struct JournalItem {
  MediaKind kind = MediaKind::Image;
  std::int32_t position = 0;
  bool toDelete = false;
  bool queued = false;
  std::string originFolder;  // where the file was: a card folder text, or a host folder
  std::string originName;
  std::string cardFolder;
  std::string cardName;
  std::string dateText;
  std::string title;
  std::int64_t size = 0;
  FileIdentity file;
};

struct JournalTable {
  MediaKind kind = MediaKind::Image;
  std::string cardPath;  // "\PRIVATE\DOCOMO\TABLE\STILL\SUD000.TBL"
  bool existed = false;  // there was a file before the commit
  std::string oldBytes;  // the file before the commit
  std::string newHash;   // the file the commit writes ("" when it writes none)
};

// A file no table listed, moved out of the way of a name the commit needed.
struct JournalAside {
  MediaKind kind = MediaKind::Image;
  std::string folder;  // card folder text
  std::string from, to;
};

// A copy an earlier interrupted update left that this update removes (a path
// relative to the card root), and what it is: finishing this update removes
// it too when it is still that file.
struct JournalSweep {
  std::string path;
  FileIdentity file;
};

struct Journal {
  // The update has reached the removal of the deleted items' files: from
  // here on it can only be finished.
  bool removing = false;
  // The update carries out the user's earlier choice to finish or to undo
  // an interrupted one: it is only ever finished (undoing it would return to
  // the half-done card the user chose to leave).
  bool recovery = false;
  std::vector<JournalTable> tables;
  std::vector<JournalItem> items;
  std::vector<JournalAside> asides;
  std::vector<JournalSweep> sweeps;
};

std::string EncodeJournal(const Journal& journal);
std::optional<Journal> DecodeJournal(std::string_view bytes);

// The journal at the card's root, when there is one that can be read and that
// fits the tables on the card (each table file as it was before the commit or
// as the commit wrote it). A journal that does not fit is stale and ignored.
std::optional<Journal> ReadCardJournal(const HandsetProfile& profile, const std::filesystem::path& cardRoot,
                                       FileOps& ops);

// What to do with an interrupted update.
enum class Recovery { Finish, Revert };

// Fills the catalogue of a kind from the journal, each item with its file
// where it is now, found by what it is. Finish: the lists the interrupted
// commit was writing (files still waiting for deletion come back marked for
// deletion). Revert: the lists as they were before it; the copies it made
// are to be removed (added to leftovers), and the files no table lists that
// it moved out of its way go back to their names (added to putBack).
// Items whose file cannot be found are dropped; returns their number.
int LoadKindFromJournal(const HandsetProfile& profile, const Journal& journal, MediaKind kind,
                        const std::filesystem::path& cardRoot, FileOps& ops, Recovery recovery,
                        MediaCatalogue& catalogue, std::vector<std::filesystem::path>& leftovers,
                        std::vector<std::pair<std::filesystem::path, std::filesystem::path>>* putBack = nullptr);

// The copies of the journal's sweeps that are still on the card as they were.
std::vector<std::filesystem::path> SweepsOnCard(const Journal& journal, const std::filesystem::path& cardRoot,
                                                FileOps& ops);

// True when the file at p is the one the identity describes (an added file's
// content is read and fingerprinted; any other file is only looked at).
bool IsTheFile(FileOps& ops, const std::filesystem::path& p, const FileIdentity& id, bool added);

}  // namespace fenmora
