// The journal format 3 of fenmora 0.1.4 and before, read only to take up an
// update they left unfinished: the lists it was writing, each file found
// again by what it is, then carried out by a commit of today's kind.
// To be removed at 1.0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops.h"
#include "profile/profile.h"
#include "sync/journal.h"
#include "sync/session.h"

namespace fenmora::v3 {

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

// The old journal's check: complete, its checksum, every table path one of
// the handset's, every path confined to the card.
bool ConfinedToCard(const HandsetProfile& profile, const Journal& j, const std::filesystem::path& cardRoot);

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

}  // namespace fenmora::v3
