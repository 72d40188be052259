// The page: opens a recording at its own rate, plays it through the effect's
// worklet with an A/B switch and the processed sum or difference alone, keeps the
// setting in the address and the command line, plots the response from the
// module, shows the recording's band table before and after the effect, and
// renders the file, both in the recording's worker.
import { asStereo, AudioFileError, decodeRecording } from './audio-files.js';
import { instantiateModule, Shuffler } from './brevander-core.js';
import {
  commandLine, defaultSetting, PARAMETERS, PRESETS, presetOf, readParameters, settingFromHash, settingToHash,
} from './parameters.js';

const $ = (id) => document.getElementById(id);
const PLOT_POINTS = 400;
// The rate the plot assumes until a recording gives its own.
const PLOT_RATE_HZ = 48000;

const state = {
  wasmBytes: null,
  setting: [],
  recording: null,  // {name, stereo (AudioBuffer), rateHz}
  player: null,     // {context, node, source, startedAt, offset, playing}
  plotEffect: null,
  plots: null,
  plotData: null,
  render: null,     // the running render's {done, cancel}
  worker: null,     // the recording's: {worker, generation, posted (the setting last sent), timer, table, pending, renderReply}
};

function showMessage(text) {
  $('message').textContent = text;
}

function outputName(inputName) {
  return `${inputName.replace(/\.[^.]*$/, '')}-brevander.wav`;
}

// --- The controls -----------------------------------------------------------

function buildControls() {
  const grid = $('controls');
  PARAMETERS.forEach((p, index) => {
    const id = `control-${p.key}`;
    const label = document.createElement('label');
    label.htmlFor = id;
    label.textContent = p.name;
    const input = document.createElement('input');
    input.id = id;
    input.dataset.index = index;
    if (p.isSwitch) {
      input.type = 'checkbox';
      input.setAttribute('role', 'switch');
    } else {
      input.type = 'range';
      input.min = p.minimum;
      input.max = p.maximum;
      input.step = p.step;
    }
    const output = document.createElement('output');
    output.id = `${id}-text`;
    output.htmlFor = id;
    const unit = document.createElement('span');
    unit.textContent = p.unit || '';
    input.addEventListener('input', () => {
      const value = p.isSwitch ? (input.checked ? 1 : 0) : Number(input.value);
      changeValue(index, value);
    });
    grid.append(label, input, output, unit);
  });
}

// The presets' list, after its first entry, which stands for any other setting.
function buildPresets() {
  $('preset').append(...PRESETS.map(({ id, name }) => new Option(name, id)));
  $('preset').addEventListener('change', () => choosePreset($('preset').value));
}

// The page's controls, texts, address, preset, command line, plot and worklet after a change.
function showSetting() {
  PARAMETERS.forEach((p, index) => {
    const input = $(`control-${p.key}`);
    const value = state.setting[index] ?? p.defaultValue;
    if (p.isSwitch) {
      input.checked = value > 0.5;
    } else {
      input.value = value;
    }
    const text = state.plotEffect.displayText(index);
    $(`control-${p.key}-text`).textContent = text;
    input.setAttribute('aria-valuetext', p.unit ? `${text} ${p.unit}` : text);
  });
  $('preset').value = presetOf(state.setting)?.id ?? '';
  const hash = settingToHash(state.setting);
  history.replaceState(null, '', hash ? `#${hash}` : location.pathname + location.search);
  const name = state.recording ? state.recording.name : 'IN.wav';
  $('command-line').value = commandLine(name, state.recording ? outputName(name) : 'OUT.wav', state.setting);
  drawResponse();
  scheduleAnalysis();
}

function applyToPlotEffect(index) {
  const value = state.setting[index];
  return value === null ? state.plotEffect.setDefault(index) : state.plotEffect.setValue(index, value);
}

// Parameter `index` to `value` (null: its default) for the plot and the player;
// false, with the default kept, for a value the module refuses.
function takeValue(index, value) {
  state.setting[index] = value;
  const taken = applyToPlotEffect(index);
  if (!taken) {
    state.setting[index] = null;
    applyToPlotEffect(index);
  }
  if (state.player) state.player.node.port.postMessage({ type: 'set', index, value: state.setting[index] });
  return taken;
}

function changeValue(index, value) {
  if (!takeValue(index, value)) showMessage(`${PARAMETERS[index].name} cannot be ${value}.`);
  showSetting();
}

function choosePreset(id) {
  const preset = PRESETS.find((p) => p.id === id);
  if (!preset) return;
  preset.setting.forEach((value, index) => {
    if (!takeValue(index, value)) showMessage(`${PARAMETERS[index].name} cannot be ${value}.`);
  });
  showSetting();
}

function resetSetting() {
  state.setting.forEach((_, index) => takeValue(index, null));
  showSetting();
}

// --- The response plot ----------------------------------------------------------

function logFrequencies() {
  const low = Math.log(10);
  const high = Math.log(20000);
  return Array.from({ length: PLOT_POINTS }, (_, i) => Math.exp(low + ((high - low) * i) / (PLOT_POINTS - 1)));
}

function makePlotEffect(rateHz) {
  const exports = state.plotExports;
  if (state.plotEffect) state.plotEffect.destroy();
  state.plotEffect = new Shuffler(exports, rateHz);
  state.plotRateHz = rateHz;
  state.setting.forEach((_, index) => applyToPlotEffect(index));
}

function decibels([re, im]) {
  return 10 * Math.log10(Math.max(re * re + im * im, 1e-20));
}

function drawResponse() {
  if (!state.plotEffect) return;
  const frequencies = logFrequencies();
  const { sum, difference } = state.plotEffect.response(frequencies);
  const lead = difference.map(([dr, di], i) => {
    const [sr, si] = sum[i];
    // arg(difference / sum), in degrees.
    return (Math.atan2(di * sr - dr * si, dr * sr + di * si) * 180) / Math.PI;
  });
  state.plotData = [frequencies, sum.map(decibels), difference.map(decibels), lead];
  const [magnitude, phase] = state.plots;
  magnitude.setData([frequencies, state.plotData[1], state.plotData[2]]);
  phase.setData([frequencies, lead]);
  $('plot-note').textContent = `Sum and difference paths at ${state.plotRateHz} Hz, and how far the difference's phase leads the sum's.`;
}

// The plots' width: their section's, so that a phone's screen needs no sideways scrolling.
function plotWidth() {
  return Math.min(960, $('magnitude-plot').parentElement.clientWidth);
}

function makePlots() {
  const width = plotWidth();
  const xScale = { x: { time: false, distr: 3, log: 10, range: [10, 20000] } };
  // Labels at 1, 2 and 5 of each decade only; the other grid lines stay bare.
  const hz = (_, ticks) => ticks.map((f) => {
    if (f === null) return '';
    const leading = Math.round(f / 10 ** Math.floor(Math.log10(f) + 1e-9));
    if (![1, 2, 5].includes(leading)) return '';
    return f >= 1000 ? `${f / 1000}k` : `${f}`;
  });
  const magnitude = new uPlot({
    width, height: 230, scales: { ...xScale, y: { range: [-30, 3] } },
    axes: [{ values: hz, label: 'Hz' }, { label: 'dB' }],
    series: [{ label: 'Hz' }, { label: 'Sum', stroke: '#2a6fdb', width: 2 }, { label: 'Difference', stroke: '#d0541b', width: 2 }],
  }, [[], [], []], $('magnitude-plot'));
  const phase = new uPlot({
    width, height: 170, scales: { ...xScale, y: { range: [-10, 100] } },
    axes: [{ values: hz, label: 'Hz' }, { label: 'degrees' }],
    series: [{ label: 'Hz' }, { label: 'Difference leads sum by', stroke: '#3a7d44', width: 2 }],
  }, [[], []], $('phase-plot'));
  state.plots = [magnitude, phase];
  window.addEventListener('resize', () => {
    for (const plot of state.plots) plot.setSize({ width: plotWidth(), height: plot.height });
  });
}

// --- The recording's worker: its band table and its render ----------------------

// Waits this long after the last change before measuring again, so that a slider
// being dragged asks for one analysis, not one per step.
const ANALYSIS_DELAY_MS = 200;

class RenderCancelled extends Error {}

// The worker for `recording` (recording-worker.js), with the page's one copy of its
// samples beside the AudioBuffer that plays. The previous recording's worker ends,
// and a render it was running with it.
function startWorker(recording) {
  if (state.worker) {
    state.worker.worker.terminate();
    if (state.worker.renderReply) state.worker.renderReply({ type: 'render-failed', message: 'another recording was opened' });
  }
  const worker = new Worker(state.workerUrl);
  const handle = { worker, generation: 0, posted: null, timer: 0, table: null, pending: false, renderReply: null, failure: null };
  state.worker = handle;
  worker.onmessage = ({ data }) => {
    if (['progress', 'done', 'cancelled', 'render-failed'].includes(data.type)) {
      if (handle.renderReply) handle.renderReply(data);
    } else if (data.generation === handle.generation && data.type === 'table') {
      handle.table = data.table;
      handle.pending = false;
      showBands(data.table);
    } else if (data.generation === handle.generation) {
      $('bands-note').textContent = `The bands could not be measured: ${data.message}`;
    }
  };
  // A recording too long for the worker's memory, for one.
  worker.onerror = (event) => {
    handle.failure = event.message || 'the page\'s worker stopped';
    if (state.worker === handle) $('bands-note').textContent = `The bands could not be measured: ${handle.failure}`;
    if (handle.renderReply) handle.renderReply({ type: 'render-failed', message: handle.failure });
  };
  const left = recording.stereo.getChannelData(0).slice();
  const right = recording.stereo.getChannelData(1).slice();
  worker.postMessage({ type: 'open', wasmBytes: state.wasmBytes, rateHz: recording.rateHz, left, right },
    [left.buffer, right.buffer]);
  $('bands').hidden = true;
}

function scheduleAnalysis() {
  const handle = state.worker;
  if (!handle || JSON.stringify(handle.posted) === JSON.stringify(state.setting)) return;
  clearTimeout(handle.timer);
  handle.pending = true;
  $('bands-note').textContent = 'Measuring the bands…';
  handle.timer = setTimeout(() => {
    handle.posted = [...state.setting];
    handle.generation += 1;
    handle.worker.postMessage({ type: 'analyse', generation: handle.generation, setting: handle.posted });
  }, ANALYSIS_DELAY_MS);
}

// The open recording through the effect with `setting`: {done, a promise of the
// float WAV's Blob; cancel()}.
function startRender(setting, onProgress) {
  const handle = state.worker;
  const done = new Promise((resolve, reject) => {
    handle.renderReply = (data) => {
      if (data.type === 'progress') {
        onProgress(data.done);
        return;
      }
      handle.renderReply = null;
      if (data.type === 'done') {
        resolve(data.wav);
      } else if (data.type === 'cancelled') {
        reject(new RenderCancelled());
      } else {
        reject(data.forUser ? new AudioFileError(data.message) : new Error(data.message));
      }
    };
  });
  // A worker that has failed would never answer.
  if (handle.failure) handle.renderReply({ type: 'render-failed', message: handle.failure });
  else handle.worker.postMessage({ type: 'render', setting: [...setting] });
  return { done, cancel: () => handle.worker.postMessage({ type: 'cancel' }) };
}

function showBands(table) {
  const body = $('bands').tBodies[0];
  body.replaceChildren(...table.rows.map((row) => {
    const tr = document.createElement('tr');
    row.texts.forEach((text, i) => {
      const cell = document.createElement(i === 0 ? 'th' : 'td');
      if (i === 0) cell.scope = 'row';
      cell.textContent = text;
      tr.append(cell);
    });
    // Bars of D/S before and after, -40 to +10 dB across the cell; none for a band
    // too silent or too quiet to have a ratio.
    const bars = document.createElement('td');
    bars.className = 'band-bars';
    row.difToSumDb.forEach((db, i) => {
      const bar = document.createElement('span');
      bar.className = i === 0 ? 'before' : 'after';
      bar.style.width = db === null ? '0' : `${Math.max(0, Math.min(1, (db + 40) / 50)) * 100}%`;
      bars.append(bar);
    });
    tr.insertBefore(bars, tr.children[1]);
    return tr;
  }));
  $('bands').hidden = false;
  const { name } = state.recording;
  $('bands-note').textContent = `${name}, the whole recording, before and after the effect with this setting: ` +
    'the table brevander analyze prints with the settings of the command line above. A band more than 90 dB ' +
    'below the loudest reads "quiet": only rounding noise could be measured there.';
}

// --- Listening ----------------------------------------------------------------

function formatTime(seconds) {
  const m = Math.floor(seconds / 60);
  return `${m}:${(seconds - 60 * m).toFixed(1).padStart(4, '0')}`;
}

// The worklet's mode for the checked one of A, B, sum alone and difference alone.
function listeningMode() {
  return document.querySelector('input[name="ab"]:checked').value;
}

async function makePlayer(recording) {
  // The context runs at the recording's rate, so the effect works at it too.
  const context = new AudioContext({ sampleRate: recording.rateHz });
  const node = await effectNode(context);
  node.connect(context.destination);
  node.port.onmessage = ({ data }) => {
    if (data.type === 'refused') showMessage(`The effect refused ${PARAMETERS[data.index].name} = ${data.value}.`);
  };
  node.port.postMessage({ type: 'listen', mode: listeningMode() });
  return { context, node, source: null, startedAt: 0, offset: 0, playing: false };
}

// The effect's worklet in `context`, stereo in and out, with the page's setting as
// it stands (later changes reach it as messages).
async function effectNode(context) {
  await context.audioWorklet.addModule(state.workletUrl);
  return new AudioWorkletNode(context, 'brevander', {
    numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
    channelCount: 2, channelCountMode: 'explicit', channelInterpretation: 'speakers',
    processorOptions: { wasmBytes: state.wasmBytes, setting: [...state.setting] },
  });
}

function position() {
  const p = state.player;
  if (!p.playing) return p.offset;
  const duration = state.recording.stereo.duration;
  const elapsed = p.offset + p.context.currentTime - p.startedAt;
  return $('loop').checked ? elapsed % duration : Math.min(elapsed, duration);
}

function startSource(offset) {
  const p = state.player;
  const source = new AudioBufferSourceNode(p.context, { buffer: state.recording.stereo, loop: $('loop').checked });
  source.connect(p.node);
  source.onended = () => {
    if (p.source === source) {
      p.playing = false;
      p.offset = 0;
      $('play').textContent = 'Play';
    }
  };
  p.source = source;
  p.offset = offset;
  p.startedAt = p.context.currentTime;
  p.playing = true;
  source.start(0, offset);
}

function stopSource() {
  const p = state.player;
  if (p.source) {
    const source = p.source;
    p.source = null;
    source.stop();
    source.disconnect();
  }
}

async function togglePlay() {
  const p = state.player;
  if (!p) return;
  await p.context.resume();
  if (p.playing) {
    p.offset = position();
    p.playing = false;
    stopSource();
    $('play').textContent = 'Play';
  } else {
    startSource(p.offset);
    $('play').textContent = 'Pause';
  }
}

function seek(seconds) {
  const p = state.player;
  if (!p) return;
  if (p.playing) {
    stopSource();
    startSource(seconds);
  } else {
    p.offset = seconds;
  }
}

function tick() {
  if (state.player && state.recording) {
    const now = position();
    const duration = state.recording.stereo.duration;
    if (document.activeElement !== $('position')) $('position').value = now;
    $('time').textContent = `${formatTime(now)} / ${formatTime(duration)}`;
  }
  requestAnimationFrame(tick);
}

// --- Opening a recording ----------------------------------------------------------

async function openFile(file) {
  showMessage('');
  $('file-info').textContent = `Opening ${file.name}…`;
  try {
    const { buffer, rateHz, rateKnown } = await decodeRecording(file, PLOT_RATE_HZ);
    if (state.player) {
      stopSource();
      await state.player.context.close();
      state.player = null;
    }
    state.recording = { name: file.name, stereo: asStereo(buffer), rateHz };
    state.player = await makePlayer(state.recording);
    makePlotEffect(rateHz);
    startWorker(state.recording);
    const channels = buffer.numberOfChannels === 1 ? 'mono, played and rendered as a centred stereo source' : 'stereo';
    $('file-info').textContent = `${file.name}: ${formatTime(buffer.duration)}, ${rateHz} Hz, ${channels}.` +
      (rateKnown ? '' : ` Its sample rate could not be read from the file, so it was decoded at ${rateHz} Hz.`);
    $('position').max = buffer.duration;
    $('position').value = 0;
    for (const id of ['play', 'position', 'render']) $(id).disabled = false;
    $('play').textContent = 'Play';
    $('download').hidden = true;
    showSetting();
  } catch (error) {
    showMessage(error instanceof AudioFileError ? error.message : `${file.name} could not be opened: ${error.message}`);
    $('file-info').textContent = state.recording ? `${state.recording.name} stays open.` : 'No recording open.';
  }
}

// --- Rendering ---------------------------------------------------------------------

async function render() {
  const recording = state.recording;
  if (!recording || state.render) return;
  $('render').disabled = true;
  $('cancel-render').hidden = false;
  const progress = $('render-progress');
  progress.hidden = false;
  progress.value = 0;
  showMessage('');
  state.render = startRender(state.setting, (done) => { progress.value = done; });
  try {
    const wav = await state.render.done;
    progress.value = 1;
    const link = $('download');
    if (link.href) URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(wav);
    link.download = outputName(recording.name);
    link.textContent = `Download ${link.download} again`;
    link.hidden = false;
    link.click();
  } catch (error) {
    if (error instanceof RenderCancelled) {
      progress.hidden = true;
      showMessage('The render was cancelled.');
    } else {
      showMessage(error instanceof AudioFileError ? error.message : `The render failed: ${error.message}`);
    }
  } finally {
    state.render = null;
    $('render').disabled = false;
    $('cancel-render').hidden = true;
  }
}

// --- Start -----------------------------------------------------------------------

// A worklet's or worker's script and the modules it imports, joined into one
// classic script held in memory: neither kind of script may import from a URL
// made in memory, and opening or rendering a file later needs no network.
async function scriptInMemory(urls) {
  const texts = await Promise.all(urls.map(async (url) => (await fetch(url)).text()));
  const script = texts.map((text) => text.replace(/^export /gm, '').replace(/^import .*$/gm, '')).join('\n');
  return URL.createObjectURL(new Blob([script], { type: 'text/javascript' }));
}

function wireEvents() {
  $('file-input').addEventListener('change', (event) => {
    if (event.target.files.length > 0) openFile(event.target.files[0]);
  });
  const zone = $('drop-zone');
  for (const type of ['dragenter', 'dragover']) {
    document.addEventListener(type, (event) => {
      event.preventDefault();
      zone.classList.add('over');
    });
  }
  document.addEventListener('dragleave', () => zone.classList.remove('over'));
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    zone.classList.remove('over');
    if (event.dataTransfer.files.length > 0) openFile(event.dataTransfer.files[0]);
  });
  $('play').addEventListener('click', togglePlay);
  $('position').addEventListener('change', () => seek(Number($('position').value)));
  $('loop').addEventListener('change', () => {
    if (state.player && state.player.source) state.player.source.loop = $('loop').checked;
  });
  for (const radio of document.querySelectorAll('input[name="ab"]')) {
    radio.addEventListener('change', () => {
      if (state.player) state.player.node.port.postMessage({ type: 'listen', mode: listeningMode() });
    });
  }
  $('reset').addEventListener('click', resetSetting);
  $('copy-command').addEventListener('click', async () => {
    try {
      await navigator.clipboard.writeText($('command-line').value);
    } catch {
      $('command-line').select();
    }
  });
  $('render').addEventListener('click', render);
  $('reload').addEventListener('click', () => location.reload());
  $('cancel-render').addEventListener('click', () => state.render && state.render.cancel());
  $('demo-scene').addEventListener('click', async () => {
    const response = await fetch('demo-scene.wav');
    openFile(new File([await response.blob()], 'demo-scene.wav'));
  });
  window.addEventListener('hashchange', loadSettingFromAddress);
}

// The setting in the address, each value as the module takes it: what makes no
// sense, or lies outside its parameter's range, stays at the default.
function loadSettingFromAddress() {
  const { setting, refused } = settingFromHash(location.hash);
  setting.forEach((value, index) => {
    if (!takeValue(index, value)) refused.push(`${PARAMETERS[index].key}=${value}`);
  });
  if (refused.length > 0) showMessage(`The address's setting ${refused.join(', ')} makes no sense here and was left at the default.`);
  showSetting();
}

// Keeps the site for offline use. A worker taking over a page that another worker
// served means a new version of the site replaced the cached one.
function keepForOffline() {
  if (!('serviceWorker' in navigator)) return;
  const servedFromCache = navigator.serviceWorker.controller !== null;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (servedFromCache) $('site-update').hidden = false;
  });
  navigator.serviceWorker.register('service-worker.js').catch((error) => {
    showMessage(`This page could not be kept for offline use: ${error.message}`);
  });
}

async function start() {
  keepForOffline();
  const response = await fetch('brevander.wasm');
  state.wasmBytes = await response.arrayBuffer();
  state.plotExports = instantiateModule(state.wasmBytes);
  readParameters(state.plotExports);
  state.setting = defaultSetting();
  buildControls();
  buildPresets();
  makePlots();
  wireEvents();
  state.workletUrl = await scriptInMemory(['brevander-core.js', 'brevander-worklet.js']);
  state.workerUrl = await scriptInMemory(['brevander-core.js', 'audio-files.js', 'recording-worker.js']);
  makePlotEffect(PLOT_RATE_HZ);
  loadSettingFromAddress();
  requestAnimationFrame(tick);
  // make web serves the demo scene when the tool was there to synthesise it.
  const scene = await fetch('demo-scene.wav', { method: 'HEAD' }).catch(() => null);
  $('demo-scene').hidden = !(scene && scene.ok);
}

// For the tests and benchmarks: what the plot and the band table show, the
// module's bytes, the worklet, opening a file, and the render without its download.
window.brevanderPage = {
  ready: start().catch((error) => showMessage(`The page could not start: ${error.message}`)),
  plotData: () => state.plotData,
  // null until the table for the setting as it stands is there
  bandTable: () => (state.worker && !state.worker.pending ? state.worker.table : null),
  wasmBytes: () => state.wasmBytes,
  workletUrl: () => state.workletUrl,
  openFile,
  startRender,
};
