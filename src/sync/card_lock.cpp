#include "sync/card_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "platform/numbers.h"
#include "sync/texts.h"

namespace fenmora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLockMagic = "fenmora-lock";
// A lock file that says nothing and whose flock nobody holds: its maker died
// between making it and writing it, or is just about to take its flock. It is
// taken for left over once it has stayed so this long.
constexpr auto kSilentLockWait = std::chrono::milliseconds(1000);

std::string HostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "?";
  return buf;
}

bool ProcessRuns(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// The lock files this process holds now (by device and inode): a lock file
// that names this process and is none of them was left by this process
// itself (a card that went read-only before the file could go), never by
// another program.
std::mutex heldMutex;
std::set<std::pair<dev_t, ino_t>> held;

bool HeldHere(dev_t dev, ino_t ino) {
  std::lock_guard<std::mutex> guard(heldMutex);
  return held.count({dev, ino}) > 0;
}

// "fenmora-lock <host> <pid> <since>\n"; anything else (the file comes from
// the card, and a card can come from anyone) is no holder.
std::optional<LockHolder> ParseHolder(std::string_view text) {
  if (text.size() > 400 || text.substr(0, kLockMagic.size()) != kLockMagic) return std::nullopt;
  text.remove_prefix(kLockMagic.size());
  LockHolder h;
  std::string fields[3];
  size_t n = 0;
  for (char c : text) {
    if (c == ' ' || c == '\n') {
      if (!fields[n].empty() && ++n == 3) break;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    fields[n] += c;
  }
  if (n < 3) return std::nullopt;
  h.host = fields[0];
  const auto pid = ParseInteger(fields[1]), since = ParseInteger(fields[2]);
  if (!pid || *pid <= 0 || !since) return std::nullopt;
  h.pid = *pid;
  h.since = *since;
  return h;
}

// What the lock file at path says about its holder.
struct Look {
  bool exists = false;
  bool flockHeld = false;   // another open file holds flock() on it now
  bool flockKnown = false;  // the file system answers flock()
  std::optional<LockHolder> holder;
  ino_t inode = 0;
  dev_t device = 0;
  bool notAFile = false;  // a folder, a link, a device: nothing a lock ever is
};

Look LookAt(const fs::path& path, int* keepFd = nullptr) {
  Look look;
  struct stat lst{};
  if (::lstat(path.c_str(), &lst) == 0 && !S_ISREG(lst.st_mode)) {
    look.exists = look.notAFile = true;
    return look;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    look.exists = errno != ENOENT;
    return look;
  }
  look.exists = true;
  struct stat st{};
  if (::fstat(fd, &st) == 0) {
    look.inode = st.st_ino;
    look.device = st.st_dev;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    look.flockKnown = true;
  } else if (errno == EWOULDBLOCK) {
    look.flockKnown = look.flockHeld = true;
  }
  char buf[512];
  ssize_t got = S_ISREG(st.st_mode) ? ::read(fd, buf, sizeof buf) : -1;
  if (got > 0) look.holder = ParseHolder(std::string_view(buf, static_cast<size_t>(got)));
  // A holder of this host is gone when its process no longer runs, when
  // nobody holds the file's flock (whatever process has that id now: ids
  // come round again after a restart), or when it names this process and
  // this process holds no such lock.
  if (look.holder && !look.flockHeld && look.holder->host == HostName())
    look.holder->gone = look.flockKnown || !ProcessRuns(look.holder->pid) ||
                        (look.holder->pid == ::getpid() && !HeldHere(look.device, look.inode));
  if (keepFd && look.flockKnown && !look.flockHeld) {
    *keepFd = fd;  // still holding its flock: nobody else can take it over meanwhile
  } else {
    ::close(fd);
  }
  return look;
}

// A lock nobody holds any more. silentFor: how long this file has been seen
// saying no holder, with nobody holding its flock.
bool LeftOver(const Look& look, std::chrono::steady_clock::duration silentFor) {
  if (look.flockHeld) return false;
  if (look.holder) return look.holder->gone;
  // A file that says no holder: only flock can tell that nobody holds it.
  return look.flockKnown && silentFor >= kSilentLockWait;
}

// Whether a look finds a file that says no holder and whose flock is free.
bool Silent(const Look& look) { return look.exists && !look.holder && look.flockKnown && !look.flockHeld; }

std::string StampText(long long since) {
  const std::time_t t = static_cast<std::time_t>(since);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

}  // namespace

bool LockHolder::OtherHost() const { return host != HostName(); }

std::string DescribeHolder(const LockHolder& h) {
  return Fill(texts::kLockHolder, {h.host, std::to_string(h.pid), StampText(h.since)});
}

CardLock::Taken CardLock::Take(const fs::path& cardRoot, std::chrono::milliseconds wait) {
  const fs::path path = cardRoot / kLockName;
  const auto start = std::chrono::steady_clock::now();
  // A live holder is waited for as long as asked; a silent file as long as it
  // takes to tell whether anyone holds it.
  const auto liveDeadline = start + wait;
  const auto silentDeadline = start + std::max<std::chrono::steady_clock::duration>(
                                          wait, kSilentLockWait + std::chrono::milliseconds(300));
  Taken taken;
  // The silent file seen first, and since when.
  ino_t silentInode = 0;
  auto silentSince = std::chrono::steady_clock::now();
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      // (Someone looking at the new file meanwhile holds its flock for a
      // moment: wait for that, not fail.)
      while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
      }
      const std::string text = std::string(kLockMagic) + " " + HostName() + " " + std::to_string(::getpid()) +
                               " " + std::to_string(static_cast<long long>(std::time(nullptr))) + "\n";
      if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        const std::string why = std::strerror(errno);
        ::unlink(path.c_str());
        ::close(fd);
        taken.message = Fill(texts::kLockUnwritable, {path.string(), why});
        return taken;
      }
      taken.lock.reset(new CardLock(path, fd));
      if (struct stat mine{}; ::fstat(fd, &mine) == 0) {
        std::lock_guard<std::mutex> guard(heldMutex);
        held.insert({mine.st_dev, mine.st_ino});
      }
      return taken;
    }
    if (errno != EEXIST) {
      taken.message = Fill(texts::kLockUncreatable, {path.string(), std::strerror(errno)});
      return taken;
    }
    int oldFd = -1;
    const Look look = LookAt(path, &oldFd);
    if (look.notAFile) {
      taken.message = Fill(texts::kLockNotAFile, {path.string()});
      return taken;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!Silent(look)) {
      silentInode = 0;
    } else if (silentInode != look.inode) {
      silentInode = look.inode;
      silentSince = now;
    }
    if (LeftOver(look, silentInode ? now - silentSince : std::chrono::steady_clock::duration::zero())) {
      // Removed while its flock is held here, so that two takers never both
      // take it over.
      struct stat now{};
      if (::lstat(path.c_str(), &now) == 0 && now.st_ino == look.inode) ::unlink(path.c_str());
      if (oldFd >= 0) ::close(oldFd);
      // This very process's own (left on a card pulled while it was written)
      // is taken back without a word: no other program was involved.
      if (look.holder && look.holder->pid == ::getpid() && !look.holder->OtherHost()) {
        taken.message.clear();
        continue;
      }
      taken.message = look.holder ? Fill(texts::kLockTakenOver, {DescribeHolder(*look.holder)})
                                  : Fill(texts::kEmptyLockTakenOver, {path.string()});
      continue;
    }
    if (oldFd >= 0) ::close(oldFd);
    if (look.exists && (now < liveDeadline || (silentInode && now < silentDeadline))) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      continue;
    }
    if (!look.exists) continue;  // let go of just now
    taken.message = texts::kOtherWriter;
    taken.message += look.holder ? Fill(texts::kOtherWriterIs, {DescribeHolder(*look.holder)}) : texts::kOtherWriterEnd;
    taken.message += texts::kWaitAndRetry;
    if (look.holder && !look.flockHeld && look.holder->OtherHost())
      taken.message += texts::kRemoveLockIfSure + path.string();
    return taken;
  }
}

void CardLock::Release() {
  if (fd_ < 0) return;
  // Only the file this lock made goes (never one that replaced it).
  struct stat mine{}, now{};
  if (::fstat(fd_, &mine) == 0) {
    std::lock_guard<std::mutex> guard(heldMutex);
    held.erase({mine.st_dev, mine.st_ino});
  }
  if (::fstat(fd_, &mine) == 0 && ::lstat(path_.c_str(), &now) == 0 && mine.st_ino == now.st_ino &&
      mine.st_dev == now.st_dev)
    ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
}

CardLock::~CardLock() { Release(); }

std::optional<LockHolder> LiveLockHolder(const fs::path& cardRoot) {
  const Look look = LookAt(cardRoot / kLockName);
  // (A silent file whose flock is free is taken for left over here: a look
  // only decides whether to act on a journal, and a maker about to take the
  // flock has no journal yet.)
  if (!look.exists || LeftOver(look, Silent(look) ? kSilentLockWait : std::chrono::steady_clock::duration::zero()))
    return std::nullopt;
  if (look.holder) return look.holder;
  return LockHolder{"?", 0, 0, false};
}

}  // namespace fenmora
