#include "editing/edit_record.h"

#include <algorithm>

namespace fenmora {

EditRecorder::EditRecorder(const CardSession& session, MediaKind kind)
    : kind_(kind),
      count_(session.Catalogue(kind).count),
      deleted_(session.Catalogue(kind).deletedCount),
      used_(session.space.used) {
  const MediaCatalogue& c = session.Catalogue(kind);
  // Slots behind the ones in use may hold leftovers of an earlier load, which
  // an add overwrites: they are copied too, up to the last one holding
  // anything. Slots past that are empty.
  const MediaEntry empty;
  int last = MediaCatalogue::kSlots;
  while (last > c.count && c.Slot(last - 1) == empty) --last;
  slots_.reserve(static_cast<size_t>(last));
  for (int i = 0; i < last; ++i) slots_.push_back(c.Slot(i));
}

CatalogueEdit EditRecorder::Finish(const CardSession& session) const {
  const MediaCatalogue& c = session.Catalogue(kind_);
  CatalogueEdit edit;
  edit.kind = kind_;
  edit.countBefore = count_;
  edit.countAfter = c.count;
  edit.deletedBefore = deleted_;
  edit.deletedAfter = c.deletedCount;
  edit.usedBefore = used_;
  edit.usedAfter = session.space.used;
  const int upTo = std::max<int>(static_cast<int>(slots_.size()), std::max(count_, c.count));
  const MediaEntry empty;
  for (int i = 0; i < upTo && i < MediaCatalogue::kSlots; ++i) {
    const MediaEntry& before = i < static_cast<int>(slots_.size()) ? slots_[static_cast<size_t>(i)] : empty;
    if (!(before == c.Slot(i))) edit.changed.push_back({i, before, c.Slot(i)});
  }
  return edit;
}

namespace {

void Apply(CardSession& session, const CatalogueEdit& edit, bool forward) {
  MediaCatalogue& c = session.Catalogue(edit.kind);
  for (const CatalogueEdit::Slot& s : edit.changed) c.Slot(s.index) = forward ? s.after : s.before;
  c.count = forward ? edit.countAfter : edit.countBefore;
  c.deletedCount = forward ? edit.deletedAfter : edit.deletedBefore;
  session.space.used = forward ? edit.usedAfter : edit.usedBefore;
}

}  // namespace

void UndoEdit(CardSession& session, const CatalogueEdit& edit) { Apply(session, edit, false); }
void RedoEdit(CardSession& session, const CatalogueEdit& edit) { Apply(session, edit, true); }

}  // namespace fenmora
