// The registry of live temporary files and their creation with O_EXCL.
#include "TemporaryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "ToolError.h"

namespace {

// Creating, removing and renaming a registered file happen under this lock, so a
// forced exit never misses a file that exists or removes one already in place. Never
// destroyed, as a forced exit may use them while the process is ending.
std::mutex& registryMutex = *new std::mutex;
std::set<std::string>& registered = *new std::set<std::string>;

constexpr const char* kPrefix = ".brevander-";
constexpr const char* kSuffix = ".partial";
constexpr int kAttempts = 100;

std::string randomLetters() {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string letters(8, ' ');
    for (char& c : letters) {
        c = kAlphabet[pick(generator)];
    }
    return letters;
}

[[noreturn]] void fail(const std::string& forWhom, int error) {
    throw ToolError("cannot write " + forWhom + ": " + std::strerror(error));
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& folder, const std::string& forWhom)
    : path_(), forWhom_(forWhom), descriptor_(-1) {
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    const std::lock_guard<std::mutex> lock(registryMutex);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string candidate = prefix + kPrefix + randomLetters() + kSuffix;
        // The kernel takes the umask off 0666, as for a file the shell makes.
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            descriptor_ = fd;
            path_ = std::move(candidate);
            registered.insert(path_);
            return;
        }
        if (errno != EEXIST) {
            fail(forWhom, errno);
        }
    }
    fail(forWhom, EEXIST);
}

TemporaryFile::~TemporaryFile() {
    close();
    if (!path_.empty()) {
        const std::lock_guard<std::mutex> lock(registryMutex);
        ::unlink(path_.c_str());
        registered.erase(path_);
    }
}

int TemporaryFile::close() {
    if (descriptor_ < 0) {
        return 0;
    }
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    return result;
}

void TemporaryFile::reopen() {
    close();
    // No following a link: the file must be the one written for us, not whatever a
    // link planted under its name points at.
    descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor_ < 0) {
        fail(forWhom_, errno);
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        throw ToolError("cannot write " + forWhom_ + ": its temporary file was replaced by something else");
    }
}

bool TemporaryFile::releaseBy(const std::function<bool()>& putInPlace) {
    const std::lock_guard<std::mutex> lock(registryMutex);
    if (!putInPlace()) {
        return false;
    }
    registered.erase(path_);
    path_.clear();
    return true;
}

void removeAllTemporaryFilesForExit() {
    registryMutex.lock();  // never unlocked: the process ends next
    for (const std::string& path : registered) {
        ::unlink(path.c_str());
    }
}
