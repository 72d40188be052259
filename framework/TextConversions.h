// Bounded text helpers, and the number-to-text conversions behind AudioEffect's
// float2string and dB2string. `len` counts characters; the buffer holds len + 1
// bytes, and nothing is ever written past index len.
#pragma once

#include "AEffect.h"

// Copies at most len characters, pads the rest with zeros up to index len - 1,
// and writes a zero at index len.
char* vst_strncpy(char* dst, const char* src, VstInt32 len);

// Appends src to the text already in dst, keeping the whole text within len characters.
char* vst_strncat(char* dst, const char* src, VstInt32 len);

// AudioEffect::float2string and dB2string, for code that shows a host's texts
// without an effect instance (the web module): at most eight characters of
// truncated, never rounded, digits; a gain of 0 or less is "-oo".
void floatToString(float value, char* text, VstInt32 maxLen);
void decibelsToString(float gain, char* text, VstInt32 maxLen);
