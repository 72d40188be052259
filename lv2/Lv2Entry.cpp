// The LV2 plug-in file's one exported function: hosts ask it for descriptor 0, 1, ...
// until it answers null.
#include "Lv2Shuffler.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &brevanderLv2Descriptor() : nullptr;
}
