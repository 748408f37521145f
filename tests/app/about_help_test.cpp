// The branding panel and the about box, its links, the help button, the
// partner banner and the exit button.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <fstream>

#include "app/app_texts.h"
#include "app/help_view.h"
#include "app/links.h"
#include "app/window_fixture.h"
#include "support/env_var.h"
#include "support/text_shapes.h"

namespace fenmora::testcard {
namespace {

class AboutBox : public WindowTest {
 protected:
  // Clicks the widget; when a modal box opens, notes it and presses Enter in
  // it. Returns the box that opened, or nullptr.
  QWidget* ClickAndPressEnterInTheBox(QWidget* target) {
    QWidget* seen = nullptr;
    QTimer::singleShot(0, [&] {
      seen = QApplication::activeModalWidget();
      if (seen) QTest::keyClick(seen->focusWidget() ? seen->focusWidget() : seen, Qt::Key_Return);
    });
    QTest::mouseClick(target, Qt::LeftButton);
    QCoreApplication::processEvents();  // lets the timer run when no box opened
    return seen;
  }
  UrlCatcher urls;
};

TEST_F(AboutBox, OpensFromThePanelAndEnterClosesIt) {
  QWidget* box = ClickAndPressEnterInTheBox(Find("Panel5"));
  ASSERT_EQ(box, about);
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(about->result(), QDialog::Accepted);
}

TEST_F(AboutBox, OpensFromTheIconNameAndMakerButNotFromTheVersion) {
  for (const char* name : {"Image4", "Label6", "Label8"}) {
    about->setResult(QDialog::Rejected);
    EXPECT_EQ(ClickAndPressEnterInTheBox(Find(name)), about) << name;
    EXPECT_EQ(about->result(), QDialog::Accepted) << name;
  }
  EXPECT_EQ(ClickAndPressEnterInTheBox(Find("Label7")), nullptr);
}

TEST_F(AboutBox, HoldsItsControlsAndTexts) {
  EXPECT_EQ(about->objectName(), "frAbout");
  EXPECT_EQ(about->windowTitle(), "バージョン情報");
  EXPECT_EQ(about->size(), QSize(296, 281));
  EXPECT_FALSE(about->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);
  auto at = [&](const char* name) { return about->findChild<QWidget*>(QString::fromUtf8(name)); };
  auto text = [&](const char* name) { return about->findChild<QLabel*>(QString::fromUtf8(name))->text(); };
  // Every control lies inside the box, the links beside their memo lines.
  for (const char* name : {"Panel1", "ProgramIcon", "ProductName", "Version", "Copyright", "Comment2",
                           "ImageLogo", "Label1", "ImagePay", "Memo1", "lHyouka", "lYoubou", "OKButton"}) {
    ASSERT_NE(at(name), nullptr) << name;
    EXPECT_TRUE(about->rect().contains(at(name)->geometry().translated(at(name)->parentWidget()->pos())))
        << name;
  }
  for (const char* name : {"lHyouka", "lYoubou"})
    EXPECT_FALSE(at(name)->geometry().intersects(at("Memo1")->geometry())) << name;
  EXPECT_FALSE(at("lHyouka")->geometry().intersects(at("lYoubou")->geometry()));
  EXPECT_EQ(text("ProductName"), "Fenmora");
  EXPECT_EQ(text("Copyright"), "© 2026 Fenmora 開発チーム");
  EXPECT_EQ(text("Version"), "バージョン 0.1.4.0");
  EXPECT_EQ(text("Comment2"), "最新版入手やご意見等は↓こちらへどうぞ");
  EXPECT_EQ(text("Label1"), "今後の開発のためご寄付をお願い致します<(_ _)>");
  EXPECT_EQ(text("lHyouka"), "コチラ");
  EXPECT_EQ(text("lYoubou"), "コチラ");
  EXPECT_EQ(about->findChild<QPlainTextEdit*>("Memo1")->toPlainText(), "評価感想は\nサポートは");
  EXPECT_TRUE(about->findChild<QPlainTextEdit*>("Memo1")->isReadOnly());
  auto* ok = about->findChild<QPushButton*>("OKButton");
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(about->findChild<QLabel*>("lHyouka")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_TRUE(about->findChild<QLabel*>("lYoubou")->font().underline());
}

// Each link opens a page of the shipped documentation, and a different one.
TEST_F(AboutBox, FourLinksOpenFourShippedPagesAndTheBoxStaysOpen) {
  about->show();
  for (const char* name : {"ImageLogo", "ImagePay", "lHyouka", "lYoubou", "ProgramIcon"})
    QTest::mouseClick(about->findChild<QWidget*>(QString::fromUtf8(name)), Qt::LeftButton);
  ASSERT_EQ(urls.opened.size(), 4u);  // the program's icon opens nothing
  EXPECT_EQ(urls.opened[0], app::LinkUrl(links::kAuthorPage));
  EXPECT_EQ(urls.opened[1], app::LinkUrl(links::kDonationPage));
  EXPECT_EQ(urls.opened[2], app::LinkUrl(links::kRatingsBoard));
  EXPECT_EQ(urls.opened[3], app::LinkUrl(links::kSupportBoard));
  for (size_t i = 0; i < urls.opened.size(); ++i) {
    ASSERT_TRUE(urls.opened[i].isLocalFile());
    EXPECT_TRUE(QFileInfo(urls.opened[i].toLocalFile()).isFile()) << urls.opened[i].toString().toStdString();
    for (size_t j = 0; j < i; ++j) EXPECT_NE(urls.opened[i], urls.opened[j]);
  }
  EXPECT_TRUE(about->isVisible());
}

TEST_F(AboutBox, TheBannerOpensThePartnerPage) {
  QTest::mouseClick(Find("Image3"), Qt::LeftButton);
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0], app::LinkUrl(links::kPartnerSite));
  EXPECT_TRUE(QFileInfo(urls.opened[0].toLocalFile()).isFile());
  EXPECT_EQ(Find("Image3")->cursor().shape(), Qt::PointingHandCursor);
}

TEST(Links, AnAddressWithASchemeIsOpenedAsItIs) {
  EXPECT_EQ(app::LinkUrl("https://example.org/fenmora/"), QUrl("https://example.org/fenmora/"));
  EXPECT_TRUE(app::LinkUrl("docs/support.html").isLocalFile());
}

// Runs the test body in a folder of its own, then goes back.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : previous_(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(folder.string()));
  }
  ~InFolder() { QDir::setCurrent(previous_); }

 private:
  QString previous_;
};

using Help = AboutBox;

TEST_F(Help, OpensTheProgramsOwnReadMeNeverOneOfTheCurrentFolder) {
  std::ofstream(card.path() / "ReadMe.txt") << "a stranger's";
  InFolder here(card.path());
  QTest::mouseClick(Find("btHelp"), Qt::LeftButton);
  ASSERT_EQ(urls.opened.size(), 1u);
  const QString path = urls.opened[0].toLocalFile();
  EXPECT_EQ(path, QFileInfo(app::DataFile("ReadMe.txt")).absoluteFilePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString firstLine = QString::fromUtf8(file.readLine());
  EXPECT_TRUE(std::any_of(firstLine.begin(), firstLine.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
      << firstLine.toStdString();
}

TEST_F(Help, AReadMeTheDesktopCannotOpenIsShownInTheWindowsOwnSearchableView) {
  InFolder here(card.path());
  window->show();
  window->SetOpener([](const QString&) { return false; });  // no application for .txt
  QTest::mouseClick(Find("btHelp"), Qt::LeftButton);
  EXPECT_TRUE(prompts.asked().empty());  // no message: the text itself
  auto* help = window->findChild<app::HelpView*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  auto* text = help->findChild<QPlainTextEdit*>("HelpText");
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(text->toPlainText().startsWith("Fenmora 使い方ガイド"));
  EXPECT_EQ(text->font().family(), "ＭＳ ゴシック");
  // Searching finds each place in turn, and from the top again after the last.
  auto* find = help->findChild<QLineEdit*>("HelpFind");
  find->setText(QStringLiteral("メモリカード読込"));
  const QString all = text->toPlainText();
  const int first = all.indexOf(QStringLiteral("メモリカード読込"));
  const int second = all.indexOf(QStringLiteral("メモリカード読込"), first + 1);
  ASSERT_GE(second, 0);
  ASSERT_TRUE(help->FindNext());
  EXPECT_EQ(text->textCursor().selectionStart(), first);
  ASSERT_TRUE(help->FindNext());
  EXPECT_EQ(text->textCursor().selectionStart(), second);
  int turns = 0;
  while (help->FindNext() && text->textCursor().selectionStart() != first && ++turns < 20) {
  }
  EXPECT_EQ(text->textCursor().selectionStart(), first);
  find->setText(QStringLiteral("見当たらない言葉"));
  EXPECT_FALSE(help->FindNext());
  EXPECT_EQ(help->findChild<QLabel*>("HelpNotFound")->text().toStdString(), app::texts::kHelpNotFound);
  // Centred on the window.
  EXPECT_LE((help->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 4);
  EXPECT_TRUE(urls.opened.empty());
}

TEST_F(AboutBox, ALinkTheDesktopCannotOpenIsSaidWithItsAddress) {
  window->SetUrlOpener([](const QUrl&) { return false; });
  QTimer::singleShot(0, [this] {
    // Centred on the window, then the link.
    EXPECT_LE((about->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 4);
    QTest::mouseClick(about->findChild<QWidget*>("lYoubou"), Qt::LeftButton);
    about->accept();
  });
  prompts.ExpectOk();
  window->show();
  QTest::mouseClick(Find("Panel5"), Qt::LeftButton);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].text,
            app::texts::kCannotOpenAddress + app::LinkUrl(links::kSupportBoard).toString().toStdString());
}

TEST_F(AboutBox, ExitWithoutEditsClosesTheWindowWithoutAsking) {
  window->show();
  QTest::mouseClick(Find("btEnd"), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(prompts.asked().empty());
}

// The window's language: every text it says has its English, shaped like the
// Japanese; the menu "表示言語 / Language" keeps the choice for the next start
// and says so.
TEST_F(Help, TheLanguageIsChosenInTheHelpMenuForTheNextStart) {
  ExpectTextsShapedAlike(SaidTexts());
  TempFolder config{"fenmora-config"};
  const EnvVar xdg("XDG_CONFIG_HOME", config.path().string());
  EXPECT_TRUE(Find<QAction>("acLanguageSystem")->isChecked());
  prompts.ExpectOk(app::texts::kLanguageNextStart);
  Find<QAction>("acLanguageEnglish")->trigger();
  EXPECT_EQ(LanguageSetting(), Language::English);
  prompts.ExpectOk(app::texts::kLanguageNextStart);
  Find<QAction>("acLanguageSystem")->trigger();
  EXPECT_EQ(LanguageSetting(), std::nullopt);
  EXPECT_EQ(CurrentLanguage(), Language::Japanese);  // this run's stays
}

}  // namespace
}  // namespace fenmora::testcard
