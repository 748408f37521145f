// Builds cards in a folder for tests: management tables made with the
// program's own table writer, and the content files they list. Qt-free, so
// the core's tests and the window's tests can both use it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"

namespace fenmora::testing {

// One record of a table and its content file.
struct CardItem {
  std::string cardName;               // "STIL0001.JPG"
  std::string title;                  // CP932 bytes
  std::string content = "content";    // the file's bytes
  bool withFile = true;               // false: the record names a file that is not there
  std::string dateText = "2004:03:01 12:00:00";
};

// An item with a title given in UTF-8 (stored as CP932, as on the card).
CardItem Item(std::string cardName, const char* utf8Title, std::string content = "bytes");

class CardBuilder {
 public:
  explicit CardBuilder(std::filesystem::path root, HandsetProfile profile = HandsetProfile::F900i());

  const std::filesystem::path& root() const { return root_; }
  const HandsetProfile& profile() const { return profile_; }

  // The host path of a card path written the handset's way
  // ("\PRIVATE\DOCOMO\STILL\STIL0001.JPG").
  std::filesystem::path HostPath(std::string_view cardPath) const;

  // Writes table `number` of the kind listing `items`, with `folderText` in
  // its header (the kind's content folder when empty), and the items' files
  // in that folder. Returns the table file's path.
  std::filesystem::path WriteTable(MediaKind kind, int number, const std::vector<CardItem>& items,
                                   std::string folderText = {});

  // Lays the items out as the handset does (64 to a table and folder) and
  // writes every table and file.
  void WriteKind(MediaKind kind, const std::vector<CardItem>& items);

  // Writes bytes to a card path, making its folders.
  std::filesystem::path WriteFile(std::string_view cardPath, std::string_view bytes) const;

  // "STIL0001.JPG" ... for n items of a kind, each with a title "<prefix> n".
  std::vector<CardItem> NumberedItems(MediaKind kind, int n, std::string_view ext,
                                      std::string_view titlePrefix = "item") const;

 private:
  std::filesystem::path root_;
  HandsetProfile profile_;
};

}  // namespace fenmora::testing
