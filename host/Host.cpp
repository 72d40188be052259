#include "Host.h"

#include <map>
#include <mutex>

#include "Opcodes.h"

namespace {
std::mutex registryMutex;
std::map<AEffect*, Host*>& registry() {
    static std::map<AEffect*, Host*> hosts;
    return hosts;
}
thread_local Host* creatingHost = nullptr;
}  // namespace

Host::Host() = default;

Host::~Host() {
    const std::lock_guard<std::mutex> lock(registryMutex);
    for (auto it = registry().begin(); it != registry().end();) {
        it = it->second == this ? registry().erase(it) : std::next(it);
    }
}

audioMasterCallback Host::callback() { return &Host::dispatch; }

AEffect* Host::createInstance(EntryPoint entryPoint) {
    Host* const previous = creatingHost;
    creatingHost = this;
    AEffect* const effect = entryPoint(callback());
    creatingHost = previous;
    if (effect != nullptr) {
        const std::lock_guard<std::mutex> lock(registryMutex);
        registry()[effect] = this;
    }
    return effect;
}

void Host::forget(AEffect* effect) {
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry().erase(effect);
}

VstIntPtr Host::receive(const HostCall& call) {
    calls_.push_back(call);
    if (call.opcode == audioMasterVersion) {
        return versionAnswer;
    }
    return answer ? answer(call) : 0;
}

VstIntPtr VSTCALLBACK Host::dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float opt) {
    Host* host = nullptr;
    if (effect == nullptr) {
        host = creatingHost;
    } else {
        const std::lock_guard<std::mutex> lock(registryMutex);
        const auto it = registry().find(effect);
        host = it != registry().end() ? it->second : creatingHost;
    }
    if (host == nullptr) {
        return 0;
    }
    return host->receive(HostCall{effect, opcode, index, value, ptr, opt});
}
