// The audio worklet that runs the effect: the module's bytes come with the node's
// options (a worklet has no fetch), and each 128-frame render quantum goes through
// the module in place. Used for listening (an AudioContext) and for rendering a
// file (an OfflineAudioContext) alike, so both give the module's exact output.
//
// processorOptions:
//   wasmBytes  the module, brevander.wasm
//   setting    per parameter null (default) or a value in the user's unit
//   segments   optional, for rendering many settings in one pass: [{startFrame,
//              normalised: [seven values or null]}], each starting a fresh instance
//              at its frame (a multiple of 128) with those normalised values
// Messages: {type: 'set', index, value} (null: the default), {type: 'listen',
// processed} (the A/B switch), {type: 'clear'} (after a jump in the material).
import { instantiateModule, Shuffler } from './brevander-core.js';

class BrevanderProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { wasmBytes, setting = [], segments = null } = options.processorOptions;
    this.wasm = instantiateModule(wasmBytes);
    this.segments = segments;
    this.nextSegment = 0;
    this.frame = 0;
    this.effect = new Shuffler(this.wasm, sampleRate);
    setting.forEach((value, index) => this.set(index, value));
    this.processed = true;
    // Whether the next quantum crossfades, after an A/B switch.
    this.fading = false;
    this.port.onmessage = (event) => this.receive(event.data);
  }

  set(index, value) {
    const taken = value === null ? this.effect.setDefault(index) : this.effect.setValue(index, value);
    if (!taken) this.port.postMessage({ type: 'refused', index, value });
  }

  receive(message) {
    if (message.type === 'set') {
      this.set(message.index, message.value);
    } else if (message.type === 'listen' && message.processed !== this.processed) {
      this.processed = message.processed;
      this.fading = true;
    } else if (message.type === 'clear') {
      this.effect.clear();
    }
  }

  startSegmentIfDue() {
    const segment = this.segments && this.segments[this.nextSegment];
    if (!segment || segment.startFrame !== this.frame) return;
    this.effect.destroy();
    this.effect = new Shuffler(this.wasm, sampleRate);
    segment.normalised.forEach((value, index) => {
      if (value !== null) this.effect.setNormalised(index, value);
    });
    this.nextSegment += 1;
  }

  process(inputs, outputs) {
    this.startSegmentIfDue();
    const input = inputs[0];
    const [outLeft, outRight] = outputs[0];
    const frames = outLeft.length;
    const inLeft = input.length > 0 ? input[0] : null;
    // A mono input is a centred source: both channels carry it.
    const inRight = input.length > 1 ? input[1] : inLeft;
    const wet = this.effect;
    // Views of the quantum's part of the module's buffers, made once per instance
    // and length: the audio thread should make no garbage.
    if (!this.views || this.views.effect !== wet || this.views.frames !== frames) {
      this.views = { effect: wet, frames, left: wet.left.subarray(0, frames), right: wet.right.subarray(0, frames) };
    }
    if (inLeft) {
      wet.left.set(inLeft);
      wet.right.set(inRight);
    } else {
      this.views.left.fill(0);
      this.views.right.fill(0);
    }
    this.wasm.brevander_process(wet.handle, frames);
    if (!this.fading && this.processed) {
      outLeft.set(this.views.left);
      outRight.set(this.views.right);
    } else if (!this.fading) {
      if (inLeft) {
        outLeft.set(inLeft);
        outRight.set(inRight);
      }
    } else {
      // A linear crossfade over one quantum: an instant switch between two signals
      // of different phase would click.
      for (let i = 0; i < frames; ++i) {
        const toNew = (i + 1) / frames;
        const processedShare = this.processed ? toNew : 1 - toNew;
        const dryLeft = inLeft ? inLeft[i] : 0;
        const dryRight = inRight ? inRight[i] : 0;
        outLeft[i] = processedShare * wet.left[i] + (1 - processedShare) * dryLeft;
        outRight[i] = processedShare * wet.right[i] + (1 - processedShare) * dryRight;
      }
      this.fading = false;
    }
    this.frame += frames;
    return true;
  }
}

registerProcessor('brevander', BrevanderProcessor);
