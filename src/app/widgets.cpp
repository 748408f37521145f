#include "app/widgets.h"

#include <QMouseEvent>

#include "platform/cp932.h"

namespace fenmora::app {

namespace {

bool Pressed(QWidget* w, QMouseEvent* event) {
  event->accept();
  return event->button() == Qt::LeftButton && w->rect().contains(event->position().toPoint());
}

}  // namespace

void ClickLabel::mousePressEvent(QMouseEvent* event) { pressed_ = Pressed(this, event); }

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && Pressed(this, event);
  pressed_ = false;
  if (click) emit clicked();
}

QValidator::State Cp932LengthValidator::validate(QString& input, int&) const {
  return Utf8ToCp932(input.toStdString()).size() <= maxBytes_ ? Acceptable : Invalid;
}

void Cp932LengthValidator::fixup(QString& input) const {
  // Drop characters from the end until the text fits (pasted text).
  while (!input.isEmpty() && Utf8ToCp932(input.toStdString()).size() > maxBytes_)
    input.chop(input.size() >= 2 && input.back().isLowSurrogate() ? 2 : 1);
}

QFrame* MakeBevel(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setFixedHeight(2);
  return line;
}

}  // namespace fenmora::app
