// The commit's journal. Before the first file of a commit changes, the commit
// writes "fenmora.jnl" at the card's root: the lists it is about to write, the
// tables as they were, and for every item where its file was and what the file
// is (FileIdentity: its size, and fingerprints of its bytes where sizes are
// shared; for an added file the fingerprint of the copy on the card, written
// once the copy is complete). Files are found
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
// The table header scratch file earlier versions wrote at the card root and
// may have left there (swept and reported; never written now).
inline constexpr const char* kOldHeaderScratch = "tbl.tmp";

// What a file is, by its bytes only: copying the card off and back (which
// gives every file a new time) changes nothing of it. Its size always; the
// fingerprint of its first 4 KiB when another file the journal names has the
// same size; the fingerprint of all of it when those agree too, and for added
// files (whose copy may be partial).
inline constexpr std::int64_t kHeadBytes = 4096;
struct FileIdentity {
  std::int64_t size = -1;  // -1: unknown (an added file not yet copied)
  std::int64_t mtimeNs = 0;  // kept for the record; never decides anything
  std::string hash;  // all of the file
  std::string head;  // its first kHeadBytes
};

// Whether the two may be different files that nothing the identities say
// tells apart (neither size nor a fingerprint both have). Two files whose
// whole fingerprints agree are the same bytes: taking one for the other loses
// nothing, so they are not indistinct in this sense.
bool Indistinct(const FileIdentity& a, const FileIdentity& b);

struct JournalItem {
  MediaKind kind = MediaKind::Image;
  std::int32_t position = 0;
  bool toDelete = false;
  bool queued = false;
  std::string sourceFolder;  // where the file was: a card folder text, or a host folder
  std::string sourceName;
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
  FileIdentity file;  // (size -1: an older journal that did not say)
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
  std::optional<Journal> journal;  // when Fits
  std::string fileHash;            // the journal file's fingerprint ("" when none)
};
// The journal file's fingerprint: "" when there is none, "unreadable" when
// it cannot be read (its bytes go to bytes when asked).
std::string JournalFileHash(const std::filesystem::path& cardRoot, FileOps& ops, std::string* bytes = nullptr);
CardJournal InspectCardJournal(const HandsetProfile& profile, const std::filesystem::path& cardRoot, FileOps& ops);
// The journal when it Fits.
std::optional<Journal> ReadCardJournal(const HandsetProfile& profile, const std::filesystem::path& cardRoot,
                                       FileOps& ops);
// A free name at the card root for a journal that is set aside, never acted
// on: "fenmora-stale.jnl", "fenmora-stale-2.jnl", ...
std::filesystem::path SetAsideJournalName(const std::filesystem::path& cardRoot, CardJournal::State state,
                                          FileOps& ops);

// What to do with an interrupted update.
enum class Recovery { Finish, Revert };

// Fills the catalogue of a kind from the journal, each item with its file
// where it is now, found by what it is. Finish: the lists the interrupted
// commit was writing (files still waiting for deletion come back marked for
// deletion). Revert: the lists as they were before it; the copies it made
// are to be removed (added to leftovers), and the files no table lists that
// it moved out of its way go back to their names (added to putBack).
// Items whose file cannot be found are dropped; returns their number. An item
// whose file the journal cannot tell from another file it names is not placed
// on a guess: it is added to unplaced ("STIL0002.JPG 海"), and the caller
// must not act on the journal.
int LoadKindFromJournal(const HandsetProfile& profile, const Journal& journal, MediaKind kind,
                        const std::filesystem::path& cardRoot, FileOps& ops, Recovery recovery,
                        MediaCatalogue& catalogue, std::vector<std::filesystem::path>& leftovers,
                        std::vector<std::pair<std::filesystem::path, std::filesystem::path>>* putBack = nullptr,
                        std::vector<std::string>* unplaced = nullptr);

// The copies of the journal's sweeps that are still on the card as they were.
std::vector<std::filesystem::path> SweepsOnCard(const Journal& journal, const std::filesystem::path& cardRoot,
                                                FileOps& ops);

// True when the file at p is the one the identity describes: its size, and
// every fingerprint the identity has (an added file must have its whole one).
bool IsTheFile(FileOps& ops, const std::filesystem::path& p, const FileIdentity& id, bool added);

// The fingerprint of a file's first kHeadBytes ("" when it cannot be read).
std::string HeadOf(FileOps& ops, const std::filesystem::path& p);

}  // namespace fenmora
