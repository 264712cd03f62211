#include "dialogs/uDialogLook.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>

void StyleHeaderBand(QFrame* Band, QLabel* Heading) {
  QPalette palette = Band->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Base));
  Band->setPalette(palette);
  Band->setAutoFillBackground(true);
  QFont font = Heading->font();
  font.setBold(true);
  font.setPointSize(font.pointSize() + 2);
  Heading->setFont(font);
}

void CentreOnScreen(QWidget* Window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  Window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, Window->size(),
                                          screen->availableGeometry()));
}
