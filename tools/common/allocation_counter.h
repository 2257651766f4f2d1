// Counts the program's heap allocations by replacing the global operator new. Include it in exactly
// one source file of a program that wants the count.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocation_counter {
inline std::size_t count = 0;
}

// AddressSanitizer keeps operator new for itself; the count then stays 0 and `enabled` says so.
#if defined(__SANITIZE_ADDRESS__)
namespace allocation_counter {
inline constexpr bool enabled = false;
}
#else
namespace allocation_counter {
inline constexpr bool enabled = true;
}

void* operator new(std::size_t size) {
  ++allocation_counter::count;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
#endif
