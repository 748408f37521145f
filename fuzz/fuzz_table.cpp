// The table reader on arbitrary bytes: records from the size, field widths, no 00
// inside a field, and every record written back reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fenmora::fuzzing::Require("fuzz_table", fenmora::fuzzing::CheckTable(bytes));
  return 0;
}
