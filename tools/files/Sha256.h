// SHA-256 (FIPS 180-4), for the digest of each output in a batch's report, so that a
// finished run can be checked with sha256sum against what the tool wrote.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    // With `useProcessorExtensions`, blocks go through the processor's SHA
    // instructions where it has them (x86's SHA extensions: some eight times as
    // fast as the portable code, which would otherwise take as long as the render
    // whose output it reads back).
    explicit Sha256(bool useProcessorExtensions = true);
    void update(const unsigned char* bytes, std::size_t size);
    // The digest as 64 lowercase hexadecimal digits, as sha256sum prints it. Call once.
    std::string finishHex();

private:
    void compress(const unsigned char* blocks, std::size_t count);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
    bool extensions_;
};

// The digest of a whole file's bytes. Throws ToolError("cannot read <path>: <reason>").
std::string sha256OfFile(const std::string& path);
