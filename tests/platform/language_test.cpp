// Every text the user reads is there in both languages, shaped alike: the
// same lines, the same ending where another text or a path is joined on.
#include "platform/language.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/app_texts.h"
#include "cli/cli_texts.h"
#include "convert/movie_texts.h"
#include "media/mfi_midi.h"
#include "sync/texts.h"

// This test program has a language setting of its own, as the window has.
extern "C" const char* const fenmora_language_setting = "fenmora-test/language.conf";

namespace fenmora {
namespace {

size_t Lines(std::string_view s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

// How a text ends where something is joined on: a line break, a colon (with a
// space or not), or plain.
int Ending(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\n') return 1;
  if (s.size() >= 1 && s.back() == ':') return 2;
  if (s.size() >= 3 && s.substr(s.size() - 3) == "：") return 2;
  return 0;
}

TEST(Language, EveryTextHasBothLanguagesShapedAlike) {
  (void)texts::kInsertCard;  // (the texts are said as the program starts)
  (void)cli::say::kUsage;
  (void)app::texts::kClose;
  (void)kMfiNoTrack;
  const auto& said = SaidTexts();
  ASSERT_GT(said.size(), 90u);
  for (const TextPair& t : said) {
    const std::string_view ja = t.japanese, en = t.english;
    SCOPED_TRACE(std::string(ja) + " / " + std::string(en));
    // (Only a unit Japanese writes after a number may have no English.)
    EXPECT_TRUE(!en.empty() || ja == " 件");
    EXPECT_EQ(Lines(ja), Lines(en));
    EXPECT_EQ(Ending(ja), Ending(en));
    if (!en.empty()) {
      EXPECT_EQ(ja.front() == '\n', en.front() == '\n');
    }
    // The same blanks, each as often.
    for (char n = '1'; n <= '9'; ++n) {
      const std::string blank = std::string("{") + n + "}";
      size_t inJapanese = 0, inEnglish = 0;
      for (size_t at = ja.find(blank); at != std::string_view::npos; at = ja.find(blank, at + 1)) ++inJapanese;
      for (size_t at = en.find(blank); at != std::string_view::npos; at = en.find(blank, at + 1)) ++inEnglish;
      EXPECT_EQ(inJapanese, inEnglish) << blank;
    }
    // No Japanese left in the English (kana, kanji, full-width forms; an
    // arrow or a copyright sign may stay).
    for (size_t i = 0; i + 2 < en.size(); ++i) {
      const auto lead = static_cast<unsigned char>(en[i]), next = static_cast<unsigned char>(en[i + 1]);
      EXPECT_FALSE((lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && (next == 0xBC || next == 0xBD)));
    }
  }
}

TEST(Language, TheProgramsSettingComesBetweenFenmoraLangAndTheLocale) {
  const std::string folder = std::filesystem::temp_directory_path() / ("fenmora-config-" + std::to_string(getpid()));
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "", 1);
  setenv("LANG", "ja_JP.UTF-8", 1);
  setenv("FENMORA_LANG", "", 1);
  EXPECT_EQ(LanguageSetting(), std::nullopt);
  ASSERT_TRUE(SaveLanguageSetting(Language::English));
  EXPECT_EQ(LanguageSetting(), Language::English);
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);
  setenv("FENMORA_LANG", "ja", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::Japanese);
  setenv("FENMORA_LANG", "", 1);
  ASSERT_TRUE(SaveLanguageSetting(std::nullopt));  // the locale's again
  setenv("LANG", "en_GB.UTF-8", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::Japanese);
  std::filesystem::remove_all(folder);
  setenv("FENMORA_LANG", "ja", 1);
}

TEST(Language, FillPutsEachValueInItsBlank) {
  EXPECT_EQ(Fill("{2} 行目：{1}", {"a", "12"}), "12 行目：a");
  EXPECT_EQ(Fill("{1}{1} {3}", {"x", "y"}), "xx ");  // a blank without its value stays empty
  EXPECT_EQ(Fill("{0} {x} {", {"v"}), "{0} {x} {");   // only {1} to {9} are blanks
}

TEST(Language, TheLocaleChoosesAndFenmoraLangOverrides) {
  struct Case {
    const char *forced, *all, *messages, *lang;
    Language want;
  };
  const Case cases[] = {
      {"", "", "", "en_US.UTF-8", Language::English},
      {"", "", "", "ja_JP.UTF-8", Language::Japanese},
      {"", "", "", "C", Language::Japanese},
      {"", "", "", "", Language::Japanese},
      {"", "", "en_GB.UTF-8", "ja_JP.UTF-8", Language::English},
      {"", "ja_JP.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", Language::Japanese},
      {"en", "ja_JP.UTF-8", "", "", Language::English},
      {"ja", "", "", "en_US.UTF-8", Language::Japanese},
  };
  for (const Case& c : cases) {
    setenv("FENMORA_LANG", c.forced, 1);
    setenv("LC_ALL", c.all, 1);
    setenv("LC_MESSAGES", c.messages, 1);
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(LanguageFromEnvironment(), c.want) << c.forced << "|" << c.all << "|" << c.messages << "|" << c.lang;
  }
  setenv("FENMORA_LANG", "ja", 1);
}

}  // namespace
}  // namespace fenmora
