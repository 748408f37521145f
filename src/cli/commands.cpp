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
#include "cli/cli_texts.h"
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

// How many terminal columns a UTF-8 text takes: the wide characters of
// Japanese take two.
size_t Columns(std::string_view s) {
  size_t columns = 0;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < s.size(); ++k) code = (code << 6) | (s[i + k] & 0x3F);
    const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                      (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                      (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                      (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x1F300 && code <= 0x1FAFF) ||
                      (code >= 0x20000 && code <= 0x3FFFD);
    columns += wide ? 2 : 1;
    i += length;
  }
  return columns;
}

const char* KindName(MediaKind kind) { return say::kKindWords[KindIndex(kind)]; }

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
    err << Fill(say::kInterruptedLists, {kJournalName}) << Fill(say::kRecoveryCommands, {card.string()});
  if (result.recovered) err << result.recoveryMessage << "\n";
  if (result.droppedRecords > 0)
    err << Fill(say::kRecordsLeftOut, {std::to_string(result.droppedRecords)}) << "\n";
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
    err << say::kOpsFromStdinUnreadable << "\n";
    return false;
  }
  std::error_code ec;
  if (!fs::is_regular_file(opsPath, ec)) {
    err << Fill(say::kOpsNotAFile, {opsPath}) << "\n";
    return false;
  }
  std::ifstream in(opsPath, std::ios::binary);
  if (in && ReadAll(in, text)) return true;
  err << Fill(say::kOpsUnreadable, {opsPath}) << "\n";
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
    const std::string where = Fill(say::kLine, {std::to_string(op.line)});
    if (op.type == Op::Type::Add) {
      const fs::path file = fs::absolute(fs::path(op.argument));
      if (addsStopped) {
        err << where << Fill(say::kAddsStopped, {file.string()}) << "\n";
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
      err << where
          << Fill(say::kNoItem, {KindName(op.kind), std::to_string(op.position), std::to_string(cat.LiveCount())})
          << "\n";
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
          err << where
              << Fill(say::kTitleStoredAs, {OneLine(TitleText(*cat.EntryAtRow(op.position))), OneLine(change)})
              << "\n";
        break;
      case Op::Type::Add: break;
    }
    if (!done)
      err << where
          << Fill(op.type == Op::Type::Up ? say::kAlreadyFirst : say::kAlreadyLast,
                  {KindName(op.kind), std::to_string(op.position)})
          << "\n";
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
  std::vector<Row> rows{{say::kListHeads[0], say::kListHeads[1], say::kListHeads[2], say::kListHeads[3],
                        say::kListHeads[4], say::kListHeads[5]}};
  for (MediaKind k : kListKinds) {
    const MediaCatalogue& cat = session.Catalogue(k);
    for (int r = 1; r <= cat.LiveCount(); ++r) {
      const MediaEntry* e = cat.EntryAtRow(r);
      if (!e) continue;
      rows.push_back({KindName(k), std::to_string(r), OneLine(e->cardName), OneLine(e->dateText),
                      std::to_string(e->size), OneLine(TitleText(*e))});
    }
  }
  size_t w[5] = {};
  for (const Row& row : rows) {
    w[0] = std::max(w[0], Columns(row.kind));
    w[1] = std::max(w[1], Columns(row.pos));
    w[2] = std::max(w[2], Columns(row.file));
    w[3] = std::max(w[3], Columns(row.date));
    w[4] = std::max(w[4], Columns(row.size));
  }
  const auto left = [](const std::string& s, size_t n) { return s + std::string(n - Columns(s), ' '); };
  const auto right = [](const std::string& s, size_t n) { return std::string(n - Columns(s), ' ') + s; };
  for (const Row& row : rows)
    out << left(row.kind, w[0]) << "  " << right(row.pos, w[1]) << "  " << left(row.file, w[2]) << "  "
        << left(row.date, w[3]) << "  " << right(row.size, w[4]) << "  " << row.title << "\n";
  out << "\n";
  const auto count = [&](MediaKind k) { return std::to_string(session.Catalogue(k).LiveCount()); };
  out << Fill(say::kListSummary, {count(MediaKind::Image), count(MediaKind::Melody), count(MediaKind::Movie),
                                  std::to_string(session.space.Free()), std::to_string(session.space.capacity)})
      << "\n";
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
      io.err << Fill(say::kOpsLineError, {opsPath == "-" ? say::kStdinName : opsPath, std::to_string(e.line), e.message})
             << "\n";
    io.err << say::kUntouched << "\n";
    return kExitUsage;
  }
  if (!CardFolderOrSay(card, io.err)) return kExitUsage;
  // The command line loads any folder without asking whether it is a card: a
  // folder without the handset's layout is written only when --yes says so.
  if (RealFileOps fileOps; !dryRun && !yes && !HoldsCardLayout(card, fileOps)) {
    io.err << Fill(say::kNotACard, {card.string()}) << "\n";
    return kExitUsage;
  }

  CliPrompts prompts(io.err, yes, convert);
  CardSession session;
  LoadResult loaded;
  if (!Load(session, card, prompts, io.err, InterruptedChoice::Tables, &loaded)) return kExitUsage;
  // Nothing goes on top of an update that is not finished, nor beside another
  // program's.
  if (!dryRun && session.journalUse == CardSession::JournalUse::Blocks) {
    io.err << (loaded.lockedBy.empty() ? say::kNotOnInterrupted : say::kNotBesideOther) << "\n";
    return kExitProblems;
  }
  const Applied applied = ApplyOps(session, parsed.ops, prompts, io.err);
  if (applied.missingItem) {
    io.err << say::kUntouched << "\n";
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
      io.err << Fill(say::kLeftAloneOutside, {OneLine(refused)}) << "\n";
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
    io.err << say::kNothingDone << "\n";
    return kExitProblems;
  }
  if (!loaded.interrupted) {
    io.err << (recovery == Recovery::Finish ? say::kNothingToFinish : say::kNothingToRevert) << "\n";
    return kExitOk;
  }
  // Taken up as the load began: finished or undone, or said why not.
  if (loaded.recovered || !loaded.recoveryMessage.empty()) {
    if (!loaded.recovered) {
      io.err << say::kNothingMoreDone << "\n";
      return kExitProblems;
    }
    WriteListTable(session, io.out);
    return kExitOk;
  }
  if (recovery == Recovery::Revert && !loaded.reverting) {
    io.err << say::kOnlyFinish << "\n";
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
    io.err << Fill(say::kBackupOnCard, {root.string()}) << "\n";
    return kExitUsage;
  }
  RealFileOps ops;
  SilentProgress progress;
  const BackupResult result = BackupCard(card, root, std::time(nullptr), ops, progress);
  if (!result.refusal.empty()) {
    io.err << result.refusal << "\n" << say::kNothingBackedUp << "\n";
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
    io.err << Fill(say::kNotABackup, {backup.string()}) << "\n";
    return kExitUsage;
  }
  if (IsInside(card, fs::absolute(backup))) {
    io.err << Fill(say::kBackupOnCard, {backup.string()}) << "\n";
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
    io.out << say::kNoProblems << "\n";
    return kExitOk;
  }
  io.out << Fill(say::kProblemsFound, {std::to_string(problems)}) << "\n";
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
  const char* help;  // its description, four spaces in, one line per line (in the run's language)
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
     Say("    CARD（カードのルートフォルダー）にあるカードの待ち受け画像・着メロ・ムービーの\n"
     "    一覧を表示します：種類、番号、ファイル、日付、サイズ、タイトル．--json を付けると\n"
     "    代わりに JSON のオブジェクトを一つ表示します．\n",
     "    Print the image, melody and movie lists of the card at CARD (its root\n"
     "    folder): kind, position, file, date, size and title. --json prints one\n"
     "    JSON object instead.\n"),
     [](const Args& a, Streams io) { return RunList(a.Card(), a.Flag("--json"), io); }},
    {"apply",
     {"CARD", "OPS"},
     {{"--dry-run", nullptr}, {"--yes", nullptr}, {"--convert", nullptr}, {"--lossy-titles", nullptr}},
     Say("    ファイル OPS（\"-\" は標準入力）の操作を一行に一つずつ、ウィンドウのボタンと同じ\n"
     "    ように行い、カードに書き込み、読み込み直して一覧を表示します．KIND は image、\n"
     "    melody、movie のどれか、POS は 1 から数えた一覧の位置です：\n"
     "        add KIND PATH      delete KIND POS    up KIND POS    down KIND POS\n"
     "        renumber KIND      title KIND POS TEXT\n"
     "    空の行と \"#\" で始まる行は読み飛ばします．まずすべての行を調べ、一行でも誤りが\n"
     "    あれば何もしません．その時点で（前の行の操作のあとで）一覧に無い項目を指す行が\n"
     "    あると、カードに書き込む前にすべてを止めます．カードにそのままでは保存できない\n"
     "    タイトル（Shift-JIS に無い文字、または Shift-JIS で 64 バイトを超えるもの）も\n"
     "    同じです．--lossy-titles を付けると、その文字を \"?\" にし、64 バイトに切り詰めて\n"
     "    保存し、変えたところを一つずつ示します．--dry-run は要約と、予定したテーブルの\n"
     "    書き込みとファイル操作を表示し、何も変えません．--yes を付けると、大きさの上限を\n"
     "    超えるファイルや一覧にすでにある項目の複製も追加し（付けないと追加しません）、\n"
     "    PRIVATE\\DOCOMO も SD_VIDEO も無いフォルダーにも書き込みます（付けないと断ります）．\n"
     "    空のファイル、フォルダー、FIFO、デバイス、4 GiB - 1 バイトを超えるファイルは決して\n"
     "    追加しません．--convert を付けると、携帯電話が表示しない画像（PNG、プログレッシブ\n"
     "    JPEG、大きすぎるものなど）を 240 x 320 ピクセル・100 KB 以内のベースライン JPEG に\n"
     "    変換し、40 KB を超える MIDI ファイルを小さくします．ムービーは携帯電話が再生する\n"
     "    3GP ファイル（176 x 144、毎秒 15 フレーム、MPEG-4 と AMR-NB、300 KB 以内）にします．\n"
     "    全体が収まらないときは最初の何秒かだけにし（その行に長さを示します）、標準エラーが\n"
     "    端末なら進み具合を表示します．--dry-run でも大きさを示すために変換します．\n"
     "    ユーザーのファイルは読むだけです．カードに収まらないファイル（クラスター単位で\n"
     "    数えます）があると、それより後の追加を止めます．更新が中断されたカードでは apply は\n"
     "    何もしません（終了状態 1）：先に finish か revert で片付けてください．\n",
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
     "    update apply does nothing (exit 1): finish or revert deals with it first.\n"),
     [](const Args& a, Streams io) {
       return RunApply(a.Card(), a.positionals[1], a.Flag("--dry-run"), a.Flag("--yes"), io,
                       a.Flag("--convert"), a.Flag("--lossy-titles"));
     }},
    {"backup",
     {"CARD"},
     {{"--into", "DIR"}},
     Say("    PRIVATE、SD_VIDEO、DCIM を DIR（省略時はウィンドウのバックアップフォルダー）の中の\n"
     "    日時付きの新しいフォルダーにコピーし、そのフォルダーを表示します．カードはロックを\n"
     "    取って読みます．更新が中断されたカードは断ります．\n",
     "    Copy PRIVATE, SD_VIDEO and DCIM into a new time-stamped folder in DIR\n"
     "    (default: the window's backup folder) and print that folder. Reads the\n"
     "    card under its lock; a card whose update was interrupted is refused.\n"),
     [](const Args& a, Streams io) {
       const auto into = a.Value("--into");
       return RunBackup(a.Card(), into ? std::optional<fs::path>(*into) : std::nullopt, io);
     }},
    {"restore",
     {"BACKUP", "CARD"},
     {{"--dry-run", nullptr}},
     Say("    カードの一覧を、バックアップフォルダー BACKUP（\"backup\" が作ったもの．まず目録と\n"
     "    照らし合わせ、完全でないものや中身の違うものは断ります）の一覧にします．更新と\n"
     "    同じように行い、同じ中身を持つカードのファイルは名前を変え、それ以外はバックアップ\n"
     "    からコピーします．カードのファイルは何も削除しません：バックアップに無いファイルは\n"
     "    残し（邪魔になるものは *.fmkeep に移して）、その名前を示します．要約と一覧を表示\n"
     "    します．--dry-run は要約と予定したすべての手順を表示し、何も変えません．\n",
     "    Make the card's lists those of the backup folder BACKUP (one that\n"
     "    \"backup\" made, checked first against its manifest: a backup that is\n"
     "    not complete or whose files differ is refused), as a commit: the card's\n"
     "    own files holding the same bytes are renamed, the others copied from\n"
     "    the backup. Nothing on the card is deleted: files the backup does not\n"
     "    have stay (moved aside as *.fmkeep where they stand in the way) and are\n"
     "    named. Prints the summary, then the lists; --dry-run prints the summary\n"
     "    and every planned step, and changes nothing.\n"),
     [](const Args& a, Streams io) {
       return RunRestore(a.positionals[0], a.positionals[1], a.Flag("--dry-run"), io);
     }},
    {"check",
     {"CARD"},
     {},
     Say("    ファイルが無い、またはサイズの違う登録、どのテーブルにも載っていないファイル、\n"
     "    大文字と小文字だけが違う名前、短くなった一覧が残したテーブル、中断された更新が\n"
     "    残したファイルを報告します．実在するファイルを一つも指さないテーブルは情報として\n"
     "    だけ示します．\n",
     "    Report records whose file is missing or holds another size, files no\n"
     "    table lists, names that differ only in case, tables a shorter list left\n"
     "    behind, and files left by an interrupted commit. A table that names no\n"
     "    existing file is information only.\n"),
     [](const Args& a, Streams io) { return RunCheck(a.Card(), io); }},
    {"finish",
     {"CARD"},
     {},
     Say("    中断されたカードの更新（カードが抜かれた、プログラムが落ちたなど）を完了します：\n"
     "    ジャーナルの手順のうち、カードの上で済んでいないものを行い、一覧を表示します．\n"
     "    apply が自分でこれを行うことはありません：更新が中断されたカードでは断り、list と\n"
     "    check がまずそのことを示します．カードがある手順の前でも後でもないとき、またはもう\n"
     "    一度コピーするファイルが更新の選んだものと同じでなくなっているときは何もしません．\n",
     "    Finish an update of the card that was interrupted (a card pulled out, a\n"
     "    crash): carry out the steps of its journal the card shows not done, then\n"
     "    print the lists. apply never does this by itself: on a card with an\n"
     "    interrupted update it refuses, and list and check say so first. Nothing\n"
     "    is done where the card is neither before nor after a step, or where a\n"
     "    file to copy again is no longer exactly the one the update chose.\n"),
     [](const Args& a, Streams io) { return RunRecovery(a.Card(), Recovery::Finish, io); }},
    {"revert",
     {"CARD"},
     {},
     Say("    最後の更新が中断されたカードを、その更新の前の状態に戻します（finish は代わりに\n"
     "    完了させます）：ジャーナルの手順のうちカードの上で済んでいるものを逆の順に取り消し、\n"
     "    一覧を表示します．ファイルの削除が始まっていた更新は完了させることしかできません．\n",
     "    Return a card whose last update was interrupted to its state before that\n"
     "    update (finish completes it instead): undo, in reverse, the steps of its\n"
     "    journal the card shows done, then print the lists. Once the update had\n"
     "    begun removing files it can only be finished.\n"),
     [](const Args& a, Streams io) { return RunRecovery(a.Card(), Recovery::Revert, io); }},
    {"midi",
     {"SOURCE", "DEST"},
     {},
     Say("    メロディ SOURCE を Standard MIDI File の DEST に書き出します：携帯電話の MLD\n"
     "    メロディは変換し（ADPCM の音声など、General MIDI のシンセサイザーで鳴らせないものは\n"
     "    省いて名前を示します）、MIDI ファイルはそのままコピーします．DEST は決して置き換え\n"
     "    ません．SOURCE が読めるメロディでないとき、または DEST を書けないときは終了状態 1 です．\n",
     "    Write the melody SOURCE as a Standard MIDI File DEST: an MLD melody of the\n"
     "    handset is converted (what a General MIDI synthesizer cannot play, such\n"
     "    as ADPCM voices, is left out and named), a MIDI file is copied as it is.\n"
     "    DEST is never replaced. Exit status 1 when SOURCE is no melody that can\n"
     "    be read or DEST cannot be written.\n"),
     [](const Args& a, Streams io) { return RunMidi(a.positionals[0], a.positionals[1], io); }},
    {"export",
     {"CARD"},
     {{"--into", "DIR", true}},
     Say("    三つの一覧のすべての項目を DIR/images、DIR/melodies、DIR/movies に\n"
     "    \"001 <タイトル>.<拡張子>\" としてコピーし、MLD のメロディはその横に MIDI ファイル\n"
     "    （\"001 <タイトル>.mid\"）としても書き出します．カードには何も書き込まず、DIR の\n"
     "    ファイルも置き換えません．--into は必須です．\n",
     "    Copy every item of the three lists into DIR/images, DIR/melodies and\n"
     "    DIR/movies as \"001 <title>.<ext>\", and each MLD melody also as a MIDI\n"
     "    file beside it (\"001 <title>.mid\"). Nothing on the card is written and\n"
     "    no file in DIR is replaced. --into is required.\n"),
     [](const Args& a, Streams io) {
       const auto into = a.Value("--into");
       if (!into) {
         io.err << "fenmora-cli: " << say::kExportNeedsInto << "\n";
         return kExitUsage;
       }
       return RunExport(a.Card(), *into, io);
     }},
};

std::string And(const std::vector<const char*>& words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? say::kAnd : say::kComma) + std::string(words[i]);
  return text;
}

int Usage(Streams io, const std::string& why) {
  io.err << "fenmora-cli: " << why << "\n";
  std::string lead = say::kUsage;
  for (const Command& c : kCommands) {
    io.err << lead << "fenmora-cli " << c.Synopsis() << "\n";
    lead = std::string(Columns(say::kUsage), ' ');
  }
  io.err << lead << "fenmora-cli --help | --version\n";
  return kExitUsage;
}

}  // namespace

std::string HelpText() {
  std::string text = VersionText() + say::kTagline + "\n\n";
  for (const Command& c : kCommands) text += "fenmora-cli " + c.Synopsis() + "\n" + c.help;
  return text + "fenmora-cli --help | --version\n\n" +
         Say("終了状態: 0 成功．1 ファイル操作の失敗、追加されなかったファイル、または check が\n"
             "見つけたもの（それぞれ標準エラーに示します）．2 使い方の誤り、OPS の誤った行（無い\n"
             "項目を指す行を含む）、または CARD にカードが無いとき．\n",
             "Exit status: 0 success; 1 a file operation failed, a file was not added or\n"
             "check found something (each named on standard error); 2 bad usage, a bad\n"
             "OPS line (one naming an item that does not exist included) or no card at\n"
             "CARD.\n");
}

int Main(const std::vector<std::string>& args, Streams io) {
  if (args.empty()) return Usage(io, say::kNoCommand);
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
  if (!command) return Usage(io, Fill(say::kUnknownCommand, {OneLine(args[0])}));

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
      if (value.empty()) return Usage(io, Fill(say::kNeedsValue, {name}));
      parsed.values.emplace_back(name, value);
      continue;
    }
    if (option && eq == std::string::npos) {
      parsed.flags.push_back(a);
      continue;
    }
    return Usage(io, Fill(say::kUnknownOption, {OneLine(a), command->name}));
  }
  if (parsed.positionals.size() != command->positionals.size())
    return Usage(io, Fill(say::kTakes, {command->name, And(command->positionals)}));
  for (const std::string& p : parsed.positionals)
    if (p.empty()) return Usage(io, say::kEmptyPath);
  return command->run(parsed, io);
}

}  // namespace fenmora::cli
