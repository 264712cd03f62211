// The common root for objects that containers of untyped pointers may own and destroy
// "as an object" (the default release of the sorted lists); a virtual destructor is all.
#pragma once

class TObject {
 public:
  virtual ~TObject() = default;
};
