#!/usr/bin/env python3
"""Writes resources/demo.mid, the piece vantorel-render plays when no MIDI file is given.

Format 1, 480 ticks per quarter, 112 bpm, twelve bars in three passages of four bars (the renderer's
demo settings in demo.cpp bring the sections in at bars 5 and 9, where no key is held):
  1-4  Synth alone: staccato octave bass and a lead line;
  5-8  Organ joins: syncopated chords, walking bass, the lead varied;
  9-12 String joins: whole-note chords held with the pedal, a slow melody with a touch of mod wheel.
Usage: make_demo.py [OUT]  (default: resources/demo.mid next to this tool's folder)
"""
import pathlib
import struct
import sys

TPQ, BPM = 480, 112
BAR = 4 * TPQ
AM, F, C, G, DM = (57, 60, 64), (57, 60, 65), (55, 60, 64), (55, 59, 62), (57, 62, 65)


def vlq(n):
    out = [n & 0x7F]
    while n > 0x7F:
        n >>= 7
        out.append(0x80 | (n & 0x7F))
    return bytes(reversed(out))


def mtrk(events):
    """events: (tick, message bytes). Note-offs (note-ons with velocity 0) go first at equal ticks;
    channel messages use running status."""
    data, now, running = bytearray(), 0, None
    for tick, msg in sorted(events, key=lambda e: (e[0], not (msg_is_off(e[1])))):
        data += vlq(tick - now)
        now = tick
        data += msg[1:] if msg[0] == running else msg
        running = msg[0] if msg[0] < 0xF0 else None
    data += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def msg_is_off(msg):
    return msg[0] & 0xF0 == 0x90 and msg[2] == 0


def play(events, start, beats, keys, gate=0.9, vel=96):
    """Adds keys (one key or a chord) at start (beats) for beats * gate."""
    on, off = round(start * TPQ), round((start + beats * gate) * TPQ)
    for k in (keys if isinstance(keys, tuple) else (keys,)):
        events += [(on, bytes((0x90, k, vel))), (off, bytes((0x90, k, 0)))]


def line(events, start, notes, gate=0.9, vel=96):
    """notes: (key or None for a rest, beats) one after another from start (beats)."""
    for key, beats in notes:
        if key is not None:
            play(events, start, beats, key, gate, vel)
        start += beats


def cc(events, beat, number, value):
    events.append((round(beat * TPQ), bytes((0xB0, number, value))))


def piece():
    bass, chords, lead = [], [], []
    # Passage 1: bars 1-4.
    for bar, root in enumerate((45, 41, 48, 43)):
        eighths = [root, root + 12, root, root + 12, root, root + 12, root + 7, root + 12]
        if bar == 3:
            eighths[-2:] = [None, None]
        line(bass, bar * 4, [(k, 0.5) for k in eighths], gate=0.6, vel=100)
    line(lead, 0, [(76, 1), (74, .5), (72, .5), (71, 1), (72, 1),
                   (69, 1.5), (72, .5), (77, 1), (76, 1),
                   (76, .5), (74, .5), (72, 1), (67, 1), (72, 1),
                   (71, 1), (74, 2), (None, 1)])
    # Passage 2: bars 5-8.
    for bar, (root, chord) in enumerate(zip((45, 41, 48, 43), (AM, F, C, G))):
        b = 16 + bar * 4
        last = bar == 3
        line(bass, b, [(root, 1.5), (root + 7, .5), (root + 12, 1), (None if last else root, 1)], gate=0.85)
        play(chords, b, 1.5, chord, vel=80)
        play(chords, b + 1.5, 1 if not last else 1.5, chord, vel=80)
        if not last:
            play(chords, b + 2.5, 1.5, chord, vel=80)
    line(lead, 16, [(76, 1), (79, .5), (76, .5), (74, 1), (72, 1),
                    (72, 1.5), (74, .5), (77, 1), (81, 1),
                    (79, 1), (76, 1), (72, 1), (76, 1),
                    (74, 1.5), (71, 1), (None, 1.5)])
    # Passage 3: bars 9-12, legato over the pedal, the mod wheel rising and falling.
    for bar, (root, chord) in enumerate(zip((38, 41, 43, 36), (DM, F, G, C + (72,)))):
        b = 32 + bar * 4
        play(chords, b, 4, chord, gate=1.0, vel=80)
        play(bass, b, 4, root, gate=1.0)
        cc(chords, b + 0.125, 64, 127)
        cc(chords, b + 3.875, 64, 0)
    line(lead, 32, [(77, 2), (76, 1), (74, 1), (72, 2), (69, 2), (71, 2), (74, 2), (72, 4)], gate=1.0)
    for step in range(17):
        cc(chords, 36 + step * 0.5, 1, round(48 * step / 16))
        cc(chords, 44 + step * 0.25, 1, round(48 * (16 - step) / 16))
    tempo = [(0, b"\xff\x51\x03" + (60_000_000 // BPM).to_bytes(3, "big")),
             (0, b"\xff\x58\x04\x04\x02\x18\x08"), (0, b"\xff\x03\x04Demo")]
    tracks = [mtrk(tempo), mtrk(bass), mtrk(chords), mtrk(lead)]
    return b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TPQ) + b"".join(tracks)


if __name__ == "__main__":
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else \
        pathlib.Path(__file__).resolve().parents[2] / "resources" / "demo.mid"
    out.write_bytes(piece())
    print(f"wrote {out}")
