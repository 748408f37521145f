#include "sync/backup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

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
      Fail("コピー: " + from.string(), "キャンセルされました");
      return;
    }
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) {
      Fail("コピー: " + from.string(), "見つかりません");
      return;
    }
    if (S_ISLNK(st.st_mode)) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(from, ec);
      if (ec) return Fail("コピー: " + from.string(), ec.message());
      if (ops.Exists(to)) ops.Remove(to);
      if (OpResult r = ops.Symlink(target, to); !r) Fail("コピー: " + from.string(), r.error);
      return;
    }
    if (S_ISREG(st.st_mode)) {
      if (OpResult r = ops.CopyFile(from, to); !r) Fail("コピー: " + from.string(), r.error);
      return;
    }
    if (!S_ISDIR(st.st_mode)) return Fail("コピー: " + from.string(), "通常のファイルではありません");
    if (OpResult r = ops.MakeFolders(to); !r) return Fail("フォルダ作成: " + to.string(), r.error);
    std::error_code ec;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
      children.push_back(it->path());
    if (ec) Fail("フォルダ読み込み: " + from.string(), ec.message());
    std::sort(children.begin(), children.end());
    for (const fs::path& child : children) Copy(child, to / child.filename());
  }
};

}  // namespace

size_t ShellCopy(FileOps& ops, const fs::path& source, const fs::path& destination,
                 std::vector<CommitFailure>& failures, Progress* progress) {
  Copier c{ops, failures, progress};
  if (progress) c.total = CountEntries(source);
  c.Copy(source, destination);
  return c.added;
}

BackupResult BackupCard(const fs::path& cardRoot, const fs::path& backupRoot, std::time_t now,
                        FileOps& ops, Progress& progress) {
  progress.Busy(true);
  progress.Status(texts::kBackupStatus);
  BackupResult result;
  result.folder = backupRoot / BackupStamp(now);
  if (OpResult r = ops.MakeFolders(result.folder); !r)
    result.failures.push_back({"フォルダ作成: " + result.folder.string(), r.error});
  for (const char* name : kBackupFolders) ShellCopy(ops, cardRoot / name, result.folder / name, result.failures, &progress);
  result.complete = result.failures.empty();
  for (const char* name : kBackupFolders)
    if (!ops.Exists(result.folder / name)) result.complete = false;
  return result;
}

std::string BackupReport(const BackupResult& result, std::string* details) {
  std::string text = result.complete ? texts::kBackupDone : texts::kBackupIncomplete;
  text += "\n" + result.folder.string();
  AppendFailures(text, result.failures, 10, details);
  return text;
}

}  // namespace fenmora
