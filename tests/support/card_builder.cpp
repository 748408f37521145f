#include "support/card_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "catalogue/table.h"
#include "platform/cp932.h"

namespace fenmora::testing {

CardItem Item(std::string cardName, const char* utf8Title, std::string content) {
  CardItem item;
  item.cardName = std::move(cardName);
  item.title = Utf8ToCp932(utf8Title);
  item.content = std::move(content);
  return item;
}

namespace fs = std::filesystem;

CardBuilder::CardBuilder(fs::path root, HandsetProfile profile)
    : root_(std::move(root)), profile_(std::move(profile)) {
  fs::create_directories(root_);
}

fs::path CardBuilder::HostPath(std::string_view cardPath) const {
  fs::path p = root_;
  size_t start = 0;
  while (start <= cardPath.size()) {
    size_t end = cardPath.find('\\', start);
    if (end == std::string_view::npos) end = cardPath.size();
    if (end > start) p /= std::string(cardPath.substr(start, end - start));
    start = end + 1;
  }
  return p;
}

fs::path CardBuilder::WriteFile(std::string_view cardPath, std::string_view bytes) const {
  const fs::path p = HostPath(cardPath);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
  return p;
}

fs::path CardBuilder::WriteTable(MediaKind kind, int number, const std::vector<CardItem>& items,
                                 std::string folderText) {
  if (folderText.empty()) {
    folderText = profile_.Kind(kind).contentFolder;
    if (!folderText.empty() && folderText.back() == '\\') folderText.pop_back();
  }
  const TableHeader header = ComposeTableHeader(folderText, static_cast<int>(items.size()), number,
                                                HandsetProfile::TablePrefix(kind));
  std::string bytes(header.begin(), header.end());
  for (const CardItem& item : items) {
    const TableRecordBytes r = ComposeTableRecord(item.cardName, item.title, item.dateText,
                                                  static_cast<std::uint32_t>(item.content.size()));
    bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
    if (item.withFile) WriteFile(folderText + "\\" + item.cardName, item.content);
  }
  return WriteFile(profile_.ExpandTablePath(kind, number), bytes);
}

void CardBuilder::WriteKind(MediaKind kind, const std::vector<CardItem>& items) {
  // One table and one folder per group of 64, as the handset keeps them.
  const size_t groups = (items.size() + kItemsPerTable - 1) / kItemsPerTable;
  for (size_t g = 0; g < std::max<size_t>(groups, 1); ++g) {
    const auto first = items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), g * kItemsPerTable));
    const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), (g + 1) * kItemsPerTable));
    const int group = static_cast<int>(g);
    WriteTable(kind, HandsetProfile::TableNumberOfGroup(kind, group), std::vector<CardItem>(first, last),
               profile_.GroupFolderText(kind, group));
  }
}

std::vector<CardItem> CardBuilder::NumberedItems(MediaKind kind, int n, std::string_view ext,
                                                 std::string_view titlePrefix) const {
  std::vector<CardItem> items;
  for (int i = 1; i <= n; ++i) {
    CardItem item;
    item.cardName = profile_.ContentFileName(kind, i, ext);
    item.title = std::string(titlePrefix) + " " + std::to_string(i);
    item.content = "file " + std::to_string(i);
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace fenmora::testing
