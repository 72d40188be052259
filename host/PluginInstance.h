// One effect instance, driven through its record exactly as a host drives it.
#pragma once

#include <string>

#include "Host.h"
#include "PluginLibrary.h"

class PluginInstance {
public:
    // Throws PluginLoadError when the entry point refuses to make an instance.
    PluginInstance(const PluginLibrary& library, Host& host);
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;
    // Closes the instance unless close() already did.
    ~PluginInstance();

    AEffect& record() { return *effect_; }
    const AEffect& record() const { return *effect_; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value) { effect_->setParameter(effect_, index, value); }
    float getParameter(VstInt32 index) { return effect_->getParameter(effect_, index); }
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
        effect_->processReplacing(effect_, inputs, outputs, sampleFrames);
    }
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) {
        effect_->process(effect_, inputs, outputs, sampleFrames);
    }
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
        effect_->processDoubleReplacing(effect_, inputs, outputs, sampleFrames);
    }

    void setSampleRate(float sampleRateHz);
    void setBlockSize(VstInt32 frames);
    void setMainsOn(bool on);

    std::string parameterName(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string programName();
    void setProgramName(const std::string& name);

    // Sends effClose and answers what it answered. The record is gone afterwards.
    VstIntPtr close();
    bool isOpen() const { return effect_ != nullptr; }

private:
    std::string readText(VstInt32 opcode, VstInt32 index);

    Host& host_;
    AEffect* effect_;
};
