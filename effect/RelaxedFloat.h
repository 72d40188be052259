// Relaxed atomic access to a float that one thread writes while another reads it:
// a parameter value or a filter coefficient. On x86 these are plain moves. They
// keep the compiler from tearing or caching the value and make the sharing
// visible to ThreadSanitizer, and they take no lock and never read-modify-write,
// so the audio thread can use them.
#pragma once

#include <atomic>
#include <version>

// Where the standard library lacks std::atomic_ref (the libc++ of the web build's
// compiler), the compiler's own atomic built-ins do the same relaxed accesses; GCC
// and clang both provide them for any 4-byte type.
inline float loadRelaxed(const float& value) {
#if defined(__cpp_lib_atomic_ref)
    // atomic_ref needs a non-const reference; the value is only read.
    return std::atomic_ref<float>(const_cast<float&>(value)).load(std::memory_order_relaxed);
#else
    float result;
    __atomic_load(&value, &result, __ATOMIC_RELAXED);
    return result;
#endif
}

inline void storeRelaxed(float& target, float value) {
#if defined(__cpp_lib_atomic_ref)
    std::atomic_ref<float>(target).store(value, std::memory_order_relaxed);
#else
    __atomic_store(&target, &value, __ATOMIC_RELAXED);
#endif
}
