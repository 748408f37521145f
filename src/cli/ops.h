// The operations file of "fenmora-cli apply": one operation a line, the same
// edits the window's buttons make. Every line is read and checked before the
// card is even loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"

namespace fenmora::cli {

struct Op {
  enum class Type { Add, Delete, Up, Down, Renumber, Title };
  Type type = Type::Add;
  MediaKind kind = MediaKind::Image;
  // Delete, Up, Down, Title: the 1-based list position as written; a number
  // no list position can have (beyond 32 bits) is kept as 0, which names no
  // item either.
  std::int32_t position = 0;
  std::string argument;  // Add: the file's path; Title: the text (UTF-8), as written
  int line = 0;          // 1-based line number in the file
};

struct OpsError {
  int line = 0;
  std::string message;  // "unknown operation \"move\""
};

struct ParsedOps {
  std::vector<Op> ops;
  std::vector<OpsError> errors;  // every bad line, in order
  bool Ok() const { return errors.empty(); }
};

// Reads the whole text. Lines end in "\n" ("\r\n" too); blank lines and lines
// whose first non-blank character is "#" are skipped. Words are separated by
// spaces or tabs:
//   add KIND PATH          PATH is the rest of the line
//   delete|up|down KIND POS
//   renumber KIND
//   title KIND POS TEXT    TEXT is the rest of the line
// KIND is image, melody or movie; POS a decimal number (a sign allowed).
// A title the card cannot hold as written (characters Shift-JIS does not
// have, or more than 64 bytes in Shift-JIS) is a bad line unless lossyTitles
// says the user accepts it changed.
ParsedOps ParseOps(std::string_view text, bool lossyTitles = false);

// What storing a typed (UTF-8) title changes, in words ("\"é\" has no
// Shift-JIS form", "70 bytes in Shift-JIS, cut to 64"); empty when it is
// stored as written.
std::string TitleChange(std::string_view utf8);

// "image", "melody", "movie".
const char* KindWord(MediaKind kind);

}  // namespace fenmora::cli
