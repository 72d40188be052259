// The web module's own cost under node, without a browser's audio graph: ten
// minutes of 44.1 kHz stereo through the defaults, in blocks of a Web Audio render
// quantum (128 frames) and of 4096; median of the last four of five runs.
//   node bench/web-module-speed.mjs build/web/site/brevander.wasm
import { readFileSync } from 'node:fs';
import { instantiateModule, Shuffler } from '../web/site/brevander-core.js';

const wasm = instantiateModule(readFileSync(process.argv[2]));
const effect = new Shuffler(wasm, 44100);
const frames = 44100 * 600;
for (let i = 0; i < effect.maxBlockFrames; ++i) {
  effect.left[i] = 0.3 * Math.sin(0.01 * i);
  effect.right[i] = 0.2 * Math.cos(0.013 * i);
}
for (const block of [128, 4096]) {
  const seconds = [];
  for (let run = 0; run < 5; ++run) {
    const started = performance.now();
    for (let done = 0; done < frames; done += block) wasm.brevander_process(effect.handle, block);
    seconds.push((performance.now() - started) / 1000);
  }
  const kept = seconds.slice(1).sort((a, b) => a - b);
  const median = (kept[1] + kept[2]) / 2;
  console.log(`block ${block}: ${median.toFixed(3)} s for 600 s of audio, ${((median / frames) * 1e9).toFixed(2)} ns per frame`);
}
