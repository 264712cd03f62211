// The texts of the file dialogs and message boxes of the register pages, in the "|"-separated
// filter form the dialogs are described in, with the conversion to Qt's filter string. The
// main window's Load/Save Registers and Diagnostics use them.
#pragma once

#include <string>
#include <string_view>

struct TFileDialogText {
  std::string_view Title;
  std::string_view DefaultExt;
  std::string_view Filter;  // description|patterns|description|patterns...
};

inline constexpr TFileDialogText kOpenRegistersDialog{
    "Open Registers", "rgp", "Registers (*.rgp)|*.rgp|All Files (*.*)|*.*"};
inline constexpr TFileDialogText kSaveRegistersDialog{
    "Save Registers", "rgp", "Registers (*.rgp)|*.rgp|All files (*.*)|*.*"};
inline constexpr TFileDialogText kSaveInfoDialog{"Save Info", "txt",
                                                 "Text file (*.txt)|*.txt|All files (*.*)|*.*"};

// The preset file pattern the open dialog starts with, inside the preset folder.
inline constexpr std::string_view kPresetFileMask = "*.rgp";

inline constexpr std::string_view kInfoTitle = "Info";
inline constexpr std::string_view kDiagnosticsMessage =
    "Diagnostics information now on the clipboard\r\n(Paste into an email for sending)";

// The Save dialog after a registers read (true) or a status read (false).
const TFileDialogText& SaveDialogText(bool RegistersShown);

// "Registers (*.rgp)|*.rgp|All Files (*.*)|*.*" -> "Registers (*.rgp);;All Files (*.*)".
// Qt takes a filter's patterns from the parentheses that end its description, with blanks
// between them: a description ending in its own patterns gets them in Qt's form, any other
// gets them appended ("Text|*.txt;*.log" and "Text (*.txt;*.log)|*.txt;*.log" both give
// "Text (*.txt *.log)"). A trailing description without patterns is dropped; an empty
// filter gives "".
std::string QtFileFilter(std::string_view PipeFilter);
