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
#include "cli/card_export.h"
#include "cli/cli_prompts.h"
#include "cli/json.h"
#include "cli/ops.h"
#include "cli/cli_work.h"
#include "convert/handset_fit.h"
#include "editing/editing.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/fileops.h"
#include "sync/backup.h"
#include "sync/check.h"
#include "sync/commit.h"
#include "sync/plan_summary.h"
#include "sync/load.h"
#include "sync/restore.h"
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
// is no card. An update that was interrupted is neither finished nor undone
// unless told so: the lists are the tables as they are, and it is said first.
bool Load(CardSession& session, const fs::path& card, CliPrompts& prompts, std::ostream& err,
          InterruptedChoice choice = InterruptedChoice::Tables, LoadResult* loaded = nullptr) {
  prompts.SetSubject(card.string());
  SilentProgress progress;
  const LoadResult result = LoadCard(session, card, prompts, progress, choice);
  if (loaded) *loaded = result;
  prompts.SetSubject({});
  if (!result.Completed()) return false;
  if (result.interrupted && choice == InterruptedChoice::Tables)
    err << "an update of this card was interrupted (" << kJournalName
        << " at its root), or another program is writing the card now; the lists are its tables as they are now.\n"
           "  to finish that update:                 fenmora-cli finish "
        << card.string() << "\n  to return the card to its state before: fenmora-cli revert " << card.string()
        << "\n";
  if (result.recovered) err << result.recoveryMessage << "\n";
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
  bool missingItem = false;  // a line named an item the list does not have: nothing may be written
};

Applied ApplyOps(CardSession& session, const std::vector<Op>& ops, CliPrompts& prompts,
                 std::ostream& err) {
  Applied applied;
  bool addsStopped = false;
  convert::HandsetFit fit(session.profile);
  CliWork work(err);
  fit.SetLongWork(&work);
  for (const Op& op : ops) {
    MediaCatalogue& cat = session.Catalogue(op.kind);
    const std::string where = "line " + std::to_string(op.line) + ": ";
    if (op.type == Op::Type::Add) {
      const fs::path file = fs::absolute(fs::path(op.argument));
      if (addsStopped) {
        err << where << "not added, the adds stopped at an earlier line: " << file.string() << "\n";
        applied.notAdded = true;
        continue;
      }
      prompts.SetSubject(file.string());
      prompts.SetLine(op.line);
      // A queue per line: the lines between may renumber or delete.
      FileQueue queue(session, op.kind, prompts);
      const QueueOutcome outcome = convert::AddFitted(queue, fit, op.kind, file, prompts);
      prompts.SetSubject({});
      prompts.SetLine(0);
      if (outcome != QueueOutcome::Queued) applied.notAdded = true;
      if (StopsBatch(outcome)) addsStopped = true;
      continue;
    }
    // A line naming an item the list does not have (as it stands after the
    // lines before) stops everything: the user meant some other item.
    if (op.type != Op::Type::Renumber && !cat.EntryAtRow(op.position)) {
      err << where << "the " << KindWord(op.kind) << " list has no item " << op.position << " (it holds "
          << cat.LiveCount() << " at this line)\n";
      applied.missingItem = true;
      return applied;
    }
    bool done = true;
    switch (op.type) {
      case Op::Type::Delete: done = DeleteEntry(cat, session.space, op.position).has_value(); break;
      case Op::Type::Up: done = MoveUp(cat, op.position); break;
      case Op::Type::Down: done = MoveDown(cat, op.position); break;
      case Op::Type::Renumber: Renumber(session.profile, op.kind, cat); break;
      case Op::Type::Title:
        done = ApplyTitle(cat, op.position, Utf8ToCp932(op.argument));
        // Only with --lossy-titles does a title that changes get this far.
        if (const std::string change = TitleChange(op.argument); done && !change.empty())
          err << where << "title stored as \"" << OneLine(TitleText(*cat.EntryAtRow(op.position)))
              << "\": " << OneLine(change) << "\n";
        break;
      case Op::Type::Add: break;
    }
    if (!done)
      err << where << "nothing done: " << KindWord(op.kind) << " " << op.position << " is already "
          << (op.type == Op::Type::Up ? "first" : "last") << "\n";
  }
  return applied;
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

const char* PluralKind(MediaKind k) {
  switch (k) {
    case MediaKind::Image: return "images";
    case MediaKind::Melody: return "melodies";
    case MediaKind::Movie: return "movies";
    case MediaKind::Camera: break;
  }
  return "";
}

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
  out << session.space.Free() << " of " << session.space.capacity << " bytes free\n";
}

void WriteListJson(const CardSession& session, const std::string& cardText, std::ostream& out) {
  out << "{\"card\": " << JsonString(cardText) << ", \"totalBytes\": " << session.space.capacity
      << ", \"freeBytes\": " << session.space.Free();
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

namespace {
int CommitAndList(CardSession& session, const fs::path& card, CliPrompts& prompts, int exit, Streams io);
}  // namespace

int RunApply(const fs::path& card, const std::string& opsPath, bool dryRun, bool yes, Streams io,
             bool convert, bool lossyTitles) {
  // Every line is checked before the card is looked at.
  std::string text;
  if (!ReadOps(opsPath, io.in, text, io.err)) return kExitUsage;
  const ParsedOps parsed = ParseOps(text, lossyTitles);
  if (!parsed.Ok()) {
    for (const OpsError& e : parsed.errors)
      io.err << (opsPath == "-" ? std::string("<stdin>") : opsPath) << ": line " << e.line << ": "
             << e.message << "\n";
    io.err << "nothing was done: the card is untouched\n";
    return kExitUsage;
  }
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  // The command line loads any folder without asking whether it is a card: a
  // folder without the handset's layout is written only when --yes says so.
  if (RealFileOps fileOps; !dryRun && !yes && !HoldsCardLayout(card, fileOps)) {
    io.err << "not a card: " << card.string()
           << " holds no PRIVATE\\DOCOMO or SD_VIDEO folder; nothing was done"
              " (--yes writes it anyway)\n";
    return kExitUsage;
  }

  CliPrompts prompts(io.err, yes, convert);
  CardSession session;
  LoadResult loaded;
  if (!Load(session, card, prompts, io.err, InterruptedChoice::Tables, &loaded)) return kExitUsage;
  // Nothing goes on top of an update that is not finished, nor beside another
  // program's.
  if (!dryRun && session.journalUse == CardSession::JournalUse::Blocks) {
    io.err << "nothing was done: the operations are not applied "
           << (loaded.lockedBy.empty() ? "on top of an interrupted update (see above)\n"
                                       : "while another program writes the card (see above)\n");
    return kExitProblems;
  }
  const Applied applied = ApplyOps(session, parsed.ops, prompts, io.err);
  if (applied.missingItem) {
    io.err << "nothing was done: the card is untouched\n";
    return kExitUsage;
  }
  const int editsExit = applied.notAdded ? kExitProblems : kExitOk;

  if (dryRun) {
    RealFileOps ops;
    const CommitPlan plan = PlanCommit(session, ops);
    // The same summary the window asks with before a commit, then every step.
    const PlanSummary summary = SummarizePlan(plan, session);
    io.out << summary.text << "\n";
    if (!summary.details.empty()) io.out << "\n" << summary.details << "\n";
    io.out << "\n";
    for (const CommitStep& step : plan.steps) io.out << DescribeStep(plan, step) << "\n";
    for (const std::string& refused : plan.refused)
      io.err << "left alone, it would lead outside the card: " << OneLine(refused) << "\n";
    return editsExit;
  }

  return CommitAndList(session, card, prompts, editsExit, io);
}

int RunRecovery(const fs::path& card, Recovery recovery, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  CliPrompts prompts(io.err, false);
  CardSession session;
  LoadResult loaded;
  const InterruptedChoice choice = recovery == Recovery::Finish ? InterruptedChoice::Finish : InterruptedChoice::Revert;
  if (!Load(session, card, prompts, io.err, choice, &loaded)) return kExitUsage;
  if (!loaded.lockedBy.empty() || !loaded.unplaced.empty()) {
    io.err << "nothing was done (see above)\n";
    return kExitProblems;
  }
  if (!loaded.interrupted) {
    io.err << "no interrupted update on the card: nothing to "
           << (recovery == Recovery::Finish ? "finish\n" : "return to\n");
    return kExitOk;
  }
  // Taken up as the load began: finished or undone, or said why not.
  if (loaded.recovered || !loaded.recoveryMessage.empty()) {
    if (!loaded.recovered) {
      io.err << "nothing more was done (see above)\n";
      return kExitProblems;
    }
    WriteListTable(session, io.out);
    return kExitOk;
  }
  if (recovery == Recovery::Revert && !loaded.reverting) {
    io.err << "the interrupted update can only be finished (fenmora-cli finish): it had started removing files,\n"
              "or it was itself finishing or undoing an earlier one\n";
    return kExitProblems;
  }
  return CommitAndList(session, card, prompts, kExitOk, io);
}

namespace {

// Writes the lists of the session to the card, reloads it and prints them.
int CommitAndList(CardSession& session, const fs::path& card, CliPrompts& prompts, int exit, Streams io) {
  RealFileOps ops;
  const CommitPlan plan = PlanCommit(session, ops);
  SilentProgress progress;
  const CommitResult result = ExecuteCommit(session, plan, ops, progress);
  if (!result.Ok() || !result.asides.empty()) io.err << CommitReport(result) << "\n";
  if (!result.Ok()) exit = kExitProblems;
  // The card as it now is, as the window reloads it after a commit.
  if (!Load(session, card, prompts, io.err)) return kExitProblems;
  WriteListTable(session, io.out);
  return exit;
}

}  // namespace

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
  if (!result.refusal.empty()) {
    io.err << result.refusal << "\nnothing was backed up\n";
    return kExitProblems;
  }
  io.out << result.folder.string() << "\n";
  if (result.complete) return kExitOk;
  io.err << BackupReport(result) << "\n";
  return kExitProblems;
}

int RunRestore(const fs::path& backup, const fs::path& card, bool dryRun, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  std::error_code ec;
  if (!fs::is_directory(backup, ec)) {
    io.err << "not a backup folder: " << backup.string() << "\n";
    return kExitUsage;
  }
  if (IsInside(card, fs::absolute(backup))) {
    io.err << "the backup folder lies on the card itself: " << backup.string() << "\n";
    return kExitUsage;
  }
  RealFileOps ops;
  RestoreSetup setup = PrepareRestore(fs::absolute(backup), card, ops);
  if (!setup.refusal.empty()) {
    for (const std::string& line : setup.refusal) io.err << OneLine(line) << "\n";
    return kExitProblems;
  }
  const CommitPlan plan = PlanCommit(setup.session, ops);
  // What the restore will do, as a commit shows it.
  const PlanSummary summary = SummarizePlan(plan, setup.session);
  io.out << summary.text << "\n";
  if (!summary.details.empty()) io.out << "\n" << summary.details << "\n";
  io.out << "\n";
  if (dryRun) {
    for (const CommitStep& step : plan.steps) io.out << DescribeStep(plan, step) << "\n";
    return kExitOk;
  }
  SilentProgress progress;
  const CommitResult result = ExecuteCommit(setup.session, plan, ops, progress);
  (result.Ok() ? io.out : io.err) << RestoreReport(setup, plan, result) << "\n\n";
  CliPrompts prompts(io.err, false);
  CardSession session;
  if (!Load(session, card, prompts, io.err)) return kExitProblems;
  WriteListTable(session, io.out);
  return result.Ok() ? kExitOk : kExitProblems;
}

int RunCheck(const fs::path& card, Streams io) {
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  const CheckReport report = CheckCard(HandsetProfile::F900i(), card);
  size_t problems = 0;
  for (const CheckFinding& f : report.findings) {
    io.err << DescribeFinding(f, card) << "\n";
    if (!f.information) ++problems;
  }
  if (problems == 0) {
    io.out << "no problems found\n";
    return kExitOk;
  }
  io.out << problems << " problem(s) found\n";
  return kExitProblems;
}

fs::path DefaultBackupRoot() {
  const fs::path program = ProgramFolder();
  const fs::path user = UserDataFolder();
  RealFileOps ops;
  return program.empty() ? user / "BackUp" : ChooseBackupRoot(program, user, ops);
}

// ---------------------------------------------------------------- arguments

std::string VersionText() { return std::string("fenmora-cli ") + FENMORA_VERSION; }

namespace {

// An option of a command: a flag, or one taking a value (named in `value`).
struct Option {
  const char* name;   // "--json"
  const char* value;  // "DIR", or nullptr for a flag
  bool required = false;
};

// A command's arguments once read: its positional arguments, in order, and
// its options.
struct Args {
  std::vector<std::string> positionals;
  std::vector<std::string> flags;
  std::vector<std::pair<std::string, std::string>> values;

  fs::path Card() const { return positionals[0]; }
  bool Flag(const char* name) const { return std::find(flags.begin(), flags.end(), name) != flags.end(); }
  std::optional<std::string> Value(const char* name) const {
    for (const auto& [n, v] : values)
      if (n == name) return v;
    return std::nullopt;
  }
};

// One row per command: what it is called, what it takes, what it does and
// how it runs. Usage, help and dispatch all come from here.
struct Command {
  const char* name;
  std::vector<const char*> positionals;  // "CARD", "OPS"
  std::vector<Option> options;
  const char* help;  // its description, four spaces in, one line per line
  int (*run)(const Args&, Streams);

  std::string Synopsis() const {
    std::string line = name;
    for (const char* p : positionals) line += std::string(" ") + p;
    for (const Option& o : options) {
      const std::string text = o.name + (o.value ? std::string(" ") + o.value : "");
      line += o.required ? " " + text : " [" + text + "]";
    }
    return line;
  }
  const Option* Find(const std::string& option) const {
    for (const Option& o : options)
      if (option == o.name) return &o;
    return nullptr;
  }
};

const Command kCommands[] = {
    {"list",
     {"CARD"},
     {{"--json", nullptr}},
     "    Print the image, melody and movie lists of the card at CARD (its root\n"
     "    folder): kind, position, file, date, size and title. --json prints one\n"
     "    JSON object instead.\n",
     [](const Args& a, Streams io) { return RunList(a.Card(), a.Flag("--json"), io); }},
    {"apply",
     {"CARD", "OPS"},
     {{"--dry-run", nullptr}, {"--yes", nullptr}, {"--convert", nullptr}, {"--lossy-titles", nullptr}},
     "    Apply the operations in the file OPS (\"-\": standard input), one a line,\n"
     "    as the window's buttons do, then write the card, reload it and print the\n"
     "    lists. KIND is image, melody or movie; POS a list position from 1:\n"
     "        add KIND PATH      delete KIND POS    up KIND POS    down KIND POS\n"
     "        renumber KIND      title KIND POS TEXT\n"
     "    Blank lines and lines starting with \"#\" are skipped. Every line is checked\n"
     "    first: one bad line and nothing is done. A line naming an item its list\n"
     "    does not have at that point (after the lines before it) stops everything\n"
     "    before the card is written. So does a title the card cannot hold as\n"
     "    written (characters Shift-JIS does not have, or over 64 bytes in\n"
     "    Shift-JIS), unless --lossy-titles is given: then it is stored with \"?\" for\n"
     "    those characters, cut to 64 bytes, and each change is named. --dry-run\n"
     "    prints a summary and the planned table writes and file operations, and\n"
     "    changes nothing. --yes adds files over their size limit and copies of\n"
     "    items the list holds (without it they are skipped) and writes to a folder\n"
     "    that holds no PRIVATE\\DOCOMO or SD_VIDEO folder (without it such a folder\n"
     "    is refused). Empty files, folders, FIFOs, devices and files over 4 GiB - 1\n"
     "    byte are never added. --convert makes a picture the handset would not show\n"
     "    (PNG, progressive JPEG, too large, ...) into a baseline JPEG of at most\n"
     "    240 x 320 pixels and 100 KB, and slims a MIDI file over 40 KB; a movie\n"
     "    becomes a 3GP file the handset plays (176 x 144, 15 frames a second,\n"
     "    MPEG-4 and AMR-NB, at most 300 KB), only its first seconds when the whole\n"
     "    cannot fit (the line says how long), with its progress on standard error\n"
     "    when that is a terminal; --dry-run converts too, to say the size. The\n"
     "    user's files are only read. A file that does not fit on the card (counted\n"
     "    in whole clusters) stops the later adds. On a card with an interrupted\n"
     "    update apply does nothing (exit 1): finish or revert deals with it first.\n",
     [](const Args& a, Streams io) {
       return RunApply(a.Card(), a.positionals[1], a.Flag("--dry-run"), a.Flag("--yes"), io,
                       a.Flag("--convert"), a.Flag("--lossy-titles"));
     }},
    {"backup",
     {"CARD"},
     {{"--into", "DIR"}},
     "    Copy PRIVATE, SD_VIDEO and DCIM into a new time-stamped folder in DIR\n"
     "    (default: the window's backup folder) and print that folder. Reads the\n"
     "    card under its lock; a card whose update was interrupted is refused.\n",
     [](const Args& a, Streams io) {
       const auto into = a.Value("--into");
       return RunBackup(a.Card(), into ? std::optional<fs::path>(*into) : std::nullopt, io);
     }},
    {"restore",
     {"BACKUP", "CARD"},
     {{"--dry-run", nullptr}},
     "    Make the card's lists those of the backup folder BACKUP (one that\n"
     "    \"backup\" made, checked first against its manifest: a backup that is\n"
     "    not complete or whose files differ is refused), as a commit: the card's\n"
     "    own files holding the same bytes are renamed, the others copied from\n"
     "    the backup. Nothing on the card is deleted: files the backup does not\n"
     "    have stay (moved aside as *.fmkeep where they stand in the way) and are\n"
     "    named. Prints the summary, then the lists; --dry-run prints the summary\n"
     "    and every planned step, and changes nothing.\n",
     [](const Args& a, Streams io) {
       return RunRestore(a.positionals[0], a.positionals[1], a.Flag("--dry-run"), io);
     }},
    {"check",
     {"CARD"},
     {},
     "    Report records whose file is missing or holds another size, files no\n"
     "    table lists, names that differ only in case, tables a shorter list left\n"
     "    behind, and files left by an interrupted commit. A table that names no\n"
     "    existing file is information only.\n",
     [](const Args& a, Streams io) { return RunCheck(a.Card(), io); }},
    {"finish",
     {"CARD"},
     {},
     "    Finish an update of the card that was interrupted (a card pulled out, a\n"
     "    crash): carry out the steps of its journal the card shows not done, then\n"
     "    print the lists. apply never does this by itself: on a card with an\n"
     "    interrupted update it refuses, and list and check say so first. Nothing\n"
     "    is done where the card is neither before nor after a step, or where a\n"
     "    file to copy again is no longer exactly the one the update chose.\n",
     [](const Args& a, Streams io) { return RunRecovery(a.Card(), Recovery::Finish, io); }},
    {"revert",
     {"CARD"},
     {},
     "    Return a card whose last update was interrupted to its state before that\n"
     "    update (finish completes it instead): undo, in reverse, the steps of its\n"
     "    journal the card shows done, then print the lists. Once the update had\n"
     "    begun removing files it can only be finished.\n",
     [](const Args& a, Streams io) { return RunRecovery(a.Card(), Recovery::Revert, io); }},
    {"midi",
     {"SOURCE", "DEST"},
     {},
     "    Write the melody SOURCE as a Standard MIDI File DEST: an MLD melody of the\n"
     "    handset is converted (what a General MIDI synthesizer cannot play, such\n"
     "    as ADPCM voices, is left out and named), a MIDI file is copied as it is.\n"
     "    DEST is never replaced. Exit status 1 when SOURCE is no melody that can\n"
     "    be read or DEST cannot be written.\n",
     [](const Args& a, Streams io) { return RunMidi(a.positionals[0], a.positionals[1], io); }},
    {"export",
     {"CARD"},
     {{"--into", "DIR", true}},
     "    Copy every item of the three lists into DIR/images, DIR/melodies and\n"
     "    DIR/movies as \"001 <title>.<ext>\", and each MLD melody also as a MIDI\n"
     "    file beside it (\"001 <title>.mid\"). Nothing on the card is written and\n"
     "    no file in DIR is replaced. --into is required.\n",
     [](const Args& a, Streams io) {
       const auto into = a.Value("--into");
       if (!into) {
         io.err << "fenmora-cli: export needs --into DIR\n";
         return kExitUsage;
       }
       return RunExport(a.Card(), *into, io);
     }},
};

std::string And(const std::vector<const char*>& words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + std::string(words[i]);
  return text;
}

int Usage(Streams io, const std::string& why) {
  io.err << "fenmora-cli: " << why << "\n";
  const char* lead = "usage: ";
  for (const Command& c : kCommands) {
    io.err << lead << "fenmora-cli " << c.Synopsis() << "\n";
    lead = "       ";
  }
  io.err << lead << "fenmora-cli --help | --version\n";
  return kExitUsage;
}

}  // namespace

std::string HelpText() {
  std::string text = VersionText() + " - the F900i's SD card from a terminal\n\n";
  for (const Command& c : kCommands) text += "fenmora-cli " + c.Synopsis() + "\n" + c.help;
  return text +
         "fenmora-cli --help | --version\n"
         "\n"
         "Exit status: 0 success; 1 a file operation failed, a file was not added or\n"
         "check found something (each named on standard error); 2 bad usage, a bad\n"
         "OPS line (one naming an item that does not exist included) or no card at\n"
         "CARD.\n";
}

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

  Args parsed;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
      parsed.positionals.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const auto eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const Option* option = command->Find(name);
    if (option && option->value) {
      std::string value;
      if (eq != std::string::npos) value = a.substr(eq + 1);
      else if (i + 1 < args.size()) value = args[++i];
      if (value.empty()) return Usage(io, name + " needs a value");
      parsed.values.emplace_back(name, value);
      continue;
    }
    if (option && eq == std::string::npos) {
      parsed.flags.push_back(a);
      continue;
    }
    return Usage(io, "unknown option \"" + OneLine(a) + "\" for " + command->name);
  }
  if (parsed.positionals.size() != command->positionals.size())
    return Usage(io, std::string(command->name) + " takes " + And(command->positionals));
  for (const std::string& p : parsed.positionals)
    if (p.empty()) return Usage(io, "an empty path");
  return command->run(parsed, io);
}

}  // namespace fenmora::cli
