// The page's band analysis, in a Web Worker, so that it never stalls playback or
// the controls: the open recording's octave bands before the effect, measured once,
// and after it with the page's setting, measured again whenever the setting
// changes, always over the whole recording, through the module's copy of the code
// `brevander analyze` runs. A newer request ends an older one's run: the run
// yields between slices of the recording to hear of it. The page loads this file
// joined with brevander-core.js into one script held in memory (see page.js).
//
// In: {type: 'open', wasmBytes, rateHz, left, right (Float32Arrays, transferred)};
// {type: 'analyse', generation, setting (per parameter a value in the user's unit,
// or null)}.
// Out: {type: 'table', generation, table (BandAnalyser.table's)}, or {type:
// 'failed', generation, message}.
import { BandAnalyser, instantiateModule, Shuffler } from './brevander-core.js';

// About a second of audio between two looks at the messages.
const SLICE_FRAMES = 1 << 16;

let recording = null;  // {wasm, rateHz, left, right, before, after, count}
let newest = 0;

// A turn of the event loop, so that waiting messages are handled: through a
// channel of its own, as a timer's delay is stretched to 4 ms once timers nest.
const turns = new MessageChannel();
const yieldToMessages = () => new Promise((resolve) => {
  turns.port2.onmessage = resolve;
  turns.port1.postMessage(null);
});

function open({ wasmBytes, rateHz, left, right }) {
  const wasm = instantiateModule(wasmBytes);
  const before = new BandAnalyser(wasm, rateHz);
  before.add(left, right);
  const count = before.measure();
  recording = { wasm, rateHz, left, right, before, after: new BandAnalyser(wasm, rateHz), count };
}

async function analyse({ generation, setting }) {
  const { wasm, rateHz, left, right, before, after, count } = recording;
  const effect = new Shuffler(wasm, rateHz);
  try {
    setting.forEach((value, index) => {
      if (value === null) effect.setDefault(index); else effect.setValue(index, value);
    });
    after.reset();
    const block = effect.maxBlockFrames;
    for (let at = 0; at < left.length; at += block) {
      if (at % SLICE_FRAMES === 0 && at > 0) {
        await yieldToMessages();
        if (generation !== newest) return;
      }
      const n = Math.min(block, left.length - at);
      effect.left.set(left.subarray(at, at + n));
      effect.right.set(right.subarray(at, at + n));
      wasm.brevander_process(effect.handle, n);
      after.add(effect.left.subarray(0, n), effect.right.subarray(0, n));
    }
    after.measure();
    postMessage({ type: 'table', generation, table: BandAnalyser.table(before, after, count) });
  } finally {
    effect.destroy();
  }
}

onmessage = async ({ data }) => {
  try {
    if (data.type === 'open') {
      open(data);
    } else if (data.type === 'analyse') {
      newest = data.generation;
      await analyse(data);
    }
  } catch (error) {
    postMessage({ type: 'failed', generation: data.generation, message: error.message });
  }
};
