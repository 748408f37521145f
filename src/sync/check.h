// Checking a card for what the handset's tables and the files on it disagree
// about: records whose file is gone, files no table lists, tables a shorter
// list left behind, and files an interrupted commit left under a temporary
// name. Nothing on the card is written.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "profile/profile.h"

namespace fenmora {

struct CheckFinding {
  enum class Type {
    // A record of a table names a file that does not exist (or is no file).
    MissingFile,
    // A file in a kind's content folder or one of its group folders that no
    // table of the kind lists.
    UnlistedFile,
    // A table file a shorter list left behind (see CheckCard).
    StaleTable,
    // A file whose name ends in "_": parked by a commit that did not finish
    // its renames.
    ParkedFile,
    // A record (or a whole table, through its folder text) that would lead
    // outside the card; the loader leaves it out.
    BadRecord,
    // A table file that cannot be read.
    UnreadableTable,
    // The journal of a commit that did not finish lies at the card's root.
    InterruptedCommit,
    // A record whose file holds another number of bytes than the record says.
    SizeMismatch,
    // Names that differ only in the case of their letters: two files of one
    // folder (on the card's FAT they would be one), or a record and the file
    // it finds.
    CaseOnlyName,
    // A scratch file a commit left: a table written beside its place
    // ("*.TBL.tmp"), the header scratch at the root, the journal's scratch.
    ScratchFile,
  };
  Type type = Type::MissingFile;
  MediaKind kind = MediaKind::Image;  // Image for InterruptedCommit, which concerns the whole card
  std::filesystem::path path;   // the file or table concerned, on disk
  std::filesystem::path table;  // MissingFile, BadRecord: the table holding the record
  std::string detail;           // why, in a few words (all but MissingFile and UnlistedFile)
  // Worth knowing but no fault: the card is as the handset and the program
  // may leave it (a table a shrunk list left, naming no file that exists).
  bool information = false;
};

struct CheckReport {
  std::vector<CheckFinding> findings;
};

// Checks the tables and content folders of the three kinds on the card at
// cardRoot. Every path built from table data goes through ResolveCardPath, so
// nothing outside the card is looked at.
//
// A table file is reported as left behind when it is not the kind's first
// table (000, or 001 for movies) and
//   - an earlier table of the kind holds fewer than 64 records, or a table
//     number before it is missing (the commit writes the tables of a list
//     without gaps, every one but the last full), or
//   - none of its records names a file that exists (an empty table included:
//     the commit never writes an empty table after the first).
// The records of such a table are not reported one by one as missing files.
// A left-behind table none of whose records names an existing file (what a
// list that shrank below a multiple of 64 leaves) is information only: the
// loader takes nothing from it.
// Files that only a left-behind table lists still count as listed: the
// loader reads every table it finds. A record whose file waits under its name
// with "_" (between the two renaming passes of an interrupted commit) is not
// missing: the loader takes the parked file and the next commit finishes the
// rename; the parked file is reported as such. A commit journal at the card's
// root is reported first; the tables are checked all the same, as the
// handset reads them.
CheckReport CheckCard(const HandsetProfile& profile, const std::filesystem::path& cardRoot);

// One line for the terminal: what was found and the card-relative path
// ("missing file: PRIVATE/DOCOMO/STILL/STIL0002.JPG (listed in ...)").
// Control characters from card data are shown as "?".
std::string DescribeFinding(const CheckFinding& finding, const std::filesystem::path& cardRoot);

}  // namespace fenmora
