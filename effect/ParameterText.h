// The text a host shows for a parameter's value ("20.0", "-1.6", "On"): the VST 2
// binding answers effGetParamDisplay with it and the web page shows it beside each
// control, so that both read alike. It uses the framework's number formatter, which
// whoever includes this links.
#pragma once

#include <cstring>

#include "ParameterTable.h"
#include "TextConversions.h"

// Hosts show four characters of the formatter's eight.
inline constexpr VstInt32 kParameterTextLength = 4;

// Fills `text`, kParameterTextLength + 1 bytes, for a parameter holding `stored` (the
// core's unit: a switch's raw value, the gain linear).
inline void parameterText(const ParameterInfo& info, float stored, char* text) {
    switch (info.display) {
        case ParameterDisplay::onOff:
            std::strcpy(text, isSwitchOn(stored) ? "On" : "Off");
            break;
        case ParameterDisplay::number:
            floatToString(stored, text, kParameterTextLength);
            break;
        case ParameterDisplay::decibels:
            decibelsToString(stored, text, kParameterTextLength);
            break;
    }
}
