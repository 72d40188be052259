// AudioEffectX's requests to the host. Each sends one fixed opcode and converts the
// answer; without a host callback each answers its neutral result and calls nothing.
#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
bool toBool(VstIntPtr answer) { return answer != 0; }
VstInt32 toInt(VstIntPtr answer) { return static_cast<VstInt32>(answer); }
VstInt32 toZeroOne(VstIntPtr answer) { return answer != 0 ? 1 : 0; }
template <typename T>
T* toPointer(VstIntPtr answer) {
    return reinterpret_cast<T*>(answer);
}
}  // namespace

bool AudioEffectX::beginEdit(VstInt32 index) { return toBool(callHost(audioMasterBeginEdit, index, 0, nullptr, 0, 0)); }

bool AudioEffectX::endEdit(VstInt32 index) { return toBool(callHost(audioMasterEndEdit, index, 0, nullptr, 0, 0)); }

bool AudioEffectX::ioChanged() { return toBool(callHost(audioMasterIOChanged, 0, 0, nullptr, 0, 0)); }

double AudioEffectX::updateSampleRate() {
    if (audioMaster != nullptr) {
        const VstIntPtr answer = audioMaster(&cEffect, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
        if (answer > 0) {
            currentSampleRate = static_cast<float>(answer);
        }
    }
    return currentSampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    if (audioMaster != nullptr) {
        const VstIntPtr answer = audioMaster(&cEffect, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
        if (answer > 0) {
            blockSize = static_cast<VstInt32>(answer);
        }
    }
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return toInt(callHost(audioMasterGetInputLatency, 0, 0, nullptr, 0, 0)); }

VstInt32 AudioEffectX::getOutputLatency() { return toInt(callHost(audioMasterGetOutputLatency, 0, 0, nullptr, 0, 0)); }

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return toPointer<VstTimeInfo>(callHost(audioMasterGetTime, 0, filter, nullptr, 0, 0));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return toInt(callHost(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0, 0));
}

VstInt32 AudioEffectX::getAutomationState() {
    return toInt(callHost(audioMasterGetAutomationState, 0, 0, nullptr, 0, 0));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return toBool(callHost(audioMasterGetVendorString, 0, 0, text, 0, 0));
}

bool AudioEffectX::getHostProductString(char* text) {
    return toBool(callHost(audioMasterGetProductString, 0, 0, text, 0, 0));
}

VstInt32 AudioEffectX::getHostVendorVersion() {
    return toInt(callHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0, 0));
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) {
    return callHost(audioMasterVendorSpecific, a, b, p, f, 0);
}

VstInt32 AudioEffectX::canHostDo(char* text) { return toZeroOne(callHost(audioMasterCanDo, 0, 0, text, 0, 0)); }

VstInt32 AudioEffectX::getHostLanguage() { return toInt(callHost(audioMasterGetLanguage, 0, 0, nullptr, 0, 0)); }

void* AudioEffectX::getDirectory() { return toPointer<void>(callHost(audioMasterGetDirectory, 0, 0, nullptr, 0, 0)); }

bool AudioEffectX::updateDisplay() { return toBool(callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0, 0)); }

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return toBool(callHost(audioMasterSizeWindow, width, height, nullptr, 0, 0));
}

bool AudioEffectX::openFileSelector(VstFileSelect* selector) {
    return selector != nullptr && toBool(callHost(audioMasterOpenFileSelector, 0, 0, selector, 0, 0));
}

bool AudioEffectX::closeFileSelector(VstFileSelect* selector) {
    return selector != nullptr && toBool(callHost(audioMasterCloseFileSelector, 0, 0, selector, 0, 0));
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource) {
    return toBool(callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline, 0, 0));
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstInt32 option) {
    return toBool(callHost(audioMasterOfflineWrite, 0, option, offline, 0, 0));
}

bool AudioEffectX::offlineStart(VstAudioFile* files, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
    return toBool(callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, files, 0, 0));
}

VstInt32 AudioEffectX::offlineGetCurrentPass() {
    return toZeroOne(callHost(audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0, 0));
}

VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
    return toZeroOne(callHost(audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0, 0));
}

void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter, nullptr, 0, 0); }

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return toInt(callHost(audioMasterTempoAt, 0, pos, nullptr, 0, 0)); }

VstInt32 AudioEffectX::getNumAutomatableParameters() {
    return toInt(callHost(audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0, 0));
}

VstInt32 AudioEffectX::getParameterQuantization() {
    return toInt(callHost(audioMasterGetParameterQuantization, 0, 0, nullptr, 0, 0));
}

bool AudioEffectX::needIdle() { return toBool(callHost(audioMasterNeedIdle, 0, 0, nullptr, 0, 0)); }

// The pin number is not part of these requests.
void* AudioEffectX::getPreviousPlug(VstInt32 /*input*/) {
    return toPointer<void>(callHost(audioMasterGetPreviousPlug, 0, 0, nullptr, 0, 0));
}

void* AudioEffectX::getNextPlug(VstInt32 /*output*/) {
    return toPointer<void>(callHost(audioMasterGetNextPlug, 0, 0, nullptr, 0, 0));
}

VstInt32 AudioEffectX::willProcessReplacing() {
    return toInt(callHost(audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0, 0));
}

void AudioEffectX::setOutputSamplerate(float rate) { callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate, 0); }

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return toPointer<VstSpeakerArrangement>(callHost(audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0, 0));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return toPointer<VstSpeakerArrangement>(callHost(audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0, 0));
}

void* AudioEffectX::openWindow(VstWindow* window) {
    return toPointer<void>(callHost(audioMasterOpenWindow, 0, 0, window, 0, 0));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
    return toBool(callHost(audioMasterCloseWindow, 0, 0, window, 0, 0));
}

bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath != nullptr && toBool(callHost(audioMasterGetChunkFile, 0, 0, nativePath, 0, 0));
}
