// Run in the page (by browser_test.py): the page's own worklet, in an
// OfflineAudioContext at each rate asked for, renders every golden case at that
// rate, one after another in one pass, each on a fresh instance starting at a
// quantum's start; every case's output must equal its bytes in the golden render.
// Resolves to a list of the differing cases' names (empty when all match).
async function goldenInWorklet(casesUrl, goldenUrl, ratesHz) {
  const { fixedInput, randomInput, cases } = await (await fetch(casesUrl)).json();
  const golden = new Uint8Array(await (await fetch(goldenUrl)).arrayBuffer());
  const wasmBytes = window.brevanderPage.wasmBytes();
  const placed = [];
  let goldenOffset = 0;
  for (const c of cases) {
    const frames = (c.input === 'fixed' ? fixedInput : randomInput).left.length;
    placed.push({ ...c, frames, goldenOffset });
    goldenOffset += 8 * frames;
  }
  const differing = [];
  for (const rateHz of ratesHz) {
    const atRate = placed.filter((c) => c.rateHz === rateHz);
    let total = 0;
    const segments = atRate.map((c) => {
      const segment = { startFrame: total, normalised: c.normalised };
      total += Math.ceil(c.frames / 128) * 128;
      return segment;
    });
    const context = new OfflineAudioContext(2, total, rateHz);
    const input = new AudioBuffer({ numberOfChannels: 2, length: total, sampleRate: rateHz });
    atRate.forEach((c, i) => {
      const samples = c.input === 'fixed' ? fixedInput : randomInput;
      input.copyToChannel(Float32Array.from(samples.left), 0, segments[i].startFrame);
      input.copyToChannel(Float32Array.from(samples.right), 1, segments[i].startFrame);
    });
    await context.audioWorklet.addModule(window.brevanderPage.workletUrl());
    const node = new AudioWorkletNode(context, 'brevander', {
      numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
      channelCount: 2, channelCountMode: 'explicit', channelInterpretation: 'speakers',
      processorOptions: { wasmBytes, segments },
    });
    const source = new AudioBufferSourceNode(context, { buffer: input });
    source.connect(node).connect(context.destination);
    source.start(0);
    const output = await context.startRendering();
    const [left, right] = [output.getChannelData(0), output.getChannelData(1)];
    atRate.forEach((c, i) => {
      const interleaved = new Float32Array(2 * c.frames);
      for (let f = 0; f < c.frames; ++f) {
        interleaved[2 * f] = left[segments[i].startFrame + f];
        interleaved[2 * f + 1] = right[segments[i].startFrame + f];
      }
      const bytes = new Uint8Array(interleaved.buffer);
      const expected = golden.subarray(c.goldenOffset, c.goldenOffset + bytes.length);
      if (!bytes.every((b, k) => b === expected[k])) differing.push(c.name);
    });
    if (atRate.length === 0) differing.push(`no golden case at ${rateHz} Hz`);
  }
  return differing;
}
