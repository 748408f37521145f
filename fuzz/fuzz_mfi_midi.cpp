// The MFi converter on arbitrary bytes: no crash, nothing read past the input,
// and every MIDI file it gives reads back with the notes it counted.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_mfi_midi", fenmora::fuzzing::CheckMfiMidi(bytes));
  return 0;
}
