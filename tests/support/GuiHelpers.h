// Helpers for the window tests: wait while the event loop runs, find controls by their
// object names, and play the user in the connection wizard.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <functional>
#include <string>

#include "gui/uModal.h"

// Runs the event loop until Done holds or Timeout passes; returns Done's last answer.
inline bool WaitUntil(const std::function<bool()>& Done,
                      std::chrono::milliseconds Timeout = std::chrono::milliseconds(20000)) {
  QElapsedTimer timer;
  timer.start();
  while (!Done()) {
    if (timer.elapsed() > Timeout.count()) return Done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

// Lets the event loop run for a while, whatever happens.
inline void Pump(std::chrono::milliseconds Time) {
  WaitUntil([] { return false; }, Time);
}

template <class T>
T* Find(QObject* Root, const char* Name) {
  T* found = Root->findChild<T*>(Name);
  if (!found) ADD_FAILURE() << "no " << Name;
  return found;
}

// What a person sees: the widget and all its ancestors shown, a real size, and its area
// inside its own top-level window, which is shown too. (!isHidden() holds for a widget in
// a hidden parent or in a window nobody showed.)
inline bool OnScreen(const QWidget* Widget) {
  if (!Widget || !Widget->isVisible() || Widget->width() <= 0 || Widget->height() <= 0)
    return false;
  const QWidget* top = Widget->window();
  const QRect area(Widget->mapTo(top, QPoint(0, 0)), Widget->size());
  return top->isVisible() && top->rect().intersects(area);
}

inline void Click(QObject* Root, const char* Name) {
  if (auto* button = Find<QAbstractButton>(Root, Name)) button->click();
}

inline void Trigger(QObject* Root, const char* Name) {
  if (auto* action = Find<QAction>(Root, Name)) action->trigger();
}

// The next wizard showing chooses TCP/IP, types Host and connects.
inline void QueueTcpWizard(const std::string& Host) {
  TModal::SetNextExec([Host](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbTCP")->setChecked(true);
    Click(wizard, "btnNext");
    auto* host = Find<QLineEdit>(wizard, "edHost");
    host->clear();
    QTest::keyClicks(host, QString::fromStdString(Host));
    Click(wizard, "btnNext");
  });
}

// The next wizard showing chooses the serial route on COM<Port> and connects.
inline void QueueSerialWizard(int Port) {
  TModal::SetNextExec([Port](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbSerial")->setChecked(true);
    Click(wizard, "btnNext");
    Find<QComboBox>(wizard, "cbCOMPort")->setCurrentIndex(Port - 1);
    Click(wizard, "btnNext");
  });
}
