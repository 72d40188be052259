#include "PluginInstance.h"

#include <array>

#include "Opcodes.h"

PluginInstance::PluginInstance(const PluginLibrary& library, Host& host)
    : host_(host), effect_(host.createInstance(library.entryPoint())) {
    if (effect_ == nullptr) {
        throw PluginLoadError(library.path() + " made no effect instance");
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
