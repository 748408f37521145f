#include "sync/load.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <system_error>

#include "catalogue/table.h"
#include "media/file_info.h"
#include "platform/cardname.h"
#include "platform/cardpath.h"
#include "platform/drives.h"
#include "platform/fileops.h"
#include "sync/card_lock.h"
#include "sync/commit.h"
#include "sync/journal.h"
#include "sync/recovery.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

// The table number named by a file name, or -1: prefix + three digits of the
// kind's numeral + ".TBL", letters in any case (a FAT card may show them in
// lower case).
int TableNumberOf(MediaKind kind, const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 7) return -1;
  const std::string upper = AsciiUpper(name);
  if (upper.compare(0, prefix.size(), prefix) != 0) return -1;
  if (upper.compare(prefix.size() + 3, 4, ".TBL") != 0) return -1;
  return HandsetProfile::ParseNumeral(kind, std::string_view(upper).substr(prefix.size(), 3));
}

// The size of a file a record lists, with one look at it: -1 when it is
// missing, not a plain file, or a link that leads out of the card.
std::int64_t ProbeListedFile(const CardGuard& card, const fs::path& p, bool& exists) {
  struct stat st;
  exists = ::lstat(p.c_str(), &st) == 0;
  if (!exists) return -1;
  if (S_ISLNK(st.st_mode)) return card.Contains(p) ? FileSizeOf(p) : -1;
  if (!S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

}  // namespace

std::vector<FoundTable> FindTableFiles(const HandsetProfile& profile, MediaKind kind,
                                       const fs::path& cardRoot) {
  std::vector<FoundTable> found;
  const std::string tableFolder = profile.TableFolderText(kind);
  const auto folder = ResolveCardPath(cardRoot, tableFolder);
  if (!folder) return found;
  const std::string prefix = HandsetProfile::TablePrefix(kind);
  // One look at the folder instead of a probe per possible number: the same
  // files in the same order.
  std::map<int, std::string> byNumber;
  std::error_code ec;
  for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
    // A table that is a link out of the card is no table of this card.
    if (it->is_symlink(ec) && !IsInside(cardRoot, it->path())) continue;
    const std::string name = it->path().filename().string();
    const int n = TableNumberOf(kind, name, prefix);
    if (n < HandsetProfile::FirstTableNumber(kind) || n > HandsetProfile::LastTableNumber(kind))
      continue;
    const std::string expected =
        profile.ExpandTablePath(kind, n).substr(tableFolder.size() + 1);  // the handset's own spelling
    auto at = byNumber.find(n);
    if (at == byNumber.end() || name == expected) byNumber[n] = name;
  }
  for (const auto& [n, name] : byNumber) found.push_back({n, *folder / name});
  return found;
}

void LoadKind(const HandsetProfile& profile, MediaKind kind, const fs::path& cardRoot,
              MediaCatalogue& catalogue, LoadResult& result) {
  RealFileOps ops;
  LoadKind(profile, kind, cardRoot, ops, catalogue, result);
}

bool HashCardTables(const HandsetProfile& profile, const fs::path& cardRoot, FileOps& ops,
                    std::map<std::string, std::string>& hashes, std::vector<std::string>* unreadable,
                    std::vector<TableOnCard>* read) {
  hashes.clear();
  if (read) read->clear();
  bool all = true;
  for (MediaKind kind : kListKinds) {
    for (const FoundTable& t : FindTableFiles(profile, kind, cardRoot)) {
      std::string bytes;
      const std::string cardPath = profile.ExpandTablePath(kind, t.number);
      // (One that cannot be read, a folder in its place say, is marked as
      // such: as long as it stays so, the card is still the one loaded.)
      if (const OpResult r = ops.ReadPrefix(t.path, kMaxTableBytes + 1, bytes); !r) {
        hashes[cardPath] = "unreadable";
        if (unreadable) unreadable->push_back(t.path.string() + " (" + r.error + ")");
        if (read) read->push_back({kind, cardPath, std::nullopt});
        all = false;
        continue;
      }
      hashes[cardPath] = HashBytes(bytes);
      if (read) read->push_back({kind, cardPath, std::move(bytes)});
    }
  }
  return all;
}

std::string CardChangedSinceLoad(const CardSession& session, FileOps& ops, std::vector<TableOnCard>* tables) {
  const std::string volume = ops.VolumeOf(session.cardRoot);
  if (volume.empty() || volume != session.volume) return texts::kChangedVolume + session.cardRoot.string();
  // A journal that came or went (another program's update) is a change too.
  if (JournalFileHash(session.cardRoot, ops) != session.journalHash) return texts::kChangedJournal + (session.cardRoot / kJournalName).string();
  std::map<std::string, std::string> now;
  HashCardTables(session.profile, session.cardRoot, ops, now, nullptr, tables);
  if (now != session.tableHashes) return texts::kChangedTables + session.cardRoot.string();
  return "";
}

void LoadKind(const HandsetProfile& profile, MediaKind kind, const fs::path& cardRoot, FileOps& ops,
              MediaCatalogue& catalogue, LoadResult& result) {
  bool overfull = false;
  const CardGuard card(cardRoot);
  std::map<std::string, std::optional<fs::path>> folders;  // tables of one folder share its check
  for (const FoundTable& table : FindTableFiles(profile, kind, cardRoot)) {
    bool exists = false;
    std::string bytes;
    if (!ops.ReadPrefix(table.path, kMaxTableBytes, bytes)) continue;  // unreadable: skip it
    const TableContents contents = ParseTable(bytes);
    const auto folderText = NormalizeCardFolder(contents.folderText);
    std::optional<fs::path> folder;
    if (folderText) {
      auto known = folders.find(*folderText);
      if (known == folders.end()) known = folders.emplace(*folderText, card.Resolve(*folderText)).first;
      folder = known->second;
    }
    if (!folder) {
      result.droppedRecords += static_cast<int>(contents.records.size());
      continue;
    }
    for (const TableRecord& record : contents.records) {
      const std::string name = record.FileName();
      // A stem holding a "." could not be written back as the same name (the
      // record's name is cut at its first "."): the item would be lost at the
      // next commit, so it is not listed.
      if (!IsSafeCardFileName(name) || record.stem.find('.') != std::string::npos) {
        ++result.droppedRecords;
        continue;
      }
      fs::path file = *folder / name;
      std::string sourceName = name;
      std::int64_t size = ProbeListedFile(card, file, exists);
      if (!exists) {
        // Left between the two renaming passes of an interrupted commit: the
        // file waits under its new name with "_"; the next commit finishes.
        fs::path parked = file;
        parked += kParkSuffix;
        size = ProbeListedFile(card, parked, exists);
        if (size != -1) sourceName = name + kParkSuffix;
      }
      if (size == -1) {
        ++result.droppedRecords;
        continue;
      }
      if (catalogue.Full()) {
        overfull = true;
        break;
      }
      MediaEntry& e = catalogue.Append({});
      e.sourceFolder = *folderText;
      e.cardFolder = *folderText;
      e.sourceName = sourceName;
      e.cardName = name;
      e.dateText = record.dateText;
      e.title = record.title;
      e.size = size;
    }
    if (overfull) break;
  }
  if (overfull) result.overfullKinds.push_back(kind);
}

std::vector<std::string> ListKindFolders(const HandsetProfile& profile, MediaKind kind,
                                         const fs::path& cardRoot, FileOps& ops,
                                         std::vector<fs::path>* scratchCopies) {
  std::vector<std::string> names;
  if (!profile.Supported(kind)) return names;
  const CardGuard card(cardRoot);
  std::vector<std::string> folders{profile.Kind(kind).contentFolder};
  for (int g = 0; g < MediaCatalogue::kSlots / kItemsPerTable; ++g)
    folders.push_back(profile.GroupFolderText(kind, g));
  std::vector<std::string> seen;  // folder texts listed already (group 0 of Image is the content folder)
  for (const std::string& text : folders) {
    const auto normal = NormalizeCardFolder(text);
    if (!normal || std::find(seen.begin(), seen.end(), *normal) != seen.end()) continue;
    seen.push_back(*normal);
    const auto folder = card.Resolve(*normal);
    std::vector<std::string> inFolder;
    if (!folder || !ops.ListFolder(*folder, inFolder).ok) continue;
    if (scratchCopies)
      for (const std::string& name : inFolder)
        if (IsScratchCopyName(name) && ops.Stat(*folder / name).regular) scratchCopies->push_back(*folder / name);
    names.insert(names.end(), inFolder.begin(), inFolder.end());
  }
  return names;
}

bool IsScratchCopyName(std::string_view name) {
  const std::string_view suffix = kCopySuffix;
  return name.size() > suffix.size() && SameCardName(name.substr(name.size() - suffix.size()), suffix);
}

std::vector<fs::path> CommitScratchFiles(const HandsetProfile& profile, const fs::path& cardRoot, FileOps& ops) {
  std::vector<fs::path> found;
  const auto add = [&](const fs::path& p) {
    if (ops.Stat(p).regular) found.push_back(p);
  };
  std::vector<std::string> names;
  if (ops.ListFolder(cardRoot, names).ok) std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    if (SameCardName(name, std::string(kJournalName) + kWriteSuffix) || SameCardName(name, kOldHeaderScratch))
      add(cardRoot / name);
  // A table is written beside its place as "<name>.tmp".
  const CardGuard card(cardRoot);
  std::vector<fs::path> seen;
  for (MediaKind kind : kListKinds) {
    if (!profile.Supported(kind)) continue;
    const auto folder = card.Resolve(profile.TableFolderText(kind));
    if (!folder || std::find(seen.begin(), seen.end(), *folder) != seen.end()) continue;
    seen.push_back(*folder);
    names.clear();
    if (!ops.ListFolder(*folder, names).ok) continue;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string key = CardNameKey(name);
      if (key.size() > 8 && key.compare(key.size() - 8, 8, ".TBL.TMP") == 0) add(*folder / name);
    }
  }
  // (A copy under its scratch name is swept only when the journal that made
  // it names it: a file of that name with no journal is the user's own.)
  return found;
}

LoadResult LoadCard(CardSession& session, const fs::path& cardRoot, Prompts& prompts,
                    Progress& progress, InterruptedChoice choice) {
  RealFileOps ops;
  return LoadCard(session, cardRoot, prompts, progress, ops, choice);
}

namespace {

// The card holds the journal of an update that did not finish: the user
// chooses to finish it or to undo it (undoing is no longer possible once the
// deleted items' files are being removed).
Recovery ChooseRecovery(bool finishOnly, bool removing, Prompts& prompts, InterruptedChoice choice) {
  if (finishOnly) return Recovery::Finish;  // the user chose before
  if (removing) {
    if (choice == InterruptedChoice::Ask) prompts.Tell(Prompts::Icon::Warning, texts::kInterruptedFinishOnly);
    return Recovery::Finish;
  }
  if (choice == InterruptedChoice::Finish) return Recovery::Finish;
  if (choice == InterruptedChoice::Revert) return Recovery::Revert;
  return prompts.Ask(Prompts::Question::InterruptedUpdate, Prompts::Icon::Warning, Prompts::Buttons::YesNo,
                     texts::kInterruptedCommit) ==
                 Prompts::Answer::No
             ? Recovery::Revert
             : Recovery::Finish;
}

// Finishes or undoes the update of the card's journal as the user chooses,
// under the card's lock, before anything of the card is read for the lists.
// False (said) when it could not: the journal stays, and nothing of the
// card is written until it is dealt with.
bool TakeUpUpdate(const fs::path& cardRoot, const Journal& journal, Prompts& prompts,
                  Progress& progress, FileOps& ops, InterruptedChoice choice, LoadResult& result) {
  const JournalState state = ReadJournalState(journal, cardRoot, ops);
  if (choice == InterruptedChoice::Revert && (state.removing || journal.mode == Journal::Mode::FinishOnly)) {
    result.recoveryMessage = texts::kRevertImpossible;
    prompts.Tell(Prompts::Icon::Error, result.recoveryMessage);
    return false;
  }
  const Recovery recovery = journal.mode == Journal::Mode::Undoing ? Recovery::Revert
                            : ChooseRecovery(journal.mode == Journal::Mode::FinishOnly, state.removing, prompts, choice);
  result.reverting = recovery == Recovery::Revert;
  CardLock::Taken lock = CardLock::Take(cardRoot);
  if (!lock.lock) {
    result.recoveryMessage = lock.message;
  } else {
    const RecoveryResult r = RecoverUpdate(cardRoot, journal, recovery, ops, progress);
    if (r.ok) {
      result.recovered = true;
      result.recoveryMessage = result.reverting ? texts::kRevertDone : texts::kFinishDone;
      if (!lock.message.empty()) result.recoveryMessage = lock.message + "\n" + result.recoveryMessage;
      if (choice == InterruptedChoice::Ask) prompts.Tell(Prompts::Icon::Information, result.recoveryMessage);
      return true;
    }
    result.recoveryMessage = !r.refusal.empty() ? r.refusal : texts::kRecoveryStopped;
    AppendFailures(result.recoveryMessage, r.failures, 20);
  }
  prompts.Tell(Prompts::Icon::Error, result.recoveryMessage);
  return false;
}

}  // namespace

LoadResult LoadCard(CardSession& session, const fs::path& cardRoot, Prompts& prompts,
                    Progress& progress, FileOps& ops, InterruptedChoice choice, const LoadAsks& asks) {
  using Icon = Prompts::Icon;
  using Buttons = Prompts::Buttons;
  LoadResult result;
  if (asks.driveWarning && !IsRemovableDrive(cardRoot) &&
      prompts.Ask(Prompts::Question::NotRemovable, Icon::Warning, Buttons::YesNo,
                  texts::kNotRemovable) != Prompts::Answer::Yes) {
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
  if (asks.backupAdvice) prompts.Tell(Icon::Information, texts::kBackupAdvice);
  session.space.Init(size, DiskFree(cardRoot), DiskCluster(cardRoot));
  progress.Busy(true);
  session.catalogues.ResetCounters();
  session.cardRoot = cardRoot;
  session.loaded = true;
  session.putBack.clear();
  session.recovering = false;
  session.journalUse = CardSession::JournalUse::None;
  session.journalAside.clear();
  CardJournal found = InspectCardJournal(session.profile, cardRoot, ops);
  result.journal = found.state;
  result.interrupted = found.Interrupted();
  // Another program at work on the card: its journal is its own business.
  if (const auto holder = LiveLockHolder(cardRoot); holder && found.state != CardJournal::State::None) {
    result.lockedBy = DescribeHolder(*holder);
    if (holder->OtherHost()) result.lockedBy += texts::kRemoveLockIfSure + (cardRoot / kLockName).string();
    session.journalUse = CardSession::JournalUse::Blocks;
    found.journal.reset();
    found.legacy.reset();
  } else if (found.state == CardJournal::State::Stale || found.state == CardJournal::State::Damaged) {
    session.journalUse = CardSession::JournalUse::SetAside;
    session.journalAside = SetAsideJournalName(cardRoot, found.state, ops);
  } else if (found.Interrupted() && choice == InterruptedChoice::Tables) {
    session.journalUse = CardSession::JournalUse::Blocks;
    found.journal.reset();
    found.legacy.reset();
  } else if (found.journal) {
    if (!TakeUpUpdate(cardRoot, *found.journal, prompts, progress, ops, choice, result))
      session.journalUse = CardSession::JournalUse::Blocks;
  } else if (choice == InterruptedChoice::Finish || choice == InterruptedChoice::Revert) {
    // Told to deal with the card's update: a lock a process that is gone
    // left goes too, whether or not it had written a journal.
    if (ops.Stat(cardRoot / kLockName).exists && !LiveLockHolder(cardRoot)) CardLock::Take(cardRoot);
  }
  // (The card as it is now, after any update taken up.)
  if (result.recovered) session.space.Init(size, DiskFree(cardRoot), DiskCluster(cardRoot));
  session.volume = ops.VolumeOf(cardRoot);
  HashCardTables(session.profile, cardRoot, ops, session.tableHashes, &result.unreadableTables);
  session.leftovers = CommitScratchFiles(session.profile, cardRoot, ops);
  session.journalHash = JournalFileHash(cardRoot, ops);
  // An update of the old journal format: the lists it was writing, or those
  // before it, each file found again, carried out by the next commit.
  const std::optional<v3::Journal>& journal = found.legacy;
  const Recovery recovery =
      journal ? ChooseRecovery(journal->recovery, journal->removing, prompts, choice) : Recovery::Finish;
  if (journal) result.reverting = recovery == Recovery::Revert;
  if (journal) {
    session.recovering = true;
    for (const fs::path& p : v3::SweepsOnCard(*journal, cardRoot, ops))
      if (std::find(session.leftovers.begin(), session.leftovers.end(), p) == session.leftovers.end())
        session.leftovers.push_back(p);
    std::vector<std::string> unplaced;
    for (MediaKind kind : kListKinds) {
      progress.Status(texts::Of(texts::kLoadingStatus, kind));
      result.droppedRecords += v3::LoadKindFromJournal(session.profile, *journal, kind, cardRoot, ops, recovery,
                                                       session.Catalogue(kind), session.leftovers, &session.putBack,
                                                       &unplaced);
    }
    for (const std::string& u : unplaced)
      if (std::find(result.unplaced.begin(), result.unplaced.end(), u) == result.unplaced.end())
        result.unplaced.push_back(u);
    if (!result.unplaced.empty()) {
      // Nothing is done on a guess: the lists are the tables as they are, and
      // every file stays where it is.
      session.recovering = false;
      result.reverting = false;
      session.journalUse = CardSession::JournalUse::Blocks;
      session.catalogues.ResetCounters();
      session.leftovers = CommitScratchFiles(session.profile, cardRoot, ops);
      session.putBack.clear();
      result.droppedRecords = 0;
    }
  }
  for (MediaKind kind : kListKinds) {
    if (session.recovering) {
      session.filesOnCard[KindIndex(kind)] = ListKindFolders(session.profile, kind, cardRoot, ops);
      continue;
    }
    progress.Status(texts::Of(texts::kLoadingStatus, kind));
    LoadKind(session.profile, kind, cardRoot, ops, session.Catalogue(kind), result);
    session.filesOnCard[KindIndex(kind)] = ListKindFolders(session.profile, kind, cardRoot, ops);
  }
  progress.Status("");
  progress.Busy(false);
  if (!result.lockedBy.empty())
    prompts.Tell(Icon::Warning, texts::kCardLocked + result.lockedBy + texts::kCardLockedLoad);
  if (session.journalUse == CardSession::JournalUse::SetAside)
    prompts.Tell(Icon::Warning, (result.journal == CardJournal::State::Stale ? texts::kJournalStale
                                                                             : texts::kJournalDamaged) +
                                    session.journalAside.filename().string());
  if (!result.unplaced.empty()) {
    std::string text = texts::kUnplaced;
    for (const std::string& u : result.unplaced) text += u + "\n";
    text.pop_back();
    prompts.Tell(Icon::Error, text);
  }
  if (!result.unreadableTables.empty()) {
    std::string text = texts::kUnreadableTable;
    for (const std::string& t : result.unreadableTables) text += t + "\n";
    text.pop_back();
    prompts.Tell(Icon::Warning, text);
  }
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
