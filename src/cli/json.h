// JSON output of the command line: strings quoted and escaped so that any
// bytes (titles converted from CP932, host paths, file names from tables)
// give valid UTF-8 JSON.
#pragma once

#include <string>
#include <string_view>

namespace fenmora::cli {

// The text as a quoted JSON string: '"', '\' and every control character
// escaped (\n, \t, ... or \u00XX), U+2028 and U+2029 escaped, valid UTF-8
// kept as it is, and every byte that is not part of a valid UTF-8 sequence
// replaced by \ufffd.
std::string JsonString(std::string_view text);

}  // namespace fenmora::cli
