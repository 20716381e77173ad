#!/usr/bin/env python3
"""Makes the demo panel: a copy of examples/panel with its WAV files.

The sounds are generated, a second or less each, in the formats a panel
meets: 8- and 16-bit, mono and stereo, 11025 to 44100 Hz. The looping ones
hold a whole number of periods, so that they loop without a click.

usage: make_demo_panel.py PANEL-SOURCE OUTPUT-FOLDER
"""
import math
import os
import shutil
import struct
import sys
import wave


def write_wav(path, rate, channels, bits, frames):
    """frames: a list of tuples of floats in -1..1, one value per channel."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = bytearray()
    for frame in frames:
        for value in frame:
            value = max(-1.0, min(1.0, value))
            if bits == 8:
                data.append(int(round(value * 127)) + 128)
            else:
                data += struct.pack("<h", int(round(value * 32767)))
    with wave.open(path, "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(bits // 8)
        out.setframerate(rate)
        out.writeframes(bytes(data))


def envelope(t, length, attack=0.005, release=0.01):
    return min(1.0, t / attack if attack else 1.0, (length - t) / release if release else 1.0)


def click(rate=22050, length=0.06):
    # A short decaying 2.4 kHz ping over a little deterministic noise.
    seed = 12345
    frames = []
    for n in range(int(rate * length)):
        t = n / rate
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = seed / 0x3FFFFFFF - 1.0
        value = (0.6 * math.sin(2 * math.pi * 2400 * t) + 0.3 * noise) * math.exp(-t * 70)
        frames.append((value * envelope(t, length, 0.0005, 0.005),))
    return frames


def beep(rate=44100, length=0.4):
    return [(0.25 * math.sin(2 * math.pi * 880 * n / rate) * envelope(n / rate, length),)
            for n in range(int(rate * length))]


def hum(rate=22050, length=1.0):
    # 110 Hz and its harmonics: 110 whole periods a second, so it loops clean.
    frames = []
    for n in range(int(rate * length)):
        t = n / rate
        base = 2 * math.pi * 110 * t
        left = 0.15 * math.sin(base) + 0.06 * math.sin(2 * base) + 0.03 * math.sin(3 * base)
        right = 0.15 * math.sin(base + 0.6) + 0.06 * math.sin(2 * base + 0.6) + 0.03 * math.sin(5 * base)
        frames.append((left, right))
    return frames


def chime(rate=44100, length=0.8):
    frames = []
    for n in range(int(rate * length)):
        t = n / rate
        decay = math.exp(-t * 4) * envelope(t, length, 0.002, 0.02)
        frames.append((0.3 * math.sin(2 * math.pi * 660 * t) * decay, 0.3 * math.sin(2 * math.pi * 990 * t) * decay))
    return frames


def trim_buzz(rate=11025, length=0.5):
    # A soft 150 Hz buzz: 75 whole periods, so the trim sound loops clean.
    frames = []
    for n in range(int(rate * length)):
        phase = 2 * math.pi * 150 * n / rate
        frames.append((0.3 * math.tanh(3 * math.sin(phase)) * 0.8,))
    return frames


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1], sys.argv[2]
    if os.path.isdir(output):
        shutil.rmtree(output)
    shutil.copytree(source, output)
    write_wav(os.path.join(output, "Sound/demo/click.wav"), 22050, 1, 8, click())
    write_wav(os.path.join(output, "Sound/demo/beep.wav"), 44100, 1, 16, beep())
    write_wav(os.path.join(output, "Sound/demo/hum.wav"), 22050, 2, 16, hum())
    write_wav(os.path.join(output, "Sound/demo/chime.wav"), 44100, 2, 16, chime())
    write_wav(os.path.join(output, "Sound/qztrim.wav"), 11025, 1, 16, trim_buzz())


if __name__ == "__main__":
    main()
