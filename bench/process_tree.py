#!/usr/bin/env python3
"""Runs a command and measures it with every process it starts (the office
included): wall seconds, the peak of the summed resident memory of the whole
process tree, and the seconds during which an office process was part of it.

usage: process_tree.py COMMAND [ARG...]
prints one line: seconds=S peak_kib=K office_seconds=O exit=E
"""
import os
import subprocess
import sys
import time

POLL_SECONDS = 0.01
OFFICE_NAMES = ("soffice", "soffice.bin", "oosplash")


def children_by_parent():
    tree = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        # The name is in parentheses and may hold spaces; the parent follows it.
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        parent = int(stat[stat.rindex(")") + 2:].split()[1])
        tree.setdefault(parent, []).append((int(entry), name))
    return tree


def resident_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def tree_of(root):
    """(summed resident KiB, whether an office process is in it) of root and its descendants."""
    tree = children_by_parent()
    total, office, pending = resident_kib(root), False, [root]
    while pending:
        for child, name in tree.get(pending.pop(), []):
            total += resident_kib(child)
            office = office or name in OFFICE_NAMES
            pending.append(child)
    return total, office


def main():
    start = time.monotonic()
    process = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak, office_seconds, last = 0, 0.0, start
    while process.poll() is None:
        total, office = tree_of(process.pid)
        now = time.monotonic()
        peak = max(peak, total)
        if office:
            office_seconds += now - last
        last = now
        time.sleep(POLL_SECONDS)
    seconds = time.monotonic() - start
    print("seconds=%.3f peak_kib=%d office_seconds=%.3f exit=%d" % (seconds, peak, office_seconds, process.returncode))


if __name__ == "__main__":
    main()
