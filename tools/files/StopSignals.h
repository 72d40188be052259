// SIGINT, SIGTERM and SIGHUP, handled on a thread of their own: a signal asks the
// render to stop at its next block, which then removes its temporary file and exits
// 130 by itself. When the process is stuck instead (in a read from a slow pipe, or
// opening a FIFO that has no writer yet), the thread gives it about a second, then
// prints the same one line, ends any child it started, removes every registered
// temporary file and ends the process with status 130.
#pragma once

#include <spawn.h>
#include <sys/types.h>

// Blocks the three signals in the calling thread, and so in every thread it starts
// later, and starts the thread that waits for them. Call first thing in main().
void startStopSignalThread();

// The line printed for an interruption, without the program's name.
inline constexpr const char* kInterruptedMessage = "interrupted; no output written";

// Called by code that will end the process itself: a render that noticed the stop
// request and reports the interruption, and main() on its way out after finishing
// its work. The signal thread then does not end the process a second time. When it
// has already begun to, this never returns.
void claimExit();

// Whether one of the three signals has arrived: for code that sees a child fail,
// which may be the same signal reaching the child.
bool stopSignalReceived();

// A child process (the plotter) to end with SIGTERM when the process is ended on a
// signal, so that it writes nothing after its parent has gone.
void registerChildProcess(pid_t pid);
void forgetChildProcess(pid_t pid);

// Sets spawn attributes so that a child starts with the three signals unblocked and
// at their defaults, whatever this process does with them.
void resetStopSignalsInChild(posix_spawnattr_t& attributes);
