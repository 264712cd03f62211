#include "app/TMemoView.h"

#include "session/uViewLimits.h"

TMemoView::TMemoView(QWidget* Parent)
    : TLineView(Parent), FLines(MemoLines, MemoBytes, MemoLineBytes) {
  SetSource(&FLines);
}

void TMemoView::AppendText(const std::string& Text) {
  if (Text.empty()) return;
  // A long text's lines that would go at once are never stored.
  FLines.AppendLines(Text.size() > 4096 ? KeepLastLines(Text, MemoLines) : Text);
  LinesChanged();
}

void TMemoView::clear() {
  FLines.Clear();
  LinesChanged(true);
}

void AppendToMemo(TMemoView* Memo, const std::string& Text) {
  if (Memo != nullptr) Memo->AppendText(Text);
}

void AppendLineToMemo(TMemoView* Memo, const std::string& Line) {
  if (Memo == nullptr) return;
  const TLineStore& lines = Memo->Lines();
  const bool lineStarted = !lines.Text(lines.Count() - 1).empty();
  Memo->AppendText((lineStarted ? "\r\n" : "") + Line + "\r\n");
}
