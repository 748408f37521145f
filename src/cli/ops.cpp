#include "cli/ops.h"

#include <limits>
#include <optional>

#include "cli/cli_texts.h"
#include "editing/editing.h"
#include "platform/cp932.h"
#include "platform/numbers.h"

namespace fenmora::cli {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads words off the front of a line.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) { SkipBlanks(); }

  std::string_view Word() {
    size_t n = 0;
    while (n < rest_.size() && !IsBlank(rest_[n])) ++n;
    const std::string_view w = rest_.substr(0, n);
    rest_.remove_prefix(n);
    SkipBlanks();
    return w;
  }
  // Everything after the blanks that follow the previous word.
  std::string_view Rest() {
    const std::string_view r = rest_;
    rest_ = {};
    return r;
  }
  bool AtEnd() const { return rest_.empty(); }

 private:
  void SkipBlanks() {
    while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
  }
  std::string_view rest_;
};

std::optional<MediaKind> KindOf(std::string_view w) {
  for (MediaKind k : kListKinds)
    if (w == KindWord(k)) return k;
  return std::nullopt;
}

std::optional<Op::Type> TypeOf(std::string_view w) {
  if (w == "add") return Op::Type::Add;
  if (w == "delete") return Op::Type::Delete;
  if (w == "up") return Op::Type::Up;
  if (w == "down") return Op::Type::Down;
  if (w == "renumber") return Op::Type::Renumber;
  if (w == "title") return Op::Type::Title;
  return std::nullopt;
}

// A decimal number with an optional sign. Values outside 32 bits become 0.
std::optional<std::int32_t> PositionOf(std::string_view w) {
  bool negative = false;
  if (!w.empty() && (w.front() == '+' || w.front() == '-')) {
    negative = w.front() == '-';
    w.remove_prefix(1);
  }
  if (w.empty() || w.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const auto value = ParseInteger(w);  // digits only: nullopt is a value past 64 bits
  if (!value || *value > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(negative ? -*value : *value);
}

std::string Quoted(std::string_view w) {
  std::string out = "\"";
  for (char c : w) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  return out + "\"";
}

// Parses one line that is neither blank nor a comment. Returns the error
// message, or an empty text when op was filled.
std::string ParseLine(std::string_view line, Op& op) {
  if (line.find('\0') != std::string_view::npos) return say::kNulInLine;
  LineReader r(line);
  const std::string_view opWord = r.Word();
  const auto type = TypeOf(opWord);
  if (!type) return Fill(say::kUnknownOperation, {Quoted(opWord)});
  op.type = *type;
  if (r.AtEnd()) return Fill(say::kMissingKind, {opWord});
  const std::string_view kindWord = r.Word();
  const auto kind = KindOf(kindWord);
  if (!kind) return Fill(say::kUnknownKind, {Quoted(kindWord)});
  op.kind = *kind;
  switch (op.type) {
    case Op::Type::Add:
      if (r.AtEnd()) return Fill(say::kMissingPath, {kindWord});
      op.argument = std::string(r.Rest());
      return {};
    case Op::Type::Renumber:
      if (!r.AtEnd()) return Fill(say::kTextAfterRenumber, {kindWord});
      return {};
    case Op::Type::Delete:
    case Op::Type::Up:
    case Op::Type::Down:
    case Op::Type::Title: {
      if (r.AtEnd()) return Fill(say::kMissingPos, {opWord, kindWord});
      const std::string_view posWord = r.Word();
      const auto pos = PositionOf(posWord);
      if (!pos) return Fill(say::kPosNotNumber, {Quoted(posWord)});
      op.position = *pos;
      if (op.type == Op::Type::Title) {
        if (r.AtEnd()) return Fill(say::kMissingText, {kindWord, posWord});
        op.argument = std::string(r.Rest());
      } else if (!r.AtEnd()) {
        return Fill(say::kTextAfter, {opWord, kindWord, posWord});
      }
      return {};
    }
  }
  return {};
}

}  // namespace

const char* KindWord(MediaKind kind) {
  switch (kind) {
    case MediaKind::Image: return "image";
    case MediaKind::Melody: return "melody";
    case MediaKind::Movie: return "movie";
    case MediaKind::Camera: break;
  }
  return "camera";
}

std::string TitleChange(std::string_view utf8) {
  std::string change;
  const std::vector<std::string> lost = Cp932Unrepresentable(utf8);
  std::string characters;
  for (size_t i = 0; i < lost.size(); ++i) characters += (i == 0 ? "\"" : ", \"") + lost[i] + "\"";
  if (!lost.empty()) change = Fill(lost.size() == 1 ? say::kNoShiftJisOne : say::kNoShiftJisMany, {characters});
  if (const size_t bytes = Utf8ToCp932(utf8).size(); bytes > kMaxTitleBytes)
    change += (change.empty() ? "" : say::kChangeSeparator) +
              Fill(say::kCutToBytes, {std::to_string(bytes), std::to_string(kMaxTitleBytes)});
  return change;
}

ParsedOps ParseOps(std::string_view text, bool lossyTitles) {
  ParsedOps parsed;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    Op op;
    op.line = number;
    std::string error = ParseLine(line, op);
    if (error.empty() && op.type == Op::Type::Title && !lossyTitles)
      if (const std::string change = TitleChange(op.argument); !change.empty())
        error = Fill(say::kTitleNotAsWritten, {change});
    if (error.empty()) parsed.ops.push_back(std::move(op));
    else parsed.errors.push_back({number, error});
  }
  return parsed;
}

}  // namespace fenmora::cli
