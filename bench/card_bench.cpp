// Figures of the core on a full card (1024 images, 1024 melodies, 1024 movies:
// 16 + 16 + 16 table files), each beside what the file system itself costs for
// the same work, as medians of several runs:
//   load            LoadCard of all three kinds        vs  `ls -lR` of the card
//   load syscalls   system calls of one load           vs  one open and read per table
//                                                          and one look per listed file
//   commit          renumber after reversing every list vs the same renames done directly
//   queue           1000 files queued into an empty kind vs reading their sizes and dates
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "editing/editing.h"
#include "media/file_info.h"
#include "sync/commit.h"
#include "sync/load.h"

#include "full_card.h"

namespace fs = std::filesystem;
using namespace fenmora;
using fenmora::bench::MakeFullCard;

namespace {

class AlwaysYes : public Prompts {
 public:
  Answer Ask(Question, Icon, Buttons b, const std::string&) override {
    return b == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
};

double Millis(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs a command with its output thrown away.
void Run(const std::vector<std::string>& argv) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

void Load(const fs::path& root, CardSession& s) {
  AlwaysYes yes;
  SilentProgress quiet;
  if (!LoadCard(s, root, yes, quiet).Completed()) {
    std::fprintf(stderr, "load failed\n");
    std::exit(1);
  }
}

// Total system calls of a command, as strace -c -f counts them; -1 without strace.
long CountSyscalls(const std::vector<std::string>& argv, const fs::path& out) {
  std::vector<std::string> cmd = {"strace", "-f", "-c", "-o", out.string()};
  cmd.insert(cmd.end(), argv.begin(), argv.end());
  Run(cmd);
  std::ifstream in(out);
  std::string line, last;
  while (std::getline(in, line))
    if (line.find("total") != std::string::npos) last = line;
  if (last.empty()) return -1;
  // "100.00    0.001234           0      3456       12 total"
  std::vector<std::string> fields;
  std::string f;
  for (char c : last + " ") {
    if (c == ' ') {
      if (!f.empty()) fields.push_back(f);
      f.clear();
    } else {
      f += c;
    }
  }
  return fields.size() >= 4 ? std::atol(fields[3].c_str()) : -1;
}

// Passes every operation on, adding up the time each kind of operation takes.
class TimedFileOps : public FileOps {
 public:
  explicit TimedFileOps(FileOps& inner) : inner_(inner) {}
  std::map<std::string, double> ms;
  bool Exists(const fs::path& p) override { return inner_.Exists(p); }
  bool IsFolder(const fs::path& p) override { return inner_.IsFolder(p); }
  OpResult MakeFolders(const fs::path& p) override { return Time("mkdir", [&] { return inner_.MakeFolders(p); }); }
  OpResult Remove(const fs::path& p) override { return Time("remove", [&] { return inner_.Remove(p); }); }
  OpResult Rename(const fs::path& a, const fs::path& b) override { return Time("rename", [&] { return inner_.Rename(a, b); }); }
  OpResult Replace(const fs::path& a, const fs::path& b) override { return Time("replace", [&] { return inner_.Replace(a, b); }); }
  OpResult CopyFile(const fs::path& a, const fs::path& b) override { return Time("copy", [&] { return inner_.CopyFile(a, b); }); }
  OpResult WriteFile(const fs::path& p, std::string_view b) override { return Time("write", [&] { return inner_.WriteFile(p, b); }); }
  OpResult Flush(const fs::path& p) override { return Time("flush", [&] { return inner_.Flush(p); }); }
  OpResult ReadFile(const fs::path& p, std::string& b) override { return Time("read", [&] { return inner_.ReadFile(p, b); }); }
  OpResult Symlink(const fs::path& a, const fs::path& b) override { return inner_.Symlink(a, b); }
  OpResult ListFolder(const fs::path& f, std::vector<std::string>& n) override {
    return Time("list", [&] { return inner_.ListFolder(f, n); });
  }

 private:
  OpResult Time(const std::string& what, const std::function<OpResult()>& f) {
    OpResult r;
    ms[what] += Millis([&] { r = f(); });
    return r;
  }
  FileOps& inner_;
};

void Row(const char* figure, double ours, double base, const char* unit, double target) {
  const double ratio = base > 0 ? ours / base : 0;
  std::printf("%-16s %12.2f %12.2f %-5s %7.2fx   target <= %.1fx  %s\n", figure, ours, base, unit, ratio,
              target, ratio <= target ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path self = fs::canonical("/proc/self/exe");
  // Modes used under strace: load once, or do nothing but start.
  if (argc == 3 && std::string(argv[1]) == "--load-once") {
    CardSession s;
    Load(argv[2], s);
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--start-only") return 0;
  int runs = 7;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));

  const fs::path work = fs::temp_directory_path() / ("fenmora-bench-" + std::to_string(getpid()));
  const fs::path card = work / "card";
  MakeFullCard(card);
  std::printf("full card: %s (3 x 1024 items, 3 x 16 tables), %d runs each, medians\n\n", card.c_str(), runs);
  std::printf("%-16s %12s %12s %-5s %8s\n", "figure", "fenmora", "baseline", "unit", "ratio");

  // ---- load
  {
    std::vector<double> ours, base;
    CardSession s;
    Load(card, s);  // warm the caches for both
    Run({"ls", "-lR", card.string()});
    for (int r = 0; r < runs; ++r) {
      ours.push_back(Millis([&] {
        CardSession fresh;
        Load(card, fresh);
      }));
      base.push_back(Millis([&] { Run({"ls", "-lR", card.string()}); }));
    }
    Row("load", Median(ours), Median(base), "ms", 1.0);
    const long withLoad = CountSyscalls({self.string(), "--load-once", card.string()}, work / "strace-load");
    const long startOnly = CountSyscalls({self.string(), "--start-only", card.string()}, work / "strace-start");
    if (withLoad > 0 && startOnly > 0) {
      const long minimum = 3 * 16 * 2 + 3 * 1024;
      Row("load syscalls", static_cast<double>(withLoad - startOnly), static_cast<double>(minimum), "calls", 1.2);
    } else {
      std::printf("load syscalls    (strace not found: scripts/install-deps bench installs it)\n");
    }
  }

  // ---- commit of a full renumber after reversing every list
  {
    std::vector<double> ours, base, plan;
    for (int r = 0; r < runs; ++r) {
      MakeFullCard(card);
      sync();  // the card as written, on the disk: only the commit's own writes are timed
      CardSession s;
      Load(card, s);
      for (MediaKind kind : kListKinds) {
        MediaCatalogue& c = s.Catalogue(kind);
        for (int i = 0; i < c.count; ++i) c.Slot(i).position = c.LiveCount() + 1 - c.Slot(i).position;
        Renumber(s.profile, kind, c);
      }
      std::vector<std::pair<fs::path, fs::path>> renames;
      RealFileOps real;
      TimedFileOps ops(real);
      SilentProgress quiet;
      double planMs = 0;
      ours.push_back(Millis([&] {
        CommitPlan plan;
        planMs = Millis([&] { plan = PlanCommit(s); });
        const CommitResult result = ExecuteCommit(s, plan, ops, quiet);
        if (!result.Ok()) std::fprintf(stderr, "%s\n", CommitReport(result).c_str());
        for (const CommitStep& step : plan.steps)
          if (step.action == CommitStep::Action::Rename) renames.emplace_back(step.src, step.dest);
      }));
      plan.push_back(planMs);
      if (r == 0) {
        std::printf("  (first run, by operation:");
        for (const auto& [what, t] : ops.ms) std::printf(" %s %.1f", what.c_str(), t);
        std::printf(" ms)\n");
      }
      MakeFullCard(card);
      sync();
      base.push_back(Millis([&] {
        for (const auto& [from, to] : renames) ::rename(from.c_str(), to.c_str());
      }));
    }
    Row("commit", Median(ours), Median(base), "ms", 1.2);
    std::printf("  of which planning %.2f ms\n", Median(plan));
  }

  // ---- queueing 1000 files into an empty kind
  {
    const fs::path pc = work / "pc";
    std::vector<fs::path> files;
    for (int i = 0; i < 1000; ++i) {
      files.push_back(pc / ("photo " + std::to_string(i) + ".jpg"));
      bench::WriteFile(files.back(), std::string(100, 'p'));
    }
    std::vector<double> ours, base;
    for (int r = 0; r < runs; ++r) {
      CardSession s;
      s.loaded = true;
      s.cardRoot = card;
      s.gauge = {1LL << 40, 0};
      AlwaysYes yes;
      ours.push_back(Millis([&] {
        FileQueue batch(s, MediaKind::Image, yes);
        for (const fs::path& f : files) batch.Add(f);
      }));
      if (s.Catalogue(MediaKind::Image).count != 1000) std::fprintf(stderr, "queue lost files\n");
      std::size_t sink = 0;
      base.push_back(Millis([&] {
        for (const fs::path& f : files) {
          struct stat st;
          if (::stat(f.c_str(), &st) == 0) sink += DateTextOf(st.st_mtime).size() + static_cast<size_t>(st.st_size);
        }
      }));
      if (sink == 0) std::fprintf(stderr, "no files\n");
    }
    Row("queue 1000", Median(ours), Median(base), "ms", 1.5);
  }
  fs::remove_all(work);
  return 0;
}
