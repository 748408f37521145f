// The movie tasks of the window and the command line, each run by the helper
// program fenmora-movie in a process of its own: its answer comes as lines
// on a pipe (helper_protocol.h). A helper that dies (a codec's abort, a
// double free), hangs or is missing ends the task with a status; a cancel
// ends the helper. The converted file the helper was writing is removed
// whenever it gave no answer that it is complete.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
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

// Reads the helper's lines until it ends, handing each to `onLine` (false:
// enough, the helper is ended). `cancel` ends it too, and so does a silence
// longer than `silence`.
Ended RunHelper(const std::vector<std::string>& args, const std::function<bool(std::string_view)>& onLine,
                const std::atomic<bool>* cancel, Clock::duration silence) {
  const fs::path helper = HelperProgram();
  if (helper.empty()) return Ended::Missing;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return Ended::Missing;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> all{helper.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    return Ended::Missing;
  }

  Ended ended = Ended::Answered;
  std::string pending;
  char buffer[65536];
  Clock::time_point heard = Clock::now();
  bool open = true, closed = false;
  while (open) {
    if (cancel && cancel->load()) {
      ended = Ended::Stopped;
      break;
    }
    if (Clock::now() - heard > silence) {
      ended = Ended::Silent;
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) {  // the helper closed its output: it is ending
      closed = got == 0;
      break;
    }
    heard = Clock::now();
    pending.append(buffer, static_cast<std::size_t>(got));
    std::size_t start = 0, end;
    while ((end = pending.find('\n', start)) != std::string::npos) {
      if (!onLine(std::string_view(pending).substr(start, end - start))) {
        ended = Ended::Stopped;
        open = false;
        break;
      }
      start = end + 1;
    }
    pending.erase(0, start);
    if (pending.size() > wire::kMaxLine) break;  // no line of ours is that long
  }
  close(out[0]);
  int status = 0;
  pid_t waited = 0;
  if (ended == Ended::Answered && closed) {
    // It has closed its output: a few seconds to end on its own.
    for (int i = 0; i < 500 && (waited = waitpid(pid, &status, WNOHANG)) == 0; ++i) usleep(10000);
  }
  if (waited != pid) {
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (ended == Ended::Answered && !(waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0))
    ended = Ended::Died;
  return ended;
}

// Kills nothing when the caller gave no cancel flag.
const std::atomic<bool>* Never() {
  static const std::atomic<bool> never{false};
  return &never;
}

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
  }, Never(), 60s);
  if (ended != Ended::Answered || !answered) {
    MovieFacts failed;
    failed.status = MovieFacts::Status::Crashed;
    return failed;
  }
  return facts;
}

PreviewPicture PreviewFrame(const fs::path& file, int boxWidth, int boxHeight, const std::atomic<bool>* cancel) {
  PreviewPicture picture;
  boxWidth = std::clamp(boxWidth, 1, wire::kMaxPictureSide);
  boxHeight = std::clamp(boxHeight, 1, wire::kMaxPictureSide);
  bool answered = false;
  const Ended ended = RunHelper({"preview", file.string(), std::to_string(boxWidth), std::to_string(boxHeight)},
                                [&](std::string_view line) {
                                  if (auto parsed = wire::ParsePicture(line)) {
                                    picture = std::move(*parsed);
                                    answered = true;
                                  }
                                  return true;
                                },
                                cancel ? cancel : Never(), 30s);
  if (ended != Ended::Answered || !answered) return {};
  return picture;
}

Converted ConvertMovie(const fs::path& source, const fs::path& out, double seconds, const ProgressFn& progress,
                       const HandsetMovie& target) {
  Converted result;
  bool answered = false;
  std::atomic<bool> cancelled{false};
  char length[64];
  std::snprintf(length, sizeof length, "%.6f", seconds);
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
      Never(), 120s);
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
