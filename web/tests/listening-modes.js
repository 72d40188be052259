// Run in the page (by browser_test.py): the page's worklet in an OfflineAudioContext
// plays a stereo noise whose left and right differ, switched from mode to mode a
// few quanta apart. Between switches each mode must play what it says of the same
// run heard as A throughout: A itself, the input (B), or half the processed left
// plus or minus right in both ears. The quantum after a switch fades from the old
// mode to the new: its first frame within 1/128 of the way from the old, its last
// the new. Resolves to a list of faults (empty when none).
async function listeningModes() {
  // At a power of two a quantum's time is exact, so each suspension lands on its quantum.
  const rateHz = 32768;
  const quantaPerMode = 4;
  const modes = ['processed', 'sum', 'difference', 'untouched', 'processed'];
  const span = 128 * quantaPerMode;
  const frames = span * modes.length;
  let seed = 7;
  const noise = () => (seed = (Math.imul(seed, 1664525) + 1013904223) >>> 0) / 2 ** 32 - 0.5;
  const input = [new Float32Array(frames), new Float32Array(frames)];
  input[0].forEach((_, i) => {
    input[0][i] = noise();
    input[1][i] = 0.5 * input[0][i] + noise();
  });
  const play = async (switches) => {
    const context = new OfflineAudioContext(2, frames, rateHz);
    await context.audioWorklet.addModule(window.brevanderPage.workletUrl());
    const node = new AudioWorkletNode(context, 'brevander', {
      numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
      channelCount: 2, channelCountMode: 'explicit', channelInterpretation: 'speakers',
      processorOptions: { wasmBytes: window.brevanderPage.wasmBytes(), setting: [] },
    });
    const buffer = new AudioBuffer({ numberOfChannels: 2, length: frames, sampleRate: rateHz });
    input.forEach((channel, c) => buffer.copyToChannel(channel, c));
    const source = new AudioBufferSourceNode(context, { buffer });
    source.connect(node).connect(context.destination);
    source.start(0);
    switches.slice(1).forEach((mode, k) => context.suspend(((k + 1) * span) / rateHz).then(() => {
      node.port.onmessage = ({ data }) => data.type === 'listening' && context.resume();
      node.port.postMessage({ type: 'listen', mode });
    }));
    const output = await context.startRendering();
    return [output.getChannelData(0), output.getChannelData(1)];
  };
  const a = await play([]);
  const heard = await play(modes);
  const half = (sign) => a[0].map((l, i) => 0.5 * (l + sign * a[1][i]));
  const expected = { processed: a, untouched: input, sum: [half(1), half(1)], difference: [half(-1), half(-1)] };
  const faults = [];
  modes.forEach((mode, k) => {
    const [from, to] = [expected[modes[Math.max(0, k - 1)]], expected[mode]];
    for (let c = 0; c < 2; ++c) {
      for (let i = k * span; i < (k + 1) * span; ++i) {
        const fading = k > 0 && i < k * span + 127;
        const wrong = fading && i === k * span
          ? !(Math.abs(heard[c][i] - from[c][i]) <= Math.abs(to[c][i] - from[c][i]) / 128 + 1e-6)
          : !fading && heard[c][i] !== to[c][i];
        if (wrong) {
          faults.push(`${modes[k - 1] || ''} to ${mode}, channel ${c}, frame ${i - k * span}: ${heard[c][i]}`);
          break;
        }
      }
    }
  });
  return faults;
}
