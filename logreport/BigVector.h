// Room for the report's long lists: a year of alarms runs to tens of megabytes, and taking
// that from the system 4 KiB at a time costs more than reading the logs (each page is a
// fault, and a fresh page is cleared). Blocks of a quarter megabyte and more ask for huge
// pages where the system offers them for the asking, and a block given back is kept for the
// next list of the run, its pages already in place. Smaller lists take ordinary memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace logreport {

// A build that checks memory keeps every list where its checker sees it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool BigBlocksChecked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool BigBlocksChecked = true;
#else
inline constexpr bool BigBlocksChecked = false;
#endif
#else
inline constexpr bool BigBlocksChecked = false;
#endif

// Asks the system for the pages of some fresh room in one call, rather than one fault each as
// they are first written: each fault is a trip into the kernel, and a dear one on a virtual
// machine. Only a hint; the room is as it was.
void PrefaultRoom(void* start, std::size_t bytes) noexcept;

// At least bytes, aligned to 64; std::bad_alloc when the system has no room.
[[nodiscard]] void* TakeBigBlock(std::size_t bytes);
void GiveBackBigBlock(void* block) noexcept;

template <typename T>
class HugePageAllocator {
 public:
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  // cppcheck-suppress noExplicitConstructor ; a container makes one for its nodes, as from std::allocator
  HugePageAllocator(const HugePageAllocator<U>& /*other*/) {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= 64);
    if (n > SIZE_MAX / 2 / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < BigFrom) return static_cast<T*>(::operator new(bytes));
    return static_cast<T*>(TakeBigBlock(bytes));
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < BigFrom)
      ::operator delete(p);
    else
      GiveBackBigBlock(p);
  }

  template <typename U>
  bool operator==(const HugePageAllocator<U>& /*other*/) const {
    return true;
  }

 private:
  static constexpr std::size_t BigFrom = BigBlocksChecked ? SIZE_MAX : std::size_t{256} << 10;
};

template <typename T>
using BigVector = std::vector<T, HugePageAllocator<T>>;

}  // namespace logreport
