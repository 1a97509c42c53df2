#!/usr/bin/env python3
"""CPU used by each thread of a running process over a number of seconds.

    tools/threadcpu.py PID [SECONDS]

Reads utime + stime of /proc/PID/task/*/stat before and after, and prints
one line per thread name: percent of one core.
"""
import os
import sys
import time

def sample(pid):
    ticks = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        ticks[(tid, name)] = int(fields[11]) + int(fields[12])
    return ticks

def main():
    pid = int(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    hz = os.sysconf("SC_CLK_TCK")
    before = sample(pid)
    start = time.monotonic()
    time.sleep(seconds)
    after = sample(pid)
    elapsed = time.monotonic() - start
    per_name = {}
    for key, value in after.items():
        used = value - before.get(key, 0)
        per_name[key[1]] = per_name.get(key[1], 0) + used
    total = 0
    for name, used in sorted(per_name.items(), key=lambda item: -item[1]):
        percent = 100.0 * used / hz / elapsed
        total += percent
        print(f"{name:24s} {percent:6.2f} %")
    print(f"{'all threads':24s} {total:6.2f} %")

if __name__ == "__main__":
    main()
