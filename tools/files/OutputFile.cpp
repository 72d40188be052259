// Committing an output: mode and owner, fsync, rename and the folder's fsync.
#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "ToolError.h"

namespace {

std::string folderOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

// Answers 0 or an errno value.
int renameWithoutReplacing(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the no-replace rename: a link fails just as well when
    // the name is taken.
    if (link(from, to) != 0) {
        return errno;
    }
    unlink(from);
    return 0;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, bool overwrite)
    : target_(checkOutputTarget(path, overwrite)),
      overwrite_(overwrite),
      temporary_(folderOf(target_.targetPath), path) {}

void OutputFile::commit() {
    const int fd = descriptor();
    const std::string& target = target_.targetPath;
    const auto fail = [this](const std::string& why) { throw ToolError("cannot write " + path() + ": " + why); };
    if (overwrite_) {
        checkStillReplaceable(path(), target);
        struct stat replaced {};
        if (lstat(target.c_str(), &replaced) == 0) {
            // Only root may give a file away; elsewhere the new file is the user's own anyway.
            if (fchown(fd, replaced.st_uid, replaced.st_gid) != 0 && errno != EPERM) {
                fail(std::string("keeping its owner: ") + std::strerror(errno));
            }
            if (fchmod(fd, replaced.st_mode & 07777) != 0) {
                fail(std::string("keeping its mode: ") + std::strerror(errno));
            }
        }
    }
    if (fsync(fd) != 0) {
        fail(std::strerror(errno));
    }
    if (temporary_.close() != 0) {
        fail(std::strerror(errno));
    }
    int renameError = 0;
    temporary_.releaseBy([&] {
        renameError = overwrite_ ? (std::rename(temporaryPath().c_str(), target.c_str()) == 0 ? 0 : errno)
                                 : renameWithoutReplacing(temporaryPath().c_str(), target.c_str());
        return renameError == 0;
    });
    if (renameError == EEXIST) {
        fail("it appeared while being written; pass --overwrite (or -y) to replace it");
    }
    if (renameError != 0) {
        fail(std::strerror(renameError));
    }
    // The rename itself lasts only once the folder is on disk too.
    const std::string folder = folderOf(target);
    const int folderFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        fail(std::string("flushing its folder: ") + std::strerror(errno));
    }
    const int synced = fsync(folderFd);
    const int syncError = errno;
    close(folderFd);
    if (synced != 0 && syncError != EINVAL) {
        fail(std::string("flushing its folder: ") + std::strerror(syncError));
    }
}

void writeAll(int descriptor, const char* bytes, std::size_t size, const std::string& path) {
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw ToolError("cannot write " + path + ": " + std::strerror(written < 0 ? errno : ENOSPC));
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}
