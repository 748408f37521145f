#include "editing/editing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "catalogue/table.h"
#include "media/file_info.h"
#include "media/melody_title.h"
#include "platform/cardname.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "platform/numbers.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

bool ApplyTitle(MediaCatalogue& catalogue, std::int32_t row, std::string_view cp932Title) {
  MediaEntry* e = catalogue.EntryAtRow(row);
  if (!e) return false;
  e->title = Cp932CutBytes(cp932Title, kMaxTitleBytes);
  return true;
}

bool MoveUp(MediaCatalogue& catalogue, std::int32_t row) {
  return row >= 2 && catalogue.Exchange(row, row - 1);
}

bool MoveDown(MediaCatalogue& catalogue, std::int32_t row) {
  return row >= 1 && row < catalogue.LiveCount() && catalogue.Exchange(row, row + 1);
}

void Renumber(const HandsetProfile& profile, MediaKind kind, MediaCatalogue& catalogue) {
  for (int i = 0; i < catalogue.count; ++i) {
    MediaEntry& e = catalogue.Slot(i);
    if (e.toDelete) continue;
    e.cardName = profile.ContentFileName(kind, e.position, ExtensionOf(e.cardName));
  }
}

std::optional<std::int64_t> DeleteEntry(MediaCatalogue& catalogue, CardSpace& space,
                                        std::int32_t row) {
  const MediaEntry* e = catalogue.MarkDeleted(row);
  if (!e) return std::nullopt;
  space.used -= space.Footprint(e->size);
  return e->size;
}

namespace {

// The name stem an entry's card name holds: the name without its extension.
// (Cutting a fixed four characters, as a three-letter extension would allow,
// lets a ".JPEG" item leave its number free for a second ".JPEG" item of the
// same name, and the copy of the one would overwrite the other.)
std::string StemOf(const std::string& cardName) {
  const auto dot = cardName.rfind('.');
  return dot == std::string::npos ? cardName : cardName.substr(0, dot);
}

}  // namespace

std::int64_t NumberHeldBy(const HandsetProfile& profile, MediaKind kind, std::string_view name) {
  const std::string stem = CardNameKey(StemOf(std::string(name)));
  const std::string& prefix = profile.Kind(kind).filePrefix;
  if (stem.size() <= prefix.size() || stem.compare(0, prefix.size(), prefix) != 0) return -1;
  const std::string digits = stem.substr(prefix.size());
  if (digits.size() > 15) return -1;
  const auto n = ParseInteger(digits, kind == MediaKind::Movie ? 16 : 10);
  if (!n || *n < 1) return -1;
  return profile.FileNumberText(kind, *n) == digits ? *n : -1;
}

FreeFileNumbers::FreeFileNumbers(const HandsetProfile& profile, MediaKind kind,
                                 const MediaCatalogue& catalogue, const std::vector<std::string>& onCard) {
  // The entries and the files hold at most this many numbers, and fewer than
  // that many are ever taken (a kind holds kSlots entries), so the search
  // never goes past it: only those numbers need remembering.
  used_.assign(MediaCatalogue::kSlots + onCard.size() + 2, 0);
  const auto hold = [&](const std::string& name) {
    const std::int64_t n = NumberHeldBy(profile, kind, name);
    if (n >= 1 && n < static_cast<std::int64_t>(used_.size())) used_[static_cast<size_t>(n)] = 1;
  };
  for (int i = 0; i < catalogue.count; ++i) hold(catalogue.Slot(i).cardName);
  for (const std::string& name : onCard) hold(name);
}

std::int64_t FreeFileNumbers::Take() {
  while (next_ < static_cast<std::int64_t>(used_.size()) && used_[static_cast<size_t>(next_)]) ++next_;
  if (next_ < static_cast<std::int64_t>(used_.size())) used_[static_cast<size_t>(next_)] = 1;
  return next_++;
}

std::int64_t FreeFileNumber(const HandsetProfile& profile, MediaKind kind,
                            const MediaCatalogue& catalogue, const std::vector<std::string>& onCard) {
  return FreeFileNumbers(profile, kind, catalogue, onCard).Take();
}

std::optional<std::uint64_t> ContentFingerprints::Of(const fs::path& file) {
  const auto known = known_.find(file.native());
  if (known != known_.end()) return known->second;
  std::optional<std::uint64_t> print;
  // Plain files only: a queued file that has become a FIFO since is neither
  // opened nor waited on (O_NONBLOCK for one that becomes it in between).
  struct stat st;
  const int fd = PlainFileStatus(file) ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) ::close(fd);
  else if (fd >= 0) {
    // FNV-1a over every byte.
    std::uint64_t h = kFnv1aBasis;
    if (buffer_.empty()) buffer_.resize(65536);
    ssize_t n;
    while ((n = ::read(fd, buffer_.data(), buffer_.size())) > 0)
      h = Fnv1a(std::string_view(buffer_.data(), static_cast<size_t>(n)), h);
    if (n == 0) print = h;
    ::close(fd);
  }
  known_.emplace(file.native(), print);
  return print;
}

const MediaEntry* SameContentEntry(const CardSession& session, MediaKind kind, const fs::path& file,
                                   std::int64_t size, ContentFingerprints& prints) {
  const MediaCatalogue& catalogue = session.Catalogue(kind);
  std::optional<std::uint64_t> filePrint;
  bool filePrinted = false;
  // Slot by slot (a lookup by row would search the slots for every row);
  // only files of the same size are read.
  for (int i = 0; i < catalogue.count; ++i) {
    const MediaEntry* e = &catalogue.Slot(i);
    if (e->toDelete || e->size != size) continue;
    std::optional<fs::path> path;
    if (e->queued) path = fs::path(e->sourceFolder) / e->sourceName;
    else if (session.loaded) path = ResolveCardPath(session.cardRoot, e->sourceFolder, e->sourceName);
    if (!path) continue;
    if (!filePrinted) {
      filePrint = prints.Of(file);
      filePrinted = true;
      if (!filePrint) return nullptr;
    }
    if (prints.Of(*path) == filePrint) return e;
  }
  return nullptr;
}

std::string TitleForFile(MediaKind kind, const fs::path& file) {
  const std::string& full = file.native();
  const std::string_view name = std::string_view(full).substr(full.rfind('/') + 1);
  std::string title;
  if (kind == MediaKind::Melody) {
    const std::string ext = AsciiUpper(ExtensionOf(name));
    if (ext == ".MLD") title = ReadMldTitle(file);
    else if (ext == ".MID" || ext == ".SMF") title = ReadSmfTrackName(file);
  }
  // Otherwise the file's name without its extension ("旅行.jpg" is 旅行); a
  // name that is all extension (".jpg") stays whole.
  if (title.empty()) {
    const size_t dot = name.rfind('.');
    title = Utf8ToCp932(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
  }
  return title;
}

std::optional<std::string> CardExtensionFor(MediaKind kind, std::string_view fileName) {
  struct Alias {
    MediaKind kind;
    const char* spelling;
    const char* handsets;
  };
  static constexpr Alias kAliases[] = {{MediaKind::Image, ".JPEG", ".JPG"},
                                       {MediaKind::Image, ".JPE", ".JPG"},
                                       {MediaKind::Image, ".JFIF", ".JPG"},
                                       {MediaKind::Melody, ".MIDI", ".MID"}};
  std::string ext = AsciiUpper(ExtensionOf(fileName));
  for (const Alias& a : kAliases)
    if (a.kind == kind && ext == a.spelling) ext = a.handsets;
  // A record holds three bytes of extension.
  if (ext.size() < 2 || ext.size() > 4) return std::nullopt;
  for (size_t i = 1; i < ext.size(); ++i) {
    const char c = ext[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return std::nullopt;
  }
  return ext;
}

std::string FileFilterText(const HandsetProfile& profile, MediaKind kind) {
  std::string filter = texts::Of(texts::kFilterLabel, kind);
  for (const auto& rule : profile.Kind(kind).extensions) filter += "*" + rule.ext + ";";
  return filter;
}

FileQueue::FileQueue(CardSession& session, MediaKind kind, Prompts& prompts)
    : session_(session),
      kind_(kind),
      prompts_(prompts),
      // Numbers are only taken during the batch: the ones found now stay held.
      numbers_(session.profile, kind, session.Catalogue(kind), session.filesOnCard[KindIndex(kind)]) {}

std::optional<struct stat> LookBeforeAdding(const fs::path& file, Prompts& prompts) {
  using Icon = Prompts::Icon;
  const std::string shownPath = file.string();
  const std::optional<struct stat> st = PlainFileStatus(file);
  if (!st) {
    struct stat any;
    const bool exists = ::stat(file.c_str(), &any) == 0;
    prompts.Tell(Icon::Warning, (exists ? texts::kNotAPlainFile : texts::kUnreadableFile) + shownPath);
    return std::nullopt;
  }
  if (st->st_size == 0) {
    prompts.Tell(Icon::Warning, texts::kEmptyFile + shownPath);
    return std::nullopt;
  }
  if (st->st_size > kMaxRecordedSize) {
    prompts.Tell(Icon::Warning, texts::kTooLargeForTable + shownPath + "\n" + texts::kSizeLabel +
                                    std::to_string(st->st_size) + texts::kLimitLabel +
                                    std::to_string(kMaxRecordedSize) + texts::kBytes);
    return std::nullopt;
  }
  return st;
}

// A file in the handset's folders of the loaded card (PRIVATE, SD_VIDEO), which
// the commit renames before it copies: copied from its old path it could get
// another file's bytes. (A picture in DCIM is added like any other.)
static bool InCardFolders(const CardSession& session, const fs::path& file) {
  if (!session.loaded) return false;
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(session.cardRoot, ec);
  const fs::path f = fs::weakly_canonical(file, ec);
  const fs::path rel = f.lexically_relative(root);
  if (rel.empty() || rel.is_absolute() || *rel.begin() == "..") return false;
  const std::string top = AsciiUpper(rel.begin()->string());
  return top == "PRIVATE" || top == "SD_VIDEO";
}

QueueOutcome FileQueue::Add(const fs::path& file, const QueueAs* as) {
  using Icon = Prompts::Icon;
  const HandsetProfile& profile = session_.profile;
  MediaCatalogue& catalogue = session_.Catalogue(kind_);
  // The user's own file, also when a converted copy of it is queued.
  const std::string shownPath = as ? as->original.string() : file.string();

  if (catalogue.Full()) {
    prompts_.Tell(Icon::Warning, std::string(texts::Of(texts::kKindNames, kind_)) +
                                     texts::kCatalogueFull + shownPath);
    return QueueOutcome::Full;
  }
  // One look at the file gives its kind, size and time.
  const std::optional<struct stat> look = LookBeforeAdding(file, prompts_);
  if (!look) return QueueOutcome::Skipped;
  if (InCardFolders(session_, file)) {
    prompts_.Tell(Icon::Warning, texts::kInCardFolders + shownPath);
    return QueueOutcome::Skipped;
  }
  const struct stat& st = *look;
  const std::int64_t size = st.st_size;
  // The name and folder of the file, taken apart once.
  const std::string& full = file.native();
  const size_t slash = full.rfind('/');
  const std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
  std::string folder = slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
  // An extension no record can hold would be lost at the next load with the
  // file left on the card unlisted: such a file is refused before anything
  // is counted. A converted copy brings the handset's own extension.
  const std::optional<std::string> cardExt = as ? std::optional<std::string>(as->cardExt) : CardExtensionFor(kind_, name);
  if (!cardExt) {
    prompts_.Tell(Icon::Warning, texts::kUnfitExtension + shownPath);
    return QueueOutcome::Skipped;
  }
  const std::string& ext = *cardExt;
  // A format the handset does not list would sit on the card unshown.
  const ExtensionRule* rule = profile.FindExtension(kind_, ext);
  if (!rule) {
    prompts_.Tell(Icon::Warning, texts::Of(texts::kNotHandsetFormat, kind_) + shownPath);
    return QueueOutcome::Skipped;
  }
  const std::int64_t limit = rule->maxSize;
  if (size > limit &&
      prompts_.Ask(Prompts::Question::Oversize, Icon::Question, Prompts::Buttons::YesNo,
                   texts::kOversize + shownPath + "\n" + texts::kSizeLabel +
                       std::to_string(st.st_size) + texts::kLimitLabel + std::to_string(limit) +
                       texts::kBytes) != Prompts::Answer::Yes)
    return QueueOutcome::Skipped;
  if (const MediaEntry* same = SameContentEntry(session_, kind_, file, size, prints_);
      same && prompts_.Ask(Prompts::Question::Duplicate, Icon::Question, Prompts::Buttons::YesNo,
                           texts::kSameContent + same->cardName +
                               Fill(texts::kQuoted, {Cp932ToUtf8(same->title)}) +
                               texts::kSameContentQuestion + shownPath) !=
                  Prompts::Answer::Yes)
    return QueueOutcome::Skipped;
  CardSpace& space = session_.space;
  if (!space.Fits(size)) {
    prompts_.Tell(Icon::Warning, texts::kNoSpace);
    return QueueOutcome::NoSpace;
  }
  space.used += space.Footprint(size);

  // At the end of the live list.
  MediaEntry& e = catalogue.Append({});
  if (folder.empty()) folder = "./";
  e.sourceFolder = std::move(folder);
  e.sourceName = name;
  e.cardFolder = profile.Kind(kind_).contentFolder;
  e.cardName = profile.ContentFileName(kind_, numbers_.Take(), ext);
  e.title = TitleForFile(kind_, as ? as->original : file);
  e.size = size;
  e.toDelete = false;
  e.queued = true;
  e.userFile = as ? shownPath : std::string();
  struct stat originalSt;
  const bool ownDate = !as || ::stat(as->original.c_str(), &originalSt) != 0;
  e.dateText = DateTextOf(ownDate ? st.st_mtime : originalSt.st_mtime);
  return QueueOutcome::Queued;
}

QueueOutcome QueueFileForCard(CardSession& session, MediaKind kind, const fs::path& file,
                              Prompts& prompts) {
  return FileQueue(session, kind, prompts).Add(file);
}

}  // namespace fenmora
