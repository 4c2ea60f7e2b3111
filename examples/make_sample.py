#!/usr/bin/env python3
"""Writes examples/sample.edf: a small valid EDF+C recording.

Three signals (an EEG channel, a respiration channel and the EDF+ annotation
signal), ten data records of one second. Only the standard library is used, so
the file can be remade anywhere: python3 examples/make_sample.py
"""
import math
import os
import struct

RECORDS = 10
DURATION = 1
SIGNALS = [
    # label, transducer, dimension, physmin, physmax, digmin, digmax, prefilter, samples
    ("EEG Fpz-Cz", "AgAgCl cup electrode", "uV", "-500", "500", "-2048", "2047",
     "HP:0.5Hz LP:70Hz", 100),
    ("Resp thorax", "Piezo belt", "mV", "-1", "1", "-2048", "2047", "HP:0.05Hz", 10),
    ("EDF Annotations", "", "", "-1", "1", "-32768", "32767", "", 30),
]


def field(text, width):
    data = text.encode("ascii")
    assert len(data) <= width, text
    return data + b" " * (width - len(data))


def header():
    ns = len(SIGNALS)
    out = b"".join([
        field("0", 8),
        field("X M 01-JAN-1970 Sample_Sleeper", 80),
        field("Startdate 07-DEC-2026 X X Vellicor_sample_writer", 80),
        field("07.12.26", 8),
        field("22.30.00", 8),
        field(str(256 * (ns + 1)), 8),
        field("EDF+C", 44),
        field(str(RECORDS), 8),
        field(str(DURATION), 8),
        field(str(ns), 4),
    ])
    widths = [16, 80, 8, 8, 8, 8, 8, 80, 8, 32]
    for f, width in enumerate(widths):
        for s in SIGNALS:
            value = {0: s[0], 1: s[1], 2: s[2], 3: s[3], 4: s[4], 5: s[5], 6: s[6],
                     7: s[7], 8: str(s[8]), 9: ""}[f]
            out += field(value, width)
    assert len(out) == 256 * (ns + 1)
    return out


def annotation(record, samples):
    tal = "+%d\x14\x14\x00" % (record * DURATION)
    if record == 0:
        tal += "+0\x14Recording starts\x14\x00"
    if record == 5:
        tal += "+5.5\x150.5\x14Arousal\x14\x00"
    data = tal.encode("ascii")
    data += b"\x00" * (2 * samples - len(data))
    return data


def record(r):
    eeg = SIGNALS[0][8]
    resp = SIGNALS[1][8]
    out = b""
    for i in range(eeg):
        t = r * DURATION + i / eeg
        v = 800 * math.sin(2 * math.pi * 10 * t) + 300 * math.sin(2 * math.pi * 1.3 * t)
        out += struct.pack("<h", int(round(v)))
    for i in range(resp):
        t = r * DURATION + i / resp
        out += struct.pack("<h", int(round(1500 * math.sin(2 * math.pi * 0.25 * t))))
    out += annotation(r, SIGNALS[2][8])
    return out


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.edf")
    with open(path, "wb") as f:
        f.write(header())
        for r in range(RECORDS):
            f.write(record(r))
    print("wrote", path, os.path.getsize(path), "bytes")


if __name__ == "__main__":
    main()
