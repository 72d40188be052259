#include "ToolFiles.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "ToolError.h"

namespace {

// The folder of the running executable, symbolic links resolved: a link to the tool
// in another folder still finds the files beside the real one.
std::filesystem::path toolFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        throw ToolError("cannot find the tool's own folder: " + ec.message());
    }
    return self.parent_path();
}

std::string fromEnvironmentOrFirstOf(const char* variable, const std::vector<std::filesystem::path>& candidates,
                                     const std::string& what, const std::string& hint) {
    const char* named = std::getenv(variable);
    if (named != nullptr && *named != 0) {
        return named;
    }
    std::string looked;
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            return candidate.lexically_normal().string();
        }
        looked += (looked.empty() ? "" : " or ") + candidate.lexically_normal().string();
    }
    throw ToolError("no " + what + ": there is no " + looked + hint);
}

}  // namespace

std::string toolPluginPath() {
    const std::filesystem::path folder = toolFolder();
    return fromEnvironmentOrFirstOf("BREVANDER_PLUGIN",
                                    {folder / "Brevander.so", folder / ".." / "lib" / "vst" / "Brevander.so"},
                                    "plug-in file", "; name one with --plugin FILE");
}

std::string plotScriptPath() {
    const std::filesystem::path folder = toolFolder();
    return fromEnvironmentOrFirstOf(
        "BREVANDER_PLOT_SCRIPT",
        {folder / "plot_response.py", folder / ".." / "share" / "brevander" / "plot_response.py"}, "plotting script",
        "; reinstall the tool");
}
