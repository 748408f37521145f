// What one list edit changed, kept so that it can be taken back and made
// again exactly: the slots of the kind's catalogue that changed (before and
// after), its counters and the projected card use. The same record serves
// every edit (retitle, move, renumber, delete, add, drop), whatever the
// editing function did.
#pragma once

#include <cstdint>
#include <vector>

#include "catalogue/catalogue.h"
#include "profile/profile.h"
#include "sync/session.h"

namespace fenmora {

struct CatalogueEdit {
  MediaKind kind = MediaKind::Image;
  std::int32_t countBefore = 0, countAfter = 0;
  std::int32_t deletedBefore = 0, deletedAfter = 0;
  std::int64_t usedBefore = 0, usedAfter = 0;
  struct Slot {
    int index = 0;
    MediaEntry before;
    MediaEntry after;
  };
  std::vector<Slot> changed;  // only the slots that changed
};

// Takes a copy of a kind's catalogue before an edit; Finish compares it with
// the catalogue after the edit.
class EditRecorder {
 public:
  EditRecorder(const CardSession& session, MediaKind kind);
  CatalogueEdit Finish(const CardSession& session) const;

 private:
  MediaKind kind_;
  std::int32_t count_;
  std::int32_t deleted_;
  std::int64_t used_;
  // The slots before the edit, up to the last one that held anything.
  std::vector<MediaEntry> slots_;
};

// Puts the catalogue and the card space back as they were before the edit, or as
// they were after it.
void UndoEdit(CardSession& session, const CatalogueEdit& edit);
void RedoEdit(CardSession& session, const CatalogueEdit& edit);

}  // namespace fenmora
