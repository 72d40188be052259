// Rewrites the checked-in golden render from the Linux build of the plug-in file:
//   brevander_write_golden OUT   (make golden)
// Only an intended change of the effect's output is a reason to run it.
#include <cstdio>
#include <exception>

#include "GoldenRender.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    try {
        const PluginLibrary library(defaultPluginPath());
        if (!golden::writeFile(argv[1], golden::render(library))) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("wrote %zu cases to %s\n", golden::caseCount(), argv[1]);
    return 0;
}
