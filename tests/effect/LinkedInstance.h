// An effect instance linked into the test program, made through the framework's
// creation function with a host that answers only the version query.
#pragma once

#include "AudioEffect.h"

inline VstIntPtr VSTCALLBACK versionOnlyHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == 1 ? 2400 : 0;  // audioMasterVersion
}

// The instance's record, or null when none could be made; effClose deletes it.
inline AEffect* linkedInstance() {
    AudioEffect* effect = createEffectInstance(versionOnlyHost);
    return effect != nullptr ? effect->getAeffect() : nullptr;
}
