#!/usr/bin/env python3
"""Writes the LV2 fuzzer's seed corpus (lv2-corpus/): short host sessions in
Lv2RunFuzzer.cpp's byte language, so that fuzzing starts from inputs that already
activate, set controls and run. Run it again only when that language changes."""
import os
import struct

OPS = {"activate": 0, "deactivate": 1, "set": 2, "bank": 3, "renew": 4, "run": 5, "message": 6}


def op(name, instance=0):
    return bytes([OPS[name], instance])


def rate(index=None, bits=None, urid_map=True):
    """A rate from the fuzzer's list by index, or any double, for an instance made
    with the URID map or without."""
    picked = bytes([index]) if bits is None else bytes([200]) + struct.pack("<d", bits)
    return picked + bytes([0 if urid_map else 1])


def set_in_range(control, fraction):
    return op("set") + bytes([control, 0]) + struct.pack("<H", round(fraction * 65535))


def set_bits(control, value):
    return op("set") + bytes([control, 1]) + struct.pack("<f", value)


def run(frames, source, buffers=0, samples=b"", notify_capacity=None, messages=False):
    """A run; the window's ports connected when asked: the queued messages, and a
    notify buffer of 8 + 3 * notify_capacity bytes."""
    ports = (1 if messages else 0) | (0 if notify_capacity is None else 2)
    tail = b"" if notify_capacity is None else struct.pack("<H", notify_capacity)
    return op("run") + struct.pack("<H", frames) + bytes([buffers | (source << 2)]) + samples + bytes([ports]) + tail


def monitor(on):
    return op("message") + bytes([12 if on else 0])  # kind % 3 == 0: well-formed; bit 2: on


def noise(frames, seed=1):
    out = bytearray()
    for _ in range(frames * 2):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack("<h", (seed >> 8) % 2000 - 1000)
    return bytes(out)


seeds = {
    "defaults": b"\x00" + rate(0) + op("activate") + run(256, 3, samples=noise(256)),
    "controls": b"\x00" + rate(1) + op("activate")
    + b"".join(set_in_range(c, f) for c, f in enumerate([0.0, 0.3, 0.75, 1.0, 0.2, 0.9, 0.5]))
    + run(512, 3, samples=noise(512)) + set_bits(3, float("nan")) + set_bits(5, float("inf"))
    + run(64, 3, 1, noise(64)),
    "blocks": b"\x00" + rate(3) + op("activate") + run(0, 0) + run(1, 2, samples=b"\x40\xc0")
    + run(17, 3, 2, noise(17)) + run(4096, 0),
    "lifecycle": b"\x01" + rate(0) + rate(4) + op("activate", 1) + run(32, 3, samples=noise(32)).replace(
        op("run"), op("run", 1), 1) + op("deactivate", 1) + op("renew") + rate(9) + op("activate")
    + run(16, 2, samples=bytes(range(32))) + op("bank") + run(16, 2, 1, bytes(range(32))),
    "odd-rates": b"\x00" + rate(bits=1e300) + op("activate") + run(8, 2, samples=bytes(16)) + op("renew")
    + rate(bits=float("nan")) + op("activate") + run(8, 2, samples=bytes(16)),
    "bad-samples": b"\x00" + rate(0) + op("activate")
    + run(24, 1, samples=struct.pack("<f", float("nan")) * 8 + struct.pack("<f", float("inf")) * 8
          + struct.pack("<f", 3e38) * 32) + run(64, 3, samples=noise(64)),
    "window": b"\x00" + rate(1) + op("activate") + monitor(True)
    + run(1200, 3, samples=noise(1200), notify_capacity=46000, messages=True)
    + run(700, 3, 1, noise(700), notify_capacity=3000, messages=True) + monitor(False)
    + op("message") + bytes([1, 0x85]) + op("message") + bytes([8, 40]) + struct.pack("<I", 32) + bytes(40)
    + run(64, 3, samples=noise(64), notify_capacity=1000, messages=True),
}

here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, "lv2-corpus"), exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, "lv2-corpus", name), "wb") as f:
        f.write(data)
