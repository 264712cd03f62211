#include "app/uMainAdvancedView.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>

#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "app/uMainLook.h"
#include "app/uMainViewTools.h"
#include "rtl/DateTime.h"
#include "session/uDialogue.h"
#include "session/uEventStamp.h"
#include "session/uViewLimits.h"
#include "ui_ufmMain.h"

TMainAdvancedView::TMainAdvancedView(QMainWindow* Window, Ui::TfmMain* Ui)
    : FWindow(Window), ui(Ui) {
  BuildViews();
  WirePopupMenus();
  FTools = std::make_unique<TMainViewTools>(FWindow, ui, FTerminal,
                                            TViewMenus{FPumTerminal, FPumEvents, FPumModem});
}

TMainAdvancedView::~TMainAdvancedView() = default;

void TMainAdvancedView::BuildViews() {
  FTerminal = new TTerminalView(ui->tsAdvanced);
  FTerminal->setObjectName("reTerminal");
  FTerminal->setAccessibleName("Terminal");
  ui->memEvents->setAccessibleName("Events");
  ui->memModem->setAccessibleName("Modem trace");
  ui->tsAdvanced->layout()->addWidget(FTerminal);
  // The side panels live beside the terminal only while the advanced view is up.
  ui->pnlModem->setParent(ui->tsAdvanced);
  ui->pnlEvents->setParent(ui->tsAdvanced);
  FPanels = LayOutAdvancedView(ui->tsAdvanced, FTerminal, ui->pnlModem, ui->pnlEvents);
  StyleMemos(ui->memModem, ui->memEvents);
}

void TMainAdvancedView::WirePopupMenus() {
  auto popup = [this](QWidget* view, const char* name, QAction* copy, QAction* clear) {
    auto* menu = new QMenu(FWindow);
    menu->setObjectName(name);
    menu->addAction(copy);
    menu->addAction(clear);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, menu,
                     [menu, view](const QPoint& At) { menu->popup(view->mapToGlobal(At)); });
    return menu;
  };
  FPumTerminal = popup(FTerminal, "pumTerminal", ui->actTerminalCopy, ui->actTerminalClear);
  FPumEvents = popup(ui->memEvents, "pumEvents", ui->actEventsCopy, ui->actEventsClear);
  FPumModem = popup(ui->memModem, "pumModem", ui->actModemCopy, ui->actModemClear);
  QObject::connect(ui->actTerminalCopy, &QAction::triggered, FTerminal, &TTerminalView::CopyAll);
  QObject::connect(ui->actEventsCopy, &QAction::triggered, ui->memEvents, &TMemoView::copy);
  QObject::connect(ui->actModemCopy, &QAction::triggered, ui->memModem, &TMemoView::copy);
  QObject::connect(ui->actEventsClear, &QAction::triggered, ui->memEvents, &TMemoView::clear);
  QObject::connect(ui->actModemClear, &QAction::triggered, ui->memModem, &TMemoView::clear);
}

QAction* TMainAdvancedView::Timestamps() const {
  return FTools->Timestamps();
}

TWindowLayout TMainAdvancedView::Layout() const {
  return CaptureWindowLayout(FWindow, FPanels);
}

void TMainAdvancedView::Restore(const TWindowLayout& Layout) {
  RestoreWindowLayout(FWindow, FPanels, Layout);
}

void TMainAdvancedView::ShowSidePanels(bool Shown) {
  ui->pnlModem->setVisible(Shown);
  ui->pnlEvents->setVisible(Shown);
}

void TMainAdvancedView::ShowLineEvent(const std::string& Text) {
  AppendLineToMemo(ui->memEvents, EventStamp(LocalNow()) + Text);
}

void TMainAdvancedView::ShowDropped(const TDialogue& Dialogue, int32_t Segment, int64_t Bytes) {
  const std::string notice = DroppedNotice(Bytes);
  if (Segment == Dialogue.FSegEvents)
    AppendLineToMemo(ui->memEvents, notice);
  else if (Segment == Dialogue.FSegModem)
    AppendLineToMemo(ui->memModem, notice);
  else
    FTerminal->ShowNotice(notice);
}
