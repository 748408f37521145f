#include "platform/language.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace fenmora {

namespace {

Language FromName(std::string_view name, Language otherwise) {
  if (name.rfind("en", 0) == 0) return Language::English;
  if (name.rfind("ja", 0) == 0) return Language::Japanese;
  return otherwise;
}

std::vector<TextPair>& Registry() {
  static std::vector<TextPair> pairs;
  return pairs;
}

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

// A program whose checks read the Japanese texts (the window's tests) defines
// this as true: it speaks Japanese whatever the locale. (Constant-initialized,
// so it is there before any text is said.)
extern "C" const bool fenmora_japanese_only __attribute__((weak));
// A program with a setting of its own names its file here, relative to the
// user's configuration folder ("Fenmora/language.conf").
extern "C" const char* const fenmora_language_setting __attribute__((weak));

namespace {

std::string SettingPath() {
  if (&fenmora_language_setting == nullptr || !fenmora_language_setting) return {};
  std::string folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') folder = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) folder = std::string(home) + "/.config";
  else return {};
  return folder + "/" + fenmora_language_setting;
}

}  // namespace

std::optional<Language> LanguageSetting() {
  const std::string path = SettingPath();
  if (path.empty()) return std::nullopt;
  // One line, "language=ja" or "language=en"; anything else is no setting.
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "language=ja") return Language::Japanese;
    if (line == "language=en") return Language::English;
  }
  return std::nullopt;
}

bool SaveLanguageSetting(std::optional<Language> language) {
  const std::string path = SettingPath();
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (!language) return std::filesystem::remove(path, ec) || !ec;
  std::ofstream out(path, std::ios::trunc);
  out << "language=" << (*language == Language::English ? "en" : "ja") << "\n";
  return static_cast<bool>(out.flush());
}

Language LanguageFromEnvironment() {
  if (&fenmora_japanese_only != nullptr && fenmora_japanese_only) return Language::Japanese;
  if (const char* forced = std::getenv("FENMORA_LANG"); forced && *forced)
    return FromName(forced, Language::Japanese);
  if (const auto chosen = LanguageSetting()) return *chosen;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = std::getenv(name); value && *value) return FromName(value, Language::Japanese);
  return Language::Japanese;
}

Language CurrentLanguage() {
  static const Language chosen = LanguageFromEnvironment();
  return chosen;
}

const char* Say(const char* japanese, const char* english) {
  {
    const std::lock_guard<std::mutex> guard(RegistryMutex());
    Registry().push_back({japanese, english});
  }
  return CurrentLanguage() == Language::English ? english : japanese;
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(text.size() + 32);
  for (size_t i = 0; i < text.size(); ++i) {
    // "{n}" with n from 1 to 9 is a blank; any other brace is itself.
    if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(text[i + 1] - '1');
      if (n < values.size()) out += *(values.begin() + n);
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

const std::vector<TextPair>& SaidTexts() { return Registry(); }

}  // namespace fenmora
