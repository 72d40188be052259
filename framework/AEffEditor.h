// The editor interface: what the dispatchers forward the editor opcodes to.
// An effect may attach one editor; the framework owns it and deletes it with the effect.
#pragma once

#include <cstdint>

#include "AEffect.h"

class AudioEffect;

// The host's window rectangle. The framework only passes its address on.
struct ERect;

// Built afresh by the dispatcher for each key opcode; an editor must not keep its address.
struct VstKeyCode {
    VstInt32 character;
    std::uint8_t virt;
    std::uint8_t modifier;
};
static_assert(sizeof(VstKeyCode) == 8);

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;
    virtual ~AEffEditor() = default;

    virtual bool getRect(ERect** rect) {
        (void)rect;
        return false;
    }
    virtual bool open(void* parentWindow) {
        (void)parentWindow;
        return false;
    }
    virtual void close() {}
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool onKeyUp(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool setKnobMode(VstInt32 mode) {
        (void)mode;
        return false;
    }

    AudioEffect* getEffect() const { return effect_; }

private:
    AudioEffect* effect_;
};
