#include "app/uMainViewTools.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QStandardPaths>

#include "app/TFindBar.h"
#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "app/uOtherUsersFolder.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/DocumentsFolder.h"
#include "rtl/FileBytes.h"
#include "rtl/UserFolders.h"
#include "ui_ufmMain.h"

namespace {

QAction* NewAction(QObject* Owner, const char* Name, const QString& Text) {
  auto* action = new QAction(Text, Owner);
  action->setObjectName(Name);
  return action;
}

// Key works while View has the focus; the view's pop-up menu names it.
void KeyInView(QAction* Action, QWidget* View, const QKeySequence& Key) {
  Action->setShortcut(Key);
  Action->setShortcutContext(Qt::WidgetShortcut);
  View->addAction(Action);
}

}  // namespace

TMainViewTools::TMainViewTools(QMainWindow* Window, Ui::TfmMain* Ui, TTerminalView* Terminal,
                               const TViewMenus& Menus)
    : FWindow(Window),
      ui(Ui),
      FTerminal(Terminal),
      FPumTerminal(Menus.Terminal),
      FPumEvents(Menus.Events),
      FPumModem(Menus.Modem) {
  FFindBar = new TFindBar(ui->tsAdvanced);
  FFindBar->setObjectName("pnlFind");
  FFindBar->hide();
  ui->tsAdvanced->layout()->addWidget(FFindBar);

  auto* find = NewAction(FWindow, "actFind", "&Find...");
  find->setShortcut(QKeySequence::Find);
  for (QWidget* window : {static_cast<QWidget*>(FWindow), static_cast<QWidget*>(ui->pnlModem),
                          static_cast<QWidget*>(ui->pnlEvents)})
    window->addAction(find);  // also while a panel floats in a window of its own
  connect(find, &QAction::triggered, this, Guarded([this] { actFindExecute(); }));

  auto* copy = NewAction(FWindow, "actTerminalCopySelection", "&Copy");
  KeyInView(copy, FTerminal, QKeySequence("Ctrl+Shift+C"));
  copy->setEnabled(false);
  connect(FTerminal, &TLineView::copyAvailable, copy, &QAction::setEnabled);
  connect(copy, &QAction::triggered, FTerminal, &TLineView::copy);
  FPumTerminal->addAction(copy);  // after Copy All and Clear, which the menu has first

  FActTerminalStamps = NewAction(FWindow, "actTerminalStamps", "&Timestamps");
  FActTerminalStamps->setCheckable(true);
  connect(FActTerminalStamps, &QAction::toggled, FTerminal, &TTerminalView::SetLineStamps);

  const struct {
    QMenu* Menu;
    TLineView* View;
    const char* FindName;
    const char* SaveName;
    const char* Title;
  } views[] = {
      {FPumTerminal, FTerminal, "actTerminalFind", "actTerminalSaveAs", "terminal"},
      {FPumEvents, ui->memEvents, "actEventsFind", "actEventsSaveAs", "events"},
      {FPumModem, ui->memModem, "actModemFind", "actModemSaveAs", "modem"},
  };
  for (const auto& v : views) {
    TLineView* view = v.View;
    const QString title = v.Title;
    auto* findIn = NewAction(FWindow, v.FindName, "&Find...");
    if (view == FTerminal)
      KeyInView(findIn, FTerminal, QKeySequence("Ctrl+Shift+F"));
    else  // the window's Find serves these views: the menu only names its key
      findIn->setText("&Find...\t" + find->shortcut().toString(QKeySequence::NativeText));
    auto* saveAs = NewAction(FWindow, v.SaveName, "Save &As...");
    connect(findIn, &QAction::triggered, this,
            [this, view, title] { FFindBar->Open(view, title); });
    connect(saveAs, &QAction::triggered, this,
            Guarded([this, view, title] { SaveViewAs(view, title.toStdString()); }));
    v.Menu->addSeparator();
    v.Menu->addAction(findIn);
    v.Menu->addAction(saveAs);
  }
  FPumTerminal->addAction(FActTerminalStamps);
  FPumTerminal->addAction(FTerminal->HexAction());
}

// Ctrl+F finds in the view that has the focus, else in the one found in last, else in the
// terminal; only while the advanced view is up. In the terminal it reaches this only while no
// device listens there.
void TMainViewTools::actFindExecute() {
  if (!ui->actAdvanced->isChecked()) return;
  const QWidget* focus = QApplication::focusWidget();
  TLineView* target = FFindBar->Target() ? FFindBar->Target() : FTerminal;
  for (TLineView* view :
       {static_cast<TLineView*>(FTerminal), static_cast<TLineView*>(ui->memEvents),
        static_cast<TLineView*>(ui->memModem)})
    if (focus == view) target = view;
  FFindBar->Open(target, target == FTerminal       ? "terminal"
                         : target == ui->memEvents ? "events"
                                                   : "modem");
}

void TMainViewTools::SaveViewAs(TLineView* View, const std::string& Name) {
  const QString folder = QString::fromStdString(DocumentsOrHome(
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString(),
      UserHomeFolder()));
  const QString chosen =
      TModal::SaveFileName(FWindow, "Save As", folder + "/" + QString::fromStdString(Name) + ".txt",
                           "Text files (*.txt);;All files (*)", "txt");
  if (chosen.isEmpty() ||
      TellOtherUsersFolder(FWindow, chosen.toStdString(), "The text was not saved in "))
    return;
  std::string text = View->AllBytes();
  if (!text.empty() && text.back() != '\n') text += '\n';
  WriteNamedFile(chosen.toStdString(), text);
}
