// The page's render, in a Web Worker: the module runs straight over the decoded
// samples in its largest blocks, with no audio graph in between, and each block
// goes from the module's buffers straight into the float WAV's samples, so the
// page's thread only shows progress and stays free for the Cancel button. The page loads this file joined with brevander-core.js and
// audio-files.js into one script held in memory (see page.js), so the imports are
// for editors and readers.
//
// In: {wasmBytes, rateHz, setting (per parameter a value in the user's unit, or
// null for the default), left, right (Float32Arrays, transferred)}.
// Out: {type: 'progress', done (0 to 1)} now and then, then {type: 'done', wav
// (a Blob)}, or {type: 'failed', message, forUser (whether the message is in the
// user's words)}.
import { instantiateModule, Shuffler } from './brevander-core.js';
import { AudioFileError, floatWavHeader } from './audio-files.js';

// About a hundred progress messages over a render, however long: posting one per
// block would cost more than the block.
const PROGRESS_STEPS = 100;

// The float WAV of the render, as a Blob.
function render({ wasmBytes, rateHz, setting, left, right }) {
  const effect = new Shuffler(instantiateModule(wasmBytes), rateHz);
  setting.forEach((value, index) => {
    const taken = value === null ? effect.setDefault(index) : effect.setValue(index, value);
    if (!taken) throw new AudioFileError(`The effect refused parameter ${index + 1} = ${value}.`);
  });
  const frames = left.length;
  const header = floatWavHeader(frames, 2, rateHz);
  const samples = new Float32Array(2 * frames);
  const block = effect.maxBlockFrames;
  const blocksPerStep = Math.max(1, Math.ceil(frames / block / PROGRESS_STEPS));
  for (let at = 0, count = 0; at < frames; at += block, ++count) {
    const n = Math.min(block, frames - at);
    effect.left.set(left.subarray(at, at + n));
    effect.right.set(right.subarray(at, at + n));
    effect.wasm.brevander_process(effect.handle, n);
    const out = samples.subarray(2 * at, 2 * (at + n));
    for (let i = 0; i < n; ++i) out[2 * i] = effect.left[i];
    for (let i = 0; i < n; ++i) out[2 * i + 1] = effect.right[i];
    if (count % blocksPerStep === 0) postMessage({ type: 'progress', done: (at + n) / frames });
  }
  effect.destroy();
  return new Blob([header, samples.buffer], { type: 'audio/wav' });
}

onmessage = (event) => {
  try {
    postMessage({ type: 'done', wav: render(event.data) });
  } catch (error) {
    postMessage({ type: 'failed', message: error.message, forUser: error instanceof AudioFileError });
  }
};
