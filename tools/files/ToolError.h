// An error the tool reports to the user as one line, with the exit status it ends with.
#pragma once

#include <stdexcept>
#include <string>

struct ToolError : std::runtime_error {
    explicit ToolError(const std::string& message, int exitStatusValue = 1)
        : std::runtime_error(message), exitStatus(exitStatusValue) {}
    int exitStatus;  // 1 for a failed job, 2 for a command line that makes no sense, 130 when interrupted
};
