// The CP932 conversions and cut on arbitrary bytes: valid UTF-8 out, the same
// result character by character as for the whole text, ASCII exact, cuts on
// character boundaries.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_cp932", fenmora::fuzzing::CheckCp932(bytes));
  return 0;
}
