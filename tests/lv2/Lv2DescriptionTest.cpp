// The bundle's description as a host reads it through lilv: the values a host
// shows and sets must be the agreed ones to the float, the gain's default must be
// the VST 2 default once converted, and the units must be LV2's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LilvTestHost.h"
#include "Lv2PortTable.h"
#include "Lv2PortValues.h"
#include "RdfCanonical.h"

namespace {

constexpr const char* kLv2Core = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";
constexpr const char* kPortProps = "http://lv2plug.in/ns/ext/port-props#";

class Lv2Description : public testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = new Lv2Plugin(BREVANDER_LV2_PATH, kLv2PluginUri); }
    static void TearDownTestSuite() {
        delete plugin_;
        plugin_ = nullptr;
    }

    static const LilvPlugin* lilvPlugin() { return plugin_->plugin(); }
    static LilvWorld* world() { return plugin_->world(); }

    static std::vector<std::string> values(const LilvPort* port, const std::string& predicate) {
        LilvNode* p = lilv_new_uri(world(), predicate.c_str());
        LilvNodes* nodes = lilv_port_get_value(lilvPlugin(), port, p);
        std::vector<std::string> out;
        LILV_FOREACH(nodes, i, nodes) { out.emplace_back(lilv_node_as_string(lilv_nodes_get(nodes, i))); }
        lilv_nodes_free(nodes);
        lilv_node_free(p);
        return out;
    }

    static bool hasProperty(const LilvPort* port, const std::string& property) {
        LilvNode* p = lilv_new_uri(world(), property.c_str());
        const bool has = lilv_port_has_property(lilvPlugin(), port, p);
        lilv_node_free(p);
        return has;
    }

    static Lv2Plugin* plugin_;
};

Lv2Plugin* Lv2Description::plugin_ = nullptr;

struct Expected {
    const char* symbol;
    float defaultValue;  // the gain's is checked through its conversion
    const char* unit;    // empty for a switch
    bool logarithmic;
};

const Expected kExpected[] = {
    {"enable_dif_vlf", 1.0f, "", false},    {"vlf_cutoff", 20.0f, "hz", true},
    {"lf_width", 100.0f, "pc", false},      {"mic_spacing", 18.0f, "cm", false},
    {"enable_sum_shelf", 1.0f, "", false},  {"mid_bass_cut_gain", 0.0f, "db", false},
    {"mid_bass_cut_fc", 80.0f, "hz", true},
};

TEST_F(Lv2Description, ControlPortsHaveTheAgreedRangesDefaultsUnitsAndProperties) {
    std::vector<float> minimum(kLv2PortCount), maximum(kLv2PortCount), defaults(kLv2PortCount);
    ASSERT_EQ(lilv_plugin_get_num_ports(lilvPlugin()), kLv2PortCount);
    lilv_plugin_get_port_ranges_float(lilvPlugin(), minimum.data(), maximum.data(), defaults.data());
    for (std::size_t i = 0; i < kLv2ControlPorts.size(); ++i) {
        const Lv2ControlPort& port = kLv2ControlPorts[i];
        const Expected& expected = kExpected[i];
        SCOPED_TRACE(port.symbol);
        ASSERT_EQ(plugin_->portIndex(port.symbol), port.index);
        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(lilvPlugin(), port.index);
        EXPECT_EQ(minimum[port.index], static_cast<float>(port.minimum));
        EXPECT_EQ(maximum[port.index], static_cast<float>(port.maximum));
        if (port.isGainInDecibels) {
            EXPECT_EQ(linearGainOfDecibels(defaults[port.index]), 0.83f) << "default " << defaults[port.index];
        } else {
            EXPECT_EQ(defaults[port.index], expected.defaultValue);
        }
        const std::vector<std::string> units = values(lilvPort, std::string(kUnits) + "unit");
        if (*expected.unit == 0) {
            EXPECT_TRUE(units.empty());
        } else {
            EXPECT_EQ(units, std::vector<std::string>{std::string(kUnits) + expected.unit});
        }
        EXPECT_EQ(hasProperty(lilvPort, std::string(kLv2Core) + "toggled"), port.isSwitch);
        EXPECT_EQ(hasProperty(lilvPort, std::string(kLv2Core) + "integer"), port.isSwitch);
        EXPECT_EQ(hasProperty(lilvPort, std::string(kPortProps) + "logarithmic"), expected.logarithmic);
    }
}

TEST_F(Lv2Description, MayRunInPlaceAndInRealTimeAndRequiresNothing) {
    LilvNodes* required = lilv_plugin_get_required_features(lilvPlugin());
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    LilvNode* inPlaceBroken = lilv_new_uri(world(), (std::string(kLv2Core) + "inPlaceBroken").c_str());
    LilvNode* hardRt = lilv_new_uri(world(), (std::string(kLv2Core) + "hardRTCapable").c_str());
    EXPECT_FALSE(lilv_plugin_has_feature(lilvPlugin(), inPlaceBroken));
    LilvNodes* optional = lilv_plugin_get_optional_features(lilvPlugin());
    EXPECT_TRUE(lilv_nodes_contains(optional, hardRt));
    lilv_nodes_free(optional);
    lilv_node_free(hardRt);
    lilv_node_free(inPlaceBroken);
}

// The ports as the first release described them, kept in published-Brevander.ttl:
// hosts save sessions by their indices and symbols and restore values within their
// ranges, so the description written from the tables must say the same of them, as
// RDF, whatever the spelling. Only the version may move on.
TEST(Lv2PublishedDescription, TheWrittenDescriptionSaysWhatThePublishedOneSaid) {
    const auto withoutVersion = [](std::vector<std::string> statements) {
        std::erase_if(statements, [](const std::string& s) { return s.find("Version> ") != std::string::npos; });
        return statements;
    };
    const std::vector<std::string> published = canonicalStatements(BREVANDER_PUBLISHED_DESCRIPTION);
    const std::vector<std::string> written =
        canonicalStatements(std::string(BREVANDER_LV2_PATH) + "/Brevander.lv2/Brevander.ttl");
    ASSERT_GT(published.size(), 13u);
    EXPECT_EQ(withoutVersion(written), withoutVersion(published));
}

// Read from the description itself: lilv names a class only once the core schema
// is loaded, and this world holds the build's bundle alone.
TEST_F(Lv2Description, IsASpatialPlugin) {
    LilvNode* type = lilv_new_uri(world(), "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
    LilvNode* spatial = lilv_new_uri(world(), (std::string(kLv2Core) + "SpatialPlugin").c_str());
    LilvNodes* types = lilv_plugin_get_value(lilvPlugin(), type);
    EXPECT_TRUE(lilv_nodes_contains(types, spatial));
    lilv_nodes_free(types);
    lilv_node_free(spatial);
    lilv_node_free(type);
}

}  // namespace
