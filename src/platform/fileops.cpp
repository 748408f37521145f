#include "platform/fileops.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/language.h"

namespace fenmora {

const char* const kNotPlainFile = Say("通常のファイルではありません", "not a plain file");

namespace {

// Reasons of this layer's own (the others are the system's).
const char* const kNotAFolder = Say("フォルダーではありません", "not a folder");
const char* const kTargetExists = Say("rename: 同じ名前のものがすでにあります", "rename: target exists");
const char* const kSourceNotPlain = Say("コピー元が通常のファイルではありません", "the source is not a plain file");

OpResult Errno(const std::string& what) { return OpResult::Fail(what + ": " + std::strerror(errno)); }

OpResult FromCode(const std::error_code& ec) {
  return ec ? OpResult::Fail(ec.message()) : OpResult::Ok();
}

// Writes all of bytes to fd; false on any failure (errno set).
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool RealFileOps::Exists(const fs::path& p) { return Stat(p).exists; }

FileStat FileOps::Stat(const fs::path& p) {
  FileStat f;
  struct stat st;
  if (::lstat(p.c_str(), &st) != 0) return f;
  f.exists = true;
  f.regular = S_ISREG(st.st_mode);
  f.folder = S_ISDIR(st.st_mode);
  f.size = st.st_size;
  f.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  f.device = st.st_dev;
  f.inode = st.st_ino;
  return f;
}

namespace {

// Opens a plain file for reading; a folder, a device or a FIFO is refused
// without blocking (O_NONBLOCK; reads of a plain file do not heed it).
OpResult OpenPlainFile(const fs::path& p, int& fd, struct stat& st) {
  fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Errno("open");
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return OpResult::Fail(kNotPlainFile);
  }
  return OpResult::Ok();
}

}  // namespace

OpResult FileOps::ReadPrefix(const fs::path& p, std::int64_t limit, std::string& out) {
  out.clear();
  int fd = -1;
  struct stat st;
  if (OpResult r = OpenPlainFile(p, fd, st); !r) return r;
  out.resize(static_cast<size_t>(std::min<std::int64_t>(st.st_size, limit)));
  size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const OpResult r = Errno("read");
      ::close(fd);
      return r;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  out.resize(got);
  ::close(fd);
  return OpResult::Ok();
}

std::string FileOps::VolumeOf(const fs::path& p) {
  struct stat st;
  struct statfs sf;
  if (::stat(p.c_str(), &st) != 0 || ::statfs(p.c_str(), &sf) != 0) return "";
  int ids[2];
  std::memcpy(ids, &sf.f_fsid, sizeof ids);
  return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" + std::to_string(ids[0]) + ":" +
         std::to_string(ids[1]) + ":" + std::to_string(static_cast<long long>(sf.f_type));
}

bool FileOps::CanWrite(const fs::path& p) { return ::access(p.c_str(), W_OK) == 0; }

OpResult FileOps::MakeNewFolder(const fs::path& p) {
  if (::mkdir(p.c_str(), 0755) != 0) return Errno("mkdir");
  return OpResult::Ok();
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t h) {
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string HashFile(FileOps& ops, const fs::path& p) {
  std::uint64_t h = kStoredHashBasis;
  std::uint64_t length = 0;
  const OpResult r = ops.ReadPieces(p, [&](std::string_view piece) {
    h = Fnv1a(piece, h);
    length += piece.size();
    return true;
  });
  if (!r) return "";
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return std::string(buf) + ":" + std::to_string(length);
}

bool SameBytes(FileOps& ops, const fs::path& a, const fs::path& b) {
  const FileStat sa = ops.Stat(a), sb = ops.Stat(b);
  if (!sa.regular || !sb.regular || sa.size != sb.size) return false;
  // a is read in pieces; b alongside, piece by piece.
  const int fd = ::open(b.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  std::string other(kPieceBytes, '\0');
  bool same = true;
  std::int64_t length = 0;
  const OpResult r = ops.ReadPieces(a, [&](std::string_view piece) {
    size_t got = 0;
    while (got < piece.size()) {
      const ssize_t n = ::read(fd, other.data() + got, piece.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    length += static_cast<std::int64_t>(piece.size());
    same = got == piece.size() && std::string_view(other.data(), got) == piece;
    return same;
  });
  char extra;
  const bool ended = ::read(fd, &extra, 1) == 0;
  ::close(fd);
  return r && same && ended && length == sa.size;
}

OpResult FileOps::ReadPieces(const fs::path& p, const std::function<bool(std::string_view)>& each) {
  int fd = -1;
  struct stat st;
  if (OpResult r = OpenPlainFile(p, fd, st); !r) return r;
  std::string piece(kPieceBytes, '\0');
  for (;;) {
    const ssize_t n = ::read(fd, piece.data(), piece.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const OpResult r = Errno("read");
      ::close(fd);
      return r;
    }
    if (n == 0 || !each(std::string_view(piece.data(), static_cast<size_t>(n)))) break;
  }
  ::close(fd);
  return OpResult::Ok();
}

std::string HashBytes(std::string_view bytes) {
  const std::uint64_t h = Fnv1a(bytes, kStoredHashBasis);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return std::string(buf) + ":" + std::to_string(bytes.size());
}

bool RealFileOps::IsFolder(const fs::path& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

OpResult RealFileOps::MakeFolders(const fs::path& p) {
  std::error_code ec;
  fs::create_directories(p, ec);
  if (!ec && !IsFolder(p)) return OpResult::Fail(kNotAFolder);
  return FromCode(ec);
}

OpResult RealFileOps::Remove(const fs::path& p) {
  if (::unlink(p.c_str()) != 0) return Errno("remove");
  return OpResult::Ok();
}

OpResult RealFileOps::Rename(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return OpResult::Ok();
  if (errno != EINVAL && errno != ENOSYS) return Errno("rename");
  // (A name that differs only in case is the same file on FAT: the commit
  // changes case through a name of its own, never straight.)
  // A file system without RENAME_NOREPLACE: look first, then rename.
  if (Exists(to)) return OpResult::Fail(kTargetExists);
  if (::rename(from.c_str(), to.c_str()) != 0) return Errno("rename");
  return OpResult::Ok();
}

OpResult RealFileOps::Replace(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Errno("replace");
  return OpResult::Ok();
}

OpResult RealFileOps::CopyFile(const fs::path& from, const fs::path& to) {
  // O_NONBLOCK: a source that became a FIFO or a device since it was looked
  // at must not hold the commit; it is refused. (Reads of a plain file do not
  // heed the flag.)
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return Errno("open source");
  if (struct stat st; ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return OpResult::Fail(kSourceNotPlain);
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (out < 0) {
    const OpResult r = Errno("create");
    ::close(in);
    return r;
  }
  char buffer[1 << 16];
  bool ok = true;
  std::string why;
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      why = std::string("read: ") + std::strerror(errno);
      break;
    }
    if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
      ok = false;
      why = std::string("write: ") + std::strerror(errno);
      break;
    }
  }
  // (Not flushed here: the caller makes its copies durable together, with
  // Flush, before anything names them complete.)
  if (::close(out) != 0 && ok) {
    ok = false;
    why = std::string("close: ") + std::strerror(errno);
  }
  ::close(in);
  if (!ok) {
    ::unlink(to.c_str());  // never leave a partial copy behind
    return OpResult::Fail(why);
  }
  return OpResult::Ok();
}

OpResult RealFileOps::WriteFile(const fs::path& p, std::string_view bytes) {
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return Errno("create");
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  std::string why = ok ? "" : std::string("write: ") + std::strerror(errno);
  // Every file the program writes (the journal, a table) is renamed into
  // place once written: its bytes are on the card before any name says so,
  // or a power cut could leave an empty file under the good name.
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    why = std::string("sync: ") + std::strerror(errno);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = std::string("close: ") + std::strerror(errno);
  }
  return ok ? OpResult::Ok() : OpResult::Fail(why);
}

OpResult RealFileOps::Flush(const fs::path& p) {
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  if (fd < 0) return Errno("open");
  const int r = ::syncfs(fd);
  const OpResult result = r == 0 ? OpResult::Ok() : Errno("sync");
  ::close(fd);
  return result;
}

OpResult RealFileOps::SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  if (fd < 0) return Errno("open");
  const int r = ::fsync(fd);
  const OpResult result = r == 0 || errno == EINVAL ? OpResult::Ok() : Errno("sync");
  ::close(fd);
  return result;
}

OpResult RealFileOps::ReadFile(const fs::path& p, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Errno("open");
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const OpResult r = Errno("read");
      ::close(fd);
      return r;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return OpResult::Ok();
}

OpResult RealFileOps::Symlink(const fs::path& target, const fs::path& link) {
  if (::symlink(target.c_str(), link.c_str()) != 0) return Errno("symlink");
  return OpResult::Ok();
}

bool FaultyFileOps::ShouldFail() {
  ++changes_;
  if (failFrom_ <= 0 || changes_ < failFrom_) return false;
  return failUntil_ <= 0 || changes_ <= failUntil_;
}

namespace {
OpResult Injected() { return OpResult::Fail("injected failure"); }
}  // namespace

OpResult FaultyFileOps::MakeFolders(const fs::path& p) {
  return ShouldFail() ? Injected() : inner_.MakeFolders(p);
}
OpResult FaultyFileOps::MakeNewFolder(const fs::path& p) {
  return ShouldFail() ? Injected() : inner_.MakeNewFolder(p);
}
OpResult FaultyFileOps::Remove(const fs::path& p) {
  return ShouldFail() ? Injected() : inner_.Remove(p);
}
OpResult FaultyFileOps::Rename(const fs::path& from, const fs::path& to) {
  return ShouldFail() ? Injected() : inner_.Rename(from, to);
}
OpResult FaultyFileOps::Replace(const fs::path& from, const fs::path& to) {
  return ShouldFail() ? Injected() : inner_.Replace(from, to);
}
OpResult FaultyFileOps::CopyFile(const fs::path& from, const fs::path& to) {
  return ShouldFail() ? Injected() : inner_.CopyFile(from, to);
}
OpResult FaultyFileOps::WriteFile(const fs::path& p, std::string_view bytes) {
  return ShouldFail() ? Injected() : inner_.WriteFile(p, bytes);
}
OpResult FaultyFileOps::Symlink(const fs::path& target, const fs::path& link) {
  return ShouldFail() ? Injected() : inner_.Symlink(target, link);
}

OpResult RealFileOps::ListFolder(const fs::path& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Errno("list");
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    const std::string_view name(d->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) {
    errno = readError;
    return Errno("list");
  }
  return OpResult::Ok();
}

}  // namespace fenmora
