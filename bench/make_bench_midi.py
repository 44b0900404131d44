#!/usr/bin/env python3
"""Writes the MIDI files of the renderer benchmarks: chords held for 30 seconds."""
import os
import struct

def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)

def chord_file(keys, seconds):
    division = 480  # ticks per quarter note at 120 BPM: 960 ticks per second
    track = b"\x00\xFF\x51\x03" + (500000).to_bytes(3, "big")
    for k in keys:
        track += vlq(0) + bytes([0x90, k, 100])
    track += vlq(seconds * 960) + bytes([0x80, keys[0], 0])
    for k in keys[1:]:
        track += vlq(0) + bytes([0x80, k, 0])
    track += b"\x00\xFF\x2F\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, division) +
            b"MTrk" + struct.pack(">I", len(track)) + track)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "midi")
os.makedirs(here, exist_ok=True)
with open(os.path.join(here, "chord3.mid"), "wb") as f:
    f.write(chord_file([60, 64, 67], 30))
with open(os.path.join(here, "chord10.mid"), "wb") as f:
    f.write(chord_file([36, 43, 48, 52, 55, 60, 64, 67, 71, 74], 30))
