// The about box: the program's name and version, and four links to the
// author's pages. Made at the first click on the main window's branding
// panel and shown modally from there; it changes nothing in the program.
#pragma once

#include <QDialog>

namespace fenmora::app {
class ClickLabel;
}

class TfrAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrAbout(QWidget* parent = nullptr);

 private slots:
  void OpenAuthorPage();
  void OpenDonationPage();
  void OpenRatingsBoard();
  void OpenSupportBoard();
};
