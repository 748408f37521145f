// One writer at a time: the card's lock file, who holds it, and a lock left
// by a process that is gone.
#include "sync/card_lock.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include "support/temp_card.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Host() {
  char buf[256] = {};
  gethostname(buf, sizeof buf - 1);
  return buf;
}

// The id of a process that has ended.
long EndedPid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

TEST(CardLock, ASecondWriterIsRefusedAndToldWhoHoldsTheCard) {
  testcard::TempCard card;
  auto first = CardLock::Take(card.root());
  ASSERT_TRUE(first.lock) << first.message;
  EXPECT_TRUE(first.message.empty());
  EXPECT_TRUE(fs::exists(card.root() / kLockName));

  const auto second = CardLock::Take(card.root(), 200ms);
  EXPECT_FALSE(second.lock);
  EXPECT_NE(second.message.find("プロセス " + std::to_string(getpid())), std::string::npos) << second.message;
  ASSERT_TRUE(LiveLockHolder(card.root()));
  EXPECT_EQ(LiveLockHolder(card.root())->pid, getpid());

  first.lock->Release();
  EXPECT_FALSE(fs::exists(card.root() / kLockName));
  EXPECT_FALSE(LiveLockHolder(card.root()));
  EXPECT_TRUE(CardLock::Take(card.root(), 0ms).lock);
}

TEST(CardLock, AWriterWaitsForTheHolderToLetGo) {
  testcard::TempCard card;
  auto first = CardLock::Take(card.root());
  ASSERT_TRUE(first.lock);
  // A second process takes the lock once the first lets go.
  const pid_t child = fork();
  if (child == 0) _exit(CardLock::Take(card.root(), 5000ms).lock ? 0 : 1);
  usleep(300 * 1000);
  first.lock.reset();
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CardLock, ALockLeftByAProcessThatIsGoneIsTakenOverAndSaidSo) {
  testcard::TempCard card;
  const long gone = EndedPid();
  card.Write(std::string("\\") + kLockName,
             "fenmora-lock " + Host() + " " + std::to_string(gone) + " " + std::to_string(std::time(nullptr)) + "\n");
  EXPECT_FALSE(LiveLockHolder(card.root()));
  const auto taken = CardLock::Take(card.root(), 0ms);
  ASSERT_TRUE(taken.lock);
  EXPECT_NE(taken.message.find(std::to_string(gone)), std::string::npos) << taken.message;
  EXPECT_NE(taken.message.find("引き継ぎました"), std::string::npos);
}

TEST(CardLock, ALockOfAnotherHostOrALiveProcessOrAFreshUnreadableFileIsNeverTakenOver) {
  testcard::TempCard card;
  const std::string lock = std::string("\\") + kLockName;
  const std::string now = std::to_string(std::time(nullptr));
  // Another host: this one cannot ask whether its process still runs.
  card.Write(lock, "fenmora-lock other-host 1234 " + now + "\n");
  auto refused = CardLock::Take(card.root(), 0ms);
  EXPECT_FALSE(refused.lock);
  EXPECT_NE(refused.message.find("other-host"), std::string::npos);
  EXPECT_NE(refused.message.find((card.root() / kLockName).string()), std::string::npos) << refused.message;
  // A process of this host that runs (this one's parent) and holds the
  // file's flock.
  card.Write(lock, "fenmora-lock " + Host() + " " + std::to_string(getppid()) + " " + now + "\n");
  {
    const int held = ::open((card.root() / kLockName).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_FALSE(CardLock::Take(card.root(), 0ms).lock);
    ::close(held);
  }
  // The same process id with the flock free: ids come round again after a
  // restart, and only a holder of the flock holds the card.
  auto reused = CardLock::Take(card.root(), 0ms);
  EXPECT_TRUE(reused.lock) << reused.message;
  reused.lock.reset();
  // A file that says no holder while some process holds its flock (its maker
  // about to write it).
  card.Write(lock, std::string("\x01\x02garbage", 9));
  const int fd = open((card.root() / kLockName).c_str(), O_RDONLY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_FALSE(CardLock::Take(card.root(), 0ms).lock);
  EXPECT_EQ(card.Read(lock), std::string("\x01\x02garbage", 9));
  // Once nobody holds it and it has said nothing for a while, it is left
  // over.
  close(fd);
  auto taken = CardLock::Take(card.root(), 0ms);
  EXPECT_TRUE(taken.lock);
  EXPECT_NE(taken.message.find("引き継ぎました"), std::string::npos);
  taken.lock.reset();
  // One this very process left (a card gone read-only before the file could
  // go) is its own, never another program's.
  card.Write(lock, "fenmora-lock " + Host() + " " + std::to_string(getpid()) + " " + now + "\n");
  auto own = CardLock::Take(card.root(), 0ms);
  EXPECT_TRUE(own.lock);
  EXPECT_EQ(own.message, "");  // and taken back without a word
  own.lock.reset();
  // Anything at the lock's name that is no file is refused at once, named.
  std::filesystem::create_directory(card.root() / kLockName);
  const auto start = std::chrono::steady_clock::now();
  const auto folder = CardLock::Take(card.root(), 2000ms);
  EXPECT_FALSE(folder.lock);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_NE(folder.message.find((card.root() / kLockName).string()), std::string::npos) << folder.message;
}

}  // namespace
}  // namespace fenmora
