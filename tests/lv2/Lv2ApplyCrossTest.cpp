// An ARM build's LV2 bundle rendered by Debian's ARM build of lv2apply under
// qemu-user, against this machine's bundle rendered by this machine's lv2apply:
// the same input and port values must give the same bits in every sample.
//
// Built with the build machine's tests and run by a cross build's CTest, which
// says where its bundle, the emulator and the unpacked ARM host are:
//   BREVANDER_CROSS_NAME      the build's name, for messages and file names
//   BREVANDER_CROSS_LV2_PATH  the folder that holds the cross-built bundle
//   BREVANDER_CROSS_EMULATOR  qemu-aarch64 or qemu-arm
//   BREVANDER_CROSS_SYSROOT   the root the ARM lv2apply and its libraries are in
//   BREVANDER_CROSS_WORK_DIR  where the WAV files go
//   BREVANDER_CROSS_STAGE_DIR (32-bit builds) a folder on tmpfs to copy the bundle
//                             into: ext4 numbers directory entries with 64-bit
//                             cookies, which qemu-user passes on unchanged and a
//                             32-bit lilv's readdir rejects (EOVERFLOW), so the
//                             host would find no plug-in in the build tree
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include "FloatWav.h"
#include "Lv2Apply.h"
#include "Lv2PortTable.h"
#include "TestSignal.h"

namespace {

struct CrossCase {
    const char* name;
    std::uint32_t rateHz;
    Lv2Controls controls;
};

// Defaults; round values typed into the ports, including some no VST 2 value
// reaches; and the far ends of the ranges with the difference filter off.
const CrossCase kCases[] = {
    {"defaults", 44100, {}},
    {"typed_values",
     48000,
     {{"lf_width", 120.0f},
      {"vlf_cutoff", 63.0f},
      {"mic_spacing", 14.5f},
      {"mid_bass_cut_gain", -3.0f},
      {"mid_bass_cut_fc", 59.0f}}},
    {"range_ends_difference_filter_off",
     96000,
     {{"enable_dif_vlf", 0.0f},
      {"vlf_cutoff", 110.0f},
      {"lf_width", 200.0f},
      {"mic_spacing", 1.0f},
      {"mid_bass_cut_gain", 6.02f},
      {"mid_bass_cut_fc", 200.0f}}},
};

std::string requiredVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string(name) + " is not set; this program is run by an ARM build's CTest");
    }
    return value;
}

StereoSignal render(const std::string& lv2Path, const Lv2ApplyLauncher& launcher, const StereoSignal& input,
                    const CrossCase& c, const std::filesystem::path& in, const std::filesystem::path& out) {
    runLv2Apply(lv2Path, kLv2PluginUri, in.string(), out.string(), c.controls, launcher);
    const FloatWav wav = readFloatWav(out.string());
    EXPECT_EQ(wav.rateHz, c.rateHz) << out;
    EXPECT_EQ(wav.signal.frames(), input.frames()) << out;
    std::filesystem::remove(out);
    return wav.signal;
}

// A copy of the bundle under a folder of its own, removed at the end.
class StagedBundle {
public:
    StagedBundle(const std::string& lv2Path, const std::filesystem::path& stageDir, const std::string& name)
        : path_(stageDir / ("brevander-lv2-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::copy(std::filesystem::path(lv2Path) / "Brevander.lv2", path_ / "Brevander.lv2",
                              std::filesystem::copy_options::recursive);
    }
    StagedBundle(const StagedBundle&) = delete;
    StagedBundle& operator=(const StagedBundle&) = delete;
    ~StagedBundle() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string lv2Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

class CrossBundleInLv2Apply : public testing::TestWithParam<std::size_t> {};

TEST_P(CrossBundleInLv2Apply, MatchesThisMachinesBundleBitForBit) {
    const CrossCase& c = kCases[GetParam()];
    const std::string build = requiredVariable("BREVANDER_CROSS_NAME");
    const std::string crossLv2Path = requiredVariable("BREVANDER_CROSS_LV2_PATH");
    const std::string emulator = requiredVariable("BREVANDER_CROSS_EMULATOR");
    const std::string sysroot = requiredVariable("BREVANDER_CROSS_SYSROOT");
    const std::filesystem::path work = requiredVariable("BREVANDER_CROSS_WORK_DIR");
    ASSERT_TRUE(std::filesystem::exists(crossLv2Path + "/Brevander.lv2/manifest.ttl"))
        << "no bundle under " << crossLv2Path;
    ASSERT_TRUE(std::filesystem::exists(sysroot + "/usr/bin/lv2apply")) << "no lv2apply under " << sysroot;

    std::filesystem::create_directories(work);
    const std::string stem = build + "-" + c.name;
    std::optional<StagedBundle> staged;
    if (const char* stageDir = std::getenv("BREVANDER_CROSS_STAGE_DIR")) {
        staged.emplace(crossLv2Path, stageDir, stem);
    }
    const std::filesystem::path in = work / (stem + "-in.wav");
    const StereoSignal input = makeTestSignal(c.rateHz);
    writeFloatWav(in.string(), input, c.rateHz);

    const StereoSignal native = render(BREVANDER_LV2_PATH, {"lv2apply"}, input, c, in, work / (stem + "-native.wav"));
    const StereoSignal cross =
        render(staged ? staged->lv2Path() : crossLv2Path, {emulator, "-L", sysroot, sysroot + "/usr/bin/lv2apply"},
               input, c, in, work / (stem + "-" + build + ".wav"));
    std::filesystem::remove(in);

    ASSERT_EQ(cross.frames(), native.frames());
    const std::size_t at = firstDifference(cross, native);
    if (at < native.frames()) {
        FAIL() << "the " << build << " bundle's render differs from this machine's from frame " << at << " of "
               << native.frames() << ": left " << cross.left[at] << " vs " << native.left[at] << ", right "
               << cross.right[at] << " vs " << native.right[at];
    }
    std::printf("compared %zu samples (%zu frames x 2 channels at %u Hz) of the %s and x86-64 renders: all identical\n",
                2 * native.frames(), native.frames(), c.rateHz, build.c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, CrossBundleInLv2Apply, testing::Range<std::size_t>(0, std::size(kCases)),
                         [](const testing::TestParamInfo<std::size_t>& test) {
                             return std::string(kCases[test.param].name) + "_at_" +
                                    std::to_string(kCases[test.param].rateHz) + "_Hz";
                         });

}  // namespace
