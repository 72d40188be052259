// Records that pass between host and effect only by address. The framework never
// looks inside them, so they stay incomplete types here.
#pragma once

struct VstTimeInfo;
struct VstEvents;
struct VstPinProperties;
struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct VstFileSelect;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;
