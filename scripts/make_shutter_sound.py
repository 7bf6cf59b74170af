#!/usr/bin/env python3
"""Writes the snapshot sound, resources/sounds/cam.wav: a camera shutter made
of two short bursts of filtered noise (the blades opening and closing) over
a faint low thump. Mono, 16-bit, 22050 Hz, about a fifth of a second. The
output is the same on every run (fixed noise seed), so the committed file
can be remade and compared."""
import math
import random
import struct
import sys
import wave

RATE = 22050
LENGTH = 0.2  # seconds


def burst(t, start, decay, rng):
    """Noise that starts at `start` and dies away with time constant `decay`."""
    if t < start:
        return 0.0
    return rng.uniform(-1.0, 1.0) * math.exp(-(t - start) / decay)


def samples():
    rng = random.Random(1234)
    out = []
    low = 0.0
    high_prev = 0.0
    for i in range(int(RATE * LENGTH)):
        t = i / RATE
        noise = burst(t, 0.000, 0.010, rng) + 0.8 * burst(t, 0.075, 0.014, rng)
        # A first-order high-pass keeps the click crisp; a low-pass smooths the top.
        high = noise - high_prev * 0.2
        high_prev = noise
        low += 0.55 * (high - low)
        thump = 0.35 * math.sin(2 * math.pi * 140 * t) * math.exp(-t / 0.03)
        value = 0.75 * low + thump
        # Short fade-in and fade-out avoid clicks of their own at the edges.
        fade = min(1.0, i / 40, (int(RATE * LENGTH) - i) / 400)
        out.append(max(-1.0, min(1.0, value * fade)))
    return out


def main(path):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(round(s * 32000))) for s in samples()))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/sounds/cam.wav")
