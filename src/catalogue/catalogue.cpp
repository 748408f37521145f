#include "catalogue/catalogue.h"

#include "platform/cp932.h"

namespace fenmora {

int MediaCatalogue::FindByPosition(std::int32_t p) const {
  for (int i = 0; i < count; ++i)
    if (Slot(i).position == p) return i;
  return -1;
}

MediaEntry* MediaCatalogue::EntryAtRow(std::int32_t r) {
  if (r < 1 || r > LiveCount()) return nullptr;
  const int slot = FindByPosition(r);
  return slot < 0 ? nullptr : &Slot(slot);
}

const MediaEntry* MediaCatalogue::EntryAtRow(std::int32_t r) const {
  return const_cast<MediaCatalogue*>(this)->EntryAtRow(r);
}

MediaEntry& MediaCatalogue::Append(MediaEntry entry) {
  const std::int32_t live = LiveCount();
  if (deletedCount > 0)
    for (int i = 0; i < count; ++i)
      if (Slot(i).position > live) ++Slot(i).position;
  entry.position = live + 1;
  entry.toDelete = false;
  MediaEntry& e = Slot(count++);
  e = std::move(entry);
  return e;
}

MediaEntry* MediaCatalogue::MarkDeleted(std::int32_t r) {
  MediaEntry* e = EntryAtRow(r);
  if (!e) return nullptr;
  for (int i = 0; i < count; ++i) {
    MediaEntry& other = Slot(i);
    if (&other != e && other.position > r) --other.position;
  }
  e->position = count;
  e->toDelete = true;
  ++deletedCount;
  return e;
}

bool MediaCatalogue::Exchange(std::int32_t r, std::int32_t other) {
  MediaEntry* a = EntryAtRow(r);
  MediaEntry* b = EntryAtRow(other);
  if (!a || !b) return false;
  a->position = other;
  b->position = r;
  return true;
}

void Catalogues::ResetCounters() {
  for (auto& c : cats_) c.Clear();
}

GridRow RowOf(const MediaEntry& e) {
  return {e.cardName, e.dateText, std::to_string(e.size), ShortenTitle(e.title, kGridTitleBytes)};
}

std::string ShortenTitle(std::string_view text, size_t n) {
  if (text.size() <= n) return std::string(text);
  const size_t room = n >= 2 ? n - 2 : 0;
  std::string out = Cp932CutBytes(text, room);
  out += "\x81\x63";
  return out;
}

}  // namespace fenmora
