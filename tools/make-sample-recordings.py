#!/usr/bin/env python3
"""Writes the sample telemetry recordings in samples/telemetry/.

Each sample is a few seconds of what a simulator sends, made up here and
written in the recording format that kestrox-vantrell --record writes and
--replay reads (docs/telemetry-recording.md). Run it from anywhere:

    tools/make-sample-recordings.py [OUTPUT_FOLDER]
"""

import math
import os
import struct
import sys
import zlib

MAGIC = b"KXTELREC"
VERSION = 1

SOURCE_DCS, SOURCE_IL2, SOURCE_WARTHUNDER, SOURCE_CONDOR = 2, 3, 4, 5
KIND_DATAGRAM, KIND_HTTP_ANSWER, KIND_HTTP_FAILURE = 0, 1, 2


def entry(time_ms, source, kind, port, payload):
    head = struct.pack("<IBBHI", time_ms, source, kind, port, len(payload)) + payload
    return head + struct.pack("<I", zlib.crc32(head) & 0xFFFFFFFF)


def write(path, entries):
    with open(path, "wb") as f:
        f.write(MAGIC + struct.pack("<HH", VERSION, 0))
        for e in entries:
            f.write(entry(*e))


def dcs_flight():
    """An approach and touchdown in an F-16C: 6 s at 50 Hz."""
    out = []
    for i in range(300):
        t = i * 20
        s = t / 1000.0
        on_ground = 1 if s >= 4.0 else 0
        airspeed = 300.0 - 15.0 * s
        vs = -3.0 if not on_ground else 0.0
        line = "F-16C_50;%.1f;%.2f;%.2f;%.2f;1;0;0.5;70;%d" % (airspeed, vs, 8.0 - s, 1.0 + 0.05 * math.sin(s * 3), on_ground)
        out.append((t, SOURCE_DCS, KIND_DATAGRAM, 29778, line.encode()))
    return out


def il2_datagram(gear, flaps, speed_ms):
    """Indicator entries: id (uint16), value count (int8), float32 values."""
    entries = [(6, [speed_ms]), (7, [0.08]), (4, [gear]), (11, [flaps]), (12, [0.0]),
               (0, [2400.0]), (1, [100000.0])]
    body = b"".join(struct.pack("<Hb", i, len(v)) + b"".join(struct.pack("<f", x) for x in v) for i, v in entries)
    return bytes(10) + struct.pack("<b", len(entries)) + body


def il2_flight():
    """Gear coming down and flaps going out over 5 s, at 50 Hz."""
    out = []
    for i in range(250):
        t = i * 20
        s = t / 1000.0
        gear = min(1.0, max(0.0, (s - 1.0) / 2.0))
        flaps = min(1.0, max(0.0, (s - 2.0) / 2.0))
        out.append((t, SOURCE_IL2, KIND_DATAGRAM, 29777, il2_datagram(gear, flaps, 80.0 - 2.0 * s)))
    return out


def condor_flight():
    """A glider in turbulence: 5 s of key=value lines at 60 Hz."""
    out = []
    for i in range(300):
        t = i * 16
        s = t / 1000.0
        turbulence = 0.5 + 0.4 * math.sin(s * 1.7)
        text = "airspeed=%.2f\ngforce=%.3f\nturbulencestrength=%.3f\n" % (
            27.0 + math.sin(s), 1.0 + 0.3 * math.sin(s * 9.0) * turbulence, turbulence)
        out.append((t, SOURCE_CONDOR, KIND_DATAGRAM, 55278, text.encode()))
    return out


def warthunder_flight():
    """State answers every 20 ms for 2 s, a failed request (the telemetry
    ends), 1.5 s without War Thunder, then 3.5 s of answers again."""
    out = []
    t = 0

    def answers(start, count):
        for i in range(count):
            body = '{"valid": true, "IAS, km/h": %d, "Ny": %.2f, "AoA, deg": %.1f}' % (
                420 + i, 1.0 + 0.01 * (i % 50), 3.0 + 0.02 * (i % 40))
            out.append((start + i * 20, SOURCE_WARTHUNDER, KIND_HTTP_ANSWER, 0, body.encode()))
        return start + count * 20

    t = answers(0, 100)
    out.append((t, SOURCE_WARTHUNDER, KIND_HTTP_FAILURE, 0, b""))
    answers(t + 1500, 175)
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "samples", "telemetry")
    os.makedirs(folder, exist_ok=True)
    for name, entries in (("dcs-touchdown", dcs_flight()), ("il2-gear-and-flaps", il2_flight()),
                          ("condor2-turbulence", condor_flight()), ("warthunder-gap", warthunder_flight())):
        write(os.path.join(folder, name + ".kxrec"), entries)


if __name__ == "__main__":
    main()
