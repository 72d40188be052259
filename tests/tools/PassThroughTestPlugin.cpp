// A stereo plug-in file that copies its input to its output, for exact checks of
// what the tool does around the plug-in; or, as BREVANDER_TEST_PLUGIN_FAULT asks,
// one whose entry point or record is broken in a chosen way, for the loader's
// refusals: null-entry, zeroed, bad-magic, null-dispatcher, null-process-replacing,
// null-set-parameter, null-get-parameter.
#include <cstdlib>
#include <cstring>

#include "AEffect.h"
#include "Opcodes.h"

namespace {
VstIntPtr VSTCALLBACK dispatch(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == effClose ? 1 : 0;
}
void VSTCALLBACK copy(AEffect*, float** inputs, float** outputs, VstInt32 sampleFrames) {
    for (int channel = 0; channel < 2; ++channel) {
        std::memmove(outputs[channel], inputs[channel], sizeof(float) * static_cast<std::size_t>(sampleFrames));
    }
}
void VSTCALLBACK setParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK getParameter(AEffect*, VstInt32) { return 0.0f; }

AEffect record;

bool fault(const char* name) {
    const char* chosen = std::getenv("BREVANDER_TEST_PLUGIN_FAULT");
    return chosen != nullptr && std::strcmp(chosen, name) == 0;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    if (fault("null-entry")) {
        return nullptr;
    }
    record = AEffect{};
    if (fault("zeroed")) {
        return &record;
    }
    record.magic = fault("bad-magic") ? 0x12345678 : kEffectMagic;
    record.dispatcher = fault("null-dispatcher") ? nullptr : dispatch;
    record.process = copy;
    record.setParameter = fault("null-set-parameter") ? nullptr : setParameter;
    record.getParameter = fault("null-get-parameter") ? nullptr : getParameter;
    record.numPrograms = 1;
    record.numInputs = 2;
    record.numOutputs = 2;
    record.flags = effFlagsCanReplacing;
    record.processReplacing = fault("null-process-replacing") ? nullptr : copy;
    return &record;
}
