// The audio worklet that runs the effect: the module's bytes come with the node's
// options (a worklet has no fetch), and each 128-frame render quantum goes through
// the module in place. The page listens through it; the tests also run it in an
// OfflineAudioContext, to show that what is heard is the module's exact output.
//
// processorOptions:
//   wasmBytes  the module, brevander.wasm
//   setting    per parameter null (default) or a value in the user's unit
//   segments   optional, for rendering many settings in one pass: [{startFrame,
//              normalised: [seven values or null]}], each starting a fresh instance
//              at its frame (a multiple of 128) with those normalised values
// Messages in: {type: 'set', index, value} (null: the default), {type: 'listen',
// mode} (what to hear, one of LISTENING_MODES), {type: 'clear'} (after a jump in
// the material). Out: {type: 'refused', index, value} for a value the module
// refuses; {type: 'listening', mode} once a listen message is taken.
import { instantiateModule, Shuffler } from './brevander-core.js';

// A: the effect's output; B: the input; the effect's sum or difference (half of
// left plus or minus right) alone, in both ears alike, so that what the width
// filter leaves of the difference can be heard by itself.
const LISTENING_MODES = ['processed', 'untouched', 'sum', 'difference'];

// Frame i of what `mode` plays, into pair[0] and pair[1].
function modeFrame(mode, wetLeft, wetRight, dryLeft, dryRight, i, pair) {
  if (mode === 'processed') {
    pair[0] = wetLeft[i];
    pair[1] = wetRight[i];
  } else if (mode === 'untouched') {
    pair[0] = dryLeft ? dryLeft[i] : 0;
    pair[1] = dryRight ? dryRight[i] : 0;
  } else {
    const half = mode === 'sum' ? 0.5 * (wetLeft[i] + wetRight[i]) : 0.5 * (wetLeft[i] - wetRight[i]);
    pair[0] = half;
    pair[1] = half;
  }
}

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
    this.mode = 'processed';
    // The mode the next quantum crossfades from, after a switch; null while steady.
    this.fadingFrom = null;
    this.pairs = [new Float64Array(2), new Float64Array(2)];
    this.port.onmessage = (event) => this.receive(event.data);
  }

  set(index, value) {
    const taken = value === null ? this.effect.setDefault(index) : this.effect.setValue(index, value);
    if (!taken) this.port.postMessage({ type: 'refused', index, value });
  }

  receive(message) {
    if (message.type === 'set') {
      this.set(message.index, message.value);
    } else if (message.type === 'listen' && LISTENING_MODES.includes(message.mode)) {
      if (message.mode !== this.mode) {
        // A switch back within one quantum fades from what was playing last.
        if (this.fadingFrom === null) this.fadingFrom = this.mode;
        this.mode = message.mode;
      }
      // Said back, so that an offline render suspended for the switch resumes only
      // once the next quantum will play the new mode.
      this.port.postMessage({ type: 'listening', mode: message.mode });
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
    if (this.fadingFrom === null && this.mode === 'processed') {
      outLeft.set(this.views.left);
      outRight.set(this.views.right);
    } else if (this.fadingFrom === null && this.mode === 'untouched') {
      if (inLeft) {
        outLeft.set(inLeft);
        outRight.set(inRight);
      }
    } else if (this.fadingFrom === null) {
      // The sum or the difference alone, in both ears.
      const sign = this.mode === 'sum' ? 1 : -1;
      for (let i = 0; i < frames; ++i) {
        const half = 0.5 * (wet.left[i] + sign * wet.right[i]);
        outLeft[i] = half;
        outRight[i] = half;
      }
    } else {
      // After a switch, a linear crossfade over one quantum: an instant switch
      // between two signals of different phase would click.
      const [from, to] = this.pairs;
      for (let i = 0; i < frames; ++i) {
        modeFrame(this.mode, wet.left, wet.right, inLeft, inRight, i, to);
        modeFrame(this.fadingFrom, wet.left, wet.right, inLeft, inRight, i, from);
        const toNew = (i + 1) / frames;
        outLeft[i] = toNew * to[0] + (1 - toNew) * from[0];
        outRight[i] = toNew * to[1] + (1 - toNew) * from[1];
      }
      this.fadingFrom = null;
    }
    this.frame += frames;
    return true;
  }
}

registerProcessor('brevander', BrevanderProcessor);
