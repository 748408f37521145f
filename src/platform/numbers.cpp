#include "platform/numbers.h"

#include <charconv>
#include <system_error>

namespace fenmora {

std::optional<std::int64_t> ParseInteger(std::string_view text, int base) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace fenmora
