// The MLD title reader on arbitrary bytes: at most 256 bytes, no 00, taken from
// the titl chunk's place in the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_mld", fenmora::fuzzing::CheckMldTitle(bytes));
  return 0;
}
