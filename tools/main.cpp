// brevander: renders audio files through the plug-in, lists its parameters, plots
// its response and runs the demo. See `brevander help`.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "CommandLine.h"
#include "Render.h"

namespace {
extern "C" void onInterrupt(int) { requestRenderStop(); }
}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C stops a render at the next block, which then removes its partial file.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return runBrevander(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
