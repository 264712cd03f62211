// The advanced view's shape: the terminal with the modem and events panels docked to its right
// (each can float in a window of its own and comes back where it was left), the memos' look,
// the three views' pop-up menus and the tools they offer. The main window feeds the views.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/uWindowLayout.h"

class QAction;
class QMainWindow;
class QMenu;
class TDialogue;
class TMainViewTools;
class TTerminalView;

namespace Ui {
class TfmMain;
}

class TMainAdvancedView {
 public:
  TMainAdvancedView(QMainWindow* Window, Ui::TfmMain* Ui);
  ~TMainAdvancedView();

  TTerminalView* Terminal() const { return FTerminal; }
  // The terminal's Timestamps item, whose state the settings keep.
  QAction* Timestamps() const;
  TWindowLayout Layout() const;
  void Restore(const TWindowLayout& Layout);
  // The modem and events panels, which a serial connection shows and others hide.
  void ShowSidePanels(bool Shown);
  // What happened to the serial line (its modem lines, its end), time-stamped in the events.
  void ShowLineEvent(const std::string& Text);
  // Says in the view of the dialogue's Segment that Bytes nobody took were dropped.
  void ShowDropped(const TDialogue& Dialogue, int32_t Segment, int64_t Bytes);

 private:
  void BuildViews();
  void WirePopupMenus();

  QMainWindow* FWindow;
  Ui::TfmMain* ui;
  TTerminalView* FTerminal = nullptr;  // reTerminal, owned by its page
  QMainWindow* FPanels = nullptr;      // the terminal and side panels
  QMenu* FPumTerminal = nullptr;
  QMenu* FPumEvents = nullptr;
  QMenu* FPumModem = nullptr;
  std::unique_ptr<TMainViewTools> FTools;
};
