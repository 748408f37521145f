// The language the program speaks to its user: Japanese, the handset's own and
// the source of every text, or English where the user asks for it. Chosen once,
// when the program starts, from FENMORA_LANG ("ja" or "en"), else from the
// program's own setting (the window's 表示言語 / Language, kept in a file; the
// command line has none), else from the locale (LC_ALL, LC_MESSAGES, LANG, the
// first that is set): a locale of English ("en...") gives English; any other,
// C and POSIX included, Japanese, the language every text is written in first.
//
// A text the user reads is written once with both: Say("日本語", "English") is
// the one of the chosen language, fixed for the run, so a text stays a plain
// const char* wherever it goes. Titles, file names and what the card holds are
// never texts: they pass through as they are.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

enum class Language { Japanese, English };

// From the environment, as described above.
Language LanguageFromEnvironment();
// The language of this run (the environment's, read on first use).
Language CurrentLanguage();

// The program's own setting, kept in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config) under the name the program gives by
// defining fenmora_language_setting (none: the program has no setting).
// Saved choices take effect when the program next starts.
std::optional<Language> LanguageSetting();
// False when the setting could not be written. nullopt: follow the locale.
bool SaveLanguageSetting(std::optional<Language> language);

// The text in the language of this run.
const char* Say(const char* japanese, const char* english);

// A text with blanks: "{1}", "{2}", ... each stands for the value of that
// number, so that each language puts the values where its sentence needs them
// ("line {1}: " / "{1} 行目："). Both languages of a text have the same blanks.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> values);

// Every text said so far, both ways (for the check that none lacks one).
struct TextPair {
  const char* japanese;
  const char* english;
};
const std::vector<TextPair>& SaidTexts();

}  // namespace fenmora
