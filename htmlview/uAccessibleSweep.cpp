#include "htmlview/uAccessibleSweep.h"

#include <QAccessible>
#include <algorithm>

namespace {

// A node's object is a plain QObject; its interface is found in the accessibility cache only
// while the node lives (a plain QObject gets no interface of its own).
bool IsLiveNode(QObject* Object) {
  return Object->metaObject() == &QObject::staticMetaObject &&
         QAccessible::queryAccessibleInterface(Object) != nullptr;
}

bool AnyLiveBelow(QObject* Object) {
  const QList<QObject*> below = Object->findChildren<QObject*>();
  return std::any_of(below.begin(), below.end(), IsLiveNode);
}

int CountWithChildren(QObject* Object) {
  return 1 + static_cast<int>(Object->findChildren<QObject*>().size());
}

}  // namespace

int TAccessibleSweep::Sweep() {
  std::erase_if(FNodes, [](const QPointer<QObject>& Node) { return Node.isNull(); });
  for (QObject* object : FRoot->findChildren<QObject*>())
    if (IsLiveNode(object) && std::find(FNodes.begin(), FNodes.end(), object) == FNodes.end())
      FNodes.emplace_back(object);
  int freed = 0;
  for (const QPointer<QObject>& node : FNodes) {
    // A node freed with one above it is null by now.
    if (node.isNull() || QAccessible::queryAccessibleInterface(node) || AnyLiveBelow(node))
      continue;
    freed += CountWithChildren(node);
    delete node.data();
  }
  std::erase_if(FNodes, [](const QPointer<QObject>& Node) { return Node.isNull(); });
  return freed;
}
