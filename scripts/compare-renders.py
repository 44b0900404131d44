#!/usr/bin/env python3
"""Renders random scenarios with two builds of vantorel-render and requires identical samples.

Each scenario is a random MIDI file (notes and chords, sustain pedal, modulation wheel, pitch wheel,
program changes, all-notes-off, a first tempo) and a random set of parameter values covering every
section, the phaser sends, the delay's modes, glide and the LFO routings, rendered at a random sample
rate (8000 ... 192000 Hz, the usual ones often) and host block size (1 ... 4096) into 64-bit float WAV
files. The sample data of the two files must be byte for byte the same.

usage: compare-renders.py [-n COUNT] [--seed N] [--keep DIR] [--timeout SECONDS] OLD_RENDER NEW_RENDER
Exit status: 0 when every scenario matches, 1 when one differs or a render fails, 2 for bad arguments.
"""
import argparse
import os
import random
import struct
import subprocess
import sys
import tempfile

RATES = [8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000]
BLOCKS = [1, 2, 3, 7, 16, 31, 32, 64, 100, 127, 128, 256, 441, 480, 512, 1000, 1024, 2048, 4096]


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def random_midi(rng, seconds):
    """A format 0 file at 960 ticks per second (480 per quarter note at the file's first tempo)."""
    bpm = rng.choice([60, 90, 120, 120, 133.3, 174, 240]) if rng.random() < 0.9 else rng.uniform(30, 300)
    tempo = int(round(60e6 / bpm))
    ticks_per_second = 480 * 1e6 / tempo
    events = []  # (tick, bytes)
    end = int(seconds * ticks_per_second)
    held = set()
    t = 0
    while t < end:
        t += int(rng.expovariate(1.0 / (ticks_per_second * 0.12)))
        if t >= end:
            break
        r = rng.random()
        if r < 0.45:
            chord = [rng.randint(12, 120) for _ in range(rng.choice([1, 1, 2, 3, 4, 6, 10]))]
            for k in chord:
                vel = 0 if rng.random() < 0.03 else rng.randint(1, 127)  # velocity 0: a note-off
                events.append((t, bytes([0x90 | rng.randint(0, 15), k, vel])))
                held.add(k)
        elif r < 0.75 and held:
            k = rng.choice(sorted(held))
            held.discard(k)
            events.append((t, bytes([0x80, k, rng.randint(0, 127)])))
        elif r < 0.82:
            events.append((t, bytes([0xB0, 64, rng.choice([0, 127, 64, 1])])))  # sustain pedal
        elif r < 0.88:
            events.append((t, bytes([0xB0, 1, rng.randint(0, 127)])))  # modulation wheel
        elif r < 0.94:
            v = rng.randint(0, 16383)
            events.append((t, bytes([0xE0, v & 0x7F, v >> 7])))  # pitch wheel
        elif r < 0.97:
            events.append((t, bytes([0xC0, rng.randint(0, 63)])))  # program change
        elif r < 0.98:
            events.append((t, bytes([0xB0, rng.choice([120, 123]), 0])))  # all notes off
        else:
            events.append((t, bytes([0xB0, rng.randint(2, 119), rng.randint(0, 127)])))
    for k in sorted(held):
        if rng.random() < 0.7:
            events.append((end, bytes([0x80, k, 0])))
    track = b"\x00\xFF\x51\x03" + tempo.to_bytes(3, "big")
    last = 0
    for tick, data in sorted(events, key=lambda e: e[0]):
        track += vlq(tick - last) + data
        last = tick
    track += b"\x00\xFF\x2F\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) +
            b"MTrk" + struct.pack(">I", len(track)) + track)


def read_params(render, env):
    """(index, min, max, is_enum) of every parameter, from --list-params."""
    out = subprocess.run([render, "--list-params"], env=env, capture_output=True, text=True, check=True).stdout
    params = []
    for line in out.splitlines()[1:]:
        fields = line.split()
        index = int(fields[0])
        rng_field = next(f for f in fields[1:] if ".." in f and f[0] in "-0123456789")
        lo, hi = (float(x) for x in rng_field.split(".."))
        params.append((index, lo, hi, "|" in line))
    return params


def random_settings(rng, params):
    """Random plain values for about half of the parameters; each section is on more often than not."""
    settings = {}
    for index, lo, hi, is_enum in params:
        if rng.random() < 0.5:
            continue
        if is_enum:
            settings[index] = rng.randint(int(lo), int(hi))
        elif rng.random() < 0.1:
            settings[index] = rng.choice([lo, hi])
        else:
            settings[index] = round(rng.uniform(lo, hi), 6)
    for volume in (2, 3, 4):  # Synth, Organ, String
        if rng.random() < 0.7:
            settings[volume] = round(rng.uniform(0.05, 1.0), 6)
    return settings


def wav_data(path):
    """The bytes of the 'data' chunk of a RIFF/WAVE file (the rest may hold a time stamp)."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError(path + ": not a WAV file")
    pos = 12
    while pos + 8 <= len(blob):
        cid, size = blob[pos:pos + 4], struct.unpack("<I", blob[pos + 4:pos + 8])[0]
        if cid == b"data":
            return blob[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    raise ValueError(path + ": no data chunk")


def first_difference(a, b):
    n = min(len(a), len(b)) // 8
    for i in range(n):
        if a[8 * i:8 * i + 8] != b[8 * i:8 * i + 8]:
            x, y = struct.unpack("<d", a[8 * i:8 * i + 8])[0], struct.unpack("<d", b[8 * i:8 * i + 8])[0]
            return "frame %d %s: %r against %r" % (i // 2, "left" if i % 2 == 0 else "right", x, y)
    return "lengths %d and %d bytes" % (len(a), len(b))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("-n", "--count", type=int, default=200)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--keep", help="keep the scenarios' files in this folder")
    ap.add_argument("--timeout", type=int, default=300, help="seconds a render may take (default 300)")
    args = ap.parse_args()

    work = args.keep or tempfile.mkdtemp(prefix="vantorel-compare-")
    os.makedirs(work, exist_ok=True)
    envs = {}
    for which in ("old", "new"):
        home = os.path.join(work, "home-" + which)  # each build makes its configuration here
        os.makedirs(home, exist_ok=True)
        envs[which] = dict(os.environ, HOME=home)
    params = read_params(args.new, envs["new"])

    failures = 0
    rates, blocks = set(), set()
    for n in range(args.count):
        rng = random.Random(args.seed * 1000003 + n)
        rate = rng.choice(RATES) if rng.random() < 0.8 else rng.randint(8000, 192000)
        block = rng.choice(BLOCKS) if rng.random() < 0.7 else rng.randint(1, 4096)
        seconds = rng.uniform(0.5, 4.0)
        length = seconds + rng.uniform(0.2, 3.0)
        if block < 16 and rate > 96000:
            length = min(length, 2.0)  # tiny blocks at high rates are slow to render
        midi = os.path.join(work, "s%03d.mid" % n)
        with open(midi, "wb") as f:
            f.write(random_midi(rng, seconds))
        settings = random_settings(rng, params)
        common = ["-r", str(rate), "-b", str(block), "-l", "%.3f" % length, "--format", "f64"]
        for index, value in sorted(settings.items()):
            common += ["--set", "%d=%s" % (index, repr(value))]
        data = {}
        for which in ("old", "new"):
            out = os.path.join(work, "s%03d-%s.wav" % (n, which))
            try:
                run = subprocess.run([getattr(args, which)] + common + ["-o", out, midi], env=envs[which],
                                     capture_output=True, text=True, timeout=args.timeout)
            except subprocess.TimeoutExpired:
                print("scenario %d: %s render did not end within %d s" % (n, which, args.timeout))
                data = None
                break
            if run.returncode != 0:
                print("scenario %d: %s render failed: %s" % (n, which, run.stderr.strip()))
                data = None
                break
            data[which] = wav_data(out)
            if not args.keep:
                os.remove(out)
        rates.add(rate)
        blocks.add(block)
        if data is None:
            failures += 1
        elif data["old"] != data["new"]:
            failures += 1
            print("scenario %d (rate %d, block %d, %s): DIFFERS at %s" %
                  (n, rate, block, " ".join(common), first_difference(data["old"], data["new"])))
        if not args.keep:
            os.remove(midi)
    print("%d scenarios, %d identical, %d differing or failed; %d rates (%d ... %d Hz), %d block sizes (%d ... %d)" %
          (args.count, args.count - failures, failures, len(rates), min(rates), max(rates), len(blocks),
           min(blocks), max(blocks)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
