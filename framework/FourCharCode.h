// Four-character codes: the record's magic, unique identifiers and identify answers.
#pragma once

#include <cstdint>

// The first character lands in the most significant byte, so 'VstP' is 0x56737450.
constexpr std::int32_t fourCharCode(char a, char b, char c, char d) {
    const auto byte = [](char ch) { return static_cast<std::uint32_t>(static_cast<unsigned char>(ch)); };
    return static_cast<std::int32_t>((byte(a) << 24) | (byte(b) << 16) | (byte(c) << 8) | byte(d));
}

static_assert(fourCharCode('V', 's', 't', 'P') == 0x56737450);
