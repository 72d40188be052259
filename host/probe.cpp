// brevander-probe: loads a plug-in file as a host would, prints its record and
// runs a short test signal through it.
//   brevander-probe [PLUGIN]
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

#include "Opcodes.h"
#include "PluginInstance.h"

namespace {
std::string fourCharText(VstInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>((static_cast<std::uint32_t>(code) >> shift) & 0xFFu);
    }
    return text;
}

void printRecord(const AEffect& r) {
    std::printf("record: magic '%s', unique id '%s', version %d\n", fourCharText(r.magic).c_str(),
                fourCharText(r.uniqueID).c_str(), r.version);
    std::printf("        %d program(s), %d parameter(s), %d in, %d out, flags 0x%x, delay %d\n", r.numPrograms,
                r.numParams, r.numInputs, r.numOutputs, static_cast<unsigned>(r.flags), r.initialDelay);
}

double rmsDb(const std::vector<float>& x) {
    double energy = 0.0;
    for (const float v : x) {
        energy += static_cast<double>(v) * v;
    }
    return 10.0 * std::log10(energy / static_cast<double>(x.size()) + 1e-30);
}
}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string path = argc > 1 ? argv[1] : defaultPluginPath();
        const PluginLibrary library(path);
        Host host;
        PluginInstance effect(library, host);
        std::printf("loaded %s\n", path.c_str());
        printRecord(effect.record());
        std::printf("program: \"%s\"\n", effect.programName().c_str());

        constexpr float kRate = 44100.0f;
        constexpr int kFrames = 4410;
        effect.setSampleRate(kRate);
        effect.setBlockSize(kFrames);
        effect.setMainsOn(true);

        // Two tones on the left channel only, so the sum and the difference carry the same
        // signal: 40 Hz, where the shuffler works, and 1 kHz, where it leaves the level alone.
        std::printf("%8s %16s %16s\n", "tone", "left in -> out", "right in -> out");
        for (const double toneHz : {40.0, 1000.0}) {
            std::vector<float> inL(kFrames), inR(kFrames, 0.0f), outL(kFrames), outR(kFrames);
            for (int i = 0; i < kFrames; ++i) {
                inL[static_cast<std::size_t>(i)] =
                    static_cast<float>(0.5 * std::sin(6.283185307179586 * toneHz * i / kRate));
            }
            effect.setMainsOn(false);
            effect.setMainsOn(true);
            float* inputs[2] = {inL.data(), inR.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            effect.processReplacing(inputs, outputs, kFrames);
            std::printf("%6.0fHz %7.2f %6.2f dB %7.2f %6.2f dB\n", toneHz, rmsDb(inL), rmsDb(outL), rmsDb(inR),
                        rmsDb(outR));
        }
        effect.setMainsOn(false);
        std::printf("close answered %ld\n", static_cast<long>(effect.close()));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "brevander-probe: %s\n", error.what());
        return 1;
    }
}
