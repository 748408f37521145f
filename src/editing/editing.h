// Editing the lists before a commit. Every operation works on one kind's
// catalogue in memory (the same code for images, melodies and movies) and
// reports what it changed; the window mirrors the change in its grid. Nothing
// here touches the card.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/drives.h"
#include "profile/profile.h"
#include "sync/prompts.h"
#include "sync/session.h"

namespace fenmora {

// Titles typed in a title edit are at most 64 bytes of CP932.
inline constexpr size_t kMaxTitleBytes = 64;

// Stores the title (cut to 64 bytes at a character boundary) of the entry at
// grid row `row`. False when the row holds no live entry.
bool ApplyTitle(MediaCatalogue& catalogue, std::int32_t row, std::string_view cp932Title);

// Exchanges the entry at `row` with its upper (lower) neighbour. False, and
// nothing changed, at the ends of the list or on a row without an entry.
bool MoveUp(MediaCatalogue& catalogue, std::int32_t row);
bool MoveDown(MediaCatalogue& catalogue, std::int32_t row);

// Gives every live entry the card name of its position (prefix, number of the
// position, its current extension in its case). Entries marked for deletion
// keep their names.
void Renumber(const HandsetProfile& profile, MediaKind kind, MediaCatalogue& catalogue);

// Marks the entry at `row` for deletion: it goes behind every other entry,
// the entries below move up a place, and its clusters no longer count against
// the card. Returns the deleted entry's size, or nullopt when the row has none.
std::optional<std::int64_t> DeleteEntry(MediaCatalogue& catalogue, CardSpace& space,
                                        std::int32_t row);

// ---- queueing a file from the computer as a new item

// The file number a card name holds for a kind: n when its stem (the name
// without its extension) is the kind's prefix followed by exactly the number
// text of n, letters in any case (on FAT STIL0001.JPG and stil0001.jpg are one
// file); -1 for any other name.
std::int64_t NumberHeldBy(const HandsetProfile& profile, MediaKind kind, std::string_view name);

// Fingerprints (a 64-bit hash) of files' bytes, each file read once while
// one is kept: a batch of adds reads every item's file at most once.
class ContentFingerprints {
 public:
  // nullopt when the file cannot be read.
  std::optional<std::uint64_t> Of(const std::filesystem::path& file);

 private:
  std::unordered_map<std::string, std::optional<std::uint64_t>> known_;
  std::vector<char> buffer_;
};

// The file numbers of a kind that no entry (live, deleted or queued) and no
// file of `onCard` holds. Take gives the smallest from 1 up and keeps it from
// being given again.
class FreeFileNumbers {
 public:
  FreeFileNumbers(const HandsetProfile& profile, MediaKind kind, const MediaCatalogue& catalogue,
                  const std::vector<std::string>& onCard);
  std::int64_t Take();

 private:
  std::vector<char> used_;  // used_[n]: number n is held or was given
  std::int64_t next_ = 1;   // no number below it is free
};

// The smallest free file number of a kind, as FreeFileNumbers gives it.
std::int64_t FreeFileNumber(const HandsetProfile& profile, MediaKind kind,
                            const MediaCatalogue& catalogue,
                            const std::vector<std::string>& onCard = {});

enum class QueueOutcome {
  Queued,   // the catalogue, its grid and the card space changed
  Skipped,  // the user declined an oversized file, or the file cannot be read
  NoSpace,  // the card cannot hold it: the rest of the batch is left out
  Full,     // the kind holds its 1024 items: the rest of the batch is left out
};

inline bool StopsBatch(QueueOutcome o) { return o == QueueOutcome::NoSpace || o == QueueOutcome::Full; }

// The first look at a file the user adds, before anything opens it: its
// status when it is a plain file, not empty, whose size a table record can
// hold; otherwise nothing, the user told why (a FIFO, a device, a socket or a
// folder is refused without being opened: opening a FIFO waits for a writer
// that never comes).
std::optional<struct stat> LookBeforeAdding(const std::filesystem::path& file, Prompts& prompts);

// Queues one file of the computer as a new item of a kind: a free card name,
// its title (a melody's own title where the file has one, else its name), size
// and date, placed behind the live entries; its size is counted against the
// card. Asks about an oversized file and tells about a missing one or a full
// card through prompts.
QueueOutcome QueueFileForCard(CardSession& session, MediaKind kind,
                              const std::filesystem::path& file, Prompts& prompts);

// A file converted for the handset is queued from its converted copy: the
// copy is what the commit copies to the card, while the title and the date are
// those of the user's own file and the card name takes the extension of the
// copy's form (".JPG", ".MID").
struct QueueAs {
  std::filesystem::path original;
  std::string cardExt;
};

// A batch of files queued one after the other, as one click of "追加" or one
// drop queues them: QueueFileForCard for each, with the names taken so far
// remembered across the batch instead of searched for again.
class FileQueue {
 public:
  FileQueue(CardSession& session, MediaKind kind, Prompts& prompts);
  QueueOutcome Add(const std::filesystem::path& file, const QueueAs* as = nullptr);
  // The kind holds its 1024 items: Add would refuse any file.
  bool Full() const { return session_.Catalogue(kind_).Full(); }

 private:
  CardSession& session_;
  MediaKind kind_;
  Prompts& prompts_;
  FreeFileNumbers numbers_;
  ContentFingerprints prints_;
};

// The live entry of a kind whose file holds the bytes of `file` (`size` bytes
// long; same size, same fingerprint): an item already on the card, or one
// queued before. nullptr when there is none. Only files of that size are read.
const MediaEntry* SameContentEntry(const CardSession& session, MediaKind kind,
                                   const std::filesystem::path& file, std::int64_t size,
                                   ContentFingerprints& prints);

// The title a queued file gets: for melodies the MLD title or the SMF track
// name when there is one, otherwise (and for the other kinds) its file name
// without its extension, converted to CP932.
std::string TitleForFile(MediaKind kind, const std::filesystem::path& file);

// The extension a file of the computer takes on the card, with its dot: its
// own in upper case, or the handset's spelling of the usual others (".jpeg",
// ".jpe", ".jfif" are ".JPG" for images, ".midi" is ".MID" for melodies).
// Nothing when a table record cannot hold it: no extension, or one of more
// than three letters and digits.
std::optional<std::string> CardExtensionFor(MediaKind kind, std::string_view fileName);

// The file dialog's filter: the kind's label followed by "*.EXT;" per type.
std::string FileFilterText(const HandsetProfile& profile, MediaKind kind);

}  // namespace fenmora
