// Numbers written as text (in the journal, the lock file, a backup manifest,
// a card file name, the command line), read by one rule.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace fenmora {

// The number the whole text writes: an optional "-", then digits of the base
// only (10, or 16 with letters in either case). nullopt for anything else: an
// empty text, a sign alone, a "+", a space, a value that 64 bits cannot hold.
std::optional<std::int64_t> ParseInteger(std::string_view text, int base = 10);

}  // namespace fenmora
