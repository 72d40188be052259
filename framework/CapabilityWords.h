// The capability words of the interface: what an effect may ask the host with
// canHostDo, and what a host may ask the effect with canDo.
#pragma once

namespace HostCanDo {
inline constexpr const char* kSendVstEvents = "sendVstEvents";
inline constexpr const char* kSendVstMidiEvent = "sendVstMidiEvent";
inline constexpr const char* kSendVstTimeInfo = "sendVstTimeInfo";
inline constexpr const char* kReceiveVstEvents = "receiveVstEvents";
inline constexpr const char* kReceiveVstMidiEvent = "receiveVstMidiEvent";
inline constexpr const char* kReportConnectionChanges = "reportConnectionChanges";
inline constexpr const char* kAcceptIOChanges = "acceptIOChanges";
inline constexpr const char* kSizeWindow = "sizeWindow";
inline constexpr const char* kOffline = "offline";
inline constexpr const char* kOpenFileSelector = "openFileSelector";
inline constexpr const char* kCloseFileSelector = "closeFileSelector";
inline constexpr const char* kStartStopProcess = "startStopProcess";
inline constexpr const char* kShellCategory = "shellCategory";
inline constexpr const char* kSendVstMidiEventFlagIsRealtime = "sendVstMidiEventFlagIsRealtime";
}  // namespace HostCanDo

namespace PlugCanDo {
inline constexpr const char* kSendVstEvents = "sendVstEvents";
inline constexpr const char* kSendVstMidiEvent = "sendVstMidiEvent";
inline constexpr const char* kReceiveVstEvents = "receiveVstEvents";
inline constexpr const char* kReceiveVstMidiEvent = "receiveVstMidiEvent";
inline constexpr const char* kReceiveVstTimeInfo = "receiveVstTimeInfo";
inline constexpr const char* kOffline = "offline";
inline constexpr const char* kMidiProgramNames = "midiProgramNames";
inline constexpr const char* kBypass = "bypass";
}  // namespace PlugCanDo
