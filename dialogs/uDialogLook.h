// Small look-and-feel helpers the program's dialogs share: the white header band with its
// bold heading, and centring a window on the screen.
#pragma once

class QFrame;
class QLabel;
class QWidget;

void StyleHeaderBand(QFrame* Band, QLabel* Heading);
void CentreOnScreen(QWidget* Window);
