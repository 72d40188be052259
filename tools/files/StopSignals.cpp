// The signal thread: sigwait, the stop request, and the forced exit after a grace period.
#include "StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "TemporaryFiles.h"

namespace {

// Long enough for a render to reach its next block, short enough that a stuck
// process still feels like it obeyed.
constexpr std::chrono::milliseconds kGracePeriod{1000};

// Never destroyed: the signal thread may still wait on them while the process exits.
std::mutex& stateMutex = *new std::mutex;
std::condition_variable& claimed = *new std::condition_variable;
bool exitClaimed = false;  // another thread ends the process itself
bool forcing = false;      // the signal thread is ending the process
std::set<pid_t>& children = *new std::set<pid_t>;
std::atomic<bool> received{false};

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

[[noreturn]] void endProcess() {
    const std::string line = std::string("brevander: ") + kInterruptedMessage + "\n";
    {
        const std::lock_guard<std::mutex> lock(stateMutex);
        for (const pid_t child : children) {
            kill(child, SIGTERM);
        }
    }
    removeAllTemporaryFilesForExit();
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
    _exit(130);
}

void waitForSignals() {
    const sigset_t set = stopSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            continue;
        }
        received = true;
        std::unique_lock<std::mutex> lock(stateMutex);
        if (claimed.wait_for(lock, kGracePeriod, [] { return exitClaimed; })) {
            continue;
        }
        forcing = true;
        lock.unlock();
        endProcess();
    }
}

}  // namespace

void startStopSignalThread() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(waitForSignals).detach();
}

void claimExit() {
    std::unique_lock<std::mutex> lock(stateMutex);
    if (forcing) {
        lock.unlock();
        for (;;) {
            pause();
        }
    }
    exitClaimed = true;
    claimed.notify_all();
}

bool stopSignalReceived() { return received; }

void registerChildProcess(pid_t pid) {
    const std::lock_guard<std::mutex> lock(stateMutex);
    children.insert(pid);
}

void forgetChildProcess(pid_t pid) {
    const std::lock_guard<std::mutex> lock(stateMutex);
    children.erase(pid);
}

void resetStopSignalsInChild(posix_spawnattr_t& attributes) {
    sigset_t none;
    sigemptyset(&none);
    const sigset_t defaults = stopSignals();
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = 0;
    posix_spawnattr_getflags(&attributes, &flags);
    posix_spawnattr_setflags(&attributes, static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
}
