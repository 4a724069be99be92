// Large buffers mapped for huge pages.
#include "platform/recordset/large_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace wayfind::platform {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t pageSize() {
  static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

size_t roundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

void* allocateLarge(size_t bytes) {
  if (bytes == 0) return nullptr;
  const size_t length = roundUp(bytes, pageSize());
  // Map a huge page more than asked, then unmap the parts before the first 2 MB
  // boundary and after the end, so the buffer starts on a boundary.
  const size_t padded = length + kHugePage;
  void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = roundUp(start, kHugePage);
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t end = aligned + length;
  if (start + padded > end) ::munmap(reinterpret_cast<void*>(end), start + padded - end);
#ifdef MADV_HUGEPAGE
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

size_t shrinkLarge(void* buffer, size_t bytes, size_t keep) {
  const size_t length = roundUp(bytes, pageSize());
  const size_t kept = roundUp(keep, pageSize());
  if (!buffer || kept >= length) return bytes;
  ::munmap(static_cast<char*>(buffer) + kept, length - kept);
  return kept;
}

void freeLarge(void* buffer, size_t bytes) {
  if (buffer) ::munmap(buffer, roundUp(bytes, pageSize()));
}

void adviseHugePages(const void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (!block || bytes < 2 * kHugePage) return;
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = roundUp(start, kHugePage);
  const uintptr_t end = (start + bytes) / kHugePage * kHugePage;
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace wayfind::platform
