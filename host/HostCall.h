// One call that a plug-in made on the host callback, as the host received it.
#pragma once

#include "AEffect.h"

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};
