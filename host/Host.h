// The host side of the callback: records every call a plug-in makes and answers
// it. One Host may serve several instances; each instance is tied to the Host
// that created it.
#pragma once

#include <functional>
#include <vector>

#include "AEffect.h"
#include "HostCall.h"

class Host {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    // What the host answers to audioMasterVersion.
    VstIntPtr versionAnswer = 2400;
    // Answers every other call; without one the host answers 0.
    std::function<VstIntPtr(const HostCall&)> answer;

    const std::vector<HostCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    // The function a plug-in's entry point receives. It finds the Host of a call
    // through the call's record, or, for the entry point's own query, through the
    // Host that is creating an instance on this thread.
    static audioMasterCallback callback();

    // Creating an instance: calls the entry point with this Host's callback and
    // ties the record it returns to this Host.
    using EntryPoint = AEffect*(VSTCALLBACK*)(audioMasterCallback);
    AEffect* createInstance(EntryPoint entryPoint);
    void forget(AEffect* effect);

private:
    VstIntPtr receive(const HostCall& call);
    static VstIntPtr VSTCALLBACK dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt);

    std::vector<HostCall> calls_;
};
