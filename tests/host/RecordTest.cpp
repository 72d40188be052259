// The record of a fresh instance, and audio through its replacing-process entry,
// as a host reads them from the loaded plug-in file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "LoadedPlugin.h"
#include "Opcodes.h"

TEST(Record, FreshInstanceHasTheEffectsFields) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    const AEffect& r = effect.record();
    EXPECT_EQ(r.magic, 0x56737450);
    EXPECT_EQ(r.numPrograms, 1);
    EXPECT_EQ(r.numParams, 7);
    EXPECT_EQ(r.numInputs, 2);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 0x10);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.realQualities, 0);
    EXPECT_EQ(r.offQualities, 0);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.uniqueID, 0x42727664) << "'Brvd'";
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.resvd2, 0);
    EXPECT_NE(r.object, nullptr);
    EXPECT_TRUE(std::all_of(std::begin(r.future), std::end(r.future), [](char b) { return b == 0; }));
    EXPECT_NE(r.dispatcher, nullptr);
    EXPECT_NE(r.process, nullptr);
    EXPECT_NE(r.setParameter, nullptr);
    EXPECT_NE(r.getParameter, nullptr);
    EXPECT_NE(r.processReplacing, nullptr);
    EXPECT_NE(r.processDoubleReplacing, nullptr);
}

TEST(Record, ReplacingProcessRunsTheShuffler) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    StereoBlock impulse(1);
    impulse.left[0] = 1.0f;
    const StereoBlock out = processThroughRecord(effect, impulse);
    EXPECT_NEAR(out.left[0], 0.98247, 5e-6);
    EXPECT_NEAR(out.right[0], 0.0033357, 5e-8);
    EXPECT_TRUE(host.calls().size() == 1) << "processing called the host";
}

TEST(Record, AccumulatingAndDoublePrecisionEntriesLeaveTheOutputsAlone) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    StereoBlock input = testSignal(64);
    StereoBlock output(64, 0.25f);
    float* inputs[2] = {input.left.data(), input.right.data()};
    float* outputs[2] = {output.left.data(), output.right.data()};
    effect.process(inputs, outputs, 64);
    EXPECT_EQ(output, StereoBlock(64, 0.25f));

    std::vector<double> inL(64, 0.5), inR(64, -0.5), outL(64, 0.75), outR(64, 0.75);
    double* dInputs[2] = {inL.data(), inR.data()};
    double* dOutputs[2] = {outL.data(), outR.data()};
    effect.processDoubleReplacing(dInputs, dOutputs, 64);
    EXPECT_EQ(outL, std::vector<double>(64, 0.75));
    EXPECT_EQ(outR, std::vector<double>(64, 0.75));
}
