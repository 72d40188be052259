// The plug-in file's entry point, exported as VSTPluginMain and as main.
#include "AudioEffect.h"
#include "Opcodes.h"

#if defined(_WIN32)
#define VST_EXPORT __declspec(dllexport)
#else
#define VST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VST_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
    // A host that answers 0 to the version query gets no instance.
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    AudioEffect* effect = createEffectInstance(audioMaster);
    if (effect == nullptr) {
        return nullptr;
    }
    return effect->getAeffect();
}

#if !defined(_WIN32) && !defined(BREVANDER_NO_MAIN_ALIAS)
// Older hosts look for `main`. It is the same function under a second name; on
// Windows the module definition file gives it that name instead. A program that
// links the entry point in (the fuzzer) has a main of its own and leaves it out.
VST_EXPORT AEffect* VSTCALLBACK vstPluginMainAlias(audioMasterCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
#endif
}
