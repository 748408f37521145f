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

void Catalogues::ResetCounters() {
  for (auto& c : cats_) {
    c.count = 0;
    c.deletedCount = 0;
  }
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
