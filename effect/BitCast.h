// bitCast: the object representation of one trivially copyable type read as
// another of the same size. It is std::bit_cast where the standard library has
// it; older libraries (the libc++ 13 that the web build's compiler ships) get the
// copy below, which compilers reduce to a register move.
#pragma once

#include <cstring>
#include <type_traits>
#include <version>

#if defined(__cpp_lib_bit_cast)
#include <bit>
#endif

template <class To, class From>
requires(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>) inline To
    bitCast(const From& from) {
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
#endif
}
