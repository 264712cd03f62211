#include "gui/uApplication.h"

#include <QFile>

#include "gui/uModal.h"
#include "rtl/AnsiText.h"
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

QString PathToQ(const std::string& Path) {
  return QFile::decodeName(QByteArray::fromStdString(Path));
}

std::string PathFromQ(const QString& Path) {
  return QFile::encodeName(Path).toStdString();
}

QString ToQ(const std::string& Text) {
  return QString::fromStdU16String(AnsiToUtf16(Text));
}

std::string FromQ(const QString& Text) {
  std::string out;
  char32_t missing = 0;
  if (!Utf16ToAnsi(Text.toStdU16String(), out, missing))
    throw Exception(
        Format("The character U+%04X is not in the device's character set", unsigned(missing)));
  return out;
}

bool FieldToDevice(QWidget* Parent, const QString& Text, const QString& Field, std::string& Out) {
  char32_t missing = 0;
  if (Utf16ToAnsi(Text.toStdU16String(), Out, missing)) return true;
  const QString message = QString(
                              "The %1 holds \u201C%2\u201D, a character the device's character "
                              "set (Windows-1252) does not have. Type it without that "
                              "character.")
                              .arg(Field, QString::fromUcs4(&missing, 1));
  TModal::MessageBox(Parent, message, "Error", TModal::MB_ICONERROR);
  return false;
}

void InstallMainThreadWake() {
  WakeMainThread = [] {
    // Posted to the application object, so the call runs in the main thread's event loop.
    QMetaObject::invokeMethod(
        qApp, [] { CheckSynchronize(0); }, Qt::QueuedConnection);
  };
}
