#include "BrevanderWasm.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "BandAnalysis.h"
#include "BitCast.h"
#include "FactoryPresets.h"
#include "ParameterTable.h"
#include "ParameterText.h"
#include "ShufflerCore.h"

namespace {
// A render quantum of a Web Audio graph is 128 frames; a larger block serves
// offline renders and benchmarks with fewer calls.
constexpr std::int32_t kMaxBlockFrames = 4096;
constexpr std::int32_t kMaxResponsePoints = 1024;

bool isParameter(std::int32_t index) { return index >= 0 && index < kNumParams; }

const ParameterInfo& infoOf(std::int32_t index) { return kParameterTable[static_cast<std::size_t>(index)]; }

bool isPreset(std::int32_t preset) { return preset >= 0 && static_cast<std::size_t>(preset) < kFactoryPresets.size(); }

const FactoryPreset& presetOf(std::int32_t preset) { return kFactoryPresets[static_cast<std::size_t>(preset)]; }
}  // namespace

struct BrevanderWeb {
    ShufflerCore core;
    // What each parameter is to hold from the next block on, in the core's unit, and
    // the bits of what the core last took: compared as bits, so NaN applies once.
    float pendingStored[kNumParams];
    std::uint32_t appliedBits[kNumParams];
    float left[kMaxBlockFrames];
    float right[kMaxBlockFrames];
    double frequenciesHz[kMaxResponsePoints];
    double response[4 * kMaxResponsePoints];
    char displayText[kParameterTextLength + 1];

    explicit BrevanderWeb(float sampleRateHz)
        : pendingStored(), appliedBits(), left(), right(), frequenciesHz(), response(), displayText() {
        core.redesignForSampleRate(sampleRateHz);
        for (std::int32_t i = 0; i < kNumParams; ++i) {
            pendingStored[i] = core.storedValueOf(static_cast<ParameterIndex>(i));
            appliedBits[i] = bitCast<std::uint32_t>(pendingStored[i]);
        }
    }

    void applyPendingValues() {
        for (std::int32_t i = 0; i < kNumParams; ++i) {
            const auto bits = bitCast<std::uint32_t>(pendingStored[i]);
            if (bits != appliedBits[i]) {
                appliedBits[i] = bits;
                core.applyStoredValue(static_cast<ParameterIndex>(i), pendingStored[i]);
            }
        }
    }
};

extern "C" {

std::int32_t brevander_parameter_count() { return kNumParams; }
const char* brevander_parameter_name(std::int32_t index) { return isParameter(index) ? infoOf(index).name : nullptr; }
const char* brevander_parameter_unit(std::int32_t index) { return isParameter(index) ? infoOf(index).unit : nullptr; }
std::int32_t brevander_parameter_is_switch(std::int32_t index) { return isParameter(index) && isSwitch(infoOf(index)); }
double brevander_parameter_minimum(std::int32_t index) { return isParameter(index) ? unitMinimum(infoOf(index)) : 0.0; }
double brevander_parameter_maximum(std::int32_t index) { return isParameter(index) ? unitMaximum(infoOf(index)) : 0.0; }
double brevander_parameter_default(std::int32_t index) { return isParameter(index) ? unitDefault(infoOf(index)) : 0.0; }
double brevander_parameter_step(std::int32_t index) { return isParameter(index) ? infoOf(index).step : 0.0; }

std::int32_t brevander_preset_count() { return static_cast<std::int32_t>(kFactoryPresets.size()); }
const char* brevander_preset_id(std::int32_t preset) { return isPreset(preset) ? presetOf(preset).id : nullptr; }
const char* brevander_preset_name(std::int32_t preset) { return isPreset(preset) ? presetOf(preset).name : nullptr; }
double brevander_preset_value(std::int32_t preset, std::int32_t index) {
    double value = std::numeric_limits<double>::quiet_NaN();
    if (isPreset(preset) && isParameter(index)) {
        presetUnitValue(presetOf(preset), static_cast<ParameterIndex>(index), value);
    }
    return value;
}

std::int32_t brevander_max_block_frames() { return kMaxBlockFrames; }
std::int32_t brevander_max_response_points() { return kMaxResponsePoints; }

BrevanderWeb* brevander_create(float sampleRateHz) {
    if (!ShufflerCore::isUsableSampleRate(sampleRateHz)) {
        return nullptr;
    }
    // malloc rather than new: an exhausted memory answers null instead of aborting.
    void* memory = std::malloc(sizeof(BrevanderWeb));
    return memory == nullptr ? nullptr : new (memory) BrevanderWeb(sampleRateHz);
}

void brevander_destroy(BrevanderWeb* instance) {
    if (instance != nullptr) {
        instance->~BrevanderWeb();
        std::free(instance);
    }
}

std::int32_t brevander_set_value(BrevanderWeb* instance, std::int32_t index, double value) {
    if (!isParameter(index)) {
        return 0;
    }
    const ParameterInfo& info = infoOf(index);
    // A switch's unit is its raw value, 0 to 1, which the same mapping keeps as it is.
    float normalised = 0.0f;
    if (!normalisedFromUnitValue(info, value, normalised)) {
        return 0;
    }
    instance->pendingStored[index] = toStored(info, normalised);
    return 1;
}

std::int32_t brevander_set_normalised(BrevanderWeb* instance, std::int32_t index, float normalised) {
    if (!isParameter(index)) {
        return 0;
    }
    instance->pendingStored[index] = toStored(infoOf(index), normalised);
    return 1;
}

std::int32_t brevander_set_default(BrevanderWeb* instance, std::int32_t index) {
    if (!isParameter(index)) {
        return 0;
    }
    instance->pendingStored[index] = static_cast<float>(infoOf(index).defaultValue);
    return 1;
}

const char* brevander_display_text(BrevanderWeb* instance, std::int32_t index) {
    if (!isParameter(index)) {
        return nullptr;
    }
    parameterText(infoOf(index), instance->pendingStored[index], instance->displayText);
    return instance->displayText;
}

float* brevander_left(BrevanderWeb* instance) { return instance->left; }
float* brevander_right(BrevanderWeb* instance) { return instance->right; }

void brevander_process(BrevanderWeb* instance, std::int32_t frames) {
    instance->applyPendingValues();
    const std::int32_t n = frames < kMaxBlockFrames ? frames : kMaxBlockFrames;
    instance->core.processBlock(instance->left, instance->right, instance->left, instance->right, n);
}

void brevander_clear(BrevanderWeb* instance) { instance->core.clearStates(); }

double* brevander_frequencies(BrevanderWeb* instance) { return instance->frequenciesHz; }

const double* brevander_response(BrevanderWeb* instance, std::int32_t count) {
    instance->applyPendingValues();
    const std::int32_t n = count < kMaxResponsePoints ? count : kMaxResponsePoints;
    for (std::int32_t i = 0; i < n; ++i) {
        const ShufflerCore::PathResponse h = instance->core.pathResponse(instance->frequenciesHz[i]);
        double* out = instance->response + 4 * i;
        out[0] = h.sum.real();
        out[1] = h.sum.imag();
        out[2] = h.difference.real();
        out[3] = h.difference.imag();
    }
    return instance->response;
}

struct BrevanderBands {
    StereoBandAnalyser analyser;
    std::vector<OctaveBand> measured;
    std::string text;
    float left[kMaxBlockFrames];
    float right[kMaxBlockFrames];

    explicit BrevanderBands(double sampleRateHz) : analyser(sampleRateHz), left(), right() {}

    const OctaveBand* band(std::int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < measured.size()
                   ? &measured[static_cast<std::size_t>(index)]
                   : nullptr;
    }
};

namespace {
constexpr double kNoFigure = std::numeric_limits<double>::quiet_NaN();
}

BrevanderBands* brevander_bands_create(double sampleRateHz) {
    if (!(std::isfinite(sampleRateHz) && sampleRateHz > 0.0)) {
        return nullptr;
    }
    return new BrevanderBands(sampleRateHz);
}

void brevander_bands_destroy(BrevanderBands* analyser) { delete analyser; }

float* brevander_bands_left(BrevanderBands* analyser) { return analyser->left; }
float* brevander_bands_right(BrevanderBands* analyser) { return analyser->right; }

void brevander_bands_add(BrevanderBands* analyser, std::int32_t frames) {
    if (frames > 0) {
        analyser->analyser.add(analyser->left, analyser->right,
                               static_cast<std::size_t>(frames < kMaxBlockFrames ? frames : kMaxBlockFrames));
    }
}

void brevander_bands_reset(BrevanderBands* analyser) { analyser->analyser.reset(); }

std::int32_t brevander_bands_measure(BrevanderBands* analyser, const BrevanderBands* before) {
    analyser->measured = analyser->analyser.bands();
    if (before != nullptr) {
        carryQuietBands(before->measured, analyser->measured);
    }
    return static_cast<std::int32_t>(analyser->measured.size());
}

double brevander_bands_centre_hz(const BrevanderBands* analyser, std::int32_t band) {
    const OctaveBand* b = analyser->band(band);
    return b != nullptr ? b->centreHz : kNoFigure;
}

double brevander_bands_level_dbfs(const BrevanderBands* analyser, std::int32_t band) {
    const OctaveBand* b = analyser->band(band);
    return b != nullptr && !b->levelSilent() ? b->levelDbfs() : kNoFigure;
}

double brevander_bands_dif_to_sum_db(const BrevanderBands* analyser, std::int32_t band) {
    const OctaveBand* b = analyser->band(band);
    return b != nullptr && !b->difToSumSilent() && !b->quiet ? b->difToSumDb() : kNoFigure;
}

double brevander_bands_correlation(const BrevanderBands* analyser, std::int32_t band) {
    const OctaveBand* b = analyser->band(band);
    return b != nullptr && !b->correlationSilent() && !b->quiet ? b->correlation() : kNoFigure;
}

const char* brevander_bands_text(const BrevanderBands* before, BrevanderBands* after, std::int32_t band,
                                 std::int32_t field) {
    const OctaveBand* x = before->band(band);
    const OctaveBand* y = after->band(band);
    if (x == nullptr || y == nullptr) {
        return nullptr;
    }
    // Fields 0 to 8 in the order the table prints them.
    static constexpr std::string BandRowText::*kFields[] = {&BandRowText::band,
                                                            &BandRowText::levelBefore,
                                                            &BandRowText::levelAfter,
                                                            &BandRowText::difToSumBefore,
                                                            &BandRowText::difToSumAfter,
                                                            &BandRowText::difToSumChange,
                                                            &BandRowText::correlationBefore,
                                                            &BandRowText::correlationAfter,
                                                            &BandRowText::correlationChange};
    constexpr std::int32_t kFieldCount = static_cast<std::int32_t>(std::size(kFields));
    if (field >= 0 && field < kFieldCount) {
        after->text = bandRowText(*x, *y).*kFields[field];
    } else if (field == kFieldCount) {
        after->text = bandTableRow(*x, *y);
    } else if (field == kFieldCount + 1) {
        after->text = bandTableHeading();
    } else {
        return nullptr;
    }
    return after->text.c_str();
}
}

// Where the C library's abort() ends, when a vector cannot be allocated or a string
// outgrows its limit: a trap, which JavaScript sees as a RuntimeError. The
// library's own would import the host's exit, and the module imports nothing.
extern "C" void _Exit(int) { __builtin_trap(); }
