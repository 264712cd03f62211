// Feeds arbitrary device text to a memo's line store in pieces whose sizes come from the input,
// with a small budget and line length so that both bite. No line may pass the length, the
// store may not hold much more than its budget, every kept line must be readable, and the last
// line must end with what was fed last.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "session/uLineStore.h"

namespace {

constexpr int64_t Budget = 4096, MaxLine = 64;

void Check(const TLineStore& Store) {
  if (Store.Count() < 1) std::abort();
  for (int64_t i = 0; i < Store.Count(); ++i)
    if (Store.Text(i).size() > static_cast<size_t>(MaxLine)) std::abort();
  // A partly dropped block and the growing one come on top of the budget.
  if (Store.HeldBytes() > Budget + 4 * static_cast<int64_t>(TLineStore::BlockBytes)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const size_t piece = Data[0] % 97 + 1;
  const std::string_view text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  TLineStore store(100, Budget, MaxLine);
  for (size_t at = 0; at < text.size(); at += piece) {
    store.AppendLines(text.substr(at, std::min(piece, text.size() - at)));
    Check(store);
  }
  const size_t end = text.find_last_of("\r\n");
  const std::string_view tail = end == std::string_view::npos ? text : text.substr(end + 1);
  const std::string_view last = store.Text(store.Count() - 1);
  if (!tail.ends_with(last)) std::abort();
  return 0;
}
