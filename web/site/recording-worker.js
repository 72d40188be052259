// The open recording's Web Worker, which holds the page's one copy of its samples
// besides the AudioBuffer that plays, so that neither the band table nor a render
// stalls playback or the controls, and a render needs no copy of its own:
//  - the band table: the recording's octave bands before the effect, measured
//    once, and after it with the page's setting, measured again whenever the
//    setting changes, always over the whole recording, through the module's copy
//    of the code `brevander analyze` runs. A newer request ends an older one's run.
//  - the render: the module straight over the samples in its largest blocks, no
//    audio graph, each block written from the module's buffers into the float
//    WAV's samples. It goes first: the analysis waits while it runs.
// Both look at their messages between slices of the recording, so a newer request
// or Cancel is heard within one. The page loads this file joined with
// brevander-core.js and audio-files.js into one script held in memory (see
// page.js), so the imports are for editors and readers.
//
// In: {type: 'open', wasmBytes, rateHz, left, right (Float32Arrays, transferred)};
// {type: 'analyse', generation, setting (per parameter a value in the user's unit,
// or null for the default)}; {type: 'render', setting}; {type: 'cancel'}.
// Out: {type: 'table', generation, table (BandAnalyser.table's)} or {type:
// 'failed', generation, message}; for a render {type: 'progress', done (0 to 1)}
// now and then, then {type: 'done', wav (a Blob)}, {type: 'cancelled'} or {type:
// 'render-failed', message, forUser (whether the message is in the user's words)}.
import { BandAnalyser, instantiateModule, Shuffler } from './brevander-core.js';
import { AudioFileError, floatWavHeader } from './audio-files.js';

// About a second of audio between two looks at the messages.
const SLICE_FRAMES = 1 << 16;

let recording = null;  // {wasm, rateHz, left, right, before, after, measuredBefore (a promise of the band count)}
let openFailure = null;  // why the recording could not be opened, which every request then answers
let newestAnalysis = 0;
let render = null;     // the running render: {cancelled, ended (a promise)}

// A turn of the event loop, so that waiting messages are handled: through a
// channel of its own, as a timer's delay is stretched to 4 ms once timers nest.
// The analysis and a render may each be waiting for one, so each waits in line.
const turns = new MessageChannel();
const waiting = [];
turns.port2.onmessage = () => waiting.shift()();
const yieldToMessages = () => new Promise((resolve) => {
  waiting.push(resolve);
  turns.port1.postMessage(null);
});

// A turn of the event loop for the analysis, and while a render runs, its end.
async function letRenderGoFirst() {
  await yieldToMessages();
  while (render) await render.ended;
}

function applySetting(effect, setting) {
  setting.forEach((value, index) => {
    const taken = value === null ? effect.setDefault(index) : effect.setValue(index, value);
    if (!taken) throw new AudioFileError(`The effect refused parameter ${index + 1} = ${value}.`);
  });
}

async function measureBefore(before, left, right) {
  for (let at = 0; at < left.length; at += SLICE_FRAMES) {
    if (at > 0) await letRenderGoFirst();
    const end = Math.min(at + SLICE_FRAMES, left.length);
    before.add(left.subarray(at, end), right.subarray(at, end));
  }
  return before.measure();
}

function open({ wasmBytes, rateHz, left, right }) {
  const wasm = instantiateModule(wasmBytes);
  const before = new BandAnalyser(wasm, rateHz);
  recording = { wasm, rateHz, left, right, before, after: new BandAnalyser(wasm, rateHz) };
  recording.measuredBefore = measureBefore(before, left, right);
}

async function analyse({ generation, setting }) {
  if (openFailure) throw openFailure;
  const { wasm, rateHz, left, right, before, after } = recording;
  const count = await recording.measuredBefore;
  if (generation !== newestAnalysis) return;
  const effect = new Shuffler(wasm, rateHz);
  try {
    applySetting(effect, setting);
    after.reset();
    const block = effect.maxBlockFrames;
    for (let at = 0; at < left.length; at += block) {
      if (at % SLICE_FRAMES === 0 && at > 0) {
        await letRenderGoFirst();
        if (generation !== newestAnalysis) return;
      }
      const n = Math.min(block, left.length - at);
      effect.left.set(left.subarray(at, at + n));
      effect.right.set(right.subarray(at, at + n));
      wasm.brevander_process(effect.handle, n);
      after.add(effect.left.subarray(0, n), effect.right.subarray(0, n));
    }
    after.measure(before);
    postMessage({ type: 'table', generation, table: BandAnalyser.table(before, after, count) });
  } finally {
    effect.destroy();
  }
}

async function renderRecording({ setting }) {
  let ended;
  const job = { cancelled: false, ended: new Promise((resolve) => { ended = resolve; }) };
  render = job;
  let effect = null;
  try {
    if (openFailure) throw openFailure;
    const { wasm, rateHz, left, right } = recording;
    effect = new Shuffler(wasm, rateHz);
    applySetting(effect, setting);
    const frames = left.length;
    const header = floatWavHeader(frames, 2, rateHz);
    const samples = new Float32Array(2 * frames);
    const block = effect.maxBlockFrames;
    for (let at = 0; at < frames; at += block) {
      if (at % SLICE_FRAMES === 0 && at > 0) {
        postMessage({ type: 'progress', done: at / frames });
        await yieldToMessages();
        if (job.cancelled) {
          postMessage({ type: 'cancelled' });
          return;
        }
      }
      const n = Math.min(block, frames - at);
      effect.left.set(left.subarray(at, at + n));
      effect.right.set(right.subarray(at, at + n));
      wasm.brevander_process(effect.handle, n);
      const out = samples.subarray(2 * at, 2 * (at + n));
      for (let i = 0; i < n; ++i) out[2 * i] = effect.left[i];
      for (let i = 0; i < n; ++i) out[2 * i + 1] = effect.right[i];
    }
    postMessage({ type: 'done', wav: new Blob([header, samples.buffer], { type: 'audio/wav' }) });
  } catch (error) {
    postMessage({ type: 'render-failed', message: error.message, forUser: error instanceof AudioFileError });
  } finally {
    if (effect) effect.destroy();
    render = null;
    ended();
  }
}

onmessage = ({ data }) => {
  if (data.type === 'open') {
    try {
      open(data);
    } catch (error) {
      openFailure = error;
    }
  } else if (data.type === 'analyse') {
    newestAnalysis = data.generation;
    analyse(data).catch((error) => postMessage({ type: 'failed', generation: data.generation, message: error.message }));
  } else if (data.type === 'render') {
    renderRecording(data);
  } else if (data.type === 'cancel' && render) {
    render.cancelled = true;
  }
};
