// brevander: renders audio files through the plug-in, lists its parameters, plots
// its response, shows what it does to a recording band by band and runs the demo.
// See `brevander help`.
#include <unistd.h>

#include <iostream>

#include "CommandLine.h"
#include "StopSignals.h"

int main(int argc, char** argv) {
    // Before any other thread exists, so that every thread has the signals blocked.
    startStopSignalThread();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = runBrevander(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    // Done, whether a signal came late or not: what was reported stands.
    claimExit();
    return status;
}
