// The picture benchmarks' tools: a camera-sized test picture (4000 x 3000),
// drawn the same way on every run, and the median time of several runs.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <random>
#include <vector>

// Something like a photograph: smooth areas, edges, and fine grain.
inline QImage MakePhoto() {
  QImage image(4000, 3000, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, 3000);
  sky.setColorAt(0, QColor(70, 130, 200));
  sky.setColorAt(0.6, QColor(230, 220, 190));
  sky.setColorAt(1, QColor(60, 90, 40));
  p.fillRect(image.rect(), sky);
  std::mt19937 rng(2003);
  for (int i = 0; i < 300; ++i) {
    const int x = static_cast<int>(rng() % 4000), y = static_cast<int>(rng() % 3000);
    const int r = 20 + static_cast<int>(rng() % 300);
    QRadialGradient g(x, y, r);
    g.setColorAt(0, QColor::fromHsv(static_cast<int>(rng() % 360), 160, 230));
    g.setColorAt(1, Qt::transparent);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(x, y), r, r);
  }
  p.end();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int n = static_cast<int>(rng() % 17) - 8;
      const QRgb c = line[x];
      line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                     std::clamp(qBlue(c) + n, 0, 255));
    }
  }
  return image;
}

template <typename F>
double MedianMs(int runs, F&& f) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    f();
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}
