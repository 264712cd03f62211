// Every modal interaction of the program goes through here: message boxes, file dialogs and
// the modal showing of a window. A test queues the next answer; the program shows the real
// dialog. Under test, reaching a dialog with nothing queued stops the run with the dialog's
// text instead of blocking forever.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

class TModal {
 public:
  // Message-box flags as the program passes them: icon in the high nibble, buttons below.
  static constexpr unsigned MB_OK = 0x00;
  static constexpr unsigned MB_ICONERROR = 0x10;
  static constexpr unsigned MB_ICONINFORMATION = 0x40;

  // What a test can check afterwards: each message box and file dialog that came up.
  enum class TKind { Message, Open, Save };
  struct TShownMessage {
    QString Title, Text;  // for a file dialog: its title and filter
    unsigned Flags = 0;
    TKind Kind = TKind::Message;
    QString Folder, DefaultSuffix;  // file dialogs only
    QString Over;                   // object name of the window it went over
  };

  // The window a dialog goes over: a stay-on-top window that is up (the progress window,
  // which the user would otherwise see frozen in front of the box), else the modal window,
  // else Parent's window, else the active one.
  static QWidget* TopWindow(QWidget* Parent);

  static int MessageBox(QWidget* Parent, const QString& Text, const QString& Title, unsigned Flags);
  // The chosen file name, or empty when the user cancelled. Filter is in Qt's form.
  static QString OpenFileName(QWidget* Parent, const QString& Title, const QString& Folder,
                              const QString& Filter, const QString& DefaultSuffix);
  static QString SaveFileName(QWidget* Parent, const QString& Title, const QString& Folder,
                              const QString& Filter, const QString& DefaultSuffix);
  // Shows the dialog modally and returns its result code.
  static int Exec(QDialog* Dialog);

  // The test side. In test mode every dialog needs a queued answer.
  static void SetTestMode(bool On);
  static void SetNextAnswer(int Button);
  static void SetNextFileName(const QString& FileName);  // empty = the user cancels
  // Runs instead of the dialog's event loop: it drives the shown dialog and ends it.
  static void SetNextExec(std::function<void(QDialog*)> Driver);
  static const std::vector<TShownMessage>& ShownMessages();
  static void ClearShownMessages();
  static bool AllAnswersUsed();
};
