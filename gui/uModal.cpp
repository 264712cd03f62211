#include "gui/uModal.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>

namespace {

struct TQueues {
  bool TestMode = false;
  std::deque<int> Answers;
  std::deque<QString> FileNames;
  std::deque<std::function<void(QDialog*)>> Execs;
  std::vector<TModal::TShownMessage> Shown;
};

TQueues& Queues() {
  static TQueues queues;
  return queues;
}

[[noreturn]] void Unanswered(const QString& What) {
  std::fprintf(stderr, "A dialog was shown with no answer queued: %s\n", qPrintable(What));
  std::fflush(stderr);
  std::abort();
}

QMessageBox::Icon IconOf(unsigned Flags) {
  switch (Flags & 0xF0) {
    case TModal::MB_ICONERROR:
      return QMessageBox::Critical;
    case TModal::MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Sets a dialog's owner window as the dialog shows: its native window exists by then and is not
// on screen yet. (Making it earlier through winId() marks the dialog a native widget, and the
// toolkit then turns every child of the dialog's parent (menu bar, tool bar, status bar) into
// a native window of its own; beside the web view those are never repainted.)
class TOverWhenShown : public QObject {
 public:
  TOverWhenShown(QDialog* Dialog, QWidget* Over) : FOver(Over) { Dialog->installEventFilter(this); }

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Show)
      if (QWindow* window = static_cast<QWidget*>(Watched)->windowHandle())
        window->setTransientParent(FOver->windowHandle());
    return false;
  }

 private:
  QWidget* FOver;
};

QString NameOf(const QWidget* Window) {
  return Window ? Window->objectName() : QString();
}

QString FileName(QWidget* Parent, QFileDialog::AcceptMode Mode, const QString& Title,
                 const QString& Folder, const QString& Filter, const QString& DefaultSuffix) {
  auto& queues = Queues();
  Parent = TModal::TopWindow(Parent);
  queues.Shown.push_back(
      {Title, Filter, 0,
       Mode == QFileDialog::AcceptOpen ? TModal::TKind::Open : TModal::TKind::Save, Folder,
       DefaultSuffix, NameOf(Parent)});
  if (queues.TestMode) {
    if (queues.FileNames.empty()) Unanswered(Title);
    QString name = queues.FileNames.front();
    queues.FileNames.pop_front();
    return name;
  }
  QFileDialog dialog(Parent, Title, Folder, Filter);
  dialog.setAcceptMode(Mode);
  dialog.setDefaultSuffix(DefaultSuffix);
  dialog.setFileMode(Mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace

QWidget* TModal::TopWindow(QWidget* Parent) {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible() && (window->windowFlags() & Qt::WindowStaysOnTopHint)) return window;
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return Parent ? Parent->window() : QApplication::activeWindow();
}

int TModal::MessageBox(QWidget* Parent, const QString& Text, const QString& Title, unsigned Flags) {
  auto& queues = Queues();
  Parent = TopWindow(Parent);
  queues.Shown.push_back({Title, Text, Flags, TKind::Message, {}, {}, NameOf(Parent)});
  if (queues.TestMode) {
    if (queues.Answers.empty()) Unanswered(Title + ": " + Text);
    int answer = queues.Answers.front();
    queues.Answers.pop_front();
    return answer;
  }
  QMessageBox box(IconOf(Flags), Title, Text, QMessageBox::Ok, Parent);
  return box.exec();
}

QString TModal::OpenFileName(QWidget* Parent, const QString& Title, const QString& Folder,
                             const QString& Filter, const QString& DefaultSuffix) {
  return FileName(Parent, QFileDialog::AcceptOpen, Title, Folder, Filter, DefaultSuffix);
}

QString TModal::SaveFileName(QWidget* Parent, const QString& Title, const QString& Folder,
                             const QString& Filter, const QString& DefaultSuffix) {
  return FileName(Parent, QFileDialog::AcceptSave, Title, Folder, Filter, DefaultSuffix);
}

int TModal::Exec(QDialog* Dialog) {
  auto& queues = Queues();
  // Over the top-most window without taking the dialog from its owner.
  QWidget* over = TopWindow(Dialog->parentWidget());
  std::optional<TOverWhenShown> placing;
  if (over && over != Dialog) placing.emplace(Dialog, over);
  if (!queues.TestMode) return Dialog->exec();
  if (queues.Execs.empty()) Unanswered(Dialog->windowTitle());
  auto driver = std::move(queues.Execs.front());
  queues.Execs.pop_front();
  // The dialog goes through its own showing steps; the driver plays the user and ends it.
  Dialog->setResult(QDialog::Rejected);
  Dialog->show();
  driver(Dialog);
  if (Dialog->isVisible()) Dialog->done(QDialog::Rejected);
  return Dialog->result();
}

void TModal::SetTestMode(bool On) {
  Queues().TestMode = On;
}
void TModal::SetNextAnswer(int Button) {
  Queues().Answers.push_back(Button);
}
void TModal::SetNextFileName(const QString& FileName) {
  Queues().FileNames.push_back(FileName);
}
void TModal::SetNextExec(std::function<void(QDialog*)> Driver) {
  Queues().Execs.push_back(std::move(Driver));
}
const std::vector<TModal::TShownMessage>& TModal::ShownMessages() {
  return Queues().Shown;
}
void TModal::ClearShownMessages() {
  Queues().Shown.clear();
}
bool TModal::AllAnswersUsed() {
  auto& queues = Queues();
  return queues.Answers.empty() && queues.FileNames.empty() && queues.Execs.empty();
}
