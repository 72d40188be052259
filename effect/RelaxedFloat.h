// Relaxed atomic access to a float that one thread writes while another reads it:
// a parameter value or a filter coefficient. On x86 these are plain moves. They
// keep the compiler from tearing or caching the value and make the sharing
// visible to ThreadSanitizer, and they take no lock and never read-modify-write,
// so the audio thread can use them.
#pragma once

#include <atomic>

inline float loadRelaxed(const float& value) {
    // atomic_ref needs a non-const reference; the value is only read.
    return std::atomic_ref<float>(const_cast<float&>(value)).load(std::memory_order_relaxed);
}

inline void storeRelaxed(float& target, float value) {
    std::atomic_ref<float>(target).store(value, std::memory_order_relaxed);
}
