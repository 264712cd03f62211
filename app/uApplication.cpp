#include "app/uApplication.h"

#include "app/uModal.h"
#include "rtl/Exceptions.h"
#include "rtl/Thread.h"

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
  setApplicationName("Tallybox Utility");
  setOrganizationName("Orvane");
}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (...) {
    // Last line of defence for a handler that was not wrapped with Guarded.
    ShowException(std::current_exception());
    return false;
  }
}

void TApplication::ShowException(std::exception_ptr Error) {
  QString text;
  try {
    std::rethrow_exception(Error);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& e) {
    text = ToQ(e.what());
  } catch (...) {
    text = "Unknown error";
  }
  TModal::MessageBox(QApplication::activeWindow(), text, "Tallybox Utility", TModal::MB_ICONERROR);
}

QString ToQ(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string FromQ(const QString& Text) {
  QByteArray bytes = Text.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void InstallMainThreadWake() {
  WakeMainThread = [] {
    // Posted to the application object, so the call runs in the main thread's event loop.
    QMetaObject::invokeMethod(
        qApp, [] { CheckSynchronize(0); }, Qt::QueuedConnection);
  };
}
