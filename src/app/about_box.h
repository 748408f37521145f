// The about box: the program's name and version, and four links to the
// author's pages. Made at the first click on the main window's branding
// panel and shown modally from there; it changes nothing in the program.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

namespace fenmora {
class Prompts;
}
namespace fenmora::app {
class ClickLabel;
}

class TfrAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrAbout(QWidget* parent = nullptr);

  // How the links are opened (the desktop's browser unless replaced; false
  // when it cannot) and where a link that cannot be opened is said, with its
  // address to copy (nowhere unless given).
  using UrlOpener = std::function<bool(const QUrl&)>;
  void SetLinkService(UrlOpener open, fenmora::Prompts* prompts);

 private:
  void OpenLink(const char* link);
  UrlOpener open_;
  fenmora::Prompts* prompts_ = nullptr;

 private slots:
  void OpenAuthorPage();
  void OpenDonationPage();
  void OpenRatingsBoard();
  void OpenSupportBoard();
};
