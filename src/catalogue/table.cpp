#include "catalogue/table.h"

#include <algorithm>
#include <cstring>

#include "platform/cp932.h"

namespace fenmora {

namespace {

// The bytes before the first 00 of the field [offset, offset + width), or of
// whatever part of it the input holds.
std::string Field(std::string_view bytes, size_t offset, size_t width) {
  if (offset >= bytes.size()) return {};
  std::string_view field = bytes.substr(offset, std::min(width, bytes.size() - offset));
  const auto nul = field.find('\0');
  return std::string(nul == std::string_view::npos ? field : field.substr(0, nul));
}

template <size_t N>
void Put(std::array<std::uint8_t, N>& block, size_t offset, std::string_view text, size_t width) {
  const size_t n = std::min(text.size(), width);
  std::memcpy(block.data() + offset, text.data(), n);
}

}  // namespace

int TableRecordCount(std::int64_t fileSize) {
  if (fileSize < static_cast<std::int64_t>(kTableHeaderSize + kTableRecordSize)) return 0;
  return static_cast<int>((fileSize - static_cast<std::int64_t>(kTableHeaderSize)) /
                          static_cast<std::int64_t>(kTableRecordSize));
}

TableContents ParseTable(std::string_view bytes) {
  TableContents t;
  t.folderText = Field(bytes, 2, 64);
  const int n = TableRecordCount(static_cast<std::int64_t>(bytes.size()));
  t.records.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const std::string_view rec = bytes.substr(kTableHeaderSize + kTableRecordSize * static_cast<size_t>(k),
                                              kTableRecordSize);
    const auto byte = [&](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(rec[i])); };
    const std::uint32_t size = byte(100) << 24 | byte(101) << 16 | byte(102) << 8 | byte(103);
    t.records.push_back({Field(rec, 3, 8), Field(rec, 11, 3), Field(rec, 16, 64), Field(rec, 80, 19), size});
  }
  return t;
}

TableHeader ComposeTableHeader(std::string_view folderText, int recordCount, int fileNumber,
                               std::string_view prefix) {
  TableHeader h{};
  h[0] = 0x01;
  h[1] = 0x00;
  Put(h, 2, folderText, 254);
  h[256] = 0x00;
  h[257] = 0x11;
  Put(h, 258, std::string(prefix) + NumberText(fileNumber, 3), 6);
  Put(h, 322, kHeaderDateText, 19);
  h[343] = static_cast<std::uint8_t>(std::clamp(recordCount, 0, 255));
  return h;
}

TableRecordBytes ComposeTableRecord(std::string_view cardName, std::string_view title,
                                    std::string_view dateText, std::uint32_t size) {
  TableRecordBytes r{};
  r[0] = 0x01;
  r[1] = 0x00;
  r[2] = 0x01;
  const auto dot = cardName.find('.');
  const std::string_view stem = cardName.substr(0, dot);
  const std::string_view ext =
      dot == std::string_view::npos ? std::string_view() : cardName.substr(dot + 1);
  Put(r, 3, stem, 8);
  Put(r, 11, ext, 3);
  r[14] = 0x00;
  r[15] = 0x11;
  Put(r, 16, Cp932CutBytes(title, kTitleFieldBytes), kTitleFieldBytes);
  Put(r, 80, dateText, 19);
  r[100] = static_cast<std::uint8_t>(size >> 24);
  r[101] = static_cast<std::uint8_t>(size >> 16);
  r[102] = static_cast<std::uint8_t>(size >> 8);
  r[103] = static_cast<std::uint8_t>(size);
  return r;
}

std::vector<TableFile> LayoutTables(const HandsetProfile& profile, MediaKind kind,
                                    const MediaCatalogue& catalogue, std::vector<std::string>* folders) {
  if (folders) {
    folders->clear();
    for (int i = 0; i < catalogue.count; ++i) folders->push_back(catalogue.Slot(i).cardFolder);
  }
  const int live = catalogue.LiveCount();
  const std::string prefix = HandsetProfile::TablePrefix(kind);
  std::vector<TableFile> files;
  auto open = [&](int group) {
    TableFile f;
    f.group = group;
    f.tableNumber = HandsetProfile::TableNumberOfGroup(kind, group);
    f.tablePath = profile.ExpandTablePath(kind, f.tableNumber);
    f.folderText = profile.GroupFolderText(kind, group);
    f.cardFolder = f.folderText + "\\";
    f.recordCount = std::min(kItemsPerTable, live - group * kItemsPerTable);
    if (f.recordCount < 0) f.recordCount = 0;
    const TableHeader h = ComposeTableHeader(f.folderText, f.recordCount, f.tableNumber, prefix);
    f.bytes.assign(h.begin(), h.end());
    f.bytes.reserve(kTableHeaderSize + kTableRecordSize * static_cast<size_t>(f.recordCount));
    files.push_back(std::move(f));
  };
  open(0);
  // Slots by position, found once instead of by a search per position.
  std::vector<int> byPosition(static_cast<size_t>(catalogue.count) + 1, -1);
  for (int i = catalogue.count - 1; i >= 0; --i) {
    const std::int32_t p = catalogue.Slot(i).position;
    if (p >= 1 && p <= catalogue.count) byPosition[static_cast<size_t>(p)] = i;
  }
  int written = 0;
  for (int p = 1; p <= catalogue.count; ++p) {
    const int slot = byPosition[static_cast<size_t>(p)];
    if (slot < 0) continue;
    const MediaEntry& e = catalogue.Slot(slot);
    if (e.toDelete) continue;
    if (written > 0 && written % kItemsPerTable == 0) open(written / kItemsPerTable);
    ++written;
    TableFile& f = files.back();
    if (folders) (*folders)[static_cast<size_t>(slot)] = f.cardFolder;
    const TableRecordBytes r =
        ComposeTableRecord(e.cardName, e.title, e.dateText, static_cast<std::uint32_t>(e.size));
    f.bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
  }
  return files;
}

}  // namespace fenmora
