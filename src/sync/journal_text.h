// The text form journals are written in, shared by every format: one record
// a line, fields separated by one space; texts as "=" then their bytes, with
// those that would break a line or a field ("%", space, control characters)
// as "%XX" and a run of zero bytes (the bulk of a table) as "%z" and its
// length in four hex digits.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops.h"
#include "profile/profile.h"

namespace fenmora::journal_text {

// What decoding may still produce, in bytes: a journal is read within what its
// own size can hold.
struct Budget {
  size_t left = 0;
};

void AppendEscaped(std::string& out, std::string_view bytes);
std::optional<std::string> Unescape(std::string_view field, Budget& budget);
std::vector<std::string_view> Split(std::string_view line);
std::optional<long long> Number(std::string_view s);
std::optional<MediaKind> KindOf(std::optional<long long> k);
// The lines between the first (which must be magic) and the last ("end" and,
// with checksum, the fingerprint of everything before it); nullopt when cut
// short or failing that check.
std::optional<std::vector<std::string_view>> Lines(std::string_view bytes, std::string_view magic, bool checksum);

// Writes a journal's lines: its magic first, then records of fields.
struct Writer {
  std::string out;
  explicit Writer(std::string_view magic) : out(magic) { out += '\n'; }
  void Field(std::string_view text) {
    out += ' ';
    AppendEscaped(out, text);
  }
  void Number(long long n) {
    out += ' ';
    out += std::to_string(n);
  }
  // The last line: the fingerprint of everything before it (cut short or
  // damaged, a journal fails it).
  std::string Sealed() { return out + "end " + HashBytes(out) + "\n"; }
};

// The card paths of every table the handset may have: the only tables a
// journal may name.
std::set<std::string> HandsetTablePaths(const HandsetProfile& profile);

}  // namespace fenmora::journal_text
