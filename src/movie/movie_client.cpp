// The movie tasks of the window and the command line, each run by the helper
// program fenmora-movie in a process of its own (previews by one kept
// running): its answer comes as lines (helper_protocol.h). A helper that dies (a codec's abort, a
// double free), hangs or is missing ends the task with a status; a cancel
// ends the helper. The converted file the helper was writing is removed
// whenever it gave no answer that it is complete.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "movie/helper_protocol.h"
#include "movie/movie.h"

extern char** environ;

namespace fenmora::movie {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

enum class Ended { Answered, Stopped, Died, Missing, Silent };

fs::path OwnFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

// The helper started with `args`, its standard output (and, with `talk`,
// its standard input) on `fd`; -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& args, bool talk, int& fd) {
  const fs::path helper = HelperProgram();
  if (helper.empty()) return -1;
  int ends[2];
  // A socket, not a pipe, for a helper that is talked to: a request to one
  // that has died fails with EPIPE (MSG_NOSIGNAL) instead of SIGPIPE.
  if ((talk ? socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) : pipe2(ends, O_CLOEXEC)) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (talk) posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
  else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> all{helper.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (spawned != 0) {
    close(ends[0]);
    return -1;
  }
  fd = ends[0];
  return pid;
}

enum class Read { Closed, Enough, Stopped, Silent, Broken };

// Reads lines from `fd`, handing each to `onLine` until it returns false
// (Enough), the other end closes it, `cancel` becomes true or nothing comes
// for `silence`. `pending` keeps what is read of a line not yet whole.
Read ReadLines(int fd, std::string& pending, const std::function<bool(std::string_view)>& onLine,
               const std::atomic<bool>& cancel, Clock::duration silence) {
  char buffer[65536];
  Clock::time_point heard = Clock::now();
  for (;;) {
    if (cancel.load()) return Read::Stopped;
    if (Clock::now() - heard > silence) return Read::Silent;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) return Read::Broken;
    if (ready <= 0) continue;
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) return Read::Broken;
    if (got == 0) return Read::Closed;
    heard = Clock::now();
    pending.append(buffer, static_cast<std::size_t>(got));
    std::size_t start = 0, end;
    while ((end = pending.find('\n', start)) != std::string::npos) {
      const bool more = onLine(std::string_view(pending).substr(start, end - start));
      start = end + 1;
      if (!more) {
        pending.erase(0, start);
        return Read::Enough;
      }
    }
    pending.erase(0, start);
    if (pending.size() > wire::kMaxLine) return Read::Broken;  // no line of ours is that long
  }
}

// Waits for the helper to end; after `grace` it is killed. True when it
// ended on its own with status 0.
bool Reap(pid_t pid, std::chrono::milliseconds grace) {
  int status = 0;
  pid_t waited = 0;
  for (auto until = Clock::now() + grace; (waited = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < until;)
    usleep(5000);
  if (waited == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

// Runs the helper for one task, reading its lines until it ends (see
// ReadLines); a helper ended early is killed.
Ended RunHelper(const std::vector<std::string>& args, const std::function<bool(std::string_view)>& onLine,
                const std::atomic<bool>& cancel, Clock::duration silence) {
  int fd = -1;
  const pid_t pid = Spawn(args, false, fd);
  if (pid < 0) return Ended::Missing;
  std::string pending;
  const Read read = ReadLines(fd, pending, onLine, cancel, silence);
  close(fd);
  // It has closed its output: a few seconds to end on its own.
  const bool clean = Reap(pid, read == Read::Closed ? 5000ms : 0ms);
  switch (read) {
    case Read::Closed: return clean ? Ended::Answered : Ended::Died;
    case Read::Enough:
    case Read::Stopped: return Ended::Stopped;
    case Read::Silent: return Ended::Silent;
    case Read::Broken: break;
  }
  return Ended::Died;
}

// One helper kept running for the previews of a program: starting one costs
// some 50 ms (FFmpeg's libraries loaded), a picture a few. One request at a
// time; a helper that dies, hangs or is cancelled is ended, and the next
// request starts another.
class PreviewHelper {
 public:
  ~PreviewHelper() { Stop(); }

  std::optional<PreviewPicture> Request(const fs::path& file, int w, int h, const std::atomic<bool>& cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string request = wire::PreviewRequest(file.string(), w, h);
    for (int attempt = 0; attempt < 2; ++attempt) {
      // One that ended while idle (it was killed, say) is replaced first, and
      // so is one of a program no longer the helper ($FENMORA_MOVIE_HELPER
      // set to another since).
      if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1, Stop();
      const fs::path program = HelperProgram();
      if (pid_ > 0 && program != program_) Stop();
      if (pid_ < 0 && (pid_ = Spawn({"serve"}, true, fd_)) < 0) return std::nullopt;
      program_ = program;
      if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        Stop();  // gone before it read the request: another one gets it
        continue;
      }
      std::optional<PreviewPicture> picture;
      const Read read = ReadLines(fd_, pending_, [&](std::string_view line) {
        picture = wire::ParsePicture(line);
        return false;  // one answer a request
      }, cancel, 30s);
      if (read != Read::Enough || !picture) Stop();  // died on this file, hung, cancelled, or talked nonsense
      return picture;
    }
    return std::nullopt;
  }

 private:
  void Stop() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    pending_.clear();
    if (pid_ > 0) Reap(pid_, 0ms);
    pid_ = -1;
  }

  std::mutex mutex_;
  pid_t pid_ = -1;
  fs::path program_;  // what pid_ runs
  int fd_ = -1;
  std::string pending_;
};

// Kills nothing: for a caller without a cancel flag.
const std::atomic<bool> kNever{false};

}  // namespace

fs::path HelperProgram() {
  if (const char* chosen = std::getenv("FENMORA_MOVIE_HELPER"); chosen && *chosen) return chosen;
  const fs::path own = OwnFolder();
  if (own.empty()) return {};
  std::error_code ec;
  // Beside the program in the build tree; in libexec when installed.
  for (const fs::path& candidate : {own / "fenmora-movie", own / FENMORA_HELPER_FROM_BIN / "fenmora-movie"})
    if (fs::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0) return candidate;
  return {};
}

MovieFacts ProbeMovie(const fs::path& file) {
  MovieFacts facts;
  facts.status = MovieFacts::Status::Crashed;
  bool answered = false;
  // The helper reads the headers in 5 s at most, a file without a length in
  // 30 s more.
  const Ended ended = RunHelper({"probe", file.string()}, [&](std::string_view line) {
    if (auto parsed = wire::ParseFacts(line)) {
      facts = *parsed;
      answered = true;
    }
    return true;
  }, kNever, 60s);
  if (ended != Ended::Answered || !answered) {
    MovieFacts failed;
    failed.status = MovieFacts::Status::Crashed;
    return failed;
  }
  return facts;
}

PreviewPicture PreviewFrame(const fs::path& file, int boxWidth, int boxHeight, const std::atomic<bool>* cancel) {
  static PreviewHelper helper;
  boxWidth = std::clamp(boxWidth, 1, wire::kMaxPictureSide);
  boxHeight = std::clamp(boxHeight, 1, wire::kMaxPictureSide);
  return helper.Request(file, boxWidth, boxHeight, cancel ? *cancel : kNever).value_or(PreviewPicture{});
}

PreviewPicture DecodePhoto(const fs::path& file, int boxWidth, int boxHeight) {
  PreviewPicture picture;
  bool answered = false;
  const Ended ended = RunHelper({"photo", file.string(), std::to_string(std::clamp(boxWidth, 1, wire::kMaxPictureSide)),
                                 std::to_string(std::clamp(boxHeight, 1, wire::kMaxPictureSide))},
                                [&](std::string_view line) {
                                  if (auto parsed = wire::ParsePicture(line)) {
                                    picture = std::move(*parsed);
                                    answered = true;
                                  }
                                  return true;
                                },
                                kNever, 60s);
  return ended == Ended::Answered && answered ? picture : PreviewPicture{};
}

Converted ConvertMovie(const fs::path& source, const fs::path& out, double seconds, const ProgressFn& progress,
                       const HandsetMovie& target) {
  Converted result;
  bool answered = false;
  std::atomic<bool> cancelled{false};
  // In the C locale's form whatever the program's locale (a window in a
  // German locale would write "3,5").
  char length[64];
  const auto written = std::to_chars(length, length + sizeof length - 1, seconds);
  *written.ptr = '\0';
  const Ended ended = RunHelper(
      {"convert", source.string(), out.string(), length, std::to_string(target.maxBytes)},
      [&](std::string_view line) {
        if (const auto share = wire::ParseProgress(line)) {
          if (progress && !progress(*share)) cancelled = true;
          return !cancelled.load();
        }
        if (auto parsed = wire::ParseResult(line)) {
          result = *parsed;
          answered = true;
        }
        return true;
      },
      kNever, 120s);
  if (ended == Ended::Answered && answered && result.status == Converted::Status::Done) return result;
  std::error_code ec;
  fs::remove(out, ec);
  if (cancelled.load() || (answered && result.status == Converted::Status::Cancelled)) {
    result = {};
    result.status = Converted::Status::Cancelled;
    return result;
  }
  if (answered && ended == Ended::Answered) return result;  // the helper's own failure
  result = {};
  result.status = Converted::Status::Failed;
  result.crashed = true;
  result.detail = ended == Ended::Missing ? "no helper" : ended == Ended::Silent ? "no answer" : "crash";
  return result;
}

}  // namespace fenmora::movie
