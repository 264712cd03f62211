// The application object and its one place for errors: an exception that escapes an event
// handler is shown in a message box with its text; the silent abort shows nothing.
#pragma once

#include <QApplication>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

class TApplication : public QApplication {
 public:
  TApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;

  static void ShowException(std::exception_ptr Error);
};

// Wraps a handler so that whatever it raises reaches TApplication::ShowException instead of
// unwinding through the toolkit. A handler that takes no arguments ignores the signal's.
template <class THandler>
auto Guarded(THandler Handler) {
  return [Handler = std::move(Handler)](auto&&... Args) {
    try {
      if constexpr (std::is_invocable_v<const THandler&, decltype(Args)...>)
        Handler(std::forward<decltype(Args)>(Args)...);
      else
        Handler();
    } catch (...) {
      TApplication::ShowException(std::current_exception());
    }
  };
}

// Device texts are 8-bit in the device's code page (Windows-1252); widgets hold Unicode.
// FromQ raises Exception naming the first character the code page cannot hold.
QString ToQ(const std::string& Text);
std::string FromQ(const QString& Text);
// File paths go to and from widgets by the system's own file name encoding (UTF-8 here), never
// through the device's code page.
QString PathToQ(const std::string& Path);
std::string PathFromQ(const QString& Path);
// Text typed into a field (Field names it for the user), for the device: false, after an
// error box naming the character the code page cannot hold, instead of sending a "?".
bool FieldToDevice(QWidget* Parent, const QString& Text, const QString& Field, std::string& Out);

// Workers wake the main thread through this when they queue a call for it; installed once,
// before any worker starts.
void InstallMainThreadWake();
