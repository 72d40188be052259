// The rule for where an output may go, checked with lstat/stat before anything is written.
#include "OutputTarget.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ToolError.h"

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    return "not a regular file";
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw ToolError("cannot write " + path + ": " + why);
}

// The shell's `>` would fail on it; and a file whose mode lets nobody write is kept
// for root too, for whom access() says yes to everything.
bool readOnly(const std::string& targetPath, const struct stat& status) {
    return (status.st_mode & 0222) == 0 || faccessat(AT_FDCWD, targetPath.c_str(), W_OK, AT_EACCESS) != 0;
}

void checkExisting(const std::string& path, const std::string& targetPath, const struct stat& status, bool overwrite) {
    if (!S_ISREG(status.st_mode)) {
        refuse(path, std::string("it is ") + kindOf(status.st_mode) + ", not a regular file");
    }
    if (readOnly(targetPath, status)) {
        refuse(path, "it is read-only, and is not replaced even with --overwrite");
    }
    if (!overwrite) {
        refuse(path, "it exists; pass --overwrite (or -y) to replace it");
    }
}

}  // namespace

OutputTarget checkOutputTarget(const std::string& path, bool overwrite) {
    OutputTarget target;
    target.path = path;
    target.targetPath = path;
    if (path.empty()) {
        refuse("''", "no file named");
    }
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            refuse(path, std::strerror(errno));
        }
        const std::filesystem::path folder = std::filesystem::path(path).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
            refuse(path, "no folder " + folder.string());
        }
        return target;
    }
    if (S_ISLNK(status.st_mode)) {
        // Written through to the target, which the rest of the rule is about.
        if (stat(path.c_str(), &status) != 0) {
            refuse(path, "it is a symbolic link to nothing (" + std::string(std::strerror(errno)) + ")");
        }
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            refuse(path, std::strerror(errno));
        }
        target.targetPath = resolved;
        std::free(resolved);
    }
    target.exists = true;
    checkExisting(path, target.targetPath, status, overwrite);
    return target;
}

void checkOutputIsNotInput(const std::string& inputPath, const std::string& outputPath, bool inPlace) {
    struct stat input {};
    struct stat output {};
    if (inPlace || stat(inputPath.c_str(), &input) != 0 || stat(outputPath.c_str(), &output) != 0) {
        return;
    }
    if (input.st_dev == output.st_dev && input.st_ino == output.st_ino) {
        refuse(outputPath, "it is the input file " + inputPath + "; pass --in-place to replace it");
    }
}

void checkStillReplaceable(const std::string& path, const std::string& targetPath) {
    struct stat status {};
    if (lstat(targetPath.c_str(), &status) != 0) {
        return;
    }
    if (S_ISLNK(status.st_mode)) {
        refuse(path, "it became a symbolic link while being written");
    }
    checkExisting(path, targetPath, status, true);
}
