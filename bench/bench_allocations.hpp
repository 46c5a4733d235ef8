#pragma once
// A count of the calls of operator new, for the benchmarks that report
// allocations per poll. Include it in one source file of a benchmark program
// only: it replaces the program's operator new.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace skh::bench {
inline std::atomic<std::uint64_t> g_allocations{0};
}  // namespace skh::bench

// The counting operator new pairs malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    skh::bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The nothrow form too (std::stable_sort takes its buffer with it): left to
// the sanitizer's own, its blocks would reach the free below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    skh::bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
