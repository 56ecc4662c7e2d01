#!/usr/bin/env python3
"""Writes the three short cues Tsumugiya.exe plays for a hotkey's result.

Made at build time from a few numbers, so no binary sound file is kept in the
tree. Each is a mono 16-bit WAVE well under 30 KB, and the three differ in
pitch, direction and length so that a player hears which one it was without
looking: done rises, already-kept is one soft note, failed falls low.

usage: cue-sounds.py OUT_DIR
"""

import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050

# (frequency in Hz, length in seconds, loudness 0-1, harmonics) for each note.
CUES = {
    "cue-done.wav": [(880, 0.09, 0.5, 1), (1320, 0.15, 0.5, 1)],
    "cue-kept.wav": [(660, 0.16, 0.35, 1)],
    "cue-failed.wav": [(330, 0.15, 0.45, 3), (220, 0.26, 0.45, 3)],
}
FADE = 0.008  # seconds at each end of a note, against clicks


def note(frequency, length, loudness, harmonics):
    count = int(RATE * length)
    fade = int(RATE * FADE)
    samples = []
    for i in range(count):
        t = i / RATE
        # Odd harmonics make the failure sound rough, a plain sine the others.
        wave_value = sum(math.sin(2 * math.pi * frequency * (2 * k + 1) * t) / (2 * k + 1)
                         for k in range(harmonics))
        envelope = min(1.0, i / fade, (count - 1 - i) / fade)
        samples.append(int(32767 * loudness * envelope * wave_value / 1.3))
    return samples


def write_cue(path, notes):
    samples = []
    for n in notes:
        samples += note(*n)
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack(f"<{len(samples)}h", *samples))


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, notes in CUES.items():
        write_cue(folder / name, notes)


if __name__ == "__main__":
    main()
