"""The page in headless Chromium (Debian's, through chromium-driver and Selenium),
served from 127.0.0.1, in one browser session:
  - the page's worklet reproduces the golden render's cases at 44.1, 48 and 96 kHz,
    and plays A, B, the sum and the difference alone as they are, crossfading
    the right way after each switch;
  - end to end, offline: the page loaded once, the server stopped, the page
    reloaded from its service worker's cache, a mono WAV opened through the file
    input, two controls changed from the keyboard, the render (the page's worker)
    downloaded, and its samples compared with the brevander tool's render through
    the command line the page shows; then the server back with a changed site,
    which the page says it installed; and the band table the page shows, the
    tool's analyze of the same file and setting;
  - the plot's data follows a control;
  - files that are not usable recordings (a WAV cut short inside its format
    among them) get their message, and the open recording stays usable;
  - WAVs of every sample type and 16- and 24-bit FLACs, full scale both ways,
    each opened, rendered with a factory preset chosen and downloaded, equal the
    tool's render of the same file with that preset;
  - every control set through the address, one value out of its range, which
    the module refuses, and "Reset to defaults" brings every control back; the
    page lists the tool's factory presets, and each sets the controls to what
    the tool's params shows for it;
  - at a phone's and a tablet's width nothing needs sideways scrolling and every
    control is a target of at least 44 by 44 px.

  /usr/bin/python3 browser_test.py SITE CASES_JSON GOLDEN TOOL [PageTest.test_N_...]
"""
import functools
import http.server
import math
import os
import random
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

SITE, CASES_JSON, GOLDEN, TOOL = sys.argv[1:5]
HERE = os.path.dirname(os.path.abspath(__file__))


class Handler(http.server.SimpleHTTPRequestHandler):
    """The site at /, the test data under /test/."""

    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".js": "text/javascript"}
    test_files = {"/test/golden-cases.json": CASES_JSON, "/test/render.f32": GOLDEN}

    def translate_path(self, path):
        return self.test_files.get(path.split("?")[0]) or super().translate_path(path)

    def log_message(self, *args):
        pass


def write_wav(path, rate_hz, channels, bits, frames, sample_type="int", tone_hz=55, noise=0.6):
    """A PCM WAV ("int", 8-bit unsigned, or "float") of seeded noise and a tone
    (`tone_hz` times the channel's number) that reach full scale, both ways."""
    rng = random.Random(19)
    lowest, highest = -(2 ** (bits - 1)), 2 ** (bits - 1) - 1
    if sample_type == "float":
        encode = functools.partial(struct.pack, "<f" if bits == 32 else "<d")
    else:
        encode = {8: lambda n: bytes([n + 128]), 16: functools.partial(struct.pack, "<h"),
                  24: lambda n: struct.pack("<i", n)[:3], 32: functools.partial(struct.pack, "<i")}[bits]
    data = bytearray()
    for i in range(frames):
        for c in range(channels):
            x = 0.75 * math.sin(2 * math.pi * tone_hz * (c + 1) * i / rate_hz) + noise * (rng.random() - 0.5)
            x = max(-1.0, min(1.0, x))
            data += encode(x if sample_type == "float" else max(lowest, min(highest, round(x * -lowest))))
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 3 if sample_type == "float" else 1, channels, rate_hz, rate_hz * block, block, bits)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


def float_wav(path):
    """(channels, rate_hz, data bytes) of a 32-bit float WAV."""
    with open(path, "rb") as f:
        blob = f.read()
    assert blob[:4] == b"RIFF" and blob[8:12] == b"WAVE", path
    at, fmt, data = 12, None, None
    while at + 8 <= len(blob):
        chunk, size = blob[at:at + 4], struct.unpack_from("<I", blob, at + 4)[0]
        if chunk == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", blob, at + 8)
        elif chunk == b"data":
            data = blob[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    tag, channels, rate_hz, _, _, bits = fmt
    assert bits == 32 and tag in (3, 0xFFFE), (path, fmt)
    return channels, rate_hz, data


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="brevander-web-test-")
        cls.downloads = os.path.join(cls.work, "downloads")
        os.mkdir(cls.downloads)
        # A copy of the site, which a step changes as a new version would.
        cls.site = os.path.join(cls.work, "site")
        shutil.copytree(SITE, cls.site)
        cls.start_server(0)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={tempfile.mkdtemp(dir=cls.work)}", "--window-size=1100,1600"]:
            options.add_argument(flag)
        # Every row of the sample types' case downloads its render, with no click between.
        options.add_experimental_option("prefs", {"profile.default_content_setting_values.automatic_downloads": 1})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.set_script_timeout(300)
        cls.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": cls.downloads})
        cls.driver.get(f"http://127.0.0.1:{cls.server.server_address[1]}/index.html")
        cls.driver.execute_async_script("window.brevanderPage.ready.then(arguments[0])")
        cls.fresh_controls = cls.controls()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.stop_server()

    @classmethod
    def start_server(cls, port):
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=cls.site))
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def stop_server(cls):
        if cls.server:
            cls.server.shutdown()
            cls.server.server_close()
            cls.server = None

    def reload_page(self):
        self.driver.refresh()
        self.driver.execute_async_script("window.brevanderPage.ready.then(arguments[0])")

    def element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    @classmethod
    def controls(cls):
        """Each control's position and the text beside it, by its id."""
        return cls.driver.execute_script(
            "return Object.fromEntries([...document.querySelectorAll('#controls input')].map((c) => "
            "[c.id, [c.type === 'checkbox' ? c.checked : c.value, document.getElementById(`${c.id}-text`).textContent]]))")

    def open_file(self, path, expect_in_info=None):
        self.element("file-input").send_keys(path)
        name = os.path.basename(path)
        WebDriverWait(self.driver, 60, poll_frequency=0.05).until(
            lambda d: name in self.element("message").text
            or (expect_in_info is not None and expect_in_info in self.element("file-info").text))

    def test_1_worklet_reproduces_golden_cases_and_plays_each_mode(self):
        for script, call in [("golden-in-worklet.js",
                              "goldenInWorklet('/test/golden-cases.json', '/test/render.f32', [44100, 48000, 96000])"),
                             ("listening-modes.js", "listeningModes()")]:
            with open(os.path.join(HERE, script)) as f:
                faults = self.driver.execute_async_script(
                    f.read() + call + ".then(arguments[0], (e) => arguments[0](['failed: ' + e]))")
            self.assertEqual(faults, [], script)

    def test_2_offline_render_equals_tool_and_plot_follows(self):
        source = os.path.join(self.work, "take one.wav")
        # Long enough that measuring its bands takes some slices of the worker's time.
        write_wav(source, 48000, 1, 16, 48000 * 60 + 77)
        # After one visit the page opens, plays and renders from its cache.
        self.driver.execute_async_script("""const done = arguments[0];
            navigator.serviceWorker.ready.then(() => navigator.serviceWorker.controller ? done()
              : navigator.serviceWorker.addEventListener('controllerchange', () => done()));""")
        port = self.server.server_address[1]
        self.stop_server()
        self.reload_page()
        self.open_file(source, expect_in_info="mono")
        self.assertEqual(self.element("message").text, "")

        plot_before = self.driver.execute_script("return window.brevanderPage.plotData()")
        width = self.element("control-width")
        for _ in range(3):
            width.send_keys(Keys.ARROW_LEFT)
        self.element("control-sum-shelf").send_keys(Keys.SPACE)
        plot_after = self.driver.execute_script("return window.brevanderPage.plotData()")
        self.assertEqual(plot_before[0], plot_after[0])
        self.assertNotEqual(plot_before[2], plot_after[2], "the difference path must follow LF Width")
        self.assertNotEqual(plot_before[1], plot_after[1], "the sum path must follow the shelf's switch")
        # 99.7 is stored as the float 99.6999969, and hosts' texts truncate.
        self.assertEqual(self.element("control-width-text").text, "99.6")
        self.assertEqual(self.element("control-sum-shelf-text").text, "Off")
        self.assertIn("#width=99.7&sum-shelf=off", self.driver.current_url)

        # The render, started most times while the worker measures the bands for the
        # new setting, and then that band table, which must be the tool's.
        time.sleep(0.3)
        self.assertEqual(self.render_equals_tool(source), (2, 48000))
        self.assertEqual(self.band_table_is_tools(source), 10)

        # A new version of the site replaces the kept one on the next visit.
        with open(os.path.join(self.site, "service-worker.js"), "a") as f:
            f.write("// the next version\n")
        self.start_server(port)
        self.reload_page()
        WebDriverWait(self.driver, 60).until(lambda d: self.element("site-update").is_displayed())

    def render_equals_tool(self, source):
        """Renders the open recording, `source`, on the page and compares the download
        with the tool's render through the command line the page shows; gives the
        render's (channels, rate_hz)."""
        name = os.path.basename(source)
        output = os.path.splitext(name)[0] + "-brevander.wav"
        command = shlex.split(self.element("command-line").get_attribute("value"))
        self.assertEqual(command[:4], ["brevander", "render", name, output])
        self.element("render").click()
        downloaded = os.path.join(self.downloads, output)
        # Now and then Chromium lets a download that no click started, right after
        # another, go by; the page's "Download again" link is there for that.
        link = self.element("download")
        WebDriverWait(self.driver, 120, poll_frequency=0.05).until(
            lambda d: os.path.exists(downloaded) or output in (link.get_attribute("download") or ""))
        try:
            WebDriverWait(self.driver, 10, poll_frequency=0.05).until(lambda d: os.path.exists(downloaded))
        except TimeoutException:
            link.click()
            WebDriverWait(self.driver, 30, poll_frequency=0.05).until(lambda d: os.path.exists(downloaded))
        WebDriverWait(self.driver, 30, poll_frequency=0.05).until(lambda d: not os.path.exists(downloaded + ".crdownload"))

        reference = os.path.join(self.work, "reference-" + output)
        subprocess.run([TOOL, "render", source, reference] + command[4:], check=True, stdout=subprocess.DEVNULL)
        page_channels, page_rate, page_data = float_wav(downloaded)
        tool_channels, tool_rate, tool_data = float_wav(reference)
        self.assertEqual((page_channels, page_rate), (tool_channels, tool_rate), name)
        self.assertEqual(len(page_data), len(tool_data), name)
        self.assertTrue(page_data == tool_data, f"the page's samples of {name} differ from the tool's")
        return page_channels, page_rate

    def band_table_is_tools(self, source):
        """Once the page's band table for the open recording, `source`, is there: each
        row's cells are the tool's analyze of the file with the command line's
        settings, and the bar of each D/S column has its class and is as wide as the
        column's figure puts it, -40 to +10 dB across, none for a silent or quiet one. Gives
        the number of rows."""
        WebDriverWait(self.driver, 60, poll_frequency=0.05).until(
            lambda d: d.execute_script("return window.brevanderPage.bandTable()"))
        rows = self.driver.execute_script("""return [...document.querySelectorAll('#bands tbody tr')].map((tr) => [
            [...tr.cells].filter((c) => !c.classList.contains('band-bars')).map((c) => c.textContent),
            [...tr.querySelectorAll('.band-bars span')].map((s) => [s.className, s.style.width])]);""")
        command = shlex.split(self.element("command-line").get_attribute("value"))
        settings = [word for at, word in enumerate(command)
                    if {"--set", "--preset"} & set(command[at - 1:at + 1])]
        printed = subprocess.run([TOOL, "analyze", source] + settings, check=True, capture_output=True,
                                 text=True).stdout.splitlines()
        printed = printed[next(i for i, line in enumerate(printed) if line.split()[:1] == ["band"]) + 1:]
        self.assertEqual([" ".join(cells).split() for cells, _ in rows], [line.split() for line in printed], source)
        for cells, bars in rows:
            widths = [0 if text in ("silent", "quiet") else max(0, min(100, 2 * (float(text.split()[0]) + 40)))
                      for text in cells[3:5]]
            self.assertEqual([c for c, _ in bars], ["before", "after"], cells)
            for (_, width), expected in zip(bars, widths):
                self.assertAlmostEqual(float(width.rstrip("%px")), expected, delta=0.11, msg=cells)
        return len(rows)

    def test_3_bad_files_get_a_message_and_the_page_keeps_working(self):
        good = os.path.join(self.work, "good.wav")
        write_wav(good, 44100, 2, 16, 4410)
        self.open_file(good, expect_in_info="stereo")
        with open(good, "rb") as f:
            cut_in_its_format = f.read()[:30]
        cases = {"notes.wav": (b"These are notes, not audio. " * 40, "not a recording this browser can decode"),
                 "cut-short.wav": (cut_in_its_format, "not a recording this browser can decode"),
                 "empty.wav": (b"", "is empty"),
                 "surround.wav": (None, "has 3 channels")}
        for name, (content, message) in cases.items():
            path = os.path.join(self.work, name)
            if content is None:
                write_wav(path, 48000, 3, 16, 480)
            else:
                with open(path, "wb") as f:
                    f.write(content)
            self.open_file(path)
            self.assertIn(message, self.element("message").text, name)
            self.assertIn("good.wav stays open", self.element("file-info").text, name)
            self.assertTrue(self.element("render").is_enabled(), name)

    def test_4_every_sample_type_renders_as_the_tool_reads_it(self):
        # With a preset, which the command line names: the tool's --preset must give
        # the bits the page gives.
        Select(self.element("preset")).select_by_value("spaced-pair-50cm")
        self.assertIn("--preset spaced-pair-50cm", self.element("command-line").get_attribute("value"))
        for name, bits, sample_type in [("wav-8.wav", 8, "int"), ("wav-16.wav", 16, "int"), ("wav-24.wav", 24, "int"),
                                        ("wav-32.wav", 32, "int"), ("wav-float.wav", 32, "float"),
                                        ("wav-double.wav", 64, "float"), ("flac-16.flac", 16, "int"),
                                        ("flac-24.flac", 24, "int")]:
            with self.subTest(name):
                path = os.path.join(self.work, name)
                wav = path + ".wav" if name.endswith(".flac") else path
                write_wav(wav, 44100, 2, bits, 44100 // 4, sample_type)
                if wav != path:
                    subprocess.run(["ffmpeg", "-v", "error", "-i", wav, "-c:a", "flac", path], check=True)
                self.open_file(path, expect_in_info=f"{name}:")
                self.assertEqual(self.element("message").text, "", name)
                # The band table arriving moves nothing the user may be about to press.
                top = self.element("render").rect["y"]
                WebDriverWait(self.driver, 60, poll_frequency=0.05).until(
                    lambda d: d.execute_script("return window.brevanderPage.bandTable()"))
                self.assertEqual(self.element("render").rect["y"], top, name)
                self.render_equals_tool(path)
                # Left and right differ: the "before" side must measure both.
                self.band_table_is_tools(path)

    def test_5_address_sets_every_control_and_reset_restores_them(self):
        # Width's value lies outside its range, which only the module judges.
        self.driver.execute_script("location.hash = arguments[0]",
                                   "dif-vlf=off&vlf-cut=30&width=250&spacing=30&sum-shelf=off&cut-gain=-3&cut-fc=120")
        WebDriverWait(self.driver, 10, poll_frequency=0.05).until(
            lambda d: "Mic Spacing=30" in self.element("command-line").get_attribute("value"))
        self.assertIn("width=250", self.element("message").text)
        changed = self.controls()
        for control, fresh in self.fresh_controls.items():
            if control == "control-width":
                self.assertEqual(changed[control], fresh, "a value out of range must be refused")
            else:
                self.assertNotEqual(changed[control], fresh, control)
        self.element("reset").click()
        self.assertEqual(self.controls(), self.fresh_controls)
        self.assertNotIn("--set", self.element("command-line").get_attribute("value"))
        self.assertNotIn("#", self.driver.current_url)

        # The presets: the tool's list, each giving the controls the texts the tool's
        # params shows for it, named on the command line until a control moves.
        usage = subprocess.run([TOOL, "--help"], check=True, capture_output=True, text=True).stdout
        tools = re.findall(r"^ {21}([a-z0-9-]+) +(\S.*)$", usage, re.MULTILINE)
        listed = self.driver.execute_script(
            "return [...document.querySelectorAll('#preset option')].slice(1).map((o) => [o.value, o.textContent])")
        self.assertEqual([tuple(p) for p in listed], tools)
        self.assertGreater(len(tools), 0)
        for preset, _ in tools:
            Select(self.element("preset")).select_by_value(preset)
            command = self.element("command-line").get_attribute("value")
            self.assertTrue(command.endswith(f" --preset {preset}"), command)
            params = subprocess.run([TOOL, "params", "--preset", preset], check=True, capture_output=True,
                                    text=True).stdout.splitlines()[1:]
            self.assertEqual(self.driver.execute_script(
                "return [...document.querySelectorAll('#controls output')].map((o) => o.textContent)"),
                             [re.search(r'"([^"]*)"', row).group(1) for row in params], preset)
        self.element("control-spacing").send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(self.element("preset").get_attribute("value"), "")
        self.assertIn("--set 'LF Width=140' --set 'Mic Spacing=50.1'",
                      self.element("command-line").get_attribute("value"))
        self.element("reset").click()

    def test_6_fits_phone_and_tablet(self):
        # With a recording open and its band table shown: tones, whose other bands
        # read quiet, as the tool shows them, after the effect too, where at 96 kHz
        # its rounding noise comes within 80 dB of them in the lowest bands.
        path = os.path.join(self.work, "tones.wav")
        write_wav(path, 96000, 2, 32, 96000, "float", tone_hz=1000, noise=0)
        self.open_file(path, expect_in_info="tones.wav:")
        self.band_table_is_tools(path)
        self.addCleanup(self.driver.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})
        for width in (390, 768):
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                        {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": True})
            # What is drawn: measured after two frames at the new width (the layout's,
            # which wider content leaves as it is). The plots take it in a frame's
            # resize steps; measured in between, after the viewport changed but before
            # that frame, the plot still had its desktop width.
            fit = self.driver.execute_async_script("""
                const [width, done] = arguments;
                const settled = (frames) => requestAnimationFrame(() => {
                  if (document.documentElement.clientWidth !== width) settled(2);
                  else if (frames > 1) settled(frames - 1);
                  else setTimeout(() => done(measure()));
                });
                settled(2);
                function measure() {
                const root = document.documentElement;
                const small = [...document.querySelectorAll('button, input, a[href]')]
                  .filter((e) => e.offsetParent !== null)
                  .map((e) => [e.id || e.name, (e.closest('label') || e).getBoundingClientRect()])
                  .filter(([, r]) => r.width < 44 || r.height < 44).map(([id]) => id);
                return [root.scrollWidth - root.clientWidth, small];
                }""", width)
            self.assertEqual(fit, [0, []], f"at {width} px: sideways overflow, targets under 44 px")


if __name__ == "__main__":
    # Any further arguments name the tests to run, as unittest takes them.
    unittest.main(argv=sys.argv[:1] + sys.argv[5:], verbosity=2)
