// Writes an audio file on a thread of its own, so that encoding and the system's
// writes overlap the processing of the next chunk. Chunks go through a short queue
// of reused buffers; an error on the writing thread comes back on the next call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioFile.h"

class BackgroundWriter {
public:
    // Throws ToolError when the file can't be opened (see AudioWriter).
    BackgroundWriter(const std::string& path, int format, int channels, int sampleRateHz, std::int64_t expectedFrames,
                     std::size_t chunkSamples, bool overwrite = false);
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    // Stops the thread; the file is discarded unless commit() ran.
    ~BackgroundWriter();

    // A buffer of chunkSamples samples to fill; waits while all of them are queued.
    std::vector<float> take();
    // Queues the first `frames` frames of a buffer from take().
    void write(std::vector<float>&& interleaved, std::int64_t frames);
    // Waits for every queued chunk, then closes the file and renames it into place.
    void commit();

private:
    struct Chunk {
        std::vector<float> samples;
        std::int64_t frames;
    };
    void run();
    void rethrowError();
    void stop();

    AudioWriter writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queued_;
    std::vector<std::vector<float>> free_;
    bool closing_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};
