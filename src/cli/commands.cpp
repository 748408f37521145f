#include "cli/commands.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "catalogue/catalogue.h"
#include "cli/cli_prompts.h"
#include "cli/json.h"
#include "cli/ops.h"
#include "editing/editing.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "sync/backup.h"
#include "sync/check.h"
#include "sync/commit.h"
#include "sync/plan_summary.h"
#include "sync/load.h"
#include "sync/texts.h"

#ifndef FENMORA_VERSION
#define FENMORA_VERSION "0.0.0"
#endif

namespace fenmora::cli {

namespace fs = std::filesystem;

namespace {

// An operations file is a few lines; anything this big is not one.
constexpr std::streamsize kMaxOpsBytes = 16 * 1024 * 1024;

// Text from card data on one terminal line: control characters become "?".
std::string OneLine(std::string s) {
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return s;
}

std::string TitleText(const MediaEntry& e) { return Cp932ToUtf8(e.title); }

// Says there is no card at CARD, as the window says it, with the path.
bool CardFolderOrSay(const fs::path& card, std::ostream& err) {
  std::error_code ec;
  if (fs::is_directory(card, ec)) return true;
  err << texts::kInsertCard << "\n" << card.string() << "\n";
  return false;
}

// Loads the card as the window does. False (the message written) when there
// is no card.
bool Load(CardSession& session, const fs::path& card, CliPrompts& prompts, std::ostream& err) {
  prompts.SetSubject(card.string());
  SilentProgress progress;
  const LoadResult result = LoadCard(session, card, prompts, progress);
  prompts.SetSubject({});
  if (!result.Completed()) return false;
  if (result.droppedRecords > 0)
    err << result.droppedRecords
        << " record(s) left out: their file is missing or they lead outside the card"
           " (fenmora-cli check lists them)\n";
  return true;
}

bool ReadAll(std::istream& in, std::string& text) {
  std::ostringstream buffer;
  char chunk[65536];
  std::streamsize total = 0;
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    total += in.gcount();
    if (total > kMaxOpsBytes) return false;
    buffer.write(chunk, in.gcount());
  }
  if (in.bad()) return false;
  text = buffer.str();
  return true;
}

bool ReadOps(const std::string& opsPath, std::istream& stdinStream, std::string& text,
             std::ostream& err) {
  if (opsPath == "-") {
    if (ReadAll(stdinStream, text)) return true;
    err << "cannot read the operations from standard input\n";
    return false;
  }
  std::error_code ec;
  if (!fs::is_regular_file(opsPath, ec)) {
    err << "cannot read the operations file " << opsPath << ": not a file\n";
    return false;
  }
  std::ifstream in(opsPath, std::ios::binary);
  if (in && ReadAll(in, text)) return true;
  err << "cannot read the operations file " << opsPath << "\n";
  return false;
}

struct Applied {
  bool notAdded = false;  // an add did not queue its file
};

Applied ApplyOps(CardSession& session, const std::vector<Op>& ops, CliPrompts& prompts,
                 std::ostream& err) {
  Applied applied;
  bool addsStopped = false;
  for (const Op& op : ops) {
    MediaCatalogue& cat = session.Catalogue(op.kind);
    const std::string where = "line " + std::to_string(op.line) + ": ";
    bool done = true;
    switch (op.type) {
      case Op::Type::Add: {
        const fs::path file = fs::absolute(fs::path(op.argument));
        if (addsStopped) {
          err << where << "not added, the adds stopped at an earlier line: " << file.string() << "\n";
          applied.notAdded = true;
          continue;
        }
        prompts.SetSubject(file.string());
        prompts.SetLine(op.line);
        const QueueOutcome outcome = QueueFileForCard(session, op.kind, file, prompts);
        prompts.SetSubject({});
        prompts.SetLine(0);
        if (outcome != QueueOutcome::Queued) applied.notAdded = true;
        if (StopsBatch(outcome)) addsStopped = true;
        continue;
      }
      case Op::Type::Delete: done = DeleteEntry(cat, session.gauge, op.position).has_value(); break;
      case Op::Type::Up: done = MoveUp(cat, op.position); break;
      case Op::Type::Down: done = MoveDown(cat, op.position); break;
      case Op::Type::Renumber: Renumber(session.profile, op.kind, cat); break;
      case Op::Type::Title: done = ApplyTitle(cat, op.position, Utf8ToCp932(op.argument)); break;
    }
    if (!done)
      err << where << "nothing done: the " << KindWord(op.kind) << " list has no item "
          << op.position << (op.type == Op::Type::Up || op.type == Op::Type::Down
                                 ? " or it cannot move that way\n"
                                 : "\n");
  }
  return applied;
}

const char* PluralKind(MediaKind k) {
  switch (k) {
    case MediaKind::Image: return "images";
    case MediaKind::Melody: return "melodies";
    case MediaKind::Movie: return "movies";
    case MediaKind::Camera: break;
  }
  return "";
}

fs::path ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

fs::path UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return fs::path(xdg) / "Fenmora";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) home = "/tmp";
  return fs::path(home) / ".local" / "share" / "Fenmora";
}

}  // namespace

// ---------------------------------------------------------------- listing

void WriteListTable(const CardSession& session, std::ostream& out) {
  struct Row {
    std::string kind, pos, file, date, size, title;
  };
  std::vector<Row> rows{{"kind", "pos", "file", "date", "size", "title"}};
  for (MediaKind k : kListKinds) {
    const MediaCatalogue& cat = session.Catalogue(k);
    for (int r = 1; r <= cat.LiveCount(); ++r) {
      const MediaEntry* e = cat.EntryAtRow(r);
      if (!e) continue;
      rows.push_back({KindWord(k), std::to_string(r), OneLine(e->cardName), OneLine(e->dateText),
                      std::to_string(e->size), OneLine(TitleText(*e))});
    }
  }
  size_t w[5] = {};
  for (const Row& row : rows) {
    w[0] = std::max(w[0], row.kind.size());
    w[1] = std::max(w[1], row.pos.size());
    w[2] = std::max(w[2], row.file.size());
    w[3] = std::max(w[3], row.date.size());
    w[4] = std::max(w[4], row.size.size());
  }
  const auto left = [](const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); };
  const auto right = [](const std::string& s, size_t n) { return std::string(n - s.size(), ' ') + s; };
  for (const Row& row : rows)
    out << left(row.kind, w[0]) << "  " << right(row.pos, w[1]) << "  " << left(row.file, w[2]) << "  "
        << left(row.date, w[3]) << "  " << right(row.size, w[4]) << "  " << row.title << "\n";
  out << "\n";
  for (MediaKind k : kListKinds)
    out << session.Catalogue(k).LiveCount() << " " << PluralKind(k)
        << (k == MediaKind::Movie ? "; " : ", ");
  out << session.gauge.Free() << " of " << session.gauge.maxValue << " bytes free\n";
}

void WriteListJson(const CardSession& session, const std::string& cardText, std::ostream& out) {
  out << "{\"card\": " << JsonString(cardText) << ", \"totalBytes\": " << session.gauge.maxValue
      << ", \"freeBytes\": " << session.gauge.Free();
  for (MediaKind k : kListKinds) {
    out << ", \"" << KindWord(k) << "\": [";
    const MediaCatalogue& cat = session.Catalogue(k);
    bool first = true;
    for (int r = 1; r <= cat.LiveCount(); ++r) {
      const MediaEntry* e = cat.EntryAtRow(r);
      if (!e) continue;
      out << (first ? "" : ", ") << "{\"position\": " << r << ", \"file\": " << JsonString(e->cardName)
          << ", \"folder\": " << JsonString(CardFolderForDisplay(e->sourceFolder))
          << ", \"date\": " << JsonString(e->dateText) << ", \"size\": " << e->size
          << ", \"title\": " << JsonString(TitleText(*e)) << "}";
      first = false;
    }
    out << "]";
  }
  out << "}\n";
}

// ---------------------------------------------------------------- commands

int RunList(const fs::path& card, bool json, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  CliPrompts prompts(io.err, false);
  CardSession session;
  if (!Load(session, card, prompts, io.err)) return kExitUsage;
  if (json) WriteListJson(session, card.string(), io.out);
  else WriteListTable(session, io.out);
  return kExitOk;
}

int RunApply(const fs::path& card, const std::string& opsPath, bool dryRun, bool yes, Streams io) {
  // Every line is checked before the card is looked at.
  std::string text;
  if (!ReadOps(opsPath, io.in, text, io.err)) return kExitUsage;
  const ParsedOps parsed = ParseOps(text);
  if (!parsed.Ok()) {
    for (const OpsError& e : parsed.errors)
      io.err << (opsPath == "-" ? std::string("<stdin>") : opsPath) << ": line " << e.line << ": "
             << e.message << "\n";
    io.err << "nothing was done: the card is untouched\n";
    return kExitUsage;
  }
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;

  CliPrompts prompts(io.err, yes);
  CardSession session;
  if (!Load(session, card, prompts, io.err)) return kExitUsage;
  const Applied applied = ApplyOps(session, parsed.ops, prompts, io.err);
  const int editsExit = applied.notAdded ? kExitProblems : kExitOk;

  if (dryRun) {
    const CommitPlan plan = PlanCommit(session);
    // The same summary the window asks with before a commit, then every step.
    const PlanSummary summary = SummarizePlan(plan, session);
    io.out << summary.text << "\n";
    if (!summary.details.empty()) io.out << "\n" << summary.details << "\n";
    io.out << "\n";
    for (const CommitStep& step : plan.steps) io.out << DescribeStep(step, plan.cardRoot) << "\n";
    for (const std::string& refused : plan.refused)
      io.err << "left alone, it would lead outside the card: " << OneLine(refused) << "\n";
    return editsExit;
  }

  // The commit, even when no line changed a list: it also completes the
  // work of a commit that was interrupted.
  int exit = editsExit;
  const CommitPlan plan = PlanCommit(session);
  RealFileOps ops;
  SilentProgress progress;
  const CommitResult result = ExecuteCommit(session, plan, ops, progress);
  if (!result.Ok()) {
    io.err << CommitReport(result) << "\n";
    exit = kExitProblems;
  }
  // The card as it now is, as the window reloads it after a commit.
  if (!Load(session, card, prompts, io.err)) return kExitProblems;
  WriteListTable(session, io.out);
  return exit;
}

int RunBackup(const fs::path& card, const std::optional<fs::path>& into, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  const fs::path root = fs::absolute(into ? *into : DefaultBackupRoot());
  // A backup inside the card would copy itself into itself.
  if (IsInside(card, root)) {
    io.err << "the backup folder lies on the card itself: " << root.string() << "\n";
    return kExitUsage;
  }
  RealFileOps ops;
  SilentProgress progress;
  const BackupResult result = BackupCard(card, root, std::time(nullptr), ops, progress);
  io.out << result.folder.string() << "\n";
  if (result.complete) return kExitOk;
  io.err << BackupReport(result) << "\n";
  return kExitProblems;
}

int RunCheck(const fs::path& card, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  const CheckReport report = CheckCard(HandsetProfile::F900i(), card);
  for (const CheckFinding& f : report.findings) io.err << DescribeFinding(f, card) << "\n";
  if (report.Clean()) {
    io.out << "no problems found\n";
    return kExitOk;
  }
  io.out << report.findings.size() << " problem(s) found\n";
  return kExitProblems;
}

fs::path DefaultBackupRoot() {
  const fs::path program = ProgramFolder();
  const fs::path user = UserDataFolder();
  return program.empty() ? user / "BackUp" : ChooseBackupRoot(program, user);
}

// ---------------------------------------------------------------- arguments

std::string VersionText() { return std::string("fenmora-cli ") + FENMORA_VERSION; }

std::string HelpText() {
  return VersionText() +
         " - the F900i's SD card from a terminal\n"
         "\n"
         "fenmora-cli list CARD [--json]\n"
         "    Print the image, melody and movie lists of the card at CARD (its root\n"
         "    folder): kind, position, file, date, size and title. --json prints one\n"
         "    JSON object instead.\n"
         "fenmora-cli apply CARD OPS [--dry-run] [--yes]\n"
         "    Apply the operations in the file OPS (\"-\": standard input), one a line,\n"
         "    as the window's buttons do, then write the card, reload it and print the\n"
         "    lists. KIND is image, melody or movie; POS a list position from 1:\n"
         "        add KIND PATH      delete KIND POS    up KIND POS    down KIND POS\n"
         "        renumber KIND      title KIND POS TEXT\n"
         "    Blank lines and lines starting with \"#\" are skipped. Every line is\n"
         "    checked first: one bad line and nothing is done. --dry-run prints a\n"
         "    summary and the planned table writes and file operations, and changes\n"
         "    nothing. --yes adds files over their size limit and copies of items the\n"
         "    list holds (without it they are skipped). Empty files are never added.\n"
         "    A file that does not fit on the card stops the later adds.\n"
         "fenmora-cli backup CARD [--into DIR]\n"
         "    Copy PRIVATE, SD_VIDEO and DCIM into a new time-stamped folder in DIR\n"
         "    (default: the window's backup folder) and print that folder.\n"
         "fenmora-cli check CARD\n"
         "    Report records whose file is missing, files no table lists, tables a\n"
         "    shorter list left behind, and files left by an interrupted commit.\n"
         "fenmora-cli --help | --version\n"
         "\n"
         "Exit status: 0 success; 1 a file operation failed, a file was not added or\n"
         "check found something (each named on standard error); 2 bad usage, a bad\n"
         "OPS line or no card at CARD.\n";
}

namespace {

struct Command {
  const char* name;
  size_t positionals;
  std::vector<std::string> flags;   // options without a value
  std::vector<std::string> valued;  // options with a value
};

const Command kCommands[] = {
    {"list", 1, {"--json"}, {}},
    {"apply", 2, {"--dry-run", "--yes"}, {}},
    {"backup", 1, {}, {"--into"}},
    {"check", 1, {}, {}},
};

int Usage(Streams io, const std::string& why) {
  io.err << "fenmora-cli: " << why << "\n"
         << "usage: fenmora-cli list CARD [--json]\n"
            "       fenmora-cli apply CARD OPS [--dry-run] [--yes]\n"
            "       fenmora-cli backup CARD [--into DIR]\n"
            "       fenmora-cli check CARD\n"
            "       fenmora-cli --help | --version\n";
  return kExitUsage;
}

bool Has(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

int Main(const std::vector<std::string>& args, Streams io) {
  if (args.empty()) return Usage(io, "no command given");
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      io.out << HelpText();
      return kExitOk;
    }
  }
  if (args[0] == "--version") {
    io.out << VersionText() << "\n";
    return kExitOk;
  }
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (args[0] == c.name) command = &c;
  if (!command) return Usage(io, "unknown command \"" + OneLine(args[0]) + "\"");

  std::vector<std::string> positionals;
  std::vector<std::string> flags;
  std::optional<std::string> into;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
      positionals.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const auto eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (Has(command->valued, name)) {
      if (eq != std::string::npos) into = a.substr(eq + 1);
      else if (i + 1 < args.size()) into = args[++i];
      else return Usage(io, name + " needs a value");
      if (into->empty()) return Usage(io, name + " needs a value");
      continue;
    }
    if (eq == std::string::npos && Has(command->flags, a)) {
      flags.push_back(a);
      continue;
    }
    return Usage(io, "unknown option \"" + OneLine(a) + "\" for " + command->name);
  }
  if (positionals.size() != command->positionals)
    return Usage(io, std::string(command->name) + " takes " +
                         (command->positionals == 2 ? "CARD and OPS" : "CARD"));
  for (const std::string& p : positionals)
    if (p.empty()) return Usage(io, "an empty path");

  const fs::path card = positionals[0];
  const std::string name = command->name;
  if (name == "list") return RunList(card, Has(flags, "--json"), io);
  if (name == "apply")
    return RunApply(card, positionals[1], Has(flags, "--dry-run"), Has(flags, "--yes"), io);
  if (name == "backup") return RunBackup(card, into ? std::optional<fs::path>(*into) : std::nullopt, io);
  return RunCheck(card, io);
}

}  // namespace fenmora::cli
