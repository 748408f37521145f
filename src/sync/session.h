// Everything the program knows about the loaded card: the profile, the four
// catalogues, the card root that was loaded (a commit writes there and nowhere
// else) and the projected card space.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/drives.h"
#include "profile/profile.h"

namespace fenmora {

struct CardSession {
  HandsetProfile profile = HandsetProfile::F900i();
  Catalogues catalogues;
  std::filesystem::path cardRoot;
  bool loaded = false;
  CardSpace space;
  // What was loaded: the file system holding the card root (device and
  // file-system id) and every table file's fingerprint by card path. A commit
  // or a backup checks both before its first write.
  std::string volume;
  std::map<std::string, std::string> tableHashes;
  // Copies an interrupted update left on the card that the next commit
  // removes (a partial copy, or the copies of an update being undone).
  std::vector<std::filesystem::path> leftovers;
  // Files no table lists that an update being undone had moved out of its
  // way: each goes back to its name (from, to).
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> putBack;
  // The lists were loaded from an interrupted update's journal, finished or
  // undone as the user chose: the commit that carries the choice out is only
  // ever finished if it is cut short in turn.
  bool recovering = false;
  // The journal file at the card's root when the card was loaded: its
  // fingerprint ("" when there was none), checked again before a commit's
  // first write.
  std::string journalHash;
  // A journal found at load that is not acted on.
  enum class JournalUse {
    None,      // none, or the one being finished or undone (recovering)
    SetAside,  // stale or damaged: the next commit renames it aside, never acts on it
    Blocks,    // an interrupted update that was neither finished nor undone (another
               // program holds the card, recovery could not place a file, or the
               // load only looked): nothing is written until it is dealt with
  };
  JournalUse journalUse = JournalUse::None;
  std::filesystem::path journalAside;  // SetAside: where it goes
  // The names of the files found at load in each kind's folders (its content
  // folder and its group folders), listed or not: a new item never takes a
  // name one of them holds.
  std::array<std::vector<std::string>, kKindCount> filesOnCard;

  MediaCatalogue& Catalogue(MediaKind k) { return catalogues[k]; }
  const MediaCatalogue& Catalogue(MediaKind k) const { return catalogues[k]; }
};

}  // namespace fenmora
