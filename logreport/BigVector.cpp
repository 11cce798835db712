#include "logreport/BigVector.h"

#include <sys/mman.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

namespace logreport {
namespace {
constexpr std::size_t HugePage = std::size_t{2} << 20;
// Each block starts with its length, the list's room after it.
constexpr std::size_t Header = 64;

struct Parked {
  void* start = nullptr;
  std::size_t length = 0;
};

// A few blocks given back, for the next lists; the run's peak bounds what they hold.
std::mutex parkedLock;
std::array<Parked, 4> parked;

void* Map(std::size_t length) {
  // A huge page must start on its own boundary: map one more and give back the ends.
  // cppcheck-suppress invalidFunctionArg ; -1 is the file descriptor that anonymous memory asks for
  void* mapped = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  char* const start = static_cast<char*>(mapped);
  const std::size_t skip = (HugePage - reinterpret_cast<std::uintptr_t>(start) % HugePage) % HugePage;
  char* const aligned = start + skip;
  if (skip > 0) ::munmap(start, skip);
  ::munmap(aligned + length, HugePage - skip);
  ::madvise(aligned, length, MADV_HUGEPAGE);  // a hint: ordinary pages otherwise
  return aligned;
}

// The smallest parked block that holds length bytes, or none.
void* TakeParked(std::size_t length) {
  const std::lock_guard<std::mutex> hold(parkedLock);
  Parked* best = nullptr;
  for (Parked& block : parked)
    if (block.start != nullptr && block.length >= length && (best == nullptr || block.length < best->length))
      best = &block;
  if (best == nullptr) return nullptr;
  void* start = best->start;
  *static_cast<std::size_t*>(start) = best->length;
  *best = {};
  return start;
}
}  // namespace

void PrefaultRoom(void* start, std::size_t bytes) noexcept {
#ifdef MADV_POPULATE_WRITE
  // The whole pages within the room: the pages at its ends may hold other things.
  constexpr std::size_t Page = 4096;
  char* const first = static_cast<char*>(start);
  const std::size_t skip = (Page - reinterpret_cast<std::uintptr_t>(first) % Page) % Page;
  if (bytes <= skip) return;
  const std::size_t whole = (bytes - skip) & ~(Page - 1);
  if (whole > 0) ::madvise(first + skip, whole, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}

void* TakeBigBlock(std::size_t bytes) {
  if (bytes > SIZE_MAX - Header - 2 * HugePage) throw std::bad_alloc();
  const std::size_t length = (bytes + Header + HugePage - 1) & ~(HugePage - 1);
  void* start = TakeParked(length);
  if (start == nullptr) {
    start = Map(length);
    *static_cast<std::size_t*>(start) = length;
  }
  return static_cast<char*>(start) + Header;
}

void GiveBackBigBlock(void* block) noexcept {
  Parked given{static_cast<char*>(block) - Header, 0};
  given.length = *static_cast<std::size_t*>(given.start);
  {
    // Parked in a free place, or in place of a smaller block, which goes back to the system.
    const std::lock_guard<std::mutex> hold(parkedLock);
    Parked* place = nullptr;
    for (Parked& slot : parked)
      if (place == nullptr || slot.length < place->length) place = &slot;
    if (place->length < given.length) std::swap(*place, given);
  }
  if (given.start != nullptr) ::munmap(given.start, given.length);
}

}  // namespace logreport
