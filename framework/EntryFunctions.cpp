// The six functions stored in the record. They pass each host call straight to
// the object's virtual operation: no check, no allocation, nothing else.
#include "AudioEffect.h"
#include "Opcodes.h"

namespace {
AudioEffect* objectOf(AEffect* effect) { return static_cast<AudioEffect*>(effect->object); }
}  // namespace

VstIntPtr VSTCALLBACK dispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
    AudioEffect* object = objectOf(effect);
    if (opcode == effClose) {
        object->dispatcher(opcode, index, value, ptr, opt);
        delete object;
        return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
}

void VSTCALLBACK processEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames) {
    objectOf(effect)->process(inputs, outputs, sampleFrames);
}

void VSTCALLBACK setParameterEntry(AEffect* effect, VstInt32 index, float value) {
    objectOf(effect)->setParameter(index, value);
}

float VSTCALLBACK getParameterEntry(AEffect* effect, VstInt32 index) { return objectOf(effect)->getParameter(index); }

void VSTCALLBACK processReplacingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames) {
    objectOf(effect)->processReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK processDoubleReplacingEntry(AEffect* effect, double** inputs, double** outputs,
                                             VstInt32 sampleFrames) {
    objectOf(effect)->processDoubleReplacing(inputs, outputs, sampleFrames);
}
