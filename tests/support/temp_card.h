// Test cards: a temporary folder standing in for the SD card, with real table
// files and content files. No Qt: used by the core tests and the window tests.
#pragma once

#include <atomic>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "profile/profile.h"

namespace fenmora::testcard {

namespace fs = std::filesystem;

// Where temporary cards are made: the folder FENMORA_TEST_CARD_DIR names (a
// mounted exFAT volume, say), otherwise the system's temporary folder.
fs::path CardBaseFolder();

// Whether symbolic links can be made in a folder (FAT and exFAT have none).
bool LinksWork(const fs::path& folder);

// Whether a folder takes names that differ only in case for one (FAT,
// exFAT): a probe file is made and looked for in other case.
bool FoldsCase(const fs::path& folder);

// The names in a folder as the file system spells them, sorted.
std::vector<std::string> NamesIn(const fs::path& folder);

// A unique temporary folder (in base, default the system's temporary folder),
// removed with everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(std::string_view tag = "fenmora", const fs::path& base = {});
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }
  // Writes bytes to a file of that name in the folder and returns its path.
  fs::path Write(const std::string& name, std::string_view bytes) const;

 private:
  fs::path path_;
};

// One record of a table and its content file.
struct CardItem {
  std::string name;       // "STIL0001.JPG"
  std::string title;      // CP932 bytes
  std::string content;    // the content file's bytes
  bool createFile = true; // false: the record names a file that is not there
  std::string dateText = "2004:02:14 00:00:00";
};

// An item with a title given in UTF-8 (stored as CP932, as on the card),
// dated as the window tests' cards are.
CardItem Item(std::string name, const char* utf8Title, std::string content = "bytes");

// A card path ("\PRIVATE\DOCOMO\STILL\STIL0001.JPG", "/" also separates)
// under the card root `root`, on disk.
fs::path CardHostPath(const fs::path& root, std::string_view cardPath);

// Writes table number `tableNumber` of a kind listing the items on the card at
// `root`, with the header folder text folderText (default: the group folder
// the handset uses for that table), and the items' content files in that
// folder.
void WriteTable(const fs::path& root, MediaKind kind, int tableNumber, const std::vector<CardItem>& items,
                std::string folderText = {});

// Lays the items out as the handset does (64 to a table and folder) and
// writes every table and file on the card at `root`.
void WriteKind(const fs::path& root, MediaKind kind, const std::vector<CardItem>& items);

class TempCard {
 public:
  TempCard();
  const fs::path& root() const { return folder_.path(); }

  // A card path on disk (as CardHostPath).
  fs::path Host(std::string_view cardPath) const { return CardHostPath(root(), cardPath); }
  void Write(std::string_view cardPath, std::string_view bytes) const;
  std::string Read(std::string_view cardPath) const;
  bool Exists(std::string_view cardPath) const;

  // WriteTable on this card.
  void WriteTable(MediaKind kind, int tableNumber, const std::vector<CardItem>& items,
                  std::string folderText = {}) const {
    testcard::WriteTable(root(), kind, tableNumber, items, std::move(folderText));
  }

  // Every file under the card root (relative path with "/" -> bytes); symbolic
  // links as "-> target".
  std::map<std::string, std::string> Snapshot() const;

 private:
  TempFolder folder_;
};

// Items first..last of a kind named as the handset names them, titled
// titlePrefix + n, each file holding contentPrefix + n.
std::vector<CardItem> NumberedItems(MediaKind kind, int first, int last, const std::string& ext,
                                    const std::string& contentPrefix = "content of ",
                                    const std::string& titlePrefix = "title");

// Every file under a folder, as TempCard::Snapshot.
std::map<std::string, std::string> SnapshotOf(const fs::path& root);

void WriteBytes(const fs::path& p, std::string_view bytes);

// A FIFO made at `path` that notices being opened for reading: a watcher
// keeps trying to open its writing end, which succeeds only while a reader
// holds it, and closes it at once. A reader that would wait for ever for a
// writer reads the end of the file instead, so a test that should refuse the
// FIFO without opening it fails instead of hanging.
class WatchedFifo {
 public:
  explicit WatchedFifo(fs::path path);
  ~WatchedFifo();
  WatchedFifo(const WatchedFifo&) = delete;
  WatchedFifo& operator=(const WatchedFifo&) = delete;
  const fs::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // Something opened it for reading.
  bool Opened() const { return opened_; }

 private:
  fs::path path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::thread watcher_;
};

// The time of a local date and time (daylight saving as the zone has it).
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second);
std::string ReadBytes(const fs::path& p);

}  // namespace fenmora::testcard
