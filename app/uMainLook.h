// How the main window looks beyond its form: the advanced view's dockable side panels, the
// monospace memos, the status bar panels and the action icons (the desktop's icon theme,
// with the program's own pictures where the theme has none).
#pragma once

class QLabel;
class QMainWindow;
class QStatusBar;
class QWidget;
class QDockWidget;
class QFont;
namespace Ui {
class TfmMain;
}

// Puts Terminal in the middle of Page with the modem and events panels docked to its right;
// the user can drag either panel out into a floating window. Returns the inner window.
QMainWindow* LayOutAdvancedView(QWidget* Page, QWidget* Terminal, QDockWidget* Modem,
                                QDockWidget* Events);
// "Lucida Console" at PixelSize, else a fixed-pitch face this desktop has.
QFont ConsoleFont(int PixelSize);
void StyleMemos(QWidget* Modem, QWidget* Events);
QLabel* AddStatusPanel(QStatusBar* Bar, const char* Name, int Width, int Stretch);
void SetActionIcons(Ui::TfmMain* Form);
