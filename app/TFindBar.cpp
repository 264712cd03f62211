#include "app/TFindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TLineView.h"

TFindBar::TFindBar(QWidget* Parent) : QWidget(Parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  FLabel = new QLabel(this);
  FText = new QLineEdit(this);
  FText->setObjectName("edFind");
  FText->setClearButtonEnabled(true);
  auto* next = new QPushButton("&Next", this);
  next->setObjectName("btnFindNext");
  auto* previous = new QPushButton("&Previous", this);
  previous->setObjectName("btnFindPrevious");
  FMatchCase = new QCheckBox("Match &case", this);
  FMatchCase->setObjectName("cbMatchCase");
  FResult = new QLabel(this);
  FResult->setObjectName("lblFindResult");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("btnFindClose");
  for (QWidget* w : {static_cast<QWidget*>(FLabel), static_cast<QWidget*>(FText),
                     static_cast<QWidget*>(next), static_cast<QWidget*>(previous),
                     static_cast<QWidget*>(FMatchCase), static_cast<QWidget*>(FResult)})
    layout->addWidget(w, w == FText ? 1 : 0);
  layout->addStretch();
  layout->addWidget(close);
  connect(next, &QPushButton::clicked, this, [this] { FindNext(false); });
  connect(previous, &QPushButton::clicked, this, [this] { FindNext(true); });
  connect(FText, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
  connect(FText, &QLineEdit::textChanged, FResult, &QLabel::clear);
  connect(FText, &QLineEdit::textChanged, this, &TFindBar::MarkMatches);
  connect(FMatchCase, &QCheckBox::toggled, this, &TFindBar::MarkMatches);
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

void TFindBar::Open(TLineView* Target, const QString& Name) {
  if (FTarget && FTarget != Target) FTarget->SetHighlight({}, false);
  FTarget = Target;
  FLabel->setText("Find in " + Name + ":");
  const QString selected = Target->SelectedText();
  if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n'))) FText->setText(selected);
  FResult->clear();
  show();
  MarkMatches();
  FText->setFocus();
  FText->selectAll();
}

bool TFindBar::FindNext(bool Backward) {
  FResult->clear();
  if (!FTarget || FText->text().isEmpty()) return false;
  if (FTarget->Find(FText->text(), FMatchCase->isChecked(), Backward)) return true;
  FResult->setText("Not found");
  return false;
}

void TFindBar::MarkMatches() {
  if (FTarget && isVisible()) FTarget->SetHighlight(FText->text(), FMatchCase->isChecked());
}

// Also when the advanced view comes back with the bar still open.
void TFindBar::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  MarkMatches();
}

void TFindBar::hideEvent(QHideEvent* Event) {
  if (FTarget) FTarget->SetHighlight({}, false);
  QWidget::hideEvent(Event);
}

void TFindBar::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape) {
    hide();
    if (FTarget) FTarget->setFocus();
    return;
  }
  QWidget::keyPressEvent(Event);
}
