// Runs the tool in this process, as the user would from the command line, and
// keeps what it says.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"

struct ToolRun {
    int status;
    std::string out;
    std::string err;

    bool saidOneLine() const { return !err.empty() && err.find('\n') == err.size() - 1; }
};

inline ToolRun runTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runBrevander(args, out, err);
    return {status, out.str(), err.str()};
}
