// Writes the golden render's cases and inputs as JSON (see golden::casesJson), so
// that the web module's tests render the very same cases:
//   brevander_golden_cases OUT
#include <cstdio>
#include <fstream>

#include "GoldenRender.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << golden::casesJson();
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
