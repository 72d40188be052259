// The page's render, in a Web Worker: the module runs straight over the decoded
// samples in its largest blocks, with no audio graph in between, and the float WAV
// is written here too, so the page's thread only shows progress and stays free for
// the Cancel button. The page loads this file joined with brevander-core.js and
// audio-files.js into one script held in memory (see page.js), so the imports are
// for editors and readers.
//
// In: {wasmBytes, rateHz, setting (per parameter a value in the user's unit, or
// null for the default), left, right (Float32Arrays, transferred)}.
// Out: {type: 'progress', done (0 to 1)} now and then, then {type: 'done', wav
// (a Blob)}, or {type: 'failed', message, forUser (whether the message is in the
// user's words)}.
import { instantiateModule, Shuffler } from './brevander-core.js';
import { AudioFileError, floatWav } from './audio-files.js';

// About a hundred progress messages over a render, however long: posting one per
// block would cost more than the block.
const PROGRESS_STEPS = 100;

function renderInPlace({ wasmBytes, rateHz, setting, left, right }) {
  const effect = new Shuffler(instantiateModule(wasmBytes), rateHz);
  setting.forEach((value, index) => {
    const taken = value === null ? effect.setDefault(index) : effect.setValue(index, value);
    if (!taken) throw new AudioFileError(`The effect refused parameter ${index + 1} = ${value}.`);
  });
  const block = effect.maxBlockFrames;
  const blocksPerStep = Math.max(1, Math.ceil(left.length / block / PROGRESS_STEPS));
  for (let at = 0, count = 0; at < left.length; at += block, ++count) {
    const end = Math.min(at + block, left.length);
    effect.processBlock(left.subarray(at, end), right.subarray(at, end));
    if (count % blocksPerStep === 0) postMessage({ type: 'progress', done: end / left.length });
  }
  effect.destroy();
}

onmessage = (event) => {
  try {
    const job = event.data;
    renderInPlace(job);
    postMessage({ type: 'done', wav: floatWav([job.left, job.right], job.rateHz) });
  } catch (error) {
    postMessage({ type: 'failed', message: error.message, forUser: error instanceof AudioFileError });
  }
};
