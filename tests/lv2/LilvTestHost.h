// The project's own small LV2 host, on lilv: finds the plug-in by its URI among
// the bundles on an LV2 path, instantiates it and drives its ports the way a host
// does. Buffers are the caller's; control ports are connected to values this host
// owns, starting at the defaults the plug-in's description gives.
#pragma once

#include <lilv/lilv.h>

#include <array>
#include <cstdint>
#include <string>

#include "Lv2PortTable.h"

class Lv2Plugin {
public:
    // Loads every bundle on `lv2Path` (a list like LV2_PATH) and no other. Throws
    // std::runtime_error when no plug-in there has the URI.
    Lv2Plugin(const std::string& lv2Path, const char* uri);
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;
    ~Lv2Plugin();

    const LilvPlugin* plugin() const { return plugin_; }
    LilvWorld* world() const { return world_; }
    std::uint32_t portCount() const;
    // Throws std::runtime_error for a symbol the plug-in lacks.
    std::uint32_t portIndex(const char* symbol) const;

private:
    LilvWorld* world_;
    const LilvPlugin* plugin_ = nullptr;
};

class Lv2Instance {
public:
    // Throws std::runtime_error when the plug-in refuses the rate.
    Lv2Instance(const Lv2Plugin& plugin, double rateHz);
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;
    // Deactivates first when still active.
    ~Lv2Instance();

    void connect(std::uint32_t port, float* data) { lilv_instance_connect_port(instance_, port, data); }
    // The value of a control port, by index: a host writes it between runs.
    float& control(std::uint32_t port) { return controls_.at(port); }
    void activate();
    void deactivate();
    void run(std::uint32_t frames) { lilv_instance_run(instance_, frames); }

private:
    LilvInstance* instance_;
    std::array<float, kLv2PortCount> controls_{};
    bool active_ = false;
};
