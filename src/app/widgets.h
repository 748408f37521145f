// Small widgets the window and the about box are built from.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QValidator>

namespace fenmora::app {

// A label that takes its mouse clicks (a click on it never reaches the
// widget below) and reports them as clicked(): pressed and released on it
// with the left button. Being a frame, it also serves as a clickable panel.
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

// Admits a text only while its Shift-JIS form fits in maxBytes bytes: the
// handset stores titles of at most 64 bytes, whatever the characters.
class Cp932LengthValidator : public QValidator {
  Q_OBJECT
 public:
  Cp932LengthValidator(size_t maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
  State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  size_t maxBytes_;
};

// A thin sunken line between groups of controls, as wide as its layout
// makes it.
QFrame* MakeBevel(QWidget* parent);

}  // namespace fenmora::app
