// The card path confinement on arbitrary folder texts, stems and extensions
// (the input split at its first two FF bytes), against a card root made once
// with real folders and links into and out of it. Every path that comes back
// must lie under the root, lexically and after following links. Nothing is
// ever created from the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fenmora::fuzzing::CardFixture card;  // removed when the run ends
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_cardpath", fenmora::fuzzing::CheckCardPath(card, bytes));
  return 0;
}
