#include "BackgroundWriter.h"

namespace {
constexpr std::size_t kBuffers = 4;
}  // namespace

BackgroundWriter::BackgroundWriter(const std::string& path, int format, int channels, int sampleRateHz,
                                   std::int64_t expectedFrames, std::size_t chunkSamples, bool overwrite)
    : writer_(path, format, channels, sampleRateHz, expectedFrames, overwrite) {
    for (std::size_t i = 0; i < kBuffers; ++i) {
        free_.emplace_back(chunkSamples);
    }
    thread_ = std::thread([this] { run(); });
}

BackgroundWriter::~BackgroundWriter() { stop(); }

void BackgroundWriter::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void BackgroundWriter::rethrowError() {
    if (error_) {
        std::rethrow_exception(error_);
    }
}

std::vector<float> BackgroundWriter::take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || error_; });
    rethrowError();
    std::vector<float> buffer = std::move(free_.back());
    free_.pop_back();
    return buffer;
}

void BackgroundWriter::write(std::vector<float>&& interleaved, std::int64_t frames) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        rethrowError();
        queued_.push_back({std::move(interleaved), frames});
    }
    changed_.notify_all();
}

void BackgroundWriter::commit() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queued_.empty() || error_; });
        rethrowError();
    }
    stop();
    writer_.commit();
}

void BackgroundWriter::run() {
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
            if (queued_.empty() || error_) {
                return;
            }
            chunk = std::move(queued_.front());
        }
        try {
            writer_.write(chunk.samples.data(), chunk.frames);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            queued_.pop_front();
            free_.push_back(std::move(chunk.samples));
        }
        changed_.notify_all();
    }
}
