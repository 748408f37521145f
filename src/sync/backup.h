// Backing the card up: its PRIVATE, SD_VIDEO and DCIM folders copied whole into
// a new folder named by the local time. Nothing on the card is written.
#pragma once

#include <ctime>
#include <filesystem>
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
// progress->Step returns false (the user cancelled), nothing more is copied
// and the cancelled copy counts as a failure. Returns the number of failures
// it added.
size_t ShellCopy(FileOps& ops, const std::filesystem::path& source,
                 const std::filesystem::path& destination, std::vector<CommitFailure>& failures,
                 Progress* progress = nullptr);

inline constexpr const char* kBackupFolders[3] = {"PRIVATE", "SD_VIDEO", "DCIM"};

struct BackupResult {
  std::filesystem::path folder;         // backupRoot/stamp
  bool complete = false;                // all three folders arrived, without a failure
  std::vector<CommitFailure> failures;  // a missing card folder included
};

BackupResult BackupCard(const std::filesystem::path& cardRoot,
                        const std::filesystem::path& backupRoot, std::time_t now, FileOps& ops,
                        Progress& progress);

// The message that ends a backup (and the backup folder on a line of its own).
// With `details`, the system's reasons for failures go there (see CommitReport).
std::string BackupReport(const BackupResult& result, std::string* details = nullptr);

}  // namespace fenmora
