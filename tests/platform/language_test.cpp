// The language of a run: every text in both languages, the choice of the
// language, the blanks of a text.
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
#include "support/text_shapes.h"
#include "sync/texts.h"

// This test program has a language setting of its own, as the window has.
extern "C" const char* const fenmora_language_setting = "fenmora-test/language.conf";

namespace fenmora {
namespace {

TEST(Language, EveryTextHasBothLanguagesShapedAlike) {
  (void)texts::kInsertCard;  // (the texts are said as the program starts)
  (void)cli::say::kUsage;
  (void)app::texts::kClose;
  (void)kMfiNoTrack;
  ASSERT_GT(SaidTexts().size(), 90u);
  testcard::ExpectTextsShapedAlike(SaidTexts());
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
