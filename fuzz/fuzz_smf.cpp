// The SMF readers on arbitrary bytes: the track name is at most 255 bytes,
// the bytes after an FF 03 <length> of the input; a slimmed file is one track
// of format 0 that slims to itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_smf", fenmora::fuzzing::CheckSmf(bytes));
  return 0;
}
