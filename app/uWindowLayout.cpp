#include "app/uWindowLayout.h"

#include <QByteArray>
#include <QDockWidget>
#include <QMainWindow>

#include "dialogs/uDialogLook.h"

namespace {

std::string ToText(const QByteArray& Blob) {
  return Blob.toBase64().toStdString();
}

QByteArray FromText(const std::string& Text) {
  return QByteArray::fromBase64(QByteArray::fromStdString(Text));
}

}  // namespace

TWindowLayout CaptureWindowLayout(const QMainWindow* Main, const QMainWindow* Panels) {
  return {ToText(Main->saveGeometry()), ToText(Panels->saveState())};
}

void RestoreWindowLayout(QMainWindow* Main, QMainWindow* Panels, const TWindowLayout& Layout) {
  if (Layout.Placement.empty() || !Main->restoreGeometry(FromText(Layout.Placement)))
    CentreOnScreen(Main);
  if (!Layout.Panels.empty()) Panels->restoreState(FromText(Layout.Panels));
  // The last connection may have hidden the side panels (TCP hides them); they start shown,
  // where and how they were left.
  for (QDockWidget* panel : Panels->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
    panel->show();
}
