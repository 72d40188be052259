// Where the tool finds the files it needs besides itself: the plug-in file it loads
// by default and the plotting script `response` runs. Both are looked up next to the
// tool's own executable, in the build tree's layout and in the installed one, never
// through a path fixed at build time.
//
//   build tree:  DIR/brevander, DIR/Brevander.so, DIR/plot_response.py
//   installed:   PREFIX/bin/brevander, PREFIX/lib/vst/Brevander.so,
//                PREFIX/share/brevander/plot_response.py
#pragma once

#include <string>

// BREVANDER_PLUGIN when set, else the first of the layouts' plug-in files that exists.
// Throws ToolError naming the places looked in when there is none.
std::string toolPluginPath();

// BREVANDER_PLOT_SCRIPT when set, else the first of the layouts' scripts that exists.
// Throws ToolError naming the places looked in when there is none.
std::string plotScriptPath();
