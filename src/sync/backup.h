// Backing the card up: its PRIVATE, SD_VIDEO and DCIM folders copied whole into
// a new folder of its own named by the local time, with a manifest of every
// file and, last, a mark that the backup is complete. Nothing on the card is
// written.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fileops.h"
#include "sync/commit.h"
#include "sync/prompts.h"

namespace fenmora {

// "yyyymmdd-hhnnss" of the local time t.
std::string BackupStamp(std::time_t t);

// programFolder/BackUp when the program's folder can be written (a portable
// install), otherwise userDataFolder/BackUp. An installed program (its data in
// ../share/fenmora from its bin folder, none beside it) always uses
// userDataFolder: its bin folder is shared by every user of the machine.
// Whether a folder can be written is asked of ops.
std::filesystem::path ChooseBackupRoot(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& userDataFolder, FileOps& ops);

// Copies a file, or a folder with everything in it, to destination: missing
// folders are made, existing files overwritten, symbolic links copied as links
// (never followed). Every failed operation is added to failures. When
// progress->Step returns false (the user cancelled), nothing more is copied,
// *cancelled (when given) is set and the cancelled copy counts as a failure.
// Returns the number of failures it added.
size_t ShellCopy(FileOps& ops, const std::filesystem::path& source,
                 const std::filesystem::path& destination, std::vector<CommitFailure>& failures,
                 Progress* progress = nullptr, bool* cancelled = nullptr);

inline constexpr const char* kBackupFolders[3] = {"PRIVATE", "SD_VIDEO", "DCIM"};
// Beside the copied folders: the manifest, then the mark that the backup is
// complete (a backup without it is not restored).
inline constexpr const char* kManifestName = "fenmora-manifest.txt";
inline constexpr const char* kCompleteMarkName = "fenmora-complete.txt";
// What a backup folder that is not whole is renamed to end with.
inline constexpr const char* kCancelledSuffix = "-cancelled";
inline constexpr const char* kIncompleteSuffix = "-incomplete";

// One file (or link) of a backup: its path relative to the backup folder
// ("PRIVATE/DOCOMO/STILL/STIL0001.JPG"), its size and its fingerprint
// (HashBytes of its bytes; of its target text for a link).
struct ManifestEntry {
  std::string path;
  bool link = false;
  std::int64_t size = 0;
  std::string hash;
  bool operator==(const ManifestEntry&) const = default;
};

// Every file and link under a backup folder, the manifest and the mark left
// out, by path. Links are not followed. What cannot be read is added to
// failures.
std::vector<ManifestEntry> ListBackupFiles(FileOps& ops, const std::filesystem::path& folder,
                                           std::vector<CommitFailure>& failures);
std::string EncodeManifest(const std::vector<ManifestEntry>& entries);
std::optional<std::vector<ManifestEntry>> DecodeManifest(std::string_view bytes);

// The backup's manifest and mark are there and its files are those of the
// manifest, byte for byte: an empty list. Otherwise what differs, one a line
// ("変更: PRIVATE/...", "見つかりません: ...", "目録にありません: ...").
std::vector<std::string> VerifyBackup(const std::filesystem::path& backup, FileOps& ops);

struct BackupResult {
  // Why no backup was begun (another program writes the card, or an update
  // of it was interrupted): nothing was copied.
  std::string refusal;
  std::filesystem::path folder;         // backupRoot/stamp, or what it was renamed to
  bool complete = false;                // copied without a failure, manifest and mark written
  bool cancelled = false;               // the user stopped it
  std::vector<CommitFailure> failures;
};

// The card is read under its lock, so no commit moves its files meanwhile,
// and a card whose journal says an update was interrupted is refused (its
// lists name files between two states): a backup marked complete always
// restores to a card the handset reads right.
// The card's three folders (those it has: a card without DCIM or SD_VIDEO is
// backed up whole without them) into a new folder of backupRoot: the stamp of
// now, or the stamp with "-2", "-3", ... when that name is taken (never an
// existing folder). A backup that is cancelled or fails is renamed with
// kCancelledSuffix or kIncompleteSuffix, and has no mark.
BackupResult BackupCard(const std::filesystem::path& cardRoot,
                        const std::filesystem::path& backupRoot, std::time_t now, FileOps& ops,
                        Progress& progress);

// The message that ends a backup (and the backup folder on a line of its own).
// With `details`, the system's reasons for failures go there (see CommitReport).
std::string BackupReport(const BackupResult& result, std::string* details = nullptr);

}  // namespace fenmora
