#include "app/uMainLook.h"

#include <QDockWidget>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "ui_ufmMain.h"

namespace {

QFont Monospace(int PixelSize) {
  QFont font("Lucida Console");
  font.setStyleHint(QFont::Monospace);
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(PixelSize);
  return font;
}

}  // namespace

QMainWindow* LayOutAdvancedView(QWidget* Page, QWidget* Terminal, QDockWidget* Modem,
                                QDockWidget* Events) {
  auto* inner = new QMainWindow(Page);
  // QMainWindow's constructor always adds Qt::Window: without this the inner window is a
  // separate top-level window that nobody shows, and the page stays empty.
  inner->setWindowFlags(Qt::Widget);
  inner->setObjectName("mwAdvanced");
  Page->layout()->removeWidget(Terminal);
  Page->layout()->addWidget(inner);
  inner->setCentralWidget(Terminal);
  inner->setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
  inner->addDockWidget(Qt::RightDockWidgetArea, Modem);
  inner->addDockWidget(Qt::RightDockWidgetArea, Events);
  inner->splitDockWidget(Modem, Events, Qt::Horizontal);
  inner->resizeDocks({Modem, Events}, {197, 164}, Qt::Horizontal);
  return inner;
}

void StyleMemos(QPlainTextEdit* Modem, QPlainTextEdit* Events) {
  Modem->setFont(Monospace(13));
  Events->setFont(Monospace(12));
  QPalette palette = Events->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  Events->setPalette(palette);
}

QLabel* AddStatusPanel(QStatusBar* Bar, const char* Name, int Width, int Stretch) {
  auto* panel = new QLabel(Bar);
  panel->setObjectName(Name);
  panel->setMinimumWidth(Width);
  Bar->addWidget(panel, Stretch);
  return panel;
}

void SetActionIcons(Ui::TfmMain* Form) {
  const struct {
    QAction* Action;
    const char* Theme;
    const char* Own;
  } icons[] = {
      {Form->actConnect, "network-connect", "connect"},
      {Form->actDisconnect, "network-disconnect", "disconnect"},
      {Form->actStatus, "dialog-information", "status"},
      {Form->actRegisters, "document-properties", "registers"},
      {Form->actLoadRegisters, "document-open", "load"},
      {Form->actSaveRegisters, "document-save", "save"},
      {Form->actDiagnostics, "edit-paste", "diagnostics"},
      {Form->actAdvanced, "utilities-terminal", "advanced"},
      {Form->actExit, "application-exit", "exit"},
  };
  for (const auto& icon : icons)
    icon.Action->setIcon(
        QIcon::fromTheme(icon.Theme, QIcon(QString(":/tallybox/icons/%1.svg").arg(icon.Own))));
}
