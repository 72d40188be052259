#include "PluginLibrary.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {
#if defined(_WIN32)
void* openLibrary(const std::string& path) { return reinterpret_cast<void*>(LoadLibraryA(path.c_str())); }
void closeLibrary(void* handle) { FreeLibrary(reinterpret_cast<HMODULE>(handle)); }
void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
}
std::string lastError() { return "error " + std::to_string(GetLastError()); }
#else
void* openLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void closeLibrary(void* handle) { dlclose(handle); }
void* findSymbol(void* handle, const char* name) { return dlsym(handle, name); }
std::string lastError() {
    const char* message = dlerror();
    return message != nullptr ? message : "unknown error";
}
#endif
}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path), handle_(openLibrary(path)), entryPoint_() {
    if (handle_ == nullptr) {
        throw PluginLoadError("cannot load " + path + ": " + lastError());
    }
    entryPoint_ = symbol("VSTPluginMain");
    if (entryPoint_ == nullptr) {
        entryPoint_ = symbol("main");
    }
    if (entryPoint_ == nullptr) {
        closeLibrary(handle_);
        throw PluginLoadError(path + " is not a VST 2 plug-in: it exports neither VSTPluginMain nor main");
    }
}

PluginLibrary::~PluginLibrary() { closeLibrary(handle_); }

Host::EntryPoint PluginLibrary::symbol(const char* name) const {
    return reinterpret_cast<Host::EntryPoint>(findSymbol(handle_, name));
}

std::string defaultPluginPath() {
    const char* fromEnvironment = std::getenv("BREVANDER_PLUGIN");
    if (fromEnvironment != nullptr && *fromEnvironment != 0) {
        return fromEnvironment;
    }
    return BREVANDER_DEFAULT_PLUGIN_PATH;
}
