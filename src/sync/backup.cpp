#include "sync/backup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <system_error>

#include "platform/numbers.h"
#include "sync/card_lock.h"
#include "sync/recovery.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

std::string BackupStamp(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
  return buf;
}

fs::path ChooseBackupRoot(const fs::path& programFolder, const fs::path& userDataFolder, FileOps& ops) {
  const fs::path portable = programFolder / "BackUp";
  std::error_code ec;
  const bool installed = !fs::is_directory(programFolder / "data", ec) &&
                         fs::is_directory(programFolder / FENMORA_DATA_FROM_BIN, ec);
  if (installed) return userDataFolder / "BackUp";
  if (fs::is_directory(portable, ec)) {
    if (ops.CanWrite(portable)) return portable;
  } else if (ops.CanWrite(programFolder)) {
    return portable;
  }
  return userDataFolder / "BackUp";
}

namespace {

// Files and links under source (itself included), without following links.
long CountEntries(const fs::path& source) {
  long n = 1;
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(source, ec)))
    for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
      ++n;
  return n;
}

struct Copier {
  FileOps& ops;
  std::vector<CommitFailure>& failures;
  Progress* progress;
  long done = 0;
  long total = 0;
  size_t added = 0;
  bool cancelled = false;  // the user stopped the copy: nothing more is copied

  void Fail(const std::string& what, const std::string& why) {
    failures.push_back({what, why});
    ++added;
  }

  void Copy(const fs::path& from, const fs::path& to) {
    if (cancelled) return;
    if (progress && !progress->Step(++done, total)) {
      cancelled = true;
      Fail(texts::kDoingCopy + from.string(), texts::kCancelledReason);
      return;
    }
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) {
      Fail(texts::kDoingCopy + from.string(), texts::kNotFoundReason);
      return;
    }
    if (S_ISLNK(st.st_mode)) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(from, ec);
      if (ec) return Fail(texts::kDoingCopy + from.string(), ec.message());
      if (ops.Exists(to)) ops.Remove(to);
      if (OpResult r = ops.Symlink(target, to); !r) Fail(texts::kDoingCopy + from.string(), r.error);
      return;
    }
    if (S_ISREG(st.st_mode)) {
      if (OpResult r = ops.CopyFile(from, to); !r) Fail(texts::kDoingCopy + from.string(), r.error);
      return;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(texts::kDoingCopy + from.string(), kNotPlainFile);
    if (OpResult r = ops.MakeFolders(to); !r) return Fail(texts::kDoingMakeFolder + to.string(), r.error);
    std::error_code ec;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
      children.push_back(it->path());
    if (ec) Fail(texts::kDoingReadFolder + from.string(), ec.message());
    std::sort(children.begin(), children.end());
    for (const fs::path& child : children) Copy(child, to / child.filename());
  }
};

}  // namespace

size_t ShellCopy(FileOps& ops, const fs::path& source, const fs::path& destination,
                 std::vector<CommitFailure>& failures, Progress* progress, bool* cancelled) {
  Copier c{ops, failures, progress};
  if (progress) c.total = CountEntries(source);
  c.Copy(source, destination);
  if (cancelled) *cancelled = c.cancelled;
  return c.added;
}

namespace {

constexpr std::string_view kManifestMagic = "FENMORA-BACKUP-MANIFEST 1\n";
// A manifest is a line per file; anything this big is not one.
constexpr std::int64_t kMaxManifestBytes = std::int64_t{64} << 20;

void ListInto(FileOps& ops, const fs::path& folder, const std::string& prefix,
              std::vector<ManifestEntry>& out, std::vector<CommitFailure>& failures) {
  std::vector<std::string> names;
  if (OpResult r = ops.ListFolder(folder, names); !r)
    return failures.push_back({texts::kDoingReadFolder + folder.string(), r.error});
  for (const std::string& name : names) {
    const fs::path p = folder / name;
    const std::string path = prefix + name;
    if (prefix.empty() && (name == kManifestName || name == kCompleteMarkName)) continue;
    const FileStat st = ops.Stat(p);
    if (st.folder) {
      ListInto(ops, p, path + "/", out, failures);
    } else if (st.regular) {
      const std::string hash = HashFile(ops, p);
      if (hash.empty()) {
        failures.push_back({texts::kDoingRead + p.string(), texts::kUnreadableReason});
        continue;
      }
      out.push_back({path, false, std::stoll(hash.substr(hash.find(':') + 1)), hash});
    } else {
      std::error_code ec;
      const fs::path target = fs::read_symlink(p, ec);
      if (ec) {
        failures.push_back({texts::kDoingRead + p.string(), kNotPlainFile});
        continue;
      }
      const std::string text = target.string();
      out.push_back({path, true, static_cast<std::int64_t>(text.size()), HashBytes(text)});
    }
  }
}

}  // namespace

std::vector<ManifestEntry> ListBackupFiles(FileOps& ops, const fs::path& folder,
                                           std::vector<CommitFailure>& failures) {
  std::vector<ManifestEntry> entries;
  ListInto(ops, folder, "", entries, failures);
  std::sort(entries.begin(), entries.end(),
            [](const ManifestEntry& a, const ManifestEntry& b) { return a.path < b.path; });
  return entries;
}

// A line per entry: "F" (a file) or "L" (a link), its size, its fingerprint,
// the length of its path in bytes and the path as it is (any byte may be in a
// name).
std::string EncodeManifest(const std::vector<ManifestEntry>& entries) {
  std::string text(kManifestMagic);
  for (const ManifestEntry& e : entries)
    text += std::string(e.link ? "L " : "F ") + std::to_string(e.size) + " " + e.hash + " " +
            std::to_string(e.path.size()) + " " + e.path + "\n";
  return text;
}

std::optional<std::vector<ManifestEntry>> DecodeManifest(std::string_view bytes) {
  if (bytes.substr(0, kManifestMagic.size()) != kManifestMagic) return std::nullopt;
  bytes.remove_prefix(kManifestMagic.size());
  std::vector<ManifestEntry> entries;
  // The next field up to a space; false when there is none.
  auto field = [&](std::string_view& out) {
    const size_t space = bytes.find(' ');
    if (space == std::string_view::npos || space == 0) return false;
    out = bytes.substr(0, space);
    bytes.remove_prefix(space + 1);
    return true;
  };
  auto number = [](std::string_view text, std::int64_t& n) {
    const auto value = ParseInteger(text);
    if (value) n = *value;
    return value && n >= 0;
  };
  while (!bytes.empty()) {
    std::string_view type, size, hash, length;
    ManifestEntry e;
    std::int64_t pathLength = 0;
    if (!field(type) || (type != "F" && type != "L") || !field(size) || !number(size, e.size) ||
        !field(hash) || !field(length) || !number(length, pathLength) ||
        bytes.size() < static_cast<size_t>(pathLength) + 1 || bytes[static_cast<size_t>(pathLength)] != '\n')
      return std::nullopt;
    e.link = type == "L";
    e.hash = hash;
    e.path = bytes.substr(0, static_cast<size_t>(pathLength));
    bytes.remove_prefix(static_cast<size_t>(pathLength) + 1);
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<std::string> VerifyBackup(const fs::path& backup, FileOps& ops) {
  std::vector<std::string> differences;
  if (!ops.Stat(backup / kCompleteMarkName).regular) differences.push_back(texts::kBackupNoMark);
  std::string bytes;
  std::optional<std::vector<ManifestEntry>> manifest;
  if (ops.Stat(backup / kManifestName).regular && ops.ReadPrefix(backup / kManifestName, kMaxManifestBytes, bytes))
    manifest = DecodeManifest(bytes);
  if (!manifest) {
    differences.push_back(std::string(texts::kBackupNoManifest) + kManifestName);
    return differences;
  }
  std::vector<CommitFailure> failures;
  std::map<std::string, const ManifestEntry*> listed;
  for (const ManifestEntry& e : *manifest) listed[e.path] = &e;
  const std::vector<ManifestEntry> found = ListBackupFiles(ops, backup, failures);
  for (const CommitFailure& f : failures) differences.push_back(f.what + " (" + f.reason + ")");
  for (const ManifestEntry& e : found) {
    const auto it = listed.find(e.path);
    if (it == listed.end()) {
      differences.push_back(texts::kBackupUnlisted + e.path);
      continue;
    }
    if (!(*it->second == e)) differences.push_back(texts::kBackupChanged + e.path);
    listed.erase(it);
  }
  for (const auto& [path, e] : listed) differences.push_back(texts::kBackupMissing + path);
  return differences;
}

namespace {

// The first of name, name-2, name-3, ... that nothing in parent has, made as a
// new folder (another process making the same name at the same moment gets
// the next one).
OpResult MakeUniqueFolder(FileOps& ops, const fs::path& parent, const std::string& name, fs::path& made) {
  OpResult r;
  for (int n = 1; n <= 1000; ++n) {
    const fs::path candidate = parent / (n == 1 ? name : name + "-" + std::to_string(n));
    if (ops.Exists(candidate)) continue;
    if (r = ops.MakeNewFolder(candidate); r) {
      made = candidate;
      return r;
    }
    if (!ops.Exists(candidate)) return r;  // not taken by another: a real failure
  }
  return OpResult::Fail(texts::kNoFreeNameReason);
}

// A backup that is not whole takes a name that says so (never one that is
// taken): it is never mistaken for a complete one.
void NameAsNotWhole(FileOps& ops, BackupResult& result) {
  const std::string suffix = result.cancelled ? kCancelledSuffix : kIncompleteSuffix;
  const fs::path from = result.folder;
  OpResult r;
  for (int n = 1; n <= 1000; ++n) {
    fs::path to = from;
    to += suffix + (n == 1 ? std::string() : "-" + std::to_string(n));
    if (ops.Exists(to)) continue;
    if (r = ops.Rename(from, to); r) {
      result.folder = to;
      return;
    }
    if (!ops.Exists(to)) break;
  }
  result.failures.push_back({texts::kDoingRename + from.string(), r.ok ? texts::kNoFreeNameReason : r.error});
}

}  // namespace

BackupResult BackupCard(const fs::path& cardRoot, const fs::path& backupRoot, std::time_t now,
                        FileOps& ops, Progress& progress) {
  progress.Busy(true);
  progress.Status(texts::kBackupStatus);
  BackupResult result;
  const CardLock::Taken lock = CardLock::Take(cardRoot);
  if (!lock.lock) {
    result.refusal = lock.message;
    return result;
  }
  if (InspectCardJournal(HandsetProfile::F900i(), cardRoot, ops).Interrupted()) {
    result.refusal = texts::kBackupInterrupted;
    return result;
  }
  result.folder = backupRoot / BackupStamp(now);
  OpResult r = ops.MakeFolders(backupRoot);
  if (r) r = MakeUniqueFolder(ops, backupRoot, BackupStamp(now), result.folder);
  if (!r) {
    result.failures.push_back({texts::kDoingMakeFolder + result.folder.string(), r.error});
    return result;
  }
  for (const char* name : kBackupFolders) {
    if (result.cancelled) break;
    // A card need not have all three (no camera pictures, no movies).
    if (!ops.Exists(cardRoot / name)) continue;
    ShellCopy(ops, cardRoot / name, result.folder / name, result.failures, &progress, &result.cancelled);
  }
  if (result.failures.empty()) {
    const std::vector<ManifestEntry> files = ListBackupFiles(ops, result.folder, result.failures);
    if (result.failures.empty()) {
      if (r = ops.WriteFile(result.folder / kManifestName, EncodeManifest(files)); !r)
        result.failures.push_back({texts::kDoingWrite + (result.folder / kManifestName).string(), r.error});
    }
    // The copies and the manifest are durable before the mark says they are
    // complete; then the mark itself, before the user is told so.
    for (const char* mark : {kCompleteMarkName, ""}) {
      if (!result.failures.empty()) break;
      if (r = ops.Flush(result.folder); !r) {
        result.failures.push_back({texts::kDoingFlush + result.folder.string(), r.error});
      } else if (*mark) {
        if (r = ops.WriteFile(result.folder / mark, "complete\n"); !r)
          result.failures.push_back({texts::kDoingWrite + (result.folder / mark).string(), r.error});
      }
    }
  }
  result.complete = result.failures.empty();
  if (!result.complete) NameAsNotWhole(ops, result);
  return result;
}

std::string BackupReport(const BackupResult& result, std::string* details) {
  if (!result.refusal.empty()) return result.refusal;
  std::string text = result.complete    ? texts::kBackupDone
                     : result.cancelled ? texts::kBackupCancelled
                                        : texts::kBackupFailed;
  text += "\n" + result.folder.string();
  if (!result.cancelled) AppendFailures(text, result.failures, 10, details);
  return text;
}

}  // namespace fenmora
