#include "Lv2Apply.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

// Enough digits that the float read back is the one sent, whether the reader
// parses to float or to double first.
std::string exactText(float value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    return text;
}

}  // namespace

void runLv2Apply(const std::string& lv2Path, const std::string& uri, const std::string& in, const std::string& out,
                 const Lv2Controls& controls, const Lv2ApplyLauncher& launcher) {
    if (launcher.empty()) {
        throw std::invalid_argument("no command to start lv2apply with");
    }
    std::vector<std::string> arguments = launcher;
    arguments.insert(arguments.end(), {"-i", in, "-o", out});
    for (const auto& [symbol, value] : controls) {
        arguments.insert(arguments.end(), {"-c", symbol, exactText(value)});
    }
    arguments.push_back(uri);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // The child's environment is this one with LV2_PATH replaced, so a copy of the
    // plug-in installed elsewhere can't stand in for the build's.
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "LV2_PATH=", 9) != 0) {
            environment.emplace_back(*variable);
        }
    }
    environment.push_back("LV2_PATH=" + lv2Path);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    pid_t child = 0;
    const int spawned = posix_spawnp(&child, arguments[0].c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (spawned != 0) {
        throw std::runtime_error("can't start " + arguments[0] + ": " + std::strerror(spawned));
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        throw std::runtime_error("lost the lv2apply process");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command;
        for (const std::string& argument : arguments) {
            command += argument + " ";
        }
        throw std::runtime_error("lv2apply failed (status " + std::to_string(status) + "): " + command);
    }
}
