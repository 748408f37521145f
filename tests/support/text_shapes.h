// Every text said in a program is there in both languages, shaped alike:
// the same lines, the same ending where another text or a path is joined on,
// the same blanks, no Japanese left in the English. Each test program checks
// the texts its program says.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/language.h"

namespace fenmora::testcard {

inline size_t TextLines(std::string_view s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

// How a text ends where something is joined on: a line break, a colon (with a
// space or not), or plain.
inline int TextEnding(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\n') return 1;
  if (s.size() >= 1 && s.back() == ':') return 2;
  if (s.size() >= 3 && s.substr(s.size() - 3) == "：") return 2;
  return 0;
}

inline size_t Occurrences(std::string_view text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

inline void ExpectTextsShapedAlike(const std::vector<TextPair>& said) {
  for (const TextPair& t : said) {
    const std::string_view ja = t.japanese, en = t.english;
    SCOPED_TRACE(std::string(ja) + " / " + std::string(en));
    // (Only a unit Japanese writes after a number may have no English.)
    EXPECT_TRUE(!en.empty() || ja == " 件");
    EXPECT_EQ(TextLines(ja), TextLines(en));
    EXPECT_EQ(TextEnding(ja), TextEnding(en));
    if (!en.empty()) {
      EXPECT_EQ(ja.front() == '\n', en.front() == '\n');
    }
    // The same blanks ("{1}", and Qt's "%1"), each as often.
    for (char n = '1'; n <= '9'; ++n)
      for (const std::string& blank : {std::string("{") + n + "}", std::string("%") + n})
        EXPECT_EQ(Occurrences(ja, blank), Occurrences(en, blank)) << blank;
    // No Japanese left in the English (kana, kanji, full-width forms; an
    // arrow or a copyright sign may stay).
    for (size_t i = 0; i + 2 < en.size(); ++i) {
      const auto lead = static_cast<unsigned char>(en[i]), next = static_cast<unsigned char>(en[i + 1]);
      EXPECT_FALSE((lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && (next == 0xBC || next == 0xBD)));
    }
  }
}

}  // namespace fenmora::testcard
