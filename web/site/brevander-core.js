// The effect from the WebAssembly module (brevander.wasm, web/BrevanderWasm.h):
// one Shuffler per instance. Shared by the page, its audio worklet and the tests
// under node; it needs nothing but WebAssembly.

// The module's exports from its bytes; synchronous, as a worklet (which has no
// fetch and may not wait for a promise in its constructor) needs it.
export function instantiateModule(bytes) {
  const module = new WebAssembly.Module(bytes);
  const { exports } = new WebAssembly.Instance(module, {});
  // A module without a main function runs its C++ static initialisation here.
  if (exports._initialize) exports._initialize();
  return exports;
}

// The zero-terminated ASCII text at `at` in the module's memory; '' for null.
export function cString(exports, at) {
  if (at === 0) return '';
  const bytes = new Uint8Array(exports.memory.buffer, at);
  return String.fromCharCode(...bytes.subarray(0, bytes.indexOf(0)));
}

export class Shuffler {
  // An instance designed for `sampleRateHz`; throws for a rate the filters cannot
  // be designed for, or when the module's memory holds no more instances.
  constructor(exports, sampleRateHz) {
    this.wasm = exports;
    this.handle = exports.brevander_create(sampleRateHz);
    if (this.handle === 0) {
      throw new RangeError(`the effect cannot run at ${sampleRateHz} Hz`);
    }
    this.maxBlockFrames = exports.brevander_max_block_frames();
    const memory = exports.memory.buffer;
    this.left = new Float32Array(memory, exports.brevander_left(this.handle), this.maxBlockFrames);
    this.right = new Float32Array(memory, exports.brevander_right(this.handle), this.maxBlockFrames);
    this.maxResponsePoints = exports.brevander_max_response_points();
    this.frequencies = new Float64Array(memory, exports.brevander_frequencies(this.handle), this.maxResponsePoints);
  }

  destroy() {
    this.wasm.brevander_destroy(this.handle);
    this.handle = 0;
  }

  // A value in the unit a user reads (a switch 0 or 1); false when refused. Applies
  // at the start of the next block.
  setValue(index, value) {
    return this.wasm.brevander_set_value(this.handle, index, value) === 1;
  }

  // A normalised value, as a VST 2 host sends it.
  setNormalised(index, normalised) {
    return this.wasm.brevander_set_normalised(this.handle, index, normalised) === 1;
  }

  setDefault(index) {
    return this.wasm.brevander_set_default(this.handle, index) === 1;
  }

  // The text a host shows for the value parameter `index` holds once applied
  // ("20.0", "-1.6", "On").
  displayText(index) {
    return cString(this.wasm, this.wasm.brevander_display_text(this.handle, index));
  }

  clear() {
    this.wasm.brevander_clear(this.handle);
  }

  // Processes left and right (Float32Arrays of one length) in place, in blocks of
  // at most `blockFrames` frames.
  process(left, right, blockFrames = this.maxBlockFrames) {
    const block = Math.min(blockFrames, this.maxBlockFrames);
    for (let at = 0; at < left.length; at += block) {
      const n = Math.min(block, left.length - at);
      this.processBlock(left.subarray(at, at + n), right.subarray(at, at + n));
    }
  }

  processBlock(left, right) {
    this.left.set(left);
    this.right.set(right);
    this.wasm.brevander_process(this.handle, left.length);
    left.set(this.left.subarray(0, left.length));
    right.set(this.right.subarray(0, right.length));
  }

  // The sum and difference paths' complex responses at `frequenciesHz`, as
  // {sum: [[re, im]...], difference: [[re, im]...]}.
  response(frequenciesHz) {
    const count = Math.min(frequenciesHz.length, this.maxResponsePoints);
    this.frequencies.set(frequenciesHz.slice(0, count));
    const at = this.wasm.brevander_response(this.handle, count);
    const values = new Float64Array(this.wasm.memory.buffer, at, 4 * count);
    const sum = [];
    const difference = [];
    for (let i = 0; i < count; ++i) {
      sum.push([values[4 * i], values[4 * i + 1]]);
      difference.push([values[4 * i + 2], values[4 * i + 3]]);
    }
    return { sum, difference };
  }
}

// The band analysis of `brevander analyze` from the module, the same code: a
// stereo stream's octave bands, fed in blocks. Some 480 KB of the module's memory.
export class BandAnalyser {
  constructor(exports, sampleRateHz) {
    this.wasm = exports;
    this.handle = exports.brevander_bands_create(sampleRateHz);
    if (this.handle === 0) throw new RangeError(`no bands can be measured at ${sampleRateHz} Hz`);
    const block = exports.brevander_max_block_frames();
    this.left = new Float32Array(exports.memory.buffer, exports.brevander_bands_left(this.handle), block);
    this.right = new Float32Array(exports.memory.buffer, exports.brevander_bands_right(this.handle), block);
  }

  destroy() {
    this.wasm.brevander_bands_destroy(this.handle);
    this.handle = 0;
  }

  reset() {
    this.wasm.brevander_bands_reset(this.handle);
  }

  // The next frames of the stream: left and right, Float32Arrays of one length.
  add(left, right) {
    for (let at = 0; at < left.length; at += this.left.length) {
      const n = Math.min(this.left.length, left.length - at);
      this.left.set(left.subarray(at, at + n));
      this.right.set(right.subarray(at, at + n));
      this.wasm.brevander_bands_add(this.handle, n);
    }
  }

  // Measures the stream so far; answers the number of bands. With `before`, the
  // analyser of the same stream before the effect, as measured: its quiet and
  // silent bands are quiet here too.
  measure(before = null) {
    return this.wasm.brevander_bands_measure(this.handle, before ? before.handle : 0);
  }

  // The table between two analysers' last measures, as the tool prints it:
  // {heading, rows: [{texts: [band, level before, after, D/S before, after, change,
  // correlation before, after, change], line (the tool's line), centreHz,
  // levelDbfs, difToSumDb and correlation: [before, after]}]}, a figure null where
  // the band is silent, and a ratio or correlation null where it is quiet.
  static table(before, after, count) {
    const wasm = after.wasm;
    const text = (band, field) => cString(wasm, wasm.brevander_bands_text(before.handle, after.handle, band, field));
    const figures = (band, of) => [before, after].map((a) => {
      const value = of(a.handle, band);
      return Number.isNaN(value) ? null : value;
    });
    const rows = [];
    for (let band = 0; band < count; ++band) {
      rows.push({
        texts: [0, 1, 2, 3, 4, 5, 6, 7, 8].map((field) => text(band, field)),
        line: text(band, 9),
        centreHz: wasm.brevander_bands_centre_hz(after.handle, band),
        levelDbfs: figures(band, wasm.brevander_bands_level_dbfs),
        difToSumDb: figures(band, wasm.brevander_bands_dif_to_sum_db),
        correlation: figures(band, wasm.brevander_bands_correlation),
      });
    }
    return { heading: count > 0 ? text(0, 10) : '', rows };
  }
}
