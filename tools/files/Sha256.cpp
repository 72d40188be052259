// The message is taken in 64-byte blocks; the last one is padded with a 1 bit, zeros
// and the message's length in bits as a big-endian 64-bit number (FIPS 180-4, 5.1.1).
#include "Sha256.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "ToolError.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define BREVANDER_SHA_EXTENSIONS 1
#endif

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotateRight(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compressPortably(std::array<std::uint32_t, 8>& state, const unsigned char* block) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) {
        w[t] = static_cast<std::uint32_t>(block[4 * t]) << 24 | static_cast<std::uint32_t>(block[4 * t + 1]) << 16 |
               static_cast<std::uint32_t>(block[4 * t + 2]) << 8 | static_cast<std::uint32_t>(block[4 * t + 3]);
    }
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = rotateRight(w[t - 15], 7) ^ rotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = rotateRight(w[t - 2], 17) ^ rotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t sum1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
        const std::uint32_t choose = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + sum1 + choose + kRound[t] + w[t];
        const std::uint32_t sum0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = sum0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#ifdef BREVANDER_SHA_EXTENSIONS
bool processorHasShaExtensions() {
    static const bool has = __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1");
    return has;
}

// The rounds instruction works on the state as two halves, ABEF and CDGH, and does
// two rounds per call; the message schedule instructions give four words of the
// schedule at a time: msg1 adds sigma0 of the next words to W[t-16..t-13], the
// words W[t-7..t-4] are added by hand, and msg2 adds sigma1 of the words just made.
__attribute__((target("sha,sse4.1"))) void compressWithExtensions(std::array<std::uint32_t, 8>& state,
                                                                  const unsigned char* blocks, std::size_t count) {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    const __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (std::size_t block = 0; block < count; ++block) {
        const unsigned char* bytes = blocks + 64 * block;
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i words;
            if (group < 4) {
                words =
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * group)), bigEndian);
            } else {
                const __m128i& older = w[group % 4];
                const __m128i& previous = w[(group + 3) % 4];
                __m128i sum = _mm_sha256msg1_epu32(older, w[(group + 1) % 4]);
                sum = _mm_add_epi32(sum, _mm_alignr_epi8(previous, w[(group + 2) % 4], 4));
                words = _mm_sha256msg2_epu32(sum, previous);
            }
            w[group % 4] = words;
            __m128i k = _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
Sha256::Sha256(bool useProcessorExtensions)
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
#ifdef BREVANDER_SHA_EXTENSIONS
      extensions_(useProcessorExtensions && processorHasShaExtensions()) {
}
#else
      extensions_(false) {
    (void)useProcessorExtensions;
}
#endif

void Sha256::compress(const unsigned char* blocks, std::size_t count) {
#ifdef BREVANDER_SHA_EXTENSIONS
    if (extensions_) {
        compressWithExtensions(state_, blocks, count);
        return;
    }
#endif
    for (std::size_t block = 0; block < count; ++block) {
        compressPortably(state_, blocks + 64 * block);
    }
}

void Sha256::update(const unsigned char* bytes, std::size_t size) {
    totalBytes_ += size;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(size, pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes, take);
        pendingSize_ += take;
        bytes += take;
        size -= take;
        if (pendingSize_ < pending_.size()) {
            return;
        }
        compress(pending_.data(), 1);
        pendingSize_ = 0;
    }
    const std::size_t whole = size / pending_.size();
    compress(bytes, whole);
    bytes += whole * pending_.size();
    size -= whole * pending_.size();
    std::memcpy(pending_.data(), bytes, size);
    pendingSize_ = size;
}

std::string Sha256::finishHex() {
    const std::uint64_t bits = totalBytes_ * 8;
    const unsigned char one = 0x80;
    const unsigned char zero = 0;
    update(&one, 1);
    while (pendingSize_ != 56) {
        update(&zero, 1);
    }
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) {
        length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    update(length, sizeof length);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint32_t word : state_) {
        for (int shift = 28; shift >= 0; shift -= 4) {
            hex.push_back(kDigits[(word >> shift) & 0xf]);
        }
    }
    return hex;
}

std::string sha256OfFile(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    }
    Sha256 digest;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(descriptor, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            close(descriptor);
            throw ToolError("cannot read " + path + ": " + std::strerror(error));
        }
        if (got == 0) {
            break;
        }
        digest.update(buffer.data(), static_cast<std::size_t>(got));
    }
    close(descriptor);
    return digest.finishHex();
}
