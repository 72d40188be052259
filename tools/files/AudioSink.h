// A destination for an AudioWriter's bytes other than a file: lets tests write
// more audio than any disk should hold while keeping what they need to inspect.
#pragma once

#include <cstdint>

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual std::int64_t length() = 0;
    // `whence` as for lseek: SEEK_SET, SEEK_CUR or SEEK_END. Answers the new position.
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0;
    // Answers the number of bytes moved.
    virtual std::int64_t read(void* bytes, std::int64_t count) = 0;
    virtual std::int64_t write(const void* bytes, std::int64_t count) = 0;
    virtual std::int64_t tell() = 0;
};
