#include "platform/cardpath.h"

#include <sys/stat.h>

#include <iterator>
#include <system_error>

namespace fenmora {

namespace fs = std::filesystem;

namespace {

bool HasForbiddenByte(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F || c == ':') return true;
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> CardFolderComponents(std::string_view folderText) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= folderText.size()) {
    size_t end = folderText.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = folderText.size();
    const std::string_view part = folderText.substr(start, end - start);
    if (HasForbiddenByte(part) || part == "..") return std::nullopt;
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

std::optional<std::string> NormalizeCardFolder(std::string_view folderText) {
  const auto parts = CardFolderComponents(folderText);
  if (!parts) return std::nullopt;
  std::string out = "\\";
  for (const auto& p : *parts) out += p + "\\";
  return out;
}

bool IsSafeCardFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of("\\/") != std::string_view::npos) return false;
  return !HasForbiddenByte(name);
}

namespace {

// Follows every symbolic link of p, dangling ones included (the part after the
// first component that does not exist is taken as written, unless it climbs
// back with ".."). Empty when links loop.
fs::path ResolveLinks(const fs::path& p, int depth = 0) {
  if (depth > 40) return {};
  const fs::path abs = p.is_absolute() ? p : fs::absolute(p);
  fs::path cur = abs.root_path();
  for (auto it = std::next(abs.begin()); it != abs.end(); ++it) {
    if (it->empty() || *it == ".") continue;
    if (*it == "..") {
      cur = cur.parent_path();
      continue;
    }
    const fs::path next = cur / *it;
    struct stat st;
    if (::lstat(next.c_str(), &st) != 0) {
      fs::path rest = next;
      bool climbs = false;
      for (++it; it != abs.end(); ++it) {
        climbs = climbs || *it == "..";
        rest /= *it;
      }
      // "missing/../OUT": once the missing folder is made, the ".." leads back
      // to folders that exist now, and OUT may be a link out of the card. So
      // the climb is taken lexically and those folders are walked again.
      if (climbs) return ResolveLinks(rest.lexically_normal(), depth + 1);
      return rest.lexically_normal();
    }
    if (S_ISLNK(st.st_mode)) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(next, ec);
      if (ec) return {};
      fs::path followed = target.is_absolute() ? target : cur / target;
      for (++it; it != abs.end(); ++it) followed /= *it;
      return ResolveLinks(followed, depth + 1);
    }
    cur = next;
  }
  return cur;
}

}  // namespace

namespace {

bool Under(const fs::path& base, const fs::path& full) {
  if (base.empty() || full.empty()) return false;
  auto b = base.begin();
  auto f = full.begin();
  for (; b != base.end(); ++b, ++f) {
    if (b->empty()) continue;  // a trailing separator of the root
    if (f == full.end() || *f != *b) return false;
  }
  return true;
}

}  // namespace

CardGuard::CardGuard(fs::path cardRoot) : root_(std::move(cardRoot)), resolvedRoot_(ResolveLinks(root_)) {}

bool CardGuard::Contains(const fs::path& p) const { return Under(resolvedRoot_, ResolveLinks(p)); }

std::optional<fs::path> CardGuard::Resolve(std::string_view folderText, std::string_view fileName) const {
  const auto parts = CardFolderComponents(folderText);
  if (!parts) return std::nullopt;
  fs::path p = root_;
  for (const auto& part : *parts) p /= part;
  if (!fileName.empty()) {
    if (!IsSafeCardFileName(fileName)) return std::nullopt;
    p /= std::string(fileName);
  }
  if (!Contains(p)) return std::nullopt;
  return p;
}

std::optional<fs::path> CardGuard::ResolveIn(const fs::path& folder, std::string_view fileName) const {
  if (!IsSafeCardFileName(fileName)) return std::nullopt;
  fs::path p = folder / std::string(fileName);
  // The folder is inside the card; so is a file of it that is no link.
  struct stat st;
  if (::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !Contains(p)) return std::nullopt;
  return p;
}

bool IsInside(const fs::path& root, const fs::path& path) { return CardGuard(root).Contains(path); }

std::optional<fs::path> ResolveCardPath(const fs::path& cardRoot, std::string_view folderText,
                                        std::string_view fileName) {
  return CardGuard(cardRoot).Resolve(folderText, fileName);
}

std::string CardFolderForDisplay(std::string_view folderText) {
  const auto parts = CardFolderComponents(folderText);
  if (!parts) return std::string(folderText);
  std::string out;
  for (const auto& p : *parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

}  // namespace fenmora
