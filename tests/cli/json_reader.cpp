#include "cli/json_reader.h"

#include <stdexcept>

namespace fenmora::testcli {

const JsonValue& JsonValue::operator[](const std::string& key) const {
  if (type != Type::Object) throw std::runtime_error("not an object, looking for " + key);
  for (const auto& [k, v] : object)
    if (k == key) return v;
  throw std::runtime_error("no key " + key);
}

const JsonValue& JsonValue::operator[](size_t i) const {
  if (type != Type::Array || i >= array.size()) throw std::runtime_error("no element " + std::to_string(i));
  return array[i];
}

std::vector<std::string> JsonValue::Keys() const {
  std::vector<std::string> keys;
  for (const auto& kv : object) keys.push_back(kv.first);
  return keys;
}

namespace {

class Reader {
 public:
  explicit Reader(std::string_view t) : t_(t) {}

  JsonValue Document() {
    JsonValue v = Value();
    Blanks();
    if (i_ != t_.size()) Fail("text after the value");
    return v;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error("JSON: " + why + " at byte " + std::to_string(i_));
  }
  void Blanks() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
  }
  char Peek() {
    Blanks();
    if (i_ >= t_.size()) Fail("unexpected end");
    return t_[i_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected ") + c);
    ++i_;
  }
  bool Word(std::string_view w) {
    if (t_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  JsonValue Value() {
    JsonValue v;
    const char c = Peek();
    if (c == '{') {
      v.type = JsonValue::Type::Object;
      ++i_;
      if (Peek() == '}') return ++i_, v;
      for (;;) {
        if (Peek() != '"') Fail("expected a key");
        std::string key = String();
        Expect(':');
        v.object.emplace_back(std::move(key), Value());
        if (Peek() == ',') { ++i_; continue; }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.type = JsonValue::Type::Array;
      ++i_;
      if (Peek() == ']') return ++i_, v;
      for (;;) {
        v.array.push_back(Value());
        if (Peek() == ',') { ++i_; continue; }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.type = JsonValue::Type::String;
      v.string = String();
      return v;
    }
    if (Word("true")) { v.type = JsonValue::Type::Bool; v.boolean = true; return v; }
    if (Word("false")) { v.type = JsonValue::Type::Bool; return v; }
    if (Word("null")) return v;
    v.type = JsonValue::Type::Number;
    bool negative = false;
    if (t_[i_] == '-') negative = true, ++i_;
    const size_t start = i_;
    while (i_ < t_.size() && t_[i_] >= '0' && t_[i_] <= '9') v.number = v.number * 10 + (t_[i_++] - '0');
    if (i_ == start) Fail("expected a value");
    if (negative) v.number = -v.number;
    return v;
  }

  static void PutUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::uint32_t Hex4() {
    if (i_ + 4 > t_.size()) Fail("short \\u escape");
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<std::uint32_t>(c - 'A' + 10);
      else Fail("bad \\u escape");
    }
    return v;
  }

  // A raw UTF-8 sequence, checked for shortest form and range.
  void RawUtf8(std::string& out) {
    const auto b = static_cast<unsigned char>(t_[i_]);
    size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 0;
    if (len == 0 || i_ + len > t_.size()) Fail("bytes that are not UTF-8");
    std::uint32_t cp = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(t_[i_ + k]);
      if ((c & 0xC0) != 0x80) Fail("bytes that are not UTF-8");
      cp = (cp << 6) | (c & 0x3F);
    }
    const std::uint32_t min = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) Fail("bytes that are not UTF-8");
    out.append(t_.substr(i_, len));
    i_ += len;
  }

  std::string String() {
    ++i_;  // the opening quote
    std::string out;
    for (;;) {
      if (i_ >= t_.size()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(t_[i_]);
      if (c == '"') { ++i_; return out; }
      if (c < 0x20) Fail("raw control character in a string");
      if (c >= 0x80) { RawUtf8(out); continue; }
      ++i_;
      if (c != '\\') { out += static_cast<char>(c); continue; }
      if (i_ >= t_.size()) Fail("unterminated escape");
      const char e = t_[i_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!Word("\\u")) Fail("lone high surrogate");
            const std::uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad low surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            Fail("lone low surrogate");
          }
          PutUtf8(out, cp);
          break;
        }
        default: Fail("unknown escape");
      }
    }
  }

  std::string_view t_;
  size_t i_ = 0;
};

}  // namespace

JsonValue ParseJson(std::string_view text) { return Reader(text).Document(); }

}  // namespace fenmora::testcli
