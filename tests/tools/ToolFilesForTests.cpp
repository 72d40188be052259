// The tool finds its plug-in file and plotting script beside its executable. The
// test program is not the tool and has neither beside it, so it names this build's
// through the environment before any test runs, unless the caller already did.
#include <cstdlib>

#include "PluginLibrary.h"

namespace {
const bool kNamed = [] {
    setenv("BREVANDER_PLUGIN", defaultPluginPath().c_str(), 0);
    setenv("BREVANDER_PLOT_SCRIPT", BREVANDER_SOURCE_PLOT_SCRIPT, 0);
    return true;
}();
}  // namespace
