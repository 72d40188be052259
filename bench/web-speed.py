"""The web page's speed against the native tool, on one file, in one run:
  - the brevander tool's render of the file (wall time, reading and writing included);
  - the page's render as "Render and download" runs it, in headless Chromium: the
    file decoded as the page decodes it (read from memory, parsed into an
    AudioBuffer), the whole of opening it on the page (decoding again, the player,
    the copy for the recording's worker), then the worker's render of it, the float
    WAV written in memory;
  - for comparison, the worklet rendering the same samples in an
    OfflineAudioContext (startRendering alone), the page's render before it had
    a worker, and the same offline graph without the worklet, the browser's own
    cost of the render quanta.
Medians of three timed runs after one warm-up. Never part of the tests.

  /usr/bin/python3 bench/web-speed.py SITE TOOL FILE.wav
"""
import functools
import http.server
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

site, tool, wav = sys.argv[1:4]


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".js": "text/javascript"}

    def translate_path(self, path):
        return wav if path == "/bench/input.wav" else super().translate_path(path)

    def log_message(self, *args):
        pass


def median_of_three(run):
    run()
    return statistics.median(run() for _ in range(3))


def tool_seconds():
    out = os.path.join(tempfile.gettempdir(), "brevander-web-speed-out.wav")
    started = time.perf_counter()
    subprocess.run([tool, "render", wav, out, "--overwrite"], check=True, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - started
    os.remove(out)
    return seconds


RENDER = """
const [withWorklet, done] = arguments;
(async () => {
  const { readPlainWav } = await import('./audio-files.js');
  if (!window.benchInput) {
    const plain = readPlainWav(await (await fetch('/bench/input.wav')).arrayBuffer());
    const buffer = new AudioBuffer({ numberOfChannels: 2, length: plain.data[0].length, sampleRate: plain.rateHz });
    plain.data.forEach((samples, c) => buffer.copyToChannel(samples, c));
    window.benchInput = buffer;
  }
  const input = window.benchInput;
  const context = new OfflineAudioContext(2, input.length, input.sampleRate);
  const source = new AudioBufferSourceNode(context, { buffer: input });
  if (withWorklet) {
    await context.audioWorklet.addModule(window.brevanderPage.workletUrl());
    const node = new AudioWorkletNode(context, 'brevander', {
      numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
      channelCount: 2, channelCountMode: 'explicit', channelInterpretation: 'speakers',
      processorOptions: { wasmBytes: window.brevanderPage.wasmBytes(), setting: [] },
    });
    source.connect(node).connect(context.destination);
  } else {
    source.connect(context.destination);
  }
  source.start(0);
  const started = performance.now();
  await context.startRendering();
  return [(performance.now() - started) / 1000, input.duration];
})().then(done, (e) => done(String(e)));
"""


# The file decoded, opened and rendered as the page does: seconds decoding, opening
# and rendering.
WORKER = """
const [done] = arguments;
(async () => {
  const { decodeRecording } = await import('./audio-files.js');
  if (!window.benchBlob) window.benchBlob = await (await fetch('/bench/input.wav')).blob();
  const file = new File([window.benchBlob], 'input.wav');
  const started = performance.now();
  await decodeRecording(file, 48000);
  const decoded = performance.now();
  await window.brevanderPage.openFile(file);
  const opened = performance.now();
  await window.brevanderPage.startRender([], () => {}).done;
  return [(decoded - started) / 1000, (opened - decoded) / 1000, (performance.now() - opened) / 1000];
})().then(done, (e) => done(String(e)));
"""


def main():
    handler = functools.partial(Handler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 f"--user-data-dir={tempfile.mkdtemp()}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_script_timeout(600)
        driver.get(f"http://127.0.0.1:{server.server_address[1]}/index.html")
        driver.execute_async_script("window.brevanderPage.ready.then(arguments[0])")
        version = driver.capabilities.get("browserVersion", "?")

        def browser(with_worklet):
            result = driver.execute_async_script(RENDER, with_worklet)
            if isinstance(result, str):
                sys.exit(f"the render failed: {result}")
            browser.duration = result[1]
            return result[0]

        def page():
            result = driver.execute_async_script(WORKER)
            if isinstance(result, str):
                sys.exit(f"the page's render failed: {result}")
            return result

        page()
        runs = [page() for _ in range(3)]
        decode = statistics.median(run[0] for run in runs)
        opening = statistics.median(run[1] for run in runs)
        worker = statistics.median(run[2] for run in runs)
        worklet = median_of_three(lambda: browser(True))
        graph = median_of_three(lambda: browser(False))
    finally:
        driver.quit()
        server.shutdown()
    native = median_of_three(tool_seconds)
    duration = browser.duration
    print(f"Chromium {version}, {duration:.0f} s of audio")
    page_total = decode + worker
    print(f"page, decoding: {decode:.3f} s (opening the file on the page, decoding included: {opening:.3f} s)")
    print(f"page, worker:   {worker:.3f} s ({duration / worker:.0f} x real time)")
    print(f"page / tool:    {page_total / native:.2f} ({worker / native:.2f} without decoding)")
    print(f"worklet render: {worklet:.3f} s ({duration / worklet:.0f} x real time)")
    print(f"graph alone:    {graph:.3f} s; the effect's share {worklet - graph:.3f} s")
    print(f"native tool:    {native:.3f} s ({duration / native:.0f} x real time)")
    print(f"worklet / tool: {worklet / native:.2f}")


main()
