// The extended dispatcher: the opcodes from 25 to 79 that AudioEffectX answers.
// The gaps among them and everything outside go to the base dispatcher.
#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
VstIntPtr oneOrZero(bool result) { return result ? 1 : 0; }

// The low byte of opt truncated toward zero; a value with no integer part to take gives 0.
std::uint8_t truncatedLowByte(float opt) {
    if (!(opt > -2147483648.0f && opt < 2147483648.0f)) {
        return 0;
    }
    return static_cast<std::uint8_t>(static_cast<VstInt32>(opt) & 0xFF);
}
}  // namespace

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    const auto value32 = static_cast<VstInt32>(value);
    switch (opcode) {
        case effProcessEvents:
            return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated:
            return oneOrZero(canParameterBeAutomated(index));
        case effString2Parameter:
            return oneOrZero(string2parameter(index, static_cast<char*>(ptr)));
        case effGetProgramNameIndexed:
            return oneOrZero(getProgramNameIndexed(value32, index, static_cast<char*>(ptr)));
        case effGetInputProperties:
            return oneOrZero(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetOutputProperties:
            return oneOrZero(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetPlugCategory:
            return getPlugCategory();
        case effOfflineNotify:
            return oneOrZero(offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0));
        case effOfflinePrepare:
            return oneOrZero(offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32));
        case effOfflineRun:
            return oneOrZero(offlineRun(static_cast<VstOfflineTask*>(ptr), value32));
        case effProcessVarIo:
            return oneOrZero(processVariableIo(static_cast<VstVariableIo*>(ptr)));
        case effSetSpeakerArrangement:
            return oneOrZero(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                                   static_cast<VstSpeakerArrangement*>(ptr)));
        case effSetBypass:
            return oneOrZero(setBypass(value != 0));
        case effGetEffectName:
            return oneOrZero(getEffectName(static_cast<char*>(ptr)));
        case effGetVendorString:
            return oneOrZero(getVendorString(static_cast<char*>(ptr)));
        case effGetProductString:
            return oneOrZero(getProductString(static_cast<char*>(ptr)));
        case effGetVendorVersion:
            return getVendorVersion();
        case effVendorSpecific:
            return vendorSpecific(index, value, ptr, opt);
        case effCanDo:
            return canDo(static_cast<char*>(ptr));
        case effGetTailSize:
            return getGetTailSize();
        case effGetParameterProperties:
            return oneOrZero(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (editor == nullptr) {
                return 0;
            }
            // Built afresh for this call only; the modifiers come truncated from opt.
            VstKeyCode key{index, static_cast<std::uint8_t>(value & 0xFF), truncatedLowByte(opt)};
            return oneOrZero(opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key));
        }
        case effSetEditKnobMode:
            return editor != nullptr ? oneOrZero(editor->setKnobMode(value32)) : 0;
        case effGetMidiProgramName:
            return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        case effHasMidiProgramsChanged:
            return oneOrZero(hasMidiProgramsChanged(index));
        case effGetMidiKeyName:
            return oneOrZero(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
        case effBeginSetProgram:
            return oneOrZero(beginSetProgram());
        case effEndSetProgram:
            return oneOrZero(endSetProgram());
        case effGetSpeakerArrangement:
            return oneOrZero(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                                   static_cast<VstSpeakerArrangement**>(ptr)));
        case effShellGetNextPlugin:
            return getNextShellPlugin(static_cast<char*>(ptr));
        case effStartProcess:
            return startProcess();
        case effStopProcess:
            return stopProcess();
        case effSetTotalSampleToProcess:
            return setTotalSampleToProcess(value32);
        case effSetPanLaw:
            return oneOrZero(setPanLaw(value32, opt));
        case effBeginLoadBank:
            return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case effBeginLoadProgram:
            return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        case effSetProcessPrecision:
            return oneOrZero(setProcessPrecision(value32));
        case effGetNumMidiInputChannels:
            return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels:
            return getNumMidiOutputChannels();
        default:
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}
