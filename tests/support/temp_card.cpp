#include "support/temp_card.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "catalogue/table.h"
#include "platform/cp932.h"

namespace fenmora::testcard {

fs::path CardBaseFolder() {
  const char* dir = std::getenv("FENMORA_TEST_CARD_DIR");
  return dir && *dir ? fs::path(dir) : fs::temp_directory_path();
}

bool LinksWork(const fs::path& folder) {
  const fs::path link = folder / (".fenmora-link-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::create_symlink("target", link, ec);
  if (ec) return false;
  fs::remove(link, ec);
  return true;
}

bool FoldsCase(const fs::path& folder) {
  const std::string name = ".fenmora-case-" + std::to_string(::getpid());
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::error_code ec;
  { std::ofstream(folder / name).put('x'); }
  const bool folds = fs::exists(folder / upper, ec);
  fs::remove(folder / name, ec);
  return folds;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TempFolder::TempFolder(std::string_view tag, const fs::path& base) {
  static std::atomic<int> serial{0};
  path_ = (base.empty() ? fs::temp_directory_path() : base) /
          (std::string(tag) + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

WatchedFifo::WatchedFifo(fs::path path) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("mkfifo " + path_.string());
  watcher_ = std::thread([this] {
    while (!stop_) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        opened_ = true;
        ::close(fd);
      }
      ::usleep(2000);
    }
  });
}

WatchedFifo::~WatchedFifo() {
  stop_ = true;
  watcher_.join();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // Folders a test made read-only must be writable again to be removed.
  for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

fs::path TempFolder::Write(const std::string& name, std::string_view bytes) const {
  WriteBytes(path_ / name, bytes);
  return path_ / name;
}

void WriteBytes(const fs::path& p, std::string_view bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TempCard::TempCard() : folder_("fenmora-card", CardBaseFolder()) {}

void TempCard::Write(std::string_view cardPath, std::string_view bytes) const {
  WriteBytes(Host(cardPath), bytes);
}

std::string TempCard::Read(std::string_view cardPath) const { return ReadBytes(Host(cardPath)); }

bool TempCard::Exists(std::string_view cardPath) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(Host(cardPath), ec));
}

CardItem Item(std::string name, const char* utf8Title, std::string content) {
  CardItem item;
  item.name = std::move(name);
  item.title = Utf8ToCp932(utf8Title);
  item.content = std::move(content);
  item.dateText = "2004:03:01 12:00:00";
  return item;
}

fs::path CardHostPath(const fs::path& root, std::string_view cardPath) {
  fs::path p = root;
  std::string part;
  for (char c : cardPath) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) p /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) p /= part;
  return p;
}

void WriteTable(const fs::path& root, MediaKind kind, int tableNumber, const std::vector<CardItem>& items,
                std::string folderText) {
  const HandsetProfile profile = HandsetProfile::F900i();
  if (folderText.empty())
    folderText = profile.GroupFolderText(kind, tableNumber - HandsetProfile::FirstTableNumber(kind));
  const TableHeader h = ComposeTableHeader(folderText, static_cast<int>(items.size()), tableNumber,
                                           HandsetProfile::TablePrefix(kind));
  std::string bytes(h.begin(), h.end());
  for (const CardItem& item : items) {
    const TableRecordBytes r = ComposeTableRecord(item.name, item.title, item.dateText,
                                                  static_cast<std::uint32_t>(item.content.size()));
    bytes.append(r.begin(), r.end());
    if (item.createFile) WriteBytes(CardHostPath(root, folderText + "\\" + item.name), item.content);
  }
  WriteBytes(CardHostPath(root, profile.ExpandTablePath(kind, tableNumber)), bytes);
}

void WriteKind(const fs::path& root, MediaKind kind, const std::vector<CardItem>& items) {
  // One table and one folder per group of 64, as the handset keeps them.
  const HandsetProfile profile = HandsetProfile::F900i();
  const size_t groups = std::max<size_t>((items.size() + kItemsPerTable - 1) / kItemsPerTable, 1);
  for (size_t g = 0; g < groups; ++g) {
    const auto first = items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), g * kItemsPerTable));
    const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), (g + 1) * kItemsPerTable));
    const int group = static_cast<int>(g);
    WriteTable(root, kind, HandsetProfile::TableNumberOfGroup(kind, group), std::vector<CardItem>(first, last),
               profile.GroupFolderText(kind, group));
  }
}

std::vector<CardItem> NumberedItems(MediaKind kind, int first, int last, const std::string& ext,
                                    const std::string& contentPrefix, const std::string& titlePrefix) {
  const HandsetProfile profile = HandsetProfile::F900i();
  std::vector<CardItem> items;
  for (int i = first; i <= last; ++i)
    items.push_back({profile.ContentFileName(kind, i, ext), titlePrefix + std::to_string(i),
                     contentPrefix + std::to_string(i)});
  return items;
}

std::map<std::string, std::string> SnapshotOf(const fs::path& root) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string rel = it->path().lexically_relative(root).generic_string();
    if (it->is_symlink()) files[rel] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_regular_file()) files[rel] = ReadBytes(it->path());
  }
  return files;
}

std::map<std::string, std::string> TempCard::Snapshot() const { return SnapshotOf(root()); }

}  // namespace fenmora::testcard
