#include "sync/load.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "catalogue/table.h"
#include "media/file_info.h"
#include "platform/cardpath.h"
#include "platform/drives.h"
#include "sync/journal.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

// A table file longer than this is read only this far: 4096 records are more
// than a kind can use.
constexpr std::int64_t kMaxTableBytes = 512 + 256 * 4096;

bool ReadPrefix(const fs::path& p, std::int64_t limit, std::string& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  out.assign(static_cast<size_t>(limit), '\0');
  in.read(out.data(), limit);
  out.resize(static_cast<size_t>(in.gcount()));
  return !in.bad();
}

// The table number named by a file name, or -1: prefix + three digits of the
// kind's numeral + ".TBL", letters in any case (a FAT card may show them in
// lower case).
int TableNumberOf(MediaKind kind, const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 7) return -1;
  const std::string upper = AsciiUpper(name);
  if (upper.compare(0, prefix.size(), prefix) != 0) return -1;
  if (upper.compare(prefix.size() + 3, 4, ".TBL") != 0) return -1;
  const bool hex = kind == MediaKind::Movie;
  int n = 0;
  for (size_t i = prefix.size(); i < prefix.size() + 3; ++i) {
    const char c = upper[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return -1;
    n = n * (hex ? 16 : 10) + d;
  }
  return n;
}

// A file inside the card that is no symbolic link leading out of it.
bool StaysOnCard(const fs::path& root, const fs::path& p, bool& exists) {
  struct stat st;
  exists = ::lstat(p.c_str(), &st) == 0;
  if (!exists) return false;
  return !S_ISLNK(st.st_mode) || IsInside(root, p);
}

}  // namespace

std::vector<FoundTable> FindTableFiles(const HandsetProfile& profile, MediaKind kind,
                                       const fs::path& cardRoot) {
  std::vector<FoundTable> found;
  const std::string first = profile.ExpandTablePath(kind, HandsetProfile::FirstTableNumber(kind));
  const auto slash = first.rfind('\\');
  const auto folder = ResolveCardPath(cardRoot, first.substr(0, slash));
  if (!folder) return found;
  const std::string prefix = HandsetProfile::TablePrefix(kind);
  // One look at the folder instead of a probe per possible number: the same
  // files in the same order.
  std::map<int, std::string> byNumber;
  std::error_code ec;
  for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const int n = TableNumberOf(kind, name, prefix);
    if (n < HandsetProfile::FirstTableNumber(kind) || n > HandsetProfile::LastTableNumber(kind))
      continue;
    const std::string expected =
        profile.ExpandTablePath(kind, n).substr(slash + 1);  // the handset's own spelling
    auto at = byNumber.find(n);
    if (at == byNumber.end() || name == expected) byNumber[n] = name;
  }
  for (const auto& [n, name] : byNumber) found.push_back({n, *folder / name});
  return found;
}

void LoadKind(const HandsetProfile& profile, MediaKind kind, const fs::path& cardRoot,
              MediaCatalogue& catalogue, LoadResult& result) {
  bool overfull = false;
  for (const FoundTable& table : FindTableFiles(profile, kind, cardRoot)) {
    bool exists = false;
    if (!StaysOnCard(cardRoot, table.path, exists)) continue;
    std::string bytes;
    if (!ReadPrefix(table.path, kMaxTableBytes, bytes)) continue;  // unreadable: skip it
    const TableContents contents = ParseTable(bytes);
    const auto folderText = NormalizeCardFolder(contents.folderText);
    const auto folder = folderText ? ResolveCardPath(cardRoot, *folderText) : std::nullopt;
    if (!folder) {
      result.droppedRecords += static_cast<int>(contents.records.size());
      continue;
    }
    for (const TableRecord& record : contents.records) {
      const std::string name = record.FileName();
      if (!IsSafeCardFileName(name)) {
        ++result.droppedRecords;
        continue;
      }
      fs::path file = *folder / name;
      std::string sourceName = name;
      std::int32_t size = -1;
      if (StaysOnCard(cardRoot, file, exists)) {
        size = FileSizeOf(file);
      } else if (!exists) {
        // Left between the two renaming passes of an interrupted commit: the
        // file waits under its new name with "_"; the next commit finishes.
        fs::path parked = file;
        parked += "_";
        if (StaysOnCard(cardRoot, parked, exists)) {
          size = FileSizeOf(parked);
          sourceName = name + "_";
        }
      }
      if (size == -1) {
        ++result.droppedRecords;
        continue;
      }
      if (catalogue.Full()) {
        overfull = true;
        break;
      }
      MediaEntry& e = catalogue.Slot(catalogue.count);
      e.position = catalogue.count + 1;
      e.sourceFolder = *folderText;
      e.cardFolder = *folderText;
      e.sourceName = sourceName;
      e.cardName = name;
      e.dateText = record.dateText;
      e.title = record.title;
      e.size = size;
      e.toDelete = false;
      e.queued = false;
      ++catalogue.count;
    }
    if (overfull) break;
  }
  if (overfull) result.overfullKinds.push_back(kind);
}

LoadResult LoadCard(CardSession& session, const fs::path& cardRoot, Prompts& prompts,
                    Progress& progress) {
  using Icon = Prompts::Icon;
  using Buttons = Prompts::Buttons;
  LoadResult result;
  if (!IsRemovableDrive(cardRoot) &&
      prompts.Ask(Icon::Warning, Buttons::YesNo, texts::kNotRemovable) != Prompts::Answer::Yes) {
    result.outcome = LoadResult::Outcome::Declined;
    return result;
  }
  std::error_code ec;
  const std::int64_t size = fs::is_directory(cardRoot, ec) ? DiskSize(cardRoot) : -1;
  if (size == -1) {
    prompts.Tell(Icon::Error, texts::kInsertCard);
    result.outcome = LoadResult::Outcome::NoCard;
    return result;
  }
  prompts.Tell(Icon::Information, texts::kBackupAdvice);
  session.gauge.Init(size, DiskFree(cardRoot));
  progress.Busy(true);
  session.catalogues.ResetCounters();
  session.cardRoot = cardRoot;
  session.loaded = true;
  const auto journal = ReadCardJournal(session.profile, cardRoot);
  result.interrupted = journal.has_value();
  for (MediaKind kind : kListKinds) {
    progress.Status(texts::Of(texts::kLoadingStatus, kind));
    if (journal)
      result.droppedRecords += LoadKindFromJournal(*journal, kind, cardRoot, session.Catalogue(kind));
    else
      LoadKind(session.profile, kind, cardRoot, session.Catalogue(kind), result);
  }
  progress.Status("");
  progress.Busy(false);
  if (result.interrupted) prompts.Tell(Icon::Warning, texts::kInterruptedCommit);
  if (!result.overfullKinds.empty()) {
    std::string text;
    for (MediaKind k : result.overfullKinds)
      text += std::string(texts::Of(texts::kKindNames, k)) + texts::kTooManyItems + "\n";
    text.pop_back();
    prompts.Tell(Icon::Warning, text);
  }
  return result;
}

}  // namespace fenmora
