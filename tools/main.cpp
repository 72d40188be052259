// brevander: renders audio files through the plug-in, lists its parameters, plots
// its response and runs the demo. See `brevander help`.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "BatchRender.h"
#include "CommandLine.h"

namespace {
extern "C" void onInterrupt(int) { requestBatchStop(); }
}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C stops every render in progress at its next block, which then removes
    // its partial file; a batch starts no further file.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return runBrevander(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
