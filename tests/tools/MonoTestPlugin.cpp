// A minimal plug-in file with one input and one output, for the tool's refusal of
// effects that are not stereo.
#include "AEffect.h"
#include "Opcodes.h"

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
    r.numInputs = 1;
    r.numOutputs = 1;
    r.flags = effFlagsCanReplacing;
    r.processReplacing = process;
    return r;
}();
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) { return &record; }
