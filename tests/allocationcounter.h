#pragma once

// Counts heap allocations while armed, through the AddressSanitizer runtime's
// hooks; without AddressSanitizer nothing is counted and tests skip.

#include <atomic>
#include <cstddef>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#define KESTROX_COUNTS_ALLOCATIONS 1
// From the sanitizer runtime, whose header does not ship with every compiler.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, std::size_t),
                                                         void (*)(const volatile void *));
#endif

class AllocationCounter
{
public:
    // Call once, before any counting (initTestCase).
    static void install()
    {
#if defined(KESTROX_COUNTS_ALLOCATIONS)
        __sanitizer_install_malloc_and_free_hooks(
            [](const volatile void *, std::size_t size) {
                if (armed() && std::this_thread::get_id() == owner()) {
                    ++count();
                    std::size_t seen = largest();
                    while (size > seen && !largest().compare_exchange_weak(seen, size)) {
                    }
                }
            },
            [](const volatile void *) {});
#endif
    }
    // Counts the calling thread's allocations from now on.
    static void start()
    {
        count() = 0;
        largest() = 0;
        owner() = std::this_thread::get_id();
        armed() = true;
    }
    // The largest block asked for since start().
    static std::size_t largestBlock() { return largest(); }
    static int stop()
    {
        armed() = false;
        return count();
    }

private:
    static std::atomic<bool> &armed()
    {
        static std::atomic<bool> value{false};
        return value;
    }
    static std::atomic<int> &count()
    {
        static std::atomic<int> value{0};
        return value;
    }
    static std::atomic<std::thread::id> &owner()
    {
        static std::atomic<std::thread::id> value{};
        return value;
    }
    static std::atomic<std::size_t> &largest()
    {
        static std::atomic<std::size_t> value{0};
        return value;
    }
};
