// Widget tests run headless: the platform is chosen before QApplication exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/app_paths.h"

// The window's tests read its Japanese texts: they run in Japanese whatever
// the locale (the English window is drawn by the screenshots and started by
// the language test of the installed program).
extern "C" const bool fenmora_japanese_only = true;
// A language setting of its own, as the window has (under the test's own
// configuration folder).
extern "C" const char* const fenmora_language_setting = "fenmora-gui-test/language.conf";

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // tests that listen set "disk" themselves
  QApplication app(argc, argv);
  // The window's message boxes read as the program's users see them.
  fenmora::app::InstallQtTranslation();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
