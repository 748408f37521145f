// Where the program finds its data: beside itself (the build tree, a portable
// copy) before the installed share folder, and nowhere else.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <filesystem>

#include "app/app_paths.h"
#include "support/temp_card.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(DataFolder, BesideTheProgramFirstThenTheInstalledShareFolder) {
  testcard::TempFolder prefix;
  const fs::path bin = prefix.path() / "bin";
  fs::create_directories(bin);
  EXPECT_TRUE(app::FindDataDir(Q(bin)).isEmpty());

  fs::create_directories(prefix.path() / "share" / "fenmora");
  EXPECT_EQ(QDir(app::FindDataDir(Q(bin))).canonicalPath(),
            QDir(Q(prefix.path() / "share" / "fenmora")).canonicalPath());

  fs::create_directories(bin / "data");
  EXPECT_EQ(app::FindDataDir(Q(bin)), QDir(Q(bin)).filePath(QStringLiteral("data")));
}

TEST(DataFolder, AFileInPlaceOfTheFolderIsNotTaken) {
  testcard::TempFolder prefix;
  const fs::path bin = prefix.path() / "bin";
  fs::create_directories(bin);
  prefix.Write("bin/data", "not a folder");
  fs::create_directories(prefix.path() / "share");
  prefix.Write("share/fenmora", "not a folder");
  EXPECT_TRUE(app::FindDataDir(Q(bin)).isEmpty());
}

}  // namespace
}  // namespace fenmora
