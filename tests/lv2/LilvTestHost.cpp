#include "LilvTestHost.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

struct Node {
    explicit Node(LilvNode* n) : node(n) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node() { lilv_node_free(node); }
    LilvNode* node;
};

}  // namespace

Lv2Plugin::Lv2Plugin(const std::string& lv2Path, const char* uri) : world_(lilv_world_new()) {
    {
        Node path(lilv_new_string(world_, lv2Path.c_str()));
        lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path.node);
    }
    lilv_world_load_all(world_);
    Node uriNode(lilv_new_uri(world_, uri));
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uriNode.node);
    if (plugin_ == nullptr) {
        lilv_world_free(world_);
        throw std::runtime_error(std::string("no plug-in ") + uri + " on the LV2 path " + lv2Path);
    }
}

Lv2Plugin::~Lv2Plugin() { lilv_world_free(world_); }

std::uint32_t Lv2Plugin::portCount() const { return lilv_plugin_get_num_ports(plugin_); }

std::uint32_t Lv2Plugin::portIndex(const char* symbol) const {
    Node symbolNode(lilv_new_string(world_, symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, symbolNode.node);
    if (port == nullptr) {
        throw std::runtime_error(std::string("the plug-in has no port ") + symbol);
    }
    return lilv_port_get_index(plugin_, port);
}

Lv2Instance::Lv2Instance(const Lv2Plugin& plugin, double rateHz)
    : instance_(lilv_plugin_instantiate(plugin.plugin(), rateHz, nullptr)) {
    if (instance_ == nullptr) {
        throw std::runtime_error("the plug-in refused to instantiate at " + std::to_string(rateHz) + " Hz");
    }
    if (plugin.portCount() != kLv2PortCount) {
        lilv_instance_free(instance_);
        throw std::runtime_error("the plug-in has " + std::to_string(plugin.portCount()) + " ports, not " +
                                 std::to_string(kLv2PortCount));
    }
    std::vector<float> defaults(kLv2PortCount);
    lilv_plugin_get_port_ranges_float(plugin.plugin(), nullptr, nullptr, defaults.data());
    for (const Lv2ControlPort& port : kLv2ControlPorts) {
        controls_[port.index] = defaults[port.index];
        connect(port.index, &controls_[port.index]);
    }
}

Lv2Instance::~Lv2Instance() {
    if (active_) {
        deactivate();
    }
    lilv_instance_free(instance_);
}

void Lv2Instance::activate() {
    lilv_instance_activate(instance_);
    active_ = true;
}

void Lv2Instance::deactivate() {
    lilv_instance_deactivate(instance_);
    active_ = false;
}
