// The web module under node: it imports nothing, through the C interface (driven
// by the page's own brevander-core.js) it reproduces the golden render to the
// byte, block sizes and settings as the native builds render it, the texts it
// gives the page are the plug-in file's answers to effGetParamDisplay over each
// parameter's range, and the exact responses it reports for the plot are those of
// its own signal path, measured with impulses, and the band table's rows come
// in the tool's order with no number for a silent figure; and its factory presets
// are the native build's, in its order, with its values.
//   node golden-node.mjs MODULE CASES_JSON GOLDEN DISPLAYS_JSON PRESETS_JSON
import { readFileSync } from 'node:fs';
import { BandAnalyser, cString, instantiateModule, Shuffler } from '../site/brevander-core.js';

const [modulePath, casesPath, goldenPath, displaysPath, presetsPath] = process.argv.slice(2);
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

const displays = JSON.parse(readFileSync(displaysPath, 'utf8'));
const texts = new Shuffler(wasm, 48000);
let textsDiffering = 0;
for (const { index, normalised, text } of displays) {
  texts.setNormalised(index, normalised);
  const shown = texts.displayText(index);
  if (shown !== text && ++textsDiffering <= 5) {
    console.error(`parameter ${index} at ${normalised}: the module shows "${shown}", the plug-in "${text}"`);
  }
}
texts.destroy();
const swept = new Set(displays.map((d) => d.index)).size;
console.log(`${displays.length} display texts of ${swept} parameters, ${textsDiffering} differing`);
failures += textsDiffering + (swept === wasm.brevander_parameter_count() ? 0 : 1);

// The paths' spectra from impulses (common-mode for the sum, differential for the
// difference) against the responses the module composes from its sections.
const rateHz = 48000;
const frequenciesHz = [12, 20, 45, 96, 150, 400, 1000, 5000, 19000];
const setting = [[1, 30], [2, 150], [3, 25], [5, -3], [6, 120]];
const spectrum = (signal, frequencyHz) => {
  let re = 0;
  let im = 0;
  signal.forEach((x, n) => {
    const phase = (-2 * Math.PI * frequencyHz * n) / rateHz;
    re += x * Math.cos(phase);
    im += x * Math.sin(phase);
  });
  return [re, im];
};
for (const switches of [[1, 1], [0, 0]]) {
  const measured = {};
  for (const [path, rightSign] of [['sum', 1], ['difference', -1]]) {
    const effect = new Shuffler(wasm, rateHz);
    setting.forEach(([index, value]) => effect.setValue(index, value));
    effect.setValue(0, switches[0]);
    effect.setValue(4, switches[1]);
    const frames = 1 << 17;
    const left = new Float32Array(frames);
    const right = new Float32Array(frames);
    left[0] = 1;
    right[0] = rightSign;
    effect.process(left, right);
    effect.destroy();
    // Output sum (or difference) over the input's, which is 2.
    measured[path] = frequenciesHz.map((f) => spectrum(left.map((l, n) => (l + rightSign * right[n]) / 2), f));
  }
  const effect = new Shuffler(wasm, rateHz);
  setting.forEach(([index, value]) => effect.setValue(index, value));
  effect.setValue(0, switches[0]);
  effect.setValue(4, switches[1]);
  const exact = effect.response(frequenciesHz);
  effect.destroy();
  for (const path of ['sum', 'difference']) {
    frequenciesHz.forEach((f, i) => {
      const [mr, mi] = measured[path][i];
      const [er, ei] = exact[path][i];
      const error = Math.hypot(mr - er, mi - ei) / Math.hypot(er, ei);
      if (!(error < 1e-4)) {
        console.error(`${path} at ${f} Hz, switches ${switches}: measured ${mr} ${mi}, reported ${er} ${ei}`);
        failures += 1;
      }
    });
  }
}

// The band table's rows: their texts in the order of the tool's line (and of the
// page's columns), and each figure the number its text shows, or null, never a
// number, where the text says silent or quiet. Seeded noise, the right channel a
// mix of the left and another noise of known correlation; silence; a tone, whose
// distant bands hold only its leakage, and the tone with a hiss 70 dB down, whose
// high bands are quiet after the tone alone, as the tool marks them.
const noise = (seed) => {
  let s = seed;
  return () => (s = (Math.imul(s, 1664525) + 1013904223) >>> 0) / 2 ** 32 - 0.5;
};
const tone = (i) => 0.5 * Math.sin((2 * Math.PI * 1000 * i) / 48000);
const streams = {
  correlated: (l, n) => [l, 0.6 * l + 0.8 * n],  // r = 0.6, D/S -6 dB
  anticorrelated: (l, n) => [l, -0.3 * l + 0.95 * n],
  leftOnly: (l) => [l, 0],  // no correlation
  mono: (l) => [l, l],  // no D/S
  silence: () => [0, 0],
  tone: (l, n, i) => [tone(i), 0.5 * tone(i)],
  toneAndHiss: (l, n, i) => [tone(i) + 1e-3 * l, 0.5 * tone(i) + 1e-3 * n],
};
const measured = (stream, before = null) => {
  const [left, right] = [new Float32Array(3 * 8192), new Float32Array(3 * 8192)];
  const [l, n] = [noise(1), noise(2)];
  left.forEach((_, i) => { [left[i], right[i]] = streams[stream](l(), n(), i); });
  const analyser = new BandAnalyser(wasm, 48000);
  analyser.add(left, right);
  return [analyser, analyser.measure(before)];
};
const pairs = [['correlated', 'anticorrelated'], ['leftOnly', 'mono'], ['silence', 'tone'], ['tone', 'toneAndHiss']];
for (const [before, after] of pairs) {
  const [x, count] = measured(before);
  const [y] = measured(after, x);
  const { rows } = BandAnalyser.table(x, y, count);
  for (const row of rows) {
    const shown = [1, 2, 3, 4, 6, 7].map((i) => row.texts[i]);
    const wrong = [...row.levelDbfs, ...row.difToSumDb, ...row.correlation].some((v, i) => (['silent', 'quiet']
      .includes(shown[i]) ? v !== null : !(Math.abs(v - parseFloat(shown[i])) <= 0.05)));
    if (row.texts.join(' ').split(/\s+/).join(' ') !== row.line.trim().split(/\s+/).join(' ') || wrong) {
      console.error(`${before} to ${after}: texts ${JSON.stringify(row.texts)}, line "${row.line.trim()}", figures ` +
        `${JSON.stringify([row.levelDbfs, row.difToSumDb, row.correlation])}`);
      failures += 1;
    }
  }
  if (after === 'toneAndHiss' && rows.at(-1).texts[4] !== 'quiet') {
    console.error(`the hiss alone at ${rows.at(-1).texts[0]} after the tone reads ${rows.at(-1).texts[4]}, not quiet`);
    failures += 1;
  }
  x.destroy();
  y.destroy();
}
// The presets as the page reads them: one past the end answers nothing.
const presets = JSON.parse(readFileSync(presetsPath, 'utf8'));
const count = wasm.brevander_parameter_count();
const modulePresets = Array.from({ length: wasm.brevander_preset_count() + 1 }, (_, i) => ({
  id: cString(wasm, wasm.brevander_preset_id(i)),
  name: cString(wasm, wasm.brevander_preset_name(i)),
  values: Array.from({ length: count }, (__, index) => {
    const value = wasm.brevander_preset_value(i, index);
    return Number.isNaN(value) ? null : value;
  }),
}));
const expectedPresets = [...presets, { id: '', name: '', values: Array(count).fill(null) }];
const presetsDiffer = JSON.stringify(modulePresets) !== JSON.stringify(expectedPresets);
if (presetsDiffer) {
  console.error(`the module's presets ${JSON.stringify(modulePresets)}, the table's ${JSON.stringify(presets)}`);
  failures += 1;
}
console.log(`${presets.length} presets, ${presetsDiffer ? 'differing' : 'the same'}`);
process.exit(failures === 0 ? 0 : 1);
