// A plug-in file loaded into this process, with its entry points.
#pragma once

#include <stdexcept>
#include <string>

#include "Host.h"

class PluginLibrary {
public:
    // Throws PluginLoadError when the file cannot be loaded or exports no entry point.
    explicit PluginLibrary(const std::string& path);
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    const std::string& path() const { return path_; }
    // VSTPluginMain, or main when the file exports only that.
    Host::EntryPoint entryPoint() const { return entryPoint_; }
    // The same function under each of its names; null for a name the file does not export.
    Host::EntryPoint symbol(const char* name) const;

private:
    std::string path_;
    void* handle_;
    Host::EntryPoint entryPoint_;
};

struct PluginLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The plug-in file the tests and tools use unless told otherwise: the BREVANDER_PLUGIN
// environment variable, or the file built beside them.
std::string defaultPluginPath();
