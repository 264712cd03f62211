// The events and modem memos: read-only lines from the device, each broken at MemoLineBytes,
// the last MemoLines of them kept (fewer where they would pass MemoBytes), drawn only where in
// sight. The main window appends
// to them; the user selects, copies and finds.
#pragma once

#include <string>

#include "app/TLineView.h"
#include "session/uLineStore.h"

class TMemoView : public TLineView {
  Q_OBJECT

 public:
  explicit TMemoView(QWidget* Parent = nullptr);

  // Text (8-bit device bytes) at the end, lines broken at CR LF, a lone CR or a lone LF; a
  // CR LF split between two calls is one break. The end comes into view if it was in view.
  void AppendText(const std::string& Text);
  void clear();
  const TLineStore& Lines() const { return FLines; }

 private:
  TLineStore FLines;
};

// Appends Text (8-bit device bytes, Latin-1 on screen) to the end of Memo; the memo then keeps
// its last MemoLines lines, and text that would not be among them is never stored. A null Memo
// or empty Text does nothing.
void AppendToMemo(TMemoView* Memo, const std::string& Text);

// Line (Latin-1) on a line of its own at the end of Memo, as AppendToMemo appends.
void AppendLineToMemo(TMemoView* Memo, const std::string& Line);
