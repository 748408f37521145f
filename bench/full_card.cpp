#include "full_card.h"

#include <algorithm>
#include <fstream>

#include "catalogue/table.h"

namespace fs = std::filesystem;

namespace fenmora::bench {

namespace {

const char* const kExt[3] = {".JPG", ".MLD", ".3GP"};

// The catalogue of a list of one kind, every item at its own number.
MediaCatalogue FullList(const HandsetProfile& profile, MediaKind kind, int items = MediaCatalogue::kSlots) {
  MediaCatalogue c;
  for (int i = 1; i <= items; ++i) {
    MediaEntry& e = c.Slot(c.count++);
    e.position = i;
    e.cardName = e.sourceName = profile.ContentFileName(kind, i, kExt[KindIndex(kind)]);
    e.title = "title " + std::to_string(i);
    e.dateText = "2004:02:14 00:00:00";
    e.size = 64;
  }
  return c;
}

}  // namespace

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path HostPath(const fs::path& root, const std::string& cardPath) {
  fs::path p = root;
  std::string part;
  for (char c : cardPath + "\\") {
    if (c == '\\') {
      if (!part.empty()) p /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  return p;
}

void MakeFullCard(const fs::path& root, int itemsPerKind) {
  fs::remove_all(root);
  const HandsetProfile profile = HandsetProfile::F900i();
  for (MediaKind kind : kListKinds) {
    MediaCatalogue c = FullList(profile, kind, std::min(itemsPerKind, MediaCatalogue::kSlots));
    for (const TableFile& t : LayoutTables(profile, kind, c)) WriteFile(HostPath(root, t.tablePath), t.bytes);
    for (int i = 0; i < c.count; ++i)
      WriteFile(HostPath(root, c.Slot(i).cardFolder + c.Slot(i).cardName), std::string(64, 'x'));
  }
}

fs::path FullCardItemPath(const fs::path& root, int kindIndex, int position) {
  const HandsetProfile profile = HandsetProfile::F900i();
  const MediaKind kind = kListKinds[static_cast<size_t>(kindIndex)];
  MediaCatalogue c = FullList(profile, kind);
  LayoutTables(profile, kind, c);  // gives each entry its folder on the card
  const MediaEntry& e = c.Slot(position - 1);
  return HostPath(root, e.cardFolder + e.cardName);
}

}  // namespace fenmora::bench
