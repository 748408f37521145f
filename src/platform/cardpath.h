// Card paths. Tables and the profile write paths with "\" from the card root
// ("\PRIVATE\DOCOMO\STILL\"); on disk they are the card root joined with the
// same components. Everything that comes from card data passes through here
// before any file is opened, so nothing outside the card is ever touched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

// Splits a card folder text into its components. "\" and "/" both separate;
// empty components (a doubled "\") and "." are dropped. Returns nullopt when
// the text could lead outside the card root: a ".." component, a drive letter
// or any ":", a NUL byte, or a control character.
std::optional<std::vector<std::string>> CardFolderComponents(std::string_view folderText);

// The canonical handset form of a folder text: "\" + components joined by "\"
// + "\" ("\" for the root), or nullopt when it is unsafe as above.
std::optional<std::string> NormalizeCardFolder(std::string_view folderText);

// A file name taken from a record or built for the card: a single component
// that is neither empty, "." nor "..", holds no "\", "/", ":", NUL or control
// character.
bool IsSafeCardFileName(std::string_view name);

// Joins the card root with a card folder text and an optional file name, and
// checks that the result stays inside the card root, also after following the
// symbolic links of the parts that exist. nullopt when it would not.
std::optional<std::filesystem::path> ResolveCardPath(const std::filesystem::path& cardRoot,
                                                     std::string_view folderText,
                                                     std::string_view fileName = {});

// The same checks for many paths of one card: the card root's own links are
// followed once.
class CardGuard {
 public:
  explicit CardGuard(std::filesystem::path cardRoot);
  const std::filesystem::path& root() const { return root_; }
  std::optional<std::filesystem::path> Resolve(std::string_view folderText,
                                               std::string_view fileName = {}) const;
  // A file of a folder Resolve gave: the same answer as Resolve of the folder
  // text and the name, with only the file itself looked at again.
  std::optional<std::filesystem::path> ResolveIn(const std::filesystem::path& folder,
                                                 std::string_view fileName) const;
  // True when p, followed through its links, lies inside the card root.
  bool Contains(const std::filesystem::path& p) const;

 private:
  std::filesystem::path root_;
  std::filesystem::path resolvedRoot_;
};

// True when path (which need not exist) lies inside root once the symbolic
// links of its existing parts are followed.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

// "PRIVATE/DOCOMO/STILL" from "\PRIVATE\DOCOMO\STILL\" (for the command line).
std::string CardFolderForDisplay(std::string_view folderText);

}  // namespace fenmora
