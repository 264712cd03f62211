#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local uint64_t Allocations = 0;

void* Allocate(std::size_t Size) {
  ++Allocations;
  if (void* p = std::malloc(Size ? Size : 1)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(std::size_t Size, std::align_val_t Align) {
  ++Allocations;
  const auto a = static_cast<std::size_t>(Align);
  if (void* p = std::aligned_alloc(a, (Size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}
}  // namespace

uint64_t AllocationCounter::Count() {
  return Allocations;
}

void* operator new(std::size_t Size) {
  return Allocate(Size);
}
void* operator new[](std::size_t Size) {
  return Allocate(Size);
}
void* operator new(std::size_t Size, std::align_val_t Align) {
  return AllocateAligned(Size, Align);
}
void* operator new[](std::size_t Size, std::align_val_t Align) {
  return AllocateAligned(Size, Align);
}
void operator delete(void* P) noexcept {
  std::free(P);
}
void operator delete[](void* P) noexcept {
  std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
  std::free(P);
}
void operator delete[](void* P, std::size_t) noexcept {
  std::free(P);
}
void operator delete(void* P, std::align_val_t) noexcept {
  std::free(P);
}
void operator delete[](void* P, std::align_val_t) noexcept {
  std::free(P);
}
void operator delete(void* P, std::size_t, std::align_val_t) noexcept {
  std::free(P);
}
void operator delete[](void* P, std::size_t, std::align_val_t) noexcept {
  std::free(P);
}
