// The factory presets as a host finds and loads them through lilv: every preset of
// the table is listed under its name, and loading it gives the output of the same
// settings typed into the ports, to the bit.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <map>
#include <string>

#include "FactoryPresets.h"
#include "LilvTestHost.h"
#include "Lv2PortTable.h"
#include "TestSignal.h"
#include "TestUridMap.h"

namespace {

constexpr std::uint32_t kRateHz = 48000;

std::string presetUri(const FactoryPreset& preset) { return std::string(kLv2PluginUri) + "#preset-" + preset.id; }

class FactoryPresets : public testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() { plugin_ = new Lv2Plugin(BREVANDER_LV2_PATH, kLv2PluginUri); }
    static void TearDownTestSuite() {
        delete plugin_;
        plugin_ = nullptr;
    }

    static StereoSignal render(Lv2Instance& instance, const StereoSignal& input) {
        StereoSignal output{std::vector<float>(input.frames()), std::vector<float>(input.frames())};
        instance.connect(kLv2InLeft, const_cast<float*>(input.left.data()));
        instance.connect(kLv2InRight, const_cast<float*>(input.right.data()));
        instance.connect(kLv2OutLeft, output.left.data());
        instance.connect(kLv2OutRight, output.right.data());
        instance.activate();
        instance.run(static_cast<std::uint32_t>(input.frames()));
        instance.deactivate();
        return output;
    }

    static Lv2Plugin* plugin_;
};

Lv2Plugin* FactoryPresets::plugin_ = nullptr;

// What lilv hands a host for each port the preset sets.
struct Restored {
    TestUridMap* map;
    std::map<std::string, float> values;
    bool allFloats = true;
};

void restorePortValue(const char* symbol, void* data, const void* value, std::uint32_t size, std::uint32_t type) {
    auto& restored = *static_cast<Restored*>(data);
    if (type != (*restored.map)(LV2_ATOM__Float) || size != sizeof(float)) {
        restored.allFloats = false;
        return;
    }
    restored.values[symbol] = *static_cast<const float*>(value);
}

TEST_F(FactoryPresets, HostsListEachUnderItsName) {
    LilvWorld* world = plugin_->world();
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(world, "http://www.w3.org/2000/01/rdf-schema#label");
    LilvNodes* presets = lilv_plugin_get_related(plugin_->plugin(), presetClass);
    std::map<std::string, std::string> listed;
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(world, preset);
        LilvNode* name = lilv_world_get(world, preset, label, nullptr);
        listed[lilv_node_as_uri(preset)] = name != nullptr ? lilv_node_as_string(name) : "";
        lilv_node_free(name);
    }
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    std::map<std::string, std::string> expected;
    for (const FactoryPreset& preset : kFactoryPresets) {
        expected[presetUri(preset)] = preset.name;
    }
    EXPECT_EQ(listed, expected);
}

TEST_P(FactoryPresets, LoadedGiveTheOutputOfTheSameSettingsTypedIn) {
    const FactoryPreset& preset = kFactoryPresets[GetParam()];
    LilvWorld* world = plugin_->world();
    TestUridMap map;
    LilvNode* uri = lilv_new_uri(world, presetUri(preset).c_str());
    lilv_world_load_resource(world, uri);
    LilvState* state = lilv_state_new_from_world(world, const_cast<LV2_URID_Map*>(map.map()), uri);
    lilv_node_free(uri);
    ASSERT_NE(state, nullptr);
    Restored restored{&map, {}};
    lilv_state_restore(state, nullptr, restorePortValue, &restored, 0, nullptr);
    lilv_state_free(state);
    // Every control port is set, each as a float, as the ports take them.
    EXPECT_TRUE(restored.allFloats);
    ASSERT_EQ(restored.values.size(), kLv2ControlPorts.size());

    Lv2Instance loaded(*plugin_, kRateHz);
    for (const auto& [symbol, value] : restored.values) {
        loaded.control(plugin_->portIndex(symbol.c_str())) = value;
    }
    // By hand: the spacing and the width typed in, the rest left at the defaults.
    Lv2Instance typed(*plugin_, kRateHz);
    typed.control(plugin_->portIndex("mic_spacing")) = static_cast<float>(preset.micSpacingCm);
    typed.control(plugin_->portIndex("lf_width")) = static_cast<float>(preset.lfWidthPercent);

    const StereoSignal input = makeTestSignal(kRateHz);
    const StereoSignal fromPreset = render(loaded, input);
    const StereoSignal byHand = render(typed, input);
    EXPECT_EQ(firstDifference(fromPreset, byHand), input.frames());
    // The preset must change something: its output is not the defaults'.
    Lv2Instance defaults(*plugin_, kRateHz);
    EXPECT_NE(firstDifference(render(defaults, input), byHand), input.frames());
}

INSTANTIATE_TEST_SUITE_P(Table, FactoryPresets, testing::Range<std::size_t>(0, kFactoryPresets.size()),
                         [](const testing::TestParamInfo<std::size_t>& test) {
                             std::string name = kFactoryPresets[test.param].id;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
