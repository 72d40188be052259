// The little of the C++ runtime the plug-in file needs, on top of the C library.
// With these, nothing of the exception-handling runtime is linked in, so the file
// depends on libc and libm alone. The definitions stay private to the file: the
// version script exports nothing but the entry point.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    // The effect allocates only through the nothrow form; an allocation failure
    // anywhere else has no caller that could recover.
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        std::abort();
    }
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

extern "C" void __cxa_pure_virtual() { std::abort(); }
extern "C" void __cxa_deleted_virtual() { std::abort(); }
