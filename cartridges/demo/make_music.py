#!/usr/bin/env python3
"""Writes the demo's song as ca65 data (music.inc, checked in).

    python3 cartridges/demo/make_music.py

The song is "Over the Ridge", sixteen bars in A minor at 180 beats per
minute, written for this cartridge. The lead (pulse 1) is written out note by
note below; the arpeggio (pulse 2), the bass (triangle) and the drums (noise)
are built from the chord of each bar.

Each channel's stream is a list of pairs: a note byte and a length in frames.
Note byte 0 is a rest, 1-64 are notes from the period table (A1 up to C7);
on the noise channel 1-3 are the kick, the snare and the hi-hat. $FF ends the
stream, which then starts again: every stream lasts the same number of frames,
so the four stay in step for ever.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
CPU_CLOCK = 1789773
FRAMES_PER_SIXTEENTH = 5  # 180 beats per minute at 60 frames per second
LOWEST_MIDI = 33  # A1

NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}


def midi(name):
    return 12 * (int(name[-1]) + 1) + NAMES[name[:-1]]


def note_byte(name, octave_up=0):
    if name == "R":
        return 0
    index = midi(name) + 12 * octave_up - LOWEST_MIDI
    assert 0 <= index < 64, name
    return index + 1


def period(index):
    """Pulse timer value for a note: the pulse's wave repeats every 16 (P + 1)
    CPU cycles. The triangle's repeats every 32 (T + 1), so the same value
    sounds an octave lower there."""
    f = 440.0 * 2 ** ((index + LOWEST_MIDI - 69) / 12)
    return round(CPU_CLOCK / (16 * f)) - 1


# Lead: (note, length in sixteenths), four bars per line.
LEAD = [
    # A: Am F C G / Am F G E
    ("A4", 4), ("C5", 2), ("E5", 2), ("D5", 2), ("C5", 2), ("B4", 2), ("C5", 2),
    ("A4", 6), ("F4", 2), ("A4", 2), ("C5", 2), ("F5", 4),
    ("E5", 4), ("G5", 2), ("E5", 2), ("D5", 2), ("C5", 2), ("D5", 2), ("E5", 2),
    ("D5", 8), ("B4", 4), ("G4", 4),
    ("A4", 4), ("C5", 2), ("E5", 2), ("A5", 4), ("G5", 2), ("E5", 2),
    ("F5", 2), ("E5", 2), ("D5", 2), ("C5", 2), ("A4", 4), ("C5", 4),
    ("B4", 2), ("C5", 2), ("D5", 2), ("G5", 2), ("F5", 4), ("D5", 4),
    ("E5", 8), ("G#4", 4), ("B4", 4),
    # B: F G Em Am / Dm G C E
    ("C6", 4), ("A5", 2), ("F5", 2), ("C5", 4), ("F5", 4),
    ("D6", 4), ("B5", 2), ("G5", 2), ("D5", 4), ("G5", 4),
    ("E5", 2), ("G5", 2), ("B5", 2), ("E6", 2), ("D6", 4), ("B5", 4),
    ("C6", 6), ("B5", 2), ("A5", 8),
    ("F5", 2), ("A5", 2), ("D6", 2), ("A5", 2), ("F5", 2), ("D5", 2), ("F5", 2), ("A5", 2),
    ("G5", 6), ("F5", 2), ("E5", 2), ("D5", 2), ("B4", 4),
    ("C5", 2), ("E5", 2), ("G5", 2), ("C6", 2), ("B5", 2), ("G5", 2), ("E5", 2), ("G5", 2),
    ("G#5", 4), ("E5", 4), ("B4", 4), ("R", 4),
]

# One chord per bar: root, third, fifth (octave 3 or 4 as written).
CHORDS = [
    ("A3", "C4", "E4"), ("F3", "A3", "C4"), ("C4", "E4", "G4"), ("G3", "B3", "D4"),
    ("A3", "C4", "E4"), ("F3", "A3", "C4"), ("G3", "B3", "D4"), ("E3", "G#3", "B3"),
    ("F3", "A3", "C4"), ("G3", "B3", "D4"), ("E3", "G3", "B3"), ("A3", "C4", "E4"),
    ("D3", "F3", "A3"), ("G3", "B3", "D4"), ("C4", "E4", "G4"), ("E3", "G#3", "B3"),
]


def up(name, octaves=1):
    return name[:-1] + str(int(name[-1]) + octaves)


def arpeggio():
    """Pulse 2: the chord broken into sixteenths, one octave up, rising and falling."""
    out = []
    for root, third, fifth in CHORDS:
        pattern = [root, third, fifth, up(root), fifth, third] * 2 + [root, third, fifth, up(root)]
        out += [(up(n), 1) for n in pattern]
    return out


def bass():
    """Triangle: a walking root-fifth figure in eighths, an octave below the chord."""
    out = []
    for root, _third, fifth in CHORDS:
        low = up(root, -1)
        out += [(low, 2), (low, 2), (up(low), 2), (low, 2), (up(fifth, -1), 2), (low, 2), (up(low), 2), (up(fifth, -1), 2)]
    return out


KICK, SNARE, HAT = 1, 2, 3


def drums():
    out = []
    for bar in range(16):
        beat = [KICK, HAT, SNARE, HAT, KICK, KICK, SNARE, HAT]
        if bar % 4 == 3:
            beat = [KICK, HAT, SNARE, HAT, KICK, SNARE, SNARE, SNARE]
        out += [(d, 2) for d in beat]
    return out


def stream(label, events, octave_up=0, raw=False):
    data = []
    frames = 0
    for n, length in events:
        value = n if raw else note_byte(n, octave_up)
        data += [value, length * FRAMES_PER_SIXTEENTH]
        frames += length * FRAMES_PER_SIXTEENTH
    data.append(0xFF)
    lines = [f"{label}:  ; {frames} frames"]
    for i in range(0, len(data), 16):
        lines.append("    .byte " + ",".join(f"${v:02X}" for v in data[i : i + 16]))
    return "\n".join(lines) + "\n", frames


def main():
    parts = []
    lengths = []
    for label, events, octave, raw in [
        ("song_pulse1", LEAD, 0, False),
        ("song_pulse2", arpeggio(), 0, False),
        # The triangle sounds an octave below the pulse for the same timer value.
        ("song_triangle", bass(), 1, False),
        ("song_noise", drums(), 0, True),
    ]:
        text, frames = stream(label, events, octave, raw)
        parts.append(text)
        lengths.append(frames)
    assert len(set(lengths)) == 1, lengths
    periods = [period(i) for i in range(64)]
    with open(os.path.join(HERE, "music.inc"), "w") as f:
        f.write("; Generated by make_music.py: the song and the note period table.\n\n")
        f.write("; Timer values of notes A1 to C7 (note byte 1 is A1).\n")
        f.write("note_period_lo:\n")
        for i in range(0, 64, 16):
            f.write("    .byte " + ",".join(f"${p & 0xFF:02X}" for p in periods[i : i + 16]) + "\n")
        f.write("note_period_hi:\n")
        for i in range(0, 64, 16):
            f.write("    .byte " + ",".join(f"${p >> 8:02X}" for p in periods[i : i + 16]) + "\n")
        f.write("\n" + "\n".join(parts))
    print("song length:", lengths[0], "frames")


if __name__ == "__main__":
    main()
