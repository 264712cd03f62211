// The advanced view's tools beyond copy and clear: Find in the terminal (Ctrl+Shift+F), events
// and modem views (Ctrl+F), Save As... of each view's text, copying the terminal's selection
// (Ctrl+Shift+C), the terminal's time stamps (remembered) and its hex view (Ctrl+Shift+H).
// Ctrl+F and Ctrl+C typed in the terminal are the device's. The main window builds the views
// and their pop-up menus; this adds the tools to them.
#pragma once

#include <QObject>
#include <string>

class QAction;
class QMainWindow;
class QMenu;
class TLineView;
class TFindBar;
class TTerminalView;

namespace Ui {
class TfmMain;
}

struct TViewMenus {
  QMenu* Terminal;
  QMenu* Events;
  QMenu* Modem;
};

class TMainViewTools : public QObject {
 public:
  TMainViewTools(QMainWindow* Window, Ui::TfmMain* Ui, TTerminalView* Terminal,
                 const TViewMenus& Menus);

  // The terminal's Timestamps item, whose state the settings keep.
  QAction* Timestamps() const { return FActTerminalStamps; }

 private:
  void actFindExecute();
  void SaveViewAs(TLineView* View, const std::string& Name);

  QMainWindow* FWindow;
  Ui::TfmMain* ui;
  TTerminalView* FTerminal;
  QMenu* FPumTerminal;
  QMenu* FPumEvents;
  QMenu* FPumModem;
  TFindBar* FFindBar = nullptr;
  QAction* FActTerminalStamps = nullptr;
};
