#include "app/about_box.h"

#include <QDesktopServices>
#include <QFrame>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/links.h"
#include "app/widgets.h"
#include "sync/prompts.h"

using fenmora::app::ClickLabel;
using fenmora::app::DataPixmap;
using fenmora::app::kProportionalFace;
using fenmora::app::PixelFont;

namespace {

QLabel* PlaceLabel(QLabel* label, const char* name, const QString& text, int x, int y) {
  label->setObjectName(QString::fromUtf8(name));
  label->setText(text);
  label->move(x, y);
  label->adjustSize();
  return label;
}

// A picture from the data folder, or a plain badge with a caption when the
// picture is not shipped.
QPixmap PictureOr(const char* file, QSize size, const QString& caption, QColor background) {
  const QPixmap picture = DataPixmap(QString::fromUtf8(file), size);
  if (!picture.isNull()) return picture;
  QPixmap badge(size);
  badge.fill(background);
  QPainter p(&badge);
  p.setPen(QColor(255, 255, 255));
  p.drawRect(QRect(QPoint(1, 1), size - QSize(3, 3)));
  p.setFont(PixelFont(kProportionalFace, 12));
  p.drawText(badge.rect(), Qt::AlignCenter, caption);
  return badge;
}

}  // namespace

TfrAbout::TfrAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frAbout"));
  setWindowTitle(QString::fromUtf8(fenmora::app::texts::kAboutTitle));
  setFixedSize(296, 281);
  setFont(PixelFont(kProportionalFace, 12));
  setWindowIcon(DataPixmap(QStringLiteral("fenmora.png")));
  setModal(true);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(8, 8, 281, 241);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setLineWidth(1);
  panel->setMidLineWidth(1);

  auto* icon = new ClickLabel(panel);  // takes its clicks and does nothing with them
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setGeometry(48, 16, 32, 32);
  icon->setPixmap(DataPixmap(QStringLiteral("fenmora-32.png"), {32, 32}));
  icon->setCursor(Qt::PointingHandCursor);

  PlaceLabel(new QLabel(panel), "ProductName", QStringLiteral("Fenmora"), 88, 19);
  PlaceLabel(new QLabel(panel), "Version",
             QString::fromUtf8(fenmora::app::texts::kVersionPrefix) + QStringLiteral(FENMORA_VERSION) + QStringLiteral(".0"), 96, 35);
  PlaceLabel(new QLabel(panel), "Copyright",
             QString::fromUtf8(fenmora::app::texts::kCopyright), 16, 56);
  PlaceLabel(new QLabel(panel), "Comment2", QString::fromUtf8(fenmora::app::texts::kAboutLatest), 16, 80);

  auto* logo = new ClickLabel(panel);
  logo->setObjectName(QStringLiteral("ImageLogo"));
  logo->setGeometry(96, 96, 88, 32);
  logo->setPixmap(PictureOr("author-logo.png", {88, 32}, QStringLiteral("Fenmora"), QColor(0, 0, 128)));
  logo->setCursor(Qt::PointingHandCursor);
  connect(logo, &ClickLabel::clicked, this, &TfrAbout::OpenAuthorPage);

  PlaceLabel(new QLabel(panel), "Label1", QString::fromUtf8(fenmora::app::texts::kAboutDonate), 15, 144);

  auto* pay = new ClickLabel(panel);
  pay->setObjectName(QStringLiteral("ImagePay"));
  pay->setGeometry(96, 168, 88, 31);
  pay->setPixmap(PictureOr("donate.png", {88, 31}, QString::fromUtf8(fenmora::app::texts::kDonate), QColor(0, 112, 60)));
  pay->setCursor(Qt::PointingHandCursor);
  connect(pay, &ClickLabel::clicked, this, &TfrAbout::OpenDonationPage);

  auto* memo = new QPlainTextEdit(panel);
  memo->setObjectName(QStringLiteral("Memo1"));
  memo->setGeometry(159, 208, 57, 25);
  memo->setReadOnly(true);
  memo->setFrameShape(QFrame::NoFrame);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setFocusPolicy(Qt::NoFocus);
  memo->setContextMenuPolicy(Qt::NoContextMenu);
  memo->setTextInteractionFlags(Qt::NoTextInteraction);
  memo->document()->setDocumentMargin(0);
  memo->setFont(PixelFont(kProportionalFace, 11));
  QPalette memoColours = memo->palette();
  memoColours.setColor(QPalette::Base, palette().color(QPalette::Button));
  memoColours.setColor(QPalette::Text, QColor(0, 0, 128));
  memo->setPalette(memoColours);
  memo->setPlainText(QString::fromUtf8(fenmora::app::texts::kAboutRatingsSupport));

  auto link = [&](const char* name, int y, void (TfrAbout::*handler)()) {
    auto* label = new ClickLabel(panel);
    QFont font = PixelFont(kProportionalFace, 11);
    font.setUnderline(true);
    label->setFont(font);
    QPalette red = label->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(red);
    label->setCursor(Qt::PointingHandCursor);
    PlaceLabel(label, name, QString::fromUtf8(fenmora::app::texts::kHere), 217, y);
    connect(label, &ClickLabel::clicked, this, handler);
  };
  link("lHyouka", 207, &TfrAbout::OpenRatingsBoard);
  link("lYoubou", 219, &TfrAbout::OpenSupportBoard);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setGeometry(215, 252, 75, 25);
  ok->setDefault(true);
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();
}

void TfrAbout::SetLinkService(UrlOpener open, fenmora::Prompts* prompts) {
  open_ = std::move(open);
  prompts_ = prompts;
}

void TfrAbout::OpenLink(const char* link) {
  const QUrl url = fenmora::app::LinkUrl(link);
  const bool opened = open_ ? open_(url) : QDesktopServices::openUrl(url);
  if (!opened && prompts_)
    prompts_->Tell(fenmora::Prompts::Icon::Warning,
                   fenmora::app::texts::kCannotOpenAddress + url.toString().toStdString());
}

void TfrAbout::OpenAuthorPage() { OpenLink(fenmora::links::kAuthorPage); }
void TfrAbout::OpenDonationPage() { OpenLink(fenmora::links::kDonationPage); }
void TfrAbout::OpenRatingsBoard() { OpenLink(fenmora::links::kRatingsBoard); }
void TfrAbout::OpenSupportBoard() { OpenLink(fenmora::links::kSupportBoard); }
