// The advanced view's find bar: finds text in one of its views (the terminal, the events or
// the modem memo), forwards or backwards with wrap-around, with or without matching case;
// the match is selected and scrolled into view, and every match in sight is marked while the
// bar is open. The main window opens it on a view (Ctrl+F, a pop-up menu's Find...).
#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class TLineView;

class TFindBar : public QWidget {
  Q_OBJECT

 public:
  explicit TFindBar(QWidget* Parent = nullptr);

  // Shows the bar for Target (named Name in the bar), with the find text selected for typing
  // over; a selection of one line in Target becomes the find text.
  void Open(TLineView* Target, const QString& Name);
  // The next match after the selection or cursor (Backward: before it), wrapping round the
  // end. False, and the bar says so, when there is none; the selection then stays as it was.
  bool FindNext(bool Backward);
  TLineView* Target() const { return FTarget; }

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;

 private:
  QPointer<TLineView> FTarget;
  QLabel* FLabel;
  QLineEdit* FText;
  QCheckBox* FMatchCase;
  QLabel* FResult;

  void MarkMatches();
};
