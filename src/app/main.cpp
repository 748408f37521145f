// fenmora: the window. One optional argument, a folder, is offered in the
// drive list and selected (a card copied to disk, a mounted card image).
#include <QApplication>
#include <QStringList>

#include "app/about_box.h"
#include "app/app_paths.h"
#include "app/main_window.h"
#include "sync/session.h"

int main(int argc, char** argv) {
  // The profile and the catalogues exist before the window and outlive it.
  fenmora::CardSession session;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Fenmora"));
  fenmora::app::InstallFontSubstitutions();

  {
    TfrMain frMain(session);
    auto* frAbout = new TfrAbout(&frMain);  // hidden until the branding panel is clicked
    frMain.SetAboutBox(frAbout);

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 2) frMain.AddCardFolder(arguments.at(1));

    frMain.show();
    QApplication::exec();
  }
  return 0;
}
