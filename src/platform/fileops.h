// The file-operation layer. Every file operation of the commit and the backup
// goes through one FileOps, so that a test can make the Nth operation fail
// (the way a card pulled out or full makes them fail) and check that nothing
// was lost.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

namespace fs = std::filesystem;

// Why a fifo, a device or a folder is not read or copied as a file.
extern const char* const kNotPlainFile;

// What a file is, as one look at it (links not followed) tells.
struct FileStat {
  bool exists = false;
  bool regular = false;
  bool folder = false;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;  // modification time, nanoseconds since the epoch
  std::uint64_t device = 0, inode = 0;  // which file it is (two names of one folder on FAT: the same)
};

struct OpResult {
  bool ok = true;
  std::string error;  // the system's reason when !ok
  static OpResult Ok() { return {}; }
  static OpResult Fail(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return ok; }
};

class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual bool Exists(const fs::path& p) = 0;  // file, folder or link (not followed)
  virtual bool IsFolder(const fs::path& p) = 0;
  virtual OpResult MakeFolders(const fs::path& p) = 0;  // with missing parents
  virtual OpResult Remove(const fs::path& p) = 0;       // one file
  // Renames or moves a file; never replaces an existing target (fails instead).
  virtual OpResult Rename(const fs::path& from, const fs::path& to) = 0;
  // Renames from over to, replacing to when it exists (a finished table file
  // taking the place of the old one).
  virtual OpResult Replace(const fs::path& from, const fs::path& to) = 0;
  // Copies a file, overwriting the target. A partial target is removed when
  // the copy fails. The copy is not flushed: Flush makes it durable.
  virtual OpResult CopyFile(const fs::path& from, const fs::path& to) = 0;
  // Writes bytes to a file, creating or emptying it.
  virtual OpResult WriteFile(const fs::path& p, std::string_view bytes) = 0;
  // Makes everything written so far on the volume holding p durable (the
  // commit's barriers: the journal before the first file moves, the files
  // before the journal goes).
  virtual OpResult Flush(const fs::path& p) = 0;
  // Makes a folder's entries durable (a name a rename just gave, a file just
  // made or removed in it).
  virtual OpResult SyncFolder(const fs::path& folder) = 0;
  virtual OpResult ReadFile(const fs::path& p, std::string& bytes) = 0;
  virtual OpResult Symlink(const fs::path& target, const fs::path& link) = 0;
  // The names in a folder (files, folders and links alike, "." and ".."
  // left out), in the order the file system gives them; links are not
  // followed into.
  virtual OpResult ListFolder(const fs::path& folder, std::vector<std::string>& names) = 0;
  // One look at a path, links not followed.
  virtual FileStat Stat(const fs::path& p);
  // Reads at most limit bytes of a plain file (a folder, a device or a fifo
  // is refused without blocking).
  virtual OpResult ReadPrefix(const fs::path& p, std::int64_t limit, std::string& bytes);
  // Reads a plain file from its start in pieces of at most kPieceBytes, each
  // handed to each, which returns false to stop early; memory stays one piece
  // whatever the file's size.
  virtual OpResult ReadPieces(const fs::path& p, const std::function<bool(std::string_view)>& each);
  // The file system that holds p: its device and file-system id, as a text
  // ("" when p cannot be looked at).
  virtual std::string VolumeOf(const fs::path& p);
  // Whether this process may write p (a folder: make files in it).
  virtual bool CanWrite(const fs::path& p);
  // Makes one folder (its parent must exist); fails when anything already has
  // that name, so that two processes never take the same new folder.
  virtual OpResult MakeNewFolder(const fs::path& p);
};

// FNV-1a (64 bits) of bytes; a hash over bytes that come in pieces goes on
// from the value of the pieces before (h).
inline constexpr std::uint64_t kFnv1aBasis = 14695981039346656037ull;
std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t h = kFnv1aBasis);

// The fingerprint of bytes that the journal and the backup manifests store:
// FNV-1a's steps from the basis below, as 16 hexadecimal digits, then ":" and
// the length. The basis is one digit short of FNV-1a's own; journals and
// manifests already on cards and disks hold fingerprints made with it, so it
// stays, or they would no longer match.
inline constexpr std::uint64_t kStoredHashBasis = 1469598103934665603ull;
std::string HashBytes(std::string_view bytes);
// The same fingerprint of a whole file, read in pieces ("" when it cannot be
// read as a plain file).
inline constexpr size_t kPieceBytes = 1 << 16;
std::string HashFile(FileOps& ops, const fs::path& p);
// Whether two plain files hold the same bytes, compared in pieces.
bool SameBytes(FileOps& ops, const fs::path& a, const fs::path& b);

// The real file system.
class RealFileOps : public FileOps {
 public:
  bool Exists(const fs::path& p) override;
  bool IsFolder(const fs::path& p) override;
  OpResult MakeFolders(const fs::path& p) override;
  OpResult Remove(const fs::path& p) override;
  OpResult Rename(const fs::path& from, const fs::path& to) override;
  OpResult Replace(const fs::path& from, const fs::path& to) override;
  OpResult CopyFile(const fs::path& from, const fs::path& to) override;
  OpResult WriteFile(const fs::path& p, std::string_view bytes) override;
  OpResult Flush(const fs::path& p) override;
  OpResult SyncFolder(const fs::path& folder) override;
  OpResult ReadFile(const fs::path& p, std::string& bytes) override;
  OpResult Symlink(const fs::path& target, const fs::path& link) override;
  OpResult ListFolder(const fs::path& folder, std::vector<std::string>& names) override;
};

// Wraps another FileOps and counts the operations that change something
// (MakeFolders, MakeNewFolder, Remove, Rename, Replace, CopyFile, WriteFile,
// Symlink). From the
// failFrom-th one on (1-based) they fail without doing anything, up to and
// including the failUntil-th (0: no upper bound). Queries always work.
class FaultyFileOps : public FileOps {
 public:
  explicit FaultyFileOps(FileOps& inner, long failFrom = 0, long failUntil = 0)
      : inner_(inner), failFrom_(failFrom), failUntil_(failUntil) {}
  long changes() const { return changes_; }
  void Heal() { failFrom_ = 0; }

  bool Exists(const fs::path& p) override { return inner_.Exists(p); }
  bool IsFolder(const fs::path& p) override { return inner_.IsFolder(p); }
  OpResult MakeFolders(const fs::path& p) override;
  OpResult Remove(const fs::path& p) override;
  OpResult Rename(const fs::path& from, const fs::path& to) override;
  OpResult Replace(const fs::path& from, const fs::path& to) override;
  OpResult CopyFile(const fs::path& from, const fs::path& to) override;
  OpResult WriteFile(const fs::path& p, std::string_view bytes) override;
  OpResult Flush(const fs::path& p) override { return inner_.Flush(p); }
  OpResult SyncFolder(const fs::path& folder) override { return inner_.SyncFolder(folder); }
  OpResult ReadFile(const fs::path& p, std::string& bytes) override { return inner_.ReadFile(p, bytes); }
  OpResult Symlink(const fs::path& target, const fs::path& link) override;
  OpResult ListFolder(const fs::path& folder, std::vector<std::string>& names) override {
    return inner_.ListFolder(folder, names);
  }
  FileStat Stat(const fs::path& p) override { return inner_.Stat(p); }
  OpResult ReadPrefix(const fs::path& p, std::int64_t limit, std::string& bytes) override {
    return inner_.ReadPrefix(p, limit, bytes);
  }
  std::string VolumeOf(const fs::path& p) override { return inner_.VolumeOf(p); }
  bool CanWrite(const fs::path& p) override { return inner_.CanWrite(p); }
  OpResult MakeNewFolder(const fs::path& p) override;

 private:
  bool ShouldFail();
  FileOps& inner_;
  long failFrom_;
  long failUntil_;
  long changes_ = 0;
};

}  // namespace fenmora
