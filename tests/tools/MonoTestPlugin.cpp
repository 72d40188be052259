// A minimal plug-in file without parameters that leaves its output untouched. With
// one input and one output it checks the tool's refusal of effects that are not
// stereo; built with TEST_PLUGIN_CHANNELS=2, how the tool treats a stereo effect
// that has nothing to set.
#include "AEffect.h"
#include "Opcodes.h"

#ifndef TEST_PLUGIN_CHANNELS
#define TEST_PLUGIN_CHANNELS 1
#endif

namespace {
VstIntPtr VSTCALLBACK dispatch(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == effClose ? 1 : 0;
}
void VSTCALLBACK process(AEffect*, float**, float**, VstInt32) {}
void VSTCALLBACK setParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK getParameter(AEffect*, VstInt32) { return 0.0f; }

AEffect record = [] {
    AEffect r{};
    r.magic = kEffectMagic;
    r.dispatcher = dispatch;
    r.process = process;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = 1;
    r.numInputs = TEST_PLUGIN_CHANNELS;
    r.numOutputs = TEST_PLUGIN_CHANNELS;
    r.flags = effFlagsCanReplacing;
    r.processReplacing = process;
    return r;
}();
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) { return &record; }
