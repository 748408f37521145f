// The read-me shown by the window itself, for a desktop that has no
// application for text files: a read-only view in the window's Japanese
// fonts with a search line (Enter or "次を検索" finds the next place, from the
// top again after the last).
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace fenmora::app {

class HelpView : public QDialog {
  Q_OBJECT
 public:
  explicit HelpView(QWidget* parent);

  // Reads the file (UTF-8); false when it cannot be read.
  bool Open(const QString& path);
  // Selects the next place of the search line's text after the cursor, from
  // the top again when there is none below; false when the text is nowhere.
  bool FindNext();

 private:
  QPlainTextEdit* text_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLabel* notFound_ = nullptr;
};

}  // namespace fenmora::app
