// The commit's journal. Before the first file of a commit changes, the commit
// writes "fenmora.jnl" at the card's root: the lists it is about to write and,
// for every item, where its file was when the commit began. It marks the
// moment each kind's files start taking their final names, and removes the
// journal at the end. A load that finds a journal (a card pulled out, or a
// full or failing card, mid-commit) takes the lists from it and finds every
// file where the interrupted commit left it, so that the next commit finishes
// the work instead of losing items.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"
#include "sync/session.h"

namespace fenmora {

inline constexpr const char* kJournalName = "fenmora.jnl";

struct JournalItem {
  MediaKind kind = MediaKind::Image;
  std::int32_t position = 0;
  bool toDelete = false;
  bool queued = false;
  std::string originFolder;  // where the file was: a card folder text, or a host folder
  std::string originName;
  std::string cardFolder;
  std::string cardName;
  std::string dateText;
  std::string title;
  std::int32_t size = 0;
};

struct JournalTable {
  MediaKind kind = MediaKind::Image;
  std::string cardPath;  // "\PRIVATE\DOCOMO\TABLE\STILL\SUD000.TBL"
  std::string oldHash;   // the file before the commit ("" when there was none)
  std::string newHash;   // the file the commit writes ("" when it writes none)
};

struct Journal {
  // placed[k]: the files of kind k may have started taking their final names.
  std::array<bool, 3> placed{};
  std::vector<JournalTable> tables;
  std::vector<JournalItem> items;
};

std::string HashBytes(std::string_view bytes);
std::string EncodeJournal(const Journal& journal);
// The two parts of EncodeJournal: the marks, then the tables and lists.
std::string EncodeJournalHead(const Journal& journal);
std::string EncodeJournalBody(const Journal& journal);
std::optional<Journal> DecodeJournal(std::string_view bytes);

// The journal at the card's root, when there is one that can be read and that
// fits the tables on the card (each table file as it was before the commit or
// as the commit wrote it). A journal that does not fit is stale and ignored.
std::optional<Journal> ReadCardJournal(const HandsetProfile& profile,
                                       const std::filesystem::path& cardRoot);

// Fills the catalogue of a kind from the journal: the lists the interrupted
// commit was writing, each item with its file where it is now. Items whose file
// cannot be found are dropped; files still waiting for deletion come back as
// items marked for deletion. Returns the number of items dropped.
int LoadKindFromJournal(const Journal& journal, MediaKind kind,
                        const std::filesystem::path& cardRoot, MediaCatalogue& catalogue);

}  // namespace fenmora
