// The web module under node: it imports nothing, and through the C interface
// (driven by the page's own brevander-core.js) it reproduces the golden render to
// the byte, block sizes and settings as the native builds render it.
//   node golden-node.mjs MODULE CASES_JSON GOLDEN
import { readFileSync } from 'node:fs';
import { instantiateModule, Shuffler } from '../site/brevander-core.js';

const [modulePath, casesPath, goldenPath] = process.argv.slice(2);
const bytes = readFileSync(modulePath);
const imports = WebAssembly.Module.imports(new WebAssembly.Module(bytes));
if (imports.length !== 0) {
  console.error(`the module imports ${imports.map((i) => `${i.module}.${i.name}`).join(', ')}; it must import nothing`);
  process.exit(1);
}
const wasm = instantiateModule(bytes);
const golden = readFileSync(goldenPath);
const { blockFrames, fixedInput, randomInput, cases } = JSON.parse(readFileSync(casesPath, 'utf8'));

let offset = 0;
let failures = 0;
for (const c of cases) {
  const input = c.input === 'fixed' ? fixedInput : randomInput;
  const left = Float32Array.from(input.left);
  const right = Float32Array.from(input.right);
  const effect = new Shuffler(wasm, c.rateHz);
  c.normalised.forEach((value, index) => {
    if (value !== null) effect.setNormalised(index, value);
  });
  for (let at = 0, block = 0; at < left.length; ++block) {
    const n = Math.min(blockFrames[block % blockFrames.length], left.length - at);
    effect.processBlock(left.subarray(at, at + n), right.subarray(at, at + n));
    at += n;
  }
  effect.destroy();
  const interleaved = new Float32Array(2 * left.length);
  for (let i = 0; i < left.length; ++i) {
    interleaved[2 * i] = left[i];
    interleaved[2 * i + 1] = right[i];
  }
  const rendered = new Uint8Array(interleaved.buffer);
  const expected = golden.subarray(offset, offset + rendered.length);
  if (expected.length !== rendered.length || !rendered.every((b, i) => b === expected[i])) {
    if (++failures <= 5) console.error(`differs from the golden render: ${c.name}`);
  }
  offset += rendered.length;
}
if (offset !== golden.length) {
  console.error(`rendered ${offset} bytes, the golden render has ${golden.length}`);
  failures += 1;
}
console.log(`${cases.length} cases, ${failures} differing`);
process.exit(failures === 0 ? 0 : 1);
