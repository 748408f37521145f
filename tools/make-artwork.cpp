// Draws the program's artwork into data/: the partner-site banner, the icons
// of the three kinds, the program icon and the button glyphs. The files are
// kept in the repository; run this only to change them:
//
//   scripts/install-deps artwork && cmake --build build --target artwork
//
// which runs build/make-artwork <source>/data <source>/packaging/icons with the
// offscreen platform. The second folder receives the program icon for the
// desktop, as an icon theme lays it out: hicolor/NxN/apps/<id>.png at the
// usual sizes and hicolor/scalable/apps/<id>.svg, drawn by the same code.
// Everything is drawn from shapes; the only font is IPA P Gothic
// (fonts-ipafont-gothic) for the banner's text.
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

QString g_outDir;
bool g_ok = true;

void Save(const QImage& image, const char* name, int quality = -1) {
  const QString path = QDir(g_outDir).filePath(QString::fromLatin1(name));
  QImageWriter writer(path);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) {
    std::fprintf(stderr, "make-artwork: %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    g_ok = false;
  } else {
    std::printf("%s (%d x %d)\n", qPrintable(path), image.width(), image.height());
  }
}

// A transparent square canvas drawn in a 32-unit coordinate system, so every
// icon can be drawn once and rendered at any size.
QImage Canvas(int size, const std::function<void(QPainter&)>& draw) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  draw(p);
  p.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

const QColor kInk(40, 48, 72);

// ------------------------------------------------------------- the banner

QImage Banner() {
  const int w = 150, h = 40;
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient bg(0, 0, w, h);
  bg.setColorAt(0, QColor(255, 120, 170));
  bg.setColorAt(0.55, QColor(255, 170, 110));
  bg.setColorAt(1, QColor(255, 220, 120));
  p.fillRect(image.rect(), bg);
  // A soft shine across the top half.
  QLinearGradient shine(0, 0, 0, h / 2);
  shine.setColorAt(0, QColor(255, 255, 255, 110));
  shine.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(0, 0, w, h / 2, shine);
  // Two little sparkles.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 200));
  for (QPointF c : {QPointF(10, 9), QPointF(141, 31)}) {
    QPainterPath star;
    star.moveTo(c + QPointF(0, -5));
    star.quadTo(c, c + QPointF(5, 0));
    star.quadTo(c, c + QPointF(0, 5));
    star.quadTo(c, c + QPointF(-5, 0));
    star.quadTo(c, c + QPointF(0, -5));
    p.drawPath(star);
  }
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(22);
  font.setBold(true);
  font.setStyleStrategy(QFont::PreferAntialias);
  p.setFont(font);
  const QString text = QString::fromUtf8("待ち受け画像");
  const QRect box(0, 0, w, h);
  p.setPen(QColor(150, 40, 80, 170));
  p.drawText(box.translated(1, 1), Qt::AlignCenter, text);
  p.setPen(Qt::white);
  p.drawText(box, Qt::AlignCenter, text);
  p.setPen(QColor(255, 255, 255, 160));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
  p.end();
  return image;
}

// ------------------------------------------------------------- the kinds

void DrawImageIcon(QPainter& p) {
  // A framed landscape: sky, sun, two hills.
  p.setPen(QPen(kInk, 1.2));
  QLinearGradient sky(0, 5, 0, 27);
  sky.setColorAt(0, QColor(120, 180, 240));
  sky.setColorAt(1, QColor(210, 235, 255));
  p.setBrush(sky);
  p.drawRoundedRect(QRectF(2.5, 5.5, 27, 21), 2, 2);
  p.setClipRect(QRectF(3, 6, 26, 20));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 200, 60));
  p.drawEllipse(QPointF(22, 11.5), 3.2, 3.2);
  p.setBrush(QColor(80, 160, 80));
  QPainterPath back;
  back.moveTo(3, 26);
  back.lineTo(13, 13);
  back.lineTo(22, 26);
  p.drawPath(back);
  p.setBrush(QColor(50, 125, 60));
  QPainterPath front;
  front.moveTo(10, 26);
  front.lineTo(20, 16);
  front.lineTo(30, 26);
  p.drawPath(front);
  p.setClipping(false);
}

// An eighth-note pair under one beam, drawn in the 32 grid.
void DrawNotes(QPainter& p, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  QPainterPath beam;
  beam.moveTo(11, 6);
  beam.lineTo(27, 2);
  beam.lineTo(27, 7);
  beam.lineTo(11, 11);
  beam.closeSubpath();
  p.drawPath(beam);
  p.drawRect(QRectF(11, 8, 2.6, 15));
  p.drawRect(QRectF(24.4, 4, 2.6, 15));
  for (QPointF c : {QPointF(8.2, 23.5), QPointF(21.6, 19.5)}) {
    p.save();
    p.translate(c);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 5.0, 3.6);
    p.restore();
  }
}

void DrawMelodyIcon(QPainter& p) {
  QRadialGradient glow(16, 16, 16);
  glow.setColorAt(0, QColor(255, 230, 250));
  glow.setColorAt(1, QColor(255, 230, 250, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(16, 16), 16, 16);
  p.translate(0, 2.5);
  DrawNotes(p, QColor(200, 40, 120));
}

void DrawMovieIcon(QPainter& p) {
  // A strip of film with two frames.
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(QColor(45, 45, 55));
  p.drawRoundedRect(QRectF(3.5, 2.5, 25, 27), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  for (int i = 0; i < 6; ++i) {
    p.drawRoundedRect(QRectF(5, 4.5 + i * 4.3, 2.6, 2.4), 0.6, 0.6);
    p.drawRoundedRect(QRectF(24.4, 4.5 + i * 4.3, 2.6, 2.4), 0.6, 0.6);
  }
  QLinearGradient frame(0, 0, 0, 32);
  frame.setColorAt(0, QColor(110, 190, 255));
  frame.setColorAt(1, QColor(60, 120, 210));
  p.setBrush(frame);
  p.drawRect(QRectF(9.5, 4.5, 13, 10.5));
  p.drawRect(QRectF(9.5, 17, 13, 10.5));
  p.setBrush(QColor(255, 255, 255, 230));
  QPainterPath play;
  play.moveTo(14, 19);
  play.lineTo(19.5, 22.25);
  play.lineTo(14, 25.5);
  play.closeSubpath();
  p.drawPath(play);
}

// ------------------------------------------------------------- the program

void DrawProgramIcon(QPainter& p) {
  // A handset with a picture on its screen and a memory card beside it.
  p.setPen(QPen(kInk, 1.0));
  QLinearGradient body(4, 0, 22, 0);
  body.setColorAt(0, QColor(200, 205, 220));
  body.setColorAt(1, QColor(140, 150, 175));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(5.5, 1.5, 15, 29), 3.5, 3.5);
  QLinearGradient screen(0, 4, 0, 16);
  screen.setColorAt(0, QColor(255, 150, 190));
  screen.setColorAt(1, QColor(255, 210, 130));
  p.setBrush(screen);
  p.setPen(QPen(kInk, 0.6));
  p.drawRect(QRectF(8, 4.5, 10, 12));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 220));
  p.drawEllipse(QPointF(13, 10.5), 2.4, 2.4);
  p.setBrush(kInk);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      p.drawRoundedRect(QRectF(8.3 + col * 3.3, 19 + row * 3.2, 2.4, 1.9), 0.6, 0.6);
  // The memory card.
  QPainterPath card;
  card.moveTo(19, 15);
  card.lineTo(28.5, 15);
  card.lineTo(28.5, 30);
  card.lineTo(17, 30);
  card.lineTo(17, 17);
  card.closeSubpath();
  p.setPen(QPen(kInk, 1.0));
  p.setBrush(QColor(40, 110, 200));
  p.drawPath(card);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 210, 90));
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(19 + i * 2.3, 16.5, 1.3, 3.2));
  p.setBrush(QColor(255, 255, 255, 210));
  p.drawRoundedRect(QRectF(19, 22, 7.5, 5.5), 1, 1);
}

// ------------------------------------------------------------- the glyphs

void DrawSpeakerWaves(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(20, 16, 8, 12), -60 * 16, 120 * 16);
  p.drawArc(QRectF(19, 11, 13, 22), -55 * 16, 110 * 16);
}

void DrawMelodyOn(QPainter& p) {
  p.save();
  p.translate(-2, 4);
  p.scale(0.85, 0.85);
  DrawNotes(p, QColor(20, 130, 60));
  p.restore();
  DrawSpeakerWaves(p, QColor(20, 130, 60));
}

void DrawMelodyOff(QPainter& p) {
  p.save();
  p.translate(-2, 4);
  p.scale(0.85, 0.85);
  DrawNotes(p, QColor(130, 130, 140));
  p.restore();
  p.setPen(QPen(QColor(210, 30, 30), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(20, 17), QPointF(29, 27));
  p.drawLine(QPointF(29, 17), QPointF(20, 27));
}

// A memory card; `arrow` points down into it (load) or up out of it (commit).
void DrawCard(QPainter& p) {
  QPainterPath card;
  card.moveTo(7, 2);
  card.lineTo(25, 2);
  card.lineTo(25, 30);
  card.lineTo(3, 30);
  card.lineTo(3, 6);
  card.closeSubpath();
  p.setPen(QPen(kInk, 1.6));
  p.setBrush(QColor(60, 120, 205));
  p.drawPath(card);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 205, 80));
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(8 + i * 4.2, 4, 2.4, 6));
}

void DrawArrow(QPainter& p, bool down, const QColor& colour) {
  QPainterPath arrow;
  if (down) {
    arrow.moveTo(19, 12);
    arrow.lineTo(27, 12);
    arrow.lineTo(27, 20);
    arrow.lineTo(31, 20);
    arrow.lineTo(23, 30);
    arrow.lineTo(15, 20);
    arrow.lineTo(19, 20);
  } else {
    arrow.moveTo(19, 30);
    arrow.lineTo(27, 30);
    arrow.lineTo(27, 22);
    arrow.lineTo(31, 22);
    arrow.lineTo(23, 12);
    arrow.lineTo(15, 22);
    arrow.lineTo(19, 22);
  }
  arrow.closeSubpath();
  p.setPen(QPen(Qt::white, 1.5));
  p.setBrush(colour);
  p.drawPath(arrow);
}

void DrawLoad(QPainter& p) {
  DrawCard(p);
  DrawArrow(p, /*down=*/true, QColor(30, 150, 70));
}

void DrawCommit(QPainter& p) {
  DrawCard(p);
  // A check mark: the changes go onto the card.
  p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath check;
  check.moveTo(12, 21);
  check.lineTo(18, 27);
  check.lineTo(29, 13);
  p.drawPath(check);
  p.setPen(QPen(QColor(220, 60, 40), 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(check);
}

void DrawBackup(QPainter& p) {
  // A filing box with a copy going in.
  p.setPen(QPen(kInk, 1.6));
  p.setBrush(QColor(200, 150, 90));
  p.drawRect(QRectF(3, 14, 26, 16));
  p.setBrush(QColor(225, 180, 115));
  p.drawRect(QRectF(1.5, 10, 29, 5));
  p.setBrush(QColor(250, 250, 245));
  p.drawRoundedRect(QRectF(11, 19, 10, 5), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 120, 205));
  QPainterPath down;
  down.moveTo(13, 1);
  down.lineTo(19, 1);
  down.lineTo(19, 5);
  down.lineTo(23, 5);
  down.lineTo(16, 11);
  down.lineTo(9, 5);
  down.lineTo(13, 5);
  down.closeSubpath();
  p.drawPath(down);
}

void DrawHelp(QPainter& p) {
  QRadialGradient ball(12, 10, 20);
  ball.setColorAt(0, QColor(110, 170, 255));
  ball.setColorAt(1, QColor(30, 80, 190));
  p.setPen(QPen(QColor(20, 50, 130), 1.4));
  p.setBrush(ball);
  p.drawEllipse(QPointF(16, 16), 14.5, 14.5);
  // The question mark from strokes, so it does not depend on a font.
  p.setPen(QPen(Qt::white, 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath hook;
  hook.moveTo(10.5, 12);
  hook.cubicTo(10.5, 5.5, 21.5, 5.5, 21.5, 11.5);
  hook.cubicTo(21.5, 16, 16, 15.5, 16, 20);
  p.drawPath(hook);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16, 25.5), 2.6, 2.6);
}

// The program icon for the desktop's icon theme, under the application id.
void SaveThemeIcons(const QString& iconDir) {
  const QString id = QStringLiteral("io.github.fenmora.Fenmora");
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(iconDir).arg(size);
    QDir().mkpath(dir);
    const QByteArray path = QDir(dir).filePath(id + QStringLiteral(".png")).toLocal8Bit();
    Save(Canvas(size, DrawProgramIcon), path.constData());
  }
  const QString dir = iconDir + QStringLiteral("/hicolor/scalable/apps");
  QDir().mkpath(dir);
  QSvgGenerator svg;
  svg.setFileName(QDir(dir).filePath(id + QStringLiteral(".svg")));
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRectF(0, 0, 32, 32));
  svg.setTitle(QStringLiteral("Fenmora"));
  svg.setDescription(QStringLiteral("A handset and its memory card"));
  QPainter p(&svg);
  p.setRenderHint(QPainter::Antialiasing);
  DrawProgramIcon(p);
  if (!p.end()) {
    std::fprintf(stderr, "make-artwork: %s: cannot write\n", qPrintable(svg.fileName()));
    g_ok = false;
  } else {
    std::printf("%s (scalable)\n", qPrintable(svg.fileName()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make-artwork <data folder> [<icon theme folder>]\n");
    return 2;
  }
  g_outDir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(g_outDir)) {
    std::fprintf(stderr, "make-artwork: cannot make %s\n", argv[1]);
    return 1;
  }
  if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
    std::fprintf(stderr, "make-artwork: warning: IPAPGothic is not installed; the banner's text "
                         "falls back to another font\n");

  Save(Banner(), "banner.jpg", 92);
  Save(Canvas(32, DrawImageIcon), "icon-image.png");
  Save(Canvas(32, DrawMelodyIcon), "icon-melody.png");
  Save(Canvas(32, DrawMovieIcon), "icon-movie.png");
  Save(Canvas(64, DrawProgramIcon), "fenmora.png");
  Save(Canvas(32, DrawProgramIcon), "fenmora-32.png");
  Save(Canvas(16, DrawMelodyOn), "melody-on.png");
  Save(Canvas(16, DrawMelodyOff), "melody-off.png");
  Save(Canvas(16, DrawLoad), "load.png");
  Save(Canvas(16, DrawCommit), "commit.png");
  Save(Canvas(16, DrawBackup), "backup.png");
  Save(Canvas(16, DrawHelp), "help.png");
  if (argc == 3) SaveThemeIcons(QString::fromLocal8Bit(argv[2]));
  return g_ok ? 0 : 1;
}
