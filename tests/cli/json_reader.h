// A small strict JSON reader for checking what fenmora-cli prints: it refuses
// raw control characters and bytes that are not UTF-8 inside strings, and
// decodes every escape (surrogate pairs included). Throws on any error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fenmora::testcli {

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  std::int64_t number = 0;
  std::string string;
  std::vector<JsonValue> array;
  std::vector<std::pair<std::string, JsonValue>> object;  // in the order written

  const JsonValue& operator[](const std::string& key) const;  // throws when missing
  const JsonValue& operator[](size_t i) const;                // throws when out of range
  std::vector<std::string> Keys() const;
};

// Integers only: fenmora-cli prints no fractions.
JsonValue ParseJson(std::string_view text);

}  // namespace fenmora::testcli
