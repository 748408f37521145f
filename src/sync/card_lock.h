// One writer at a time. Every write of the card (a commit, finishing or
// undoing an interrupted update, a restore) holds the card's lock: the file
// "fenmora.lck" at the card's root, made with O_CREAT | O_EXCL and holding the
// host, the process id and the time it was taken, plus flock() on it where the
// file system gives one. A second writer waits a little, then refuses and says
// who holds it. A lock whose process is gone (this host, no such process, its
// flock let go) is taken over, and the taker says so.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace fenmora {

inline constexpr const char* kLockName = "fenmora.lck";

// Who holds a lock, as its file says.
struct LockHolder {
  std::string host;
  long pid = 0;
  long long since = 0;  // seconds since the epoch
  // The holder is a process of this host that no longer runs.
  bool gone = false;
  // The lock was taken on another computer (or under another host name):
  // only the user can tell whether its holder still runs.
  bool OtherHost() const;
};

class CardLock {
 public:
  ~CardLock();
  CardLock(const CardLock&) = delete;
  CardLock& operator=(const CardLock&) = delete;

  struct Taken {
    std::unique_ptr<CardLock> lock;  // null: refused
    std::string message;             // why it was refused, or the lock that was taken over
  };
  // Takes the lock of the card at cardRoot, waiting up to wait for a live
  // holder to let go.
  static Taken Take(const std::filesystem::path& cardRoot,
                    std::chrono::milliseconds wait = std::chrono::milliseconds(3000));

  // Lets go of the lock: the file is removed. (The destructor does it too.)
  void Release();

 private:
  CardLock(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
  std::filesystem::path path_;
  int fd_ = -1;
};

// The holder of the card's lock when another process holds it now (a live
// process, or one of another host that this one cannot ask); nullopt when the
// card is free or its lock is left over from a process that is gone.
std::optional<LockHolder> LiveLockHolder(const std::filesystem::path& cardRoot);

// "ホスト h のプロセス p（yyyy-mm-dd hh:mm:ss から）" for the messages.
std::string DescribeHolder(const LockHolder& holder);

}  // namespace fenmora
