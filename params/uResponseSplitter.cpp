#include "params/uResponseSplitter.h"

#include <utility>

void TResponseSplitter::Append(const std::string& Text) {
  FBuffer += Text;
}

void TResponseSplitter::Clear() {
  FBuffer.clear();
}

bool TResponseSplitter::IsEmpty() {
  return FBuffer.empty();
}

std::string TResponseSplitter::NextLine() {
  const size_t end = FBuffer.find_first_of("\r\n");
  if (end == std::string::npos) return std::exchange(FBuffer, std::string());
  std::string line = FBuffer.substr(0, end);
  const size_t next = FBuffer.find_first_not_of("\r\n", end);
  FBuffer.erase(0, next == std::string::npos ? FBuffer.size() : next);
  return line;
}
