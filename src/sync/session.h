// Everything the program knows about the loaded card: the profile, the four
// catalogues, the card root that was loaded (a commit writes there and nowhere
// else) and the projected card space.
#pragma once

#include <array>
#include <filesystem>
#include <string>
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
  DiskGauge gauge;
  // The names of the files found at load in each kind's folders (its content
  // folder and its group folders), listed or not: a new item never takes a
  // name one of them holds.
  std::array<std::vector<std::string>, kKindCount> filesOnCard;

  MediaCatalogue& Catalogue(MediaKind k) { return catalogues[k]; }
  const MediaCatalogue& Catalogue(MediaKind k) const { return catalogues[k]; }
};

}  // namespace fenmora
