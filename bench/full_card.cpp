#include "full_card.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "catalogue/table.h"

namespace fs = std::filesystem;

namespace fenmora::bench {

namespace {

const char* const kExt[3] = {".JPG", ".MLD", ".3GP"};

// The catalogue of a list of one kind, every item at its own number.
MediaCatalogue FullList(const HandsetProfile& profile, MediaKind kind, int items = MediaCatalogue::kSlots) {
  MediaCatalogue c;
  for (int i = 1; i <= items; ++i) {
    MediaEntry& e = c.Append({});
    e.cardName = e.sourceName = profile.ContentFileName(kind, i, kExt[KindIndex(kind)]);
    e.title = "title " + std::to_string(i);
    e.dateText = "2004:02:14 00:00:00";
    e.size = static_cast<std::int64_t>(FullCardItemContent(KindIndex(kind), i).size());
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

namespace {

// The tables of a card of itemsPerKind items of each kind, and the files of
// the items for which `write` says so.
void WriteCard(const fs::path& root, int itemsPerKind, const std::function<bool(int, int)>& write) {
  const HandsetProfile profile = HandsetProfile::F900i();
  for (MediaKind kind : kListKinds) {
    MediaCatalogue c = FullList(profile, kind, std::min(itemsPerKind, MediaCatalogue::kSlots));
    std::vector<std::string> folders;
    for (const TableFile& t : LayoutTables(profile, kind, c, &folders)) WriteFile(HostPath(root, t.tablePath), t.bytes);
    for (int i = 0; i < c.count; ++i)
      if (write(KindIndex(kind), i + 1))
        WriteFile(HostPath(root, folders[static_cast<size_t>(i)] + c.Slot(i).cardName),
                  FullCardItemContent(KindIndex(kind), i + 1));
  }
}

}  // namespace

void MakeFullCard(const fs::path& root, int itemsPerKind) {
  fs::remove_all(root);
  WriteCard(root, itemsPerKind, [](int, int) { return true; });
}

void RestoreFullCard(const fs::path& root, int itemsPerKind) {
  if (!fs::is_directory(root)) {
    MakeFullCard(root, itemsPerKind);
    return;
  }
  const int items = std::min(itemsPerKind, MediaCatalogue::kSlots);
  std::vector<fs::path> place[3];
  for (int k = 0; k < 3; ++k) place[k] = FullCardItemPaths(root, k);
  // Where each item's file is now, told by what it holds.
  std::map<std::pair<int, int>, fs::path> now;
  std::vector<fs::path> strays;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext == ".TBL") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), 64);
    int k = -1, p = 0;
    if (in.gcount() == 64 && std::sscanf(head.c_str(), "item %d %d ", &k, &p) == 2 && k >= 0 && k < 3 && p >= 1 &&
        p <= items && FullCardItemContent(k, p).compare(0, 64, head) == 0 &&
        entry.file_size() == FullCardItemContent(k, p).size() && !now.count({k, p})) {
      now[{k, p}] = entry.path();
    } else {
      strays.push_back(entry.path());
    }
  }
  for (const fs::path& stray : strays) fs::remove(stray);
  // Each misplaced file steps aside, then goes to its place.
  std::vector<std::pair<fs::path, fs::path>> aside;
  for (const auto& [item, path] : now) {
    const fs::path& home = place[item.first][static_cast<size_t>(item.second - 1)];
    if (path == home) continue;
    fs::path away = path;
    away += ".aside";
    fs::rename(path, away);
    aside.emplace_back(away, home);
  }
  for (const auto& [away, home] : aside) fs::rename(away, home);
  WriteCard(root, items, [&](int k, int p) { return !now.count({k, p}); });
}

std::string FullCardItemContent(int kindIndex, int position) {
  std::string bytes = "item " + std::to_string(kindIndex) + " " + std::to_string(position) + " ";
  // A size of its own, as real pictures, melodies and movies nearly always
  // have (the card where files share sizes is measured on its own).
  bytes.resize(static_cast<size_t>(64 + kindIndex * MediaCatalogue::kSlots + position - 1), 'x');
  return bytes;
}

std::vector<fs::path> FullCardItemPaths(const fs::path& root, int kindIndex) {
  const HandsetProfile profile = HandsetProfile::F900i();
  const MediaKind kind = kListKinds[static_cast<size_t>(kindIndex)];
  MediaCatalogue c = FullList(profile, kind);
  std::vector<std::string> folders;
  LayoutTables(profile, kind, c, &folders);
  std::vector<fs::path> paths;
  for (int i = 0; i < c.count; ++i) paths.push_back(HostPath(root, folders[static_cast<size_t>(i)] + c.Slot(i).cardName));
  return paths;
}

fs::path FullCardItemPath(const fs::path& root, int kindIndex, int position) {
  const HandsetProfile profile = HandsetProfile::F900i();
  const MediaKind kind = kListKinds[static_cast<size_t>(kindIndex)];
  return FullCardItemPaths(root, kindIndex)[static_cast<size_t>(position - 1)];
}

}  // namespace fenmora::bench
