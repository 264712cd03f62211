#include "app/uMainLook.h"

#include <QDockWidget>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QStatusBar>
#include <algorithm>

#include "ui_ufmMain.h"

namespace {

// The terminal's face, looked for once: asking the font database is the slow part.
QString FindConsoleFamily() {
  QFont font("Lucida Console");
  if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) != 0) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Some desktops' monospace face is marked proportional (dual-width): take a real one.
    if (!QFontInfo(font).fixedPitch()) {
      const QStringList families = QFontDatabase::families();
      auto fixed = std::find_if(families.begin(), families.end(), [](const QString& Family) {
        return QFontDatabase::isFixedPitch(Family) && !QFontDatabase::isPrivateFamily(Family);
      });
      if (fixed != families.end()) font = QFont(*fixed);
    }
  }
  return QFontInfo(font).family();
}

}  // namespace

QFont ConsoleFont(int PixelSize) {
  static const QString family = FindConsoleFamily();
  QFont font(family);
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(PixelSize);
  return font;
}

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

void StyleMemos(QWidget* Modem, QWidget* Events) {
  Modem->setFont(ConsoleFont(13));
  Events->setFont(ConsoleFont(12));
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
