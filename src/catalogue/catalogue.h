// The in-memory lists of the loaded card: one catalogue of 1024 slots per
// kind. Loading fills them, editing changes them, the commit writes them back.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "profile/profile.h"

namespace fenmora {

// One item. Card folders are kept card-relative in the handset's own form,
// with leading and trailing "\" ("\PRIVATE\DOCOMO\STILL\"); the card root is
// joined on only when a file is touched. A queued item's sourceFolder is the
// host folder the user picked it from, with a trailing "/".
struct MediaEntry {
  std::int32_t position = 0;
  std::string sourceFolder;
  std::string cardFolder;
  std::string sourceName;
  std::string cardName;
  std::string dateText;  // "2004:02:14 00:00:00"
  std::string title;     // Shift-JIS (CP932) bytes
  std::int64_t size = 0;  // in bytes; a table record holds at most kMaxRecordedSize (table.h)
  bool toDelete = false;
  // The file is not on the card yet (it was picked or dropped by the user):
  // the commit copies it and never moves or deletes its source.
  bool queued = false;
  // A queued converted copy: the user's own file it was made from, which is
  // what messages name (the copy lies in a temporary folder). Empty otherwise.
  std::string userFile;

  bool operator==(const MediaEntry&) const = default;
};

class MediaCatalogue {
 public:
  static constexpr int kSlots = 1024;

  MediaCatalogue() : slots_(std::make_unique<std::array<MediaEntry, kSlots>>()) {}

  MediaEntry& Slot(int i) { return (*slots_)[static_cast<size_t>(i)]; }
  const MediaEntry& Slot(int i) const { return (*slots_)[static_cast<size_t>(i)]; }

  std::int32_t count = 0;         // slots in use, deleted ones included
  std::int32_t deletedCount = 0;  // used slots marked for deletion

  std::int32_t LiveCount() const { return count - deletedCount; }
  bool Full() const { return count >= kSlots; }

  // The list's own rules: live entries hold positions 1..LiveCount() in list
  // order, the entries marked for deletion the positions behind them.
  // Appends a live entry at the end of the live list (the marked ones move
  // back a place); the catalogue must not be Full().
  MediaEntry& Append(MediaEntry entry);
  // Marks the live entry at grid row r for deletion: the entries behind it
  // move up a place, it goes to the very end. False when r holds none.
  MediaEntry* MarkDeleted(std::int32_t r);
  // The live entries at grid rows r and other change places. False when
  // either row holds none.
  bool Exchange(std::int32_t r, std::int32_t other);
  // Empties the list (the slots keep their contents until they are reused).
  void Clear() { count = deletedCount = 0; }

  // The first used slot (in slot order) whose position is p, or -1.
  int FindByPosition(std::int32_t p) const;

  // The live entry shown at grid row r (1-based), or nullptr when r is not a
  // row of a live entry (the blank row of an empty list included).
  MediaEntry* EntryAtRow(std::int32_t r);
  const MediaEntry* EntryAtRow(std::int32_t r) const;

  // The row count its grid should have: live + 1, never less than 2.
  std::int32_t GridRowCount() const { return LiveCount() + 1 < 2 ? 2 : LiveCount() + 1; }

 private:
  std::unique_ptr<std::array<MediaEntry, kSlots>> slots_;
};

// The four catalogues (Image, Melody, Movie, Camera), alive for the whole run.
class Catalogues {
 public:
  MediaCatalogue& operator[](MediaKind k) { return cats_[static_cast<size_t>(KindIndex(k))]; }
  const MediaCatalogue& operator[](MediaKind k) const {
    return cats_[static_cast<size_t>(KindIndex(k))];
  }
  // Start of a load: every counter to 0; the slots keep their contents until
  // they are reused.
  void ResetCounters();

 private:
  std::array<MediaCatalogue, kKindCount> cats_;
};

// The four cells of a grid row: file name, date, size, shortened title.
struct GridRow {
  std::string cardName;
  std::string dateText;
  std::string size;
  std::string title;  // CP932, at most kGridTitleBytes
};
inline constexpr size_t kGridTitleBytes = 21;
GridRow RowOf(const MediaEntry& e);

// Fits a Shift-JIS title into n bytes: unchanged when it fits, otherwise the
// longest prefix of at most n-2 bytes that ends on a character boundary,
// followed by the ellipsis 0x81 0x63.
std::string ShortenTitle(std::string_view text, size_t n);

}  // namespace fenmora
