// The about box: the program's name and version, and four links to the
// author's pages. Created hidden at start-up and shown modally from the
// branding panel of the main window; it changes nothing in the program.
#pragma once

#include <QDialog>

namespace fenmora::app {
class ClickLabel;
}

class TfrAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrAbout(QWidget* parent = nullptr);

  void ImageLogoClick();
  void ImagePayClick();
  void lHyoukaClick();
  void lYoubouClick();
};
