// Compiled for each word size: the record header checks its own offsets and size.
#include "AEffEditor.h"
#include "AEffect.h"
#include "Opcodes.h"

static_assert(sizeof(void*) == 4 ? sizeof(AEffect) == 144 : sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, future) + 56 == sizeof(AEffect));
static_assert(offsetof(VstKeyCode, virt) == 4 && offsetof(VstKeyCode, modifier) == 5);
