// The QApplication every window test runs in, created once per test program after the view's
// environment and schemes are prepared, and helpers to wait on the HTML view.
#pragma once

#include <string>

class THtmlView;

// Loads Path into View and waits for its LoadFinished; true when it came with Ok.
bool LoadAndWait(THtmlView& View, const std::string& Path);
