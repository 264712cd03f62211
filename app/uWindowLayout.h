// Where the main window sits and how the advanced view's side panels are laid out (docked or
// floating, where, how wide), kept per user in the settings store from one run to the next.
// The main window captures it at exit and restores it at start-up.
#pragma once

#include <string>

class QMainWindow;

// Qt's own geometry and dock-state blobs, as base64 text for the settings store.
struct TWindowLayout {
  std::string Placement;  // the main window's position and size
  std::string Panels;     // the side panels within the advanced view
};

TWindowLayout CaptureWindowLayout(const QMainWindow* Main, const QMainWindow* Panels);

// Puts the windows back as Layout says. Nothing kept (the first start) or a damaged value
// leaves that part as built, and the window is centred on the desktop instead. The side panels
// come back docked or floating where they were, and shown even if they were hidden.
void RestoreWindowLayout(QMainWindow* Main, QMainWindow* Panels, const TWindowLayout& Layout);
