// Widget tests run headless: the platform is chosen before QApplication exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/app_paths.h"

// The window's own texts are Japanese only for now (see src/app/main.cpp).
extern "C" const bool fenmora_japanese_only = true;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // tests that listen set "disk" themselves
  QApplication app(argc, argv);
  // The window's message boxes read as the program's users see them.
  fenmora::app::InstallQtTranslation();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
