// Bounded text helpers. `len` counts characters; the buffer holds len + 1 bytes,
// and nothing is ever written past index len.
#pragma once

#include "AEffect.h"

// Copies at most len characters, pads the rest with zeros up to index len - 1,
// and writes a zero at index len.
char* vst_strncpy(char* dst, const char* src, VstInt32 len);

// Appends src to the text already in dst, keeping the whole text within len characters.
char* vst_strncat(char* dst, const char* src, VstInt32 len);
