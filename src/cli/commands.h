// fenmora-cli: the card from a terminal, on the same core as the window. The
// commands load, edit, commit and back up cards exactly as the window's
// buttons do; only the questions are answered from the options.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sync/journal.h"
#include "sync/session.h"

namespace fenmora::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // a file operation failed, a file was not added, check found something
inline constexpr int kExitUsage = 2;     // bad usage, a bad OPS line, an item that does not exist, no card at CARD

struct Streams {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;  // the OPS text when OPS is "-"
};

// The whole program: arguments without the program name.
int Main(const std::vector<std::string>& args, Streams io);

std::string HelpText();
std::string VersionText();  // "fenmora-cli 0.1.4"

int RunList(const std::filesystem::path& card, bool json, Streams io);
// convert: pictures and melodies the handset would not take as they are are
// converted for it (the conversion question answered Yes). lossyTitles: a
// title the card cannot hold as written is stored changed (and the change
// named) instead of refusing the whole file.
int RunApply(const std::filesystem::path& card, const std::string& opsPath, bool dryRun, bool yes,
             Streams io, bool convert = false, bool lossyTitles = false);
int RunBackup(const std::filesystem::path& card, const std::optional<std::filesystem::path>& into,
              Streams io);
int RunCheck(const std::filesystem::path& card, Streams io);
// Finishes an interrupted update of the card, or returns the card to its
// state before it.
int RunRecovery(const std::filesystem::path& card, Recovery recovery, Streams io);
// Restores the backup folder made by "backup" onto the card, as a commit.
int RunRestore(const std::filesystem::path& backup, const std::filesystem::path& card, bool dryRun, Streams io);

// The lists of a loaded card: an aligned table (kind, position, file, date,
// size, title in UTF-8), or the JSON object
// {"card", "totalBytes", "freeBytes", "image": [...], "melody": [...], "movie": [...]}.
void WriteListTable(const CardSession& session, std::ostream& out);
void WriteListJson(const CardSession& session, const std::string& cardText, std::ostream& out);

// "images", "melodies", "movies".
const char* PluralKind(MediaKind kind);

// The window's backup root: BackUp beside the executable when that folder can
// be written, otherwise <$XDG_DATA_HOME or ~/.local/share>/Fenmora/BackUp.
std::filesystem::path DefaultBackupRoot();

}  // namespace fenmora::cli
