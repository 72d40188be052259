// The tool's temporary files: hidden, uniquely named, created without ever opening
// an existing file, and listed in one process-wide registry so that a forced exit
// on a signal can remove every one still alive, whichever thread made it.
//
// Every temporary file is named `.brevander-XXXXXXXX.partial` (eight random letters
// or digits; the plotting script uses the same pattern), in the folder of the file it
// will become; one left behind by a killed process is recognisable by that name and
// safe to delete.
#pragma once

#include <functional>
#include <string>

// A temporary file that exists for as long as this object does, unless released.
class TemporaryFile {
public:
    // Creates `.brevander-XXXXXXXX.partial` in `folder` (empty: the current folder)
    // with mode 0666 less the umask, open for writing and closed on exec.
    // Throws ToolError("cannot write <forWhom>: <reason>") when it can't.
    TemporaryFile(const std::string& folder, const std::string& forWhom);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    // Closes the descriptor and removes the file unless released.
    ~TemporaryFile();

    const std::string& path() const { return path_; }
    int descriptor() const { return descriptor_; }
    // Closes the descriptor; answers close()'s result, 0 or -1 with errno set.
    int close();
    // Swaps the descriptor for a fresh read-only one on the file now at path(), for
    // content another process put there by renaming its own file over this one.
    // Throws ToolError.
    void reopen();
    // Runs `putInPlace`, which renames the file to its final name, with the registry
    // locked, so that a forced exit finds the file either still temporary or already
    // in place. When it answers true the file is no longer removed, by this object or
    // on a forced exit.
    bool releaseBy(const std::function<bool()>& putInPlace);

private:
    std::string path_;
    std::string forWhom_;
    int descriptor_;
};

// Removes every registered temporary file and leaves the registry locked, so no
// thread can make another: for the moment before the process ends with _exit().
void removeAllTemporaryFilesForExit();
