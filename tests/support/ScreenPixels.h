// What the X server shows, beside what a widget holds: the root window's pixels under a
// widget's area (what a person sees) and the widget's own drawing of itself. A widget that
// stops repainting still draws itself right; only the screen tells.
#pragma once

#include <QDir>
#include <QImage>
#include <QScreen>
#include <QWidget>
#include <string>

// The area Widget covers on its screen, in the screen's coordinates.
inline QRect ScreenArea(const QWidget* Widget) {
  return {Widget->mapToGlobal(QPoint(0, 0)), Widget->size()};
}

// The screen's pixels under Area, read from the root window.
inline QImage ScreenPixels(const QWidget* Widget, const QRect& Area) {
  return Widget->screen()
      ->grabWindow(0, Area.x(), Area.y(), Area.width(), Area.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

inline QImage DrawnPixels(QWidget* Widget) {
  return Widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels differ between the two; every pixel when the sizes differ.
inline qsizetype DifferingPixels(const QImage& A, const QImage& B) {
  if (A.size() != B.size()) return qsizetype(A.width()) * A.height() + 1;
  qsizetype differing = 0;
  for (int y = 0; y < A.height(); ++y) {
    const auto* a = reinterpret_cast<const QRgb*>(A.constScanLine(y));
    const auto* b = reinterpret_cast<const QRgb*>(B.constScanLine(y));
    for (int x = 0; x < A.width(); ++x) differing += (a[x] & 0xFFFFFF) != (b[x] & 0xFFFFFF);
  }
  return differing;
}

// Keeps both pictures of a mismatch for a person to look at; returns where they went.
inline std::string KeepMismatch(const QImage& Screen, const QImage& Drawn, const QString& Name) {
  const QString folder = QDir::tempPath() + "/tallybox-screen-mismatch";
  QDir().mkpath(folder);
  Screen.save(folder + "/" + Name + "-screen.png");
  Drawn.save(folder + "/" + Name + "-drawn.png");
  return folder.toStdString();
}
