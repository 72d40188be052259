// libFuzzer target: a byte-driven sequence of host calls on one to three instances,
// made through the entry point and the records exactly as a host makes them.
// Every buffer has the size the host contract gives it and sits on the heap on its
// own, so AddressSanitizer sees any write past it. Besides crashes and sanitizer
// reports, the target stops on:
//   - a non-finite output sample from a block whose input was in range (finite and
//     within 1e6, 120 dB over full scale), whatever came before it;
//   - an output array changed by the accumulating or double-precision process,
//     which must leave it untouched.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "AEffect.h"
#include "FuzzInput.h"
#include "Opcodes.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace {

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == 1 ? 2400 : 0;  // the version query; every other request is declined
}

// A heap block of exactly `size` bytes, zeroed.
std::unique_ptr<char[]> buffer(std::size_t size) { return std::unique_ptr<char[]>(new char[size]()); }

// A zero-terminated text of the length the input asks for, in a block of just that size.
std::unique_ptr<char[]> text(ByteReader& in) {
    const std::size_t length = in.u8() % 80;
    auto t = buffer(length + 1);
    for (std::size_t i = 0; i < length; ++i) {
        t[i] = static_cast<char>(in.u8() | 1);
    }
    return t;
}

// One dispatcher call, with ptr (and value, where it is a pointer) as the host
// contract shapes them for the opcode.
void dispatch(AEffect* e, ByteReader& in) {
    const std::uint8_t pick = in.u8();
    const VstInt32 opcode = pick < 240 ? static_cast<VstInt32>(pick % 83) - 1 : in.i32();
    if (opcode == effClose) {
        return;  // only at the end: the record is gone afterwards
    }
    const VstInt32 index = static_cast<VstInt32>(static_cast<std::int16_t>(in.u16()));
    VstIntPtr value = in.i32();
    const float opt = in.f32();
    std::unique_ptr<char[]> data;
    void* ptr = nullptr;
    void* pointerSlots[2] = {nullptr, nullptr};
    switch (opcode) {
        case effSetProgramName:
        case effString2Parameter:
        case effCanDo:
            data = text(in);
            ptr = data.get();
            break;
        case effGetProgramName:
            data = buffer(32);
            ptr = data.get();
            break;
        case effGetParamLabel:
            data = buffer(10);
            ptr = data.get();
            break;
        case effGetParamDisplay:
            data = buffer(5);
            ptr = data.get();
            break;
        case effGetParamName:
            data = buffer(22);
            ptr = data.get();
            break;
        case effEditGetRect:
        case effGetChunk:
            ptr = &pointerSlots[0];
            break;
        case effSetChunk:
            value = in.u8();
            data = buffer(static_cast<std::size_t>(value) + 1);
            ptr = data.get();
            break;
        case effGetSpeakerArrangement:
            value = reinterpret_cast<VstIntPtr>(&pointerSlots[0]);
            ptr = &pointerSlots[1];
            break;
        case effSetSpeakerArrangement:
            value = 0;
            break;
        default:
            // Records and texts the host owns: a generous zeroed block, or none.
            if (in.u8() % 2 == 0) {
                data = buffer(512);
                ptr = data.get();
            }
            break;
    }
    e->dispatcher(e, opcode, index, value, ptr, opt);
}

void processReplacing(AEffect* e, ByteReader& in) {
    const int frames = static_cast<int>(in.u16() % 1100) - 50;
    const std::uint8_t mode = in.u8();
    const bool inPlace = (mode & 1) != 0;
    const int source = (mode >> 1) & 3;
    const auto n = static_cast<std::size_t>(frames > 0 ? frames : 0);
    // One block per channel, each exactly as long as the frames passed (or a single
    // sample for none), so a write past the end is caught.
    std::vector<std::unique_ptr<float[]>> channels;
    for (int c = 0; c < 4; ++c) {
        channels.emplace_back(new float[n == 0 ? 1 : n]());
    }
    bool allInRange = true;
    for (std::size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 2; ++c) {
            const float x = sampleFrom(in, source);
            channels[static_cast<std::size_t>(c)][i] = x;
            allInRange = allInRange && inRange(x);
        }
    }
    float* inputs[2] = {channels[0].get(), channels[1].get()};
    float* separate[2] = {channels[2].get(), channels[3].get()};
    float** outputs = inPlace ? inputs : separate;
    e->processReplacing(e, inputs, outputs, frames);
    if (allInRange) {
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(outputs[0][i]) || !std::isfinite(outputs[1][i])) {
                violated("non-finite output from in-range input");
            }
        }
    }
}

void processUntouched(AEffect* e, ByteReader& in, bool doublePrecision) {
    const int frames = static_cast<int>(in.u8()) - 8;
    const auto n = static_cast<std::size_t>(frames > 0 ? frames : 1);
    if (doublePrecision) {
        std::vector<double> a(n, 0.5), b(n, -0.5), outA(n, 3.0), outB(n, 4.0);
        double* inputs[2] = {a.data(), b.data()};
        double* outputs[2] = {outA.data(), outB.data()};
        e->processDoubleReplacing(e, inputs, outputs, frames);
        for (std::size_t i = 0; i < n; ++i) {
            if (outA[i] != 3.0 || outB[i] != 4.0) {
                violated("processDoubleReplacing wrote its outputs");
            }
        }
    } else {
        std::vector<float> a(n, 0.5f), b(n, -0.5f), outA(n, 3.0f), outB(n, 4.0f);
        float* inputs[2] = {a.data(), b.data()};
        float* outputs[2] = {outA.data(), outB.data()};
        e->process(e, inputs, outputs, frames);
        for (std::size_t i = 0; i < n; ++i) {
            if (outA[i] != 3.0f || outB[i] != 4.0f) {
                violated("process wrote its outputs");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    std::vector<AEffect*> instances;
    const int count = 1 + in.u8() % 3;
    for (int i = 0; i < count; ++i) {
        AEffect* e = VSTPluginMain(host);
        if (e == nullptr || e->magic != kEffectMagic) {
            violated("the entry point made no instance");
        }
        instances.push_back(e);
    }
    for (int step = 0; step < 2000 && !in.empty(); ++step) {
        const std::uint8_t op = in.u8();
        AEffect* e = instances[in.u8() % instances.size()];
        switch (op % 9) {
            case 0:
                dispatch(e, in);
                break;
            case 1: {
                const VstInt32 index = static_cast<std::int8_t>(in.u8());
                e->setParameter(e, index, in.f32());
                break;
            }
            case 2: {
                const float value = e->getParameter(e, static_cast<std::int8_t>(in.u8()));
                (void)value;
                break;
            }
            case 3:
                e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, in.f32());
                break;
            case 4:
                e->dispatcher(e, effSetBlockSize, 0, in.i32(), nullptr, 0.0f);
                break;
            case 5:
                processReplacing(e, in);
                break;
            case 6:
                processUntouched(e, in, false);
                break;
            case 7:
                processUntouched(e, in, true);
                break;
            default:
                e->dispatcher(e, effMainsChanged, 0, in.u8() & 1, nullptr, 0.0f);
                break;
        }
    }
    for (AEffect* e : instances) {
        if (e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f) != 1) {
            violated("effClose did not answer 1");
        }
    }
    return 0;
}
