// The journal readers on arbitrary bytes: a journal is the card's like any
// file, and may come from anyone.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_journal", fenmora::fuzzing::CheckJournal(bytes));
  return 0;
}
