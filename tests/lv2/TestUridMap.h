// A host's URID map for tests: each URI gets the next number, from 1.
#pragma once

#include <lv2/urid/urid.h>

#include <cstdint>
#include <string>
#include <vector>

class TestUridMap {
public:
    TestUridMap() : map_{this, &TestUridMap::mapUri}, feature_{LV2_URID__map, &map_} {}
    TestUridMap(const TestUridMap&) = delete;
    TestUridMap& operator=(const TestUridMap&) = delete;

    const LV2_URID_Map* map() const { return &map_; }
    const LV2_Feature* feature() const { return &feature_; }
    LV2_URID operator()(const char* uri) { return mapUri(this, uri); }

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<TestUridMap*>(handle)->uris_;
        for (std::size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }

    std::vector<std::string> uris_;
    LV2_URID_Map map_;
    LV2_Feature feature_;
};
