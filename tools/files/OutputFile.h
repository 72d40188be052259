// An output written under a hidden temporary name beside its target and put in
// place only when complete and flushed, so that the name the user gave holds either
// what was there before or the whole new file, never a part of it.
#pragma once

#include <cstddef>
#include <string>

#include "OutputTarget.h"
#include "TemporaryFiles.h"

class OutputFile {
public:
    // Checks the target (see checkOutputTarget) and creates the temporary file in
    // its folder. Throws ToolError.
    OutputFile(const std::string& path, bool overwrite);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file unless commit() put it in place.
    ~OutputFile() = default;

    const std::string& path() const { return target_.path; }
    const std::string& temporaryPath() const { return temporary_.path(); }
    // Open for writing until commit().
    int descriptor() const { return temporary_.descriptor(); }
    // For content another process wrote by renaming its file over temporaryPath().
    void reopenTemporary() { temporary_.reopen(); }

    // Gives a replaced file's mode (and owner, where the process may) to the new
    // one, flushes it, renames it over the target (without replacing a file that
    // appeared meanwhile, unless overwriting) and flushes the folder. Throws ToolError.
    void commit();

private:
    OutputTarget target_;
    bool overwrite_;
    TemporaryFile temporary_;
};

// Writes all of `size` bytes to `descriptor`, going on after short writes.
// Throws ToolError("cannot write <path>: <reason>").
void writeAll(int descriptor, const char* bytes, std::size_t size, const std::string& path);
