// Where an output named by the user may go, by one rule for every file the tool
// writes: links are followed to their target; only a regular file or nothing may be
// there; an existing file is replaced only when the caller asked to overwrite, and
// never when it is read-only; the input itself only when asked to render in place.
#pragma once

#include <sys/types.h>

#include <string>

struct OutputTarget {
    std::string path;        // as the user named it, for messages
    std::string targetPath;  // the file written: `path` with symbolic links followed
    bool exists = false;
};

// Checks `path` against the rule and answers where to write. Throws ToolError with
// one line that says why, and for an existing file how to replace it anyway.
OutputTarget checkOutputTarget(const std::string& path, bool overwrite);

// Throws ToolError when `outputPath` is the same file as `inputPath` (by device and
// inode, so through links and other spellings too), unless `inPlace` allows it.
void checkOutputIsNotInput(const std::string& inputPath, const std::string& outputPath, bool inPlace);

// Throws ToolError unless the file at `targetPath` (links not followed), if any, may
// still be replaced: a regular file that is not read-only. For the last moment
// before a rename over it, since it may have changed during the work.
void checkStillReplaceable(const std::string& path, const std::string& targetPath);
