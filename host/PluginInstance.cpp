#include "PluginInstance.h"

#include <algorithm>
#include <array>

#include "Opcodes.h"

namespace {

// Why a record can't be driven, checked before any call into it; empty when it can.
std::string recordFault(const AEffect& effect) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&effect);
    if (std::all_of(bytes, bytes + sizeof effect, [](unsigned char b) { return b == 0; })) {
        return "its effect record is all zeros";
    }
    if (effect.magic != kEffectMagic) {
        return "its record lacks the effect mark";
    }
    if (effect.dispatcher == nullptr) {
        return "its record has no dispatcher function";
    }
    if (effect.setParameter == nullptr) {
        return "its record has no setParameter function";
    }
    if (effect.getParameter == nullptr) {
        return "its record has no getParameter function";
    }
    if ((effect.flags & effFlagsCanReplacing) != 0 && effect.processReplacing == nullptr) {
        return "its record claims to process replacing but has no processReplacing function";
    }
    return {};
}

}  // namespace

PluginInstance::PluginInstance(const PluginLibrary& library, Host& host)
    : host_(host), effect_(host.createInstance(library.entryPoint())) {
    if (effect_ == nullptr) {
        throw PluginLoadError(library.path() + " made no effect instance: its entry point returned no record");
    }
    const std::string fault = recordFault(*effect_);
    if (!fault.empty()) {
        // A record that can't be trusted can't be closed either: it is abandoned, not called.
        host_.forget(effect_);
        effect_ = nullptr;
        throw PluginLoadError(library.path() + " is not a usable VST 2 effect: " + fault);
    }
}

PluginInstance::~PluginInstance() {
    if (effect_ != nullptr) {
        close();
    }
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::setSampleRate(float sampleRateHz) { dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateHz); }

void PluginInstance::setBlockSize(VstInt32 frames) { dispatch(effSetBlockSize, 0, frames); }

void PluginInstance::setMainsOn(bool on) { dispatch(effMainsChanged, 0, on ? 1 : 0); }

std::string PluginInstance::readText(VstInt32 opcode, VstInt32 index) {
    // Larger than any text of the interface, and terminated whatever the plug-in writes.
    std::array<char, 256> buffer{};
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = 0;
    return buffer.data();
}

std::string PluginInstance::parameterName(VstInt32 index) { return readText(effGetParamName, index); }
std::string PluginInstance::parameterLabel(VstInt32 index) { return readText(effGetParamLabel, index); }
std::string PluginInstance::parameterDisplay(VstInt32 index) { return readText(effGetParamDisplay, index); }
std::string PluginInstance::programName() { return readText(effGetProgramName, 0); }

void PluginInstance::setProgramName(const std::string& name) {
    std::string copy = name;
    dispatch(effSetProgramName, 0, 0, copy.data());
}

VstIntPtr PluginInstance::close() {
    AEffect* const effect = effect_;
    effect_ = nullptr;
    const VstIntPtr answer = effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    host_.forget(effect);
    return answer;
}
