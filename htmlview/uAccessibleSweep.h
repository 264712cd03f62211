// Frees what the web engine leaves behind of the accessibility trees of pages no longer shown.
// While an accessibility client (a screen reader) is active, the engine gives each node of a
// page's tree a plain QObject, parented to the object of the node above it (the top node's to
// the view), and keeps it when the node goes: every page shown would stay in memory, about
// sixty objects each with the cache's connection to it, until the view closes. THtmlView sweeps
// after every page it shows.
#pragma once

#include <QPointer>
#include <vector>

class TAccessibleSweep {
 public:
  // Root: the web view, whose descendants hold the trees.
  explicit TAccessibleSweep(QObject* Root) : FRoot(Root) {}

  // Notes the node objects alive now and frees those left behind: objects seen here with an
  // accessible interface that no longer have one, with nothing alive below them. Objects never
  // seen with an interface are the engine's own and never touched; without a client there are
  // none to see. Returns how many objects it freed (their children included).
  int Sweep();

 private:
  QObject* FRoot;
  std::vector<QPointer<QObject>> FNodes;  // seen with an interface; null once gone
};
