#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus (corpus/): short host sessions in the fuzzer's
byte language, one per kind of call, so that fuzzing starts from inputs that
already reach every path. Run it again only when that language changes."""
import os
import struct

OPS = {"dispatch": 0, "set": 1, "get": 2, "rate": 3, "block": 4, "process": 5,
       "accumulate": 6, "double": 7, "mains": 8}


def op(name, instance=0):
    return bytes([OPS[name], instance])


def f32(x):
    return struct.pack("<f", x)


def i32(x):
    return struct.pack("<i", x)


def dispatch(opcode, index=0, value=0, opt=0.0, extra=b"\x00"):
    return op("dispatch") + bytes([opcode + 1]) + struct.pack("<h", index) + i32(value) + f32(opt) + extra


def process(frames, source, in_place=False, samples=b""):
    return op("process") + struct.pack("<H", frames + 50) + bytes([(source << 1) | int(in_place)]) + samples


def noise(frames, seed=1):
    out = bytearray()
    for _ in range(frames * 2):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack("<h", (seed >> 8) % 2000 - 1000)
    return bytes(out)


seeds = {
    "defaults": b"\x00" + op("mains") + b"\x01" + process(64, 3, samples=noise(64)),
    "parameters": b"\x00" + b"".join(op("set") + bytes([i]) + f32(v)
                                     for i, v in enumerate([0.2, 0.9, 1.5, -0.02, 0.7, -0.4, 3.0]))
    + process(128, 3, samples=noise(128)) + b"".join(op("get") + bytes([i & 0xFF]) for i in range(-1, 8)),
    "bad-samples": b"\x00" + process(16, 1, samples=f32(float("nan")) * 8 + f32(float("inf")) * 8
                                     + f32(3e38) * 16) + process(32, 3, samples=noise(32)),
    "rates": b"\x00" + b"".join(op("rate") + f32(r) for r in [0.0, -44100.0, float("nan"), 1e30, 96000.0])
    + op("set") + b"\x01" + f32(0.5) + process(64, 3, True, noise(64)),
    "blocks": b"\x00" + b"".join(op("block") + i32(v) for v in [0, -1, 1 << 30, 512])
    + process(-10, 0) + process(0, 0) + process(1, 2, samples=b"\x40\xc0"),
    "texts": b"\x00" + b"".join(dispatch(o, index=i) for o in (5, 6, 7, 8) for i in (-1, 0, 6, 7))
    + dispatch(4, extra=bytes([40]) + b"A" * 40),
    "opcodes": b"\x01" + b"".join(dispatch(o, index=1, value=2) for o in range(0, 81) if o != 1),
    "other-process": b"\x02" + op("accumulate", 1) + b"\x20" + op("double", 2) + b"\x20"
    + op("mains", 1) + b"\x00" + process(8, 2, samples=bytes(range(16))),
}

here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, "corpus"), exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, "corpus", name), "wb") as f:
        f.write(data)
print(f"wrote {len(seeds)} seeds")
