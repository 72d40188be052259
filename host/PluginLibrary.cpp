#include "PluginLibrary.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
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
// What is wrong with a file that is plainly not a plug-in for this process, in
// words a user can act on, before the loader's own message; empty otherwise.
std::string fileKindProblem(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return path + " is a directory, not a plug-in file";
    }
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 20> head{};
    file.read(reinterpret_cast<char*>(head.data()), head.size());
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
        return path + " is a Windows plug-in file (DLL); this tool loads Linux .so files";
    }
    if (got < head.size() || head[EI_MAG0] != ELFMAG0 || head[EI_MAG1] != ELFMAG1 || head[EI_MAG2] != ELFMAG2 ||
        head[EI_MAG3] != ELFMAG3) {
        return {};
    }
    const int ownClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    if (head[EI_CLASS] != ownClass) {
        return path + " is a " + (head[EI_CLASS] == ELFCLASS64 ? "64" : "32") + "-bit plug-in file; this program is " +
               (ownClass == ELFCLASS64 ? "64" : "32") + "-bit";
    }
    // e_machine follows the 16-byte identification and the 2-byte type, in the file's byte order.
    const unsigned first = head[18];
    const unsigned second = head[19];
    const unsigned machine = head[EI_DATA] == ELFDATA2MSB ? (first << 8u) | second : first | (second << 8u);
#if defined(__x86_64__)
    constexpr unsigned kOwnMachine = EM_X86_64;
#elif defined(__i386__)
    constexpr unsigned kOwnMachine = EM_386;
#elif defined(__aarch64__)
    constexpr unsigned kOwnMachine = EM_AARCH64;
#elif defined(__arm__)
    constexpr unsigned kOwnMachine = EM_ARM;
#else
    constexpr unsigned kOwnMachine = 0;
#endif
    if (kOwnMachine != 0 && machine != kOwnMachine) {
        return path + " is built for another processor (ELF machine " + std::to_string(machine) +
               ") than this program's (" + std::to_string(kOwnMachine) + ")";
    }
    return {};
}

void* openLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void closeLibrary(void* handle) { dlclose(handle); }
void* findSymbol(void* handle, const char* name) { return dlsym(handle, name); }
std::string lastError() {
    const char* message = dlerror();
    return message != nullptr ? message : "unknown error";
}
#endif
}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path), handle_(nullptr), entryPoint_() {
#if !defined(_WIN32)
    const std::string problem = fileKindProblem(path);
    if (!problem.empty()) {
        throw PluginLoadError(problem);
    }
#endif
    handle_ = openLibrary(path);
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
