#include "session/uPageDialogs.h"

#include <gtest/gtest.h>

TEST(PageDialogs, SaveDialogFollowsTheLastPageRead) {
  const TFileDialogText& regs = SaveDialogText(true);
  EXPECT_EQ(regs.Title, "Save Registers");
  EXPECT_EQ(regs.DefaultExt, "rgp");
  EXPECT_EQ(regs.Filter, "Registers (*.rgp)|*.rgp|All files (*.*)|*.*");
  const TFileDialogText& info = SaveDialogText(false);
  EXPECT_EQ(info.Title, "Save Info");
  EXPECT_EQ(info.DefaultExt, "txt");
  EXPECT_EQ(info.Filter, "Text file (*.txt)|*.txt|All files (*.*)|*.*");
  EXPECT_EQ(kOpenRegistersDialog.Title, "Open Registers");
  EXPECT_EQ(kDiagnosticsMessage,
            "Diagnostics information now on the clipboard\r\n(Paste into an email for sending)");
}

TEST(PageDialogs, PipeFiltersBecomeQtFilters) {
  const std::pair<std::string_view, std::string> filters[] = {
      {kOpenRegistersDialog.Filter, "Registers (*.rgp);;All Files (*.*)"},
      {kSaveRegistersDialog.Filter, "Registers (*.rgp);;All files (*.*)"},
      {kSaveInfoDialog.Filter, "Text file (*.txt);;All files (*.*)"},
      {"Logs|*.txt;*.log", "Logs (*.txt *.log)"},
      {"Logs (*.txt;*.log)|*.txt;*.log", "Logs (*.txt *.log)"},
      {"Logs (*.log)|*.txt", "Logs (*.log) (*.txt)"},
      {"|*.rgp", "(*.rgp)"},
      {"Registers|*.rgp|Trailing", "Registers (*.rgp)"},
      {"Trailing", ""},
      {"", ""},
  };
  for (const auto& [pipe, qt] : filters) EXPECT_EQ(QtFileFilter(pipe), qt) << pipe;
}
