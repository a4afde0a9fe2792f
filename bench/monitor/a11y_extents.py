#!/usr/bin/python3
"""Times a screen reader's questions to a program from outside.

    a11y_extents.py PID

Finds the program PID on the accessibility (AT-SPI) bus, finds its first
table, says "ready" on standard output, then asks the table's extents every
INTERVAL seconds, timing each round trip, until standard input closes. Then it
prints one line: count, median, p99 and longest round trip in ms; and one line
"slow START MS" for every round trip of SLOW_MS or more, START on
CLOCK_MONOTONIC in ns, so that the caller can tell those that fell into a
pause of the whole machine.
"""
import os
import sys
import threading
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

INTERVAL = 0.03
SLOW_MS = 10.0
FIND_FOR = 60.0


def find_app(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def find_table(node, depth=0):
    """The first table under node; a table's own cells are not searched."""
    if node.get_role() == Atspi.Role.TABLE:
        return node
    if depth > 12:
        return None
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            found = find_table(child, depth + 1)
            if found is not None:
                return found
    return None


def main():
    pid = int(sys.argv[1])
    Atspi.set_timeout(30000, 30000)  # a long stall is measured, not cut off
    deadline = time.monotonic() + FIND_FOR
    table = None
    while table is None and time.monotonic() < deadline:
        try:
            app = find_app(pid)
            table = find_table(app) if app is not None else None
        except GLib.Error:
            table = None
        if table is None:
            time.sleep(0.2)
    if table is None:
        print("no table of process %d on the accessibility bus" % pid, flush=True)
        return 1
    print("ready", flush=True)

    stop = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), stop.set()), daemon=True).start()
    times = []
    slow = []
    while not stop.is_set():
        start = time.monotonic_ns()
        table.get_extents(Atspi.CoordType.SCREEN)
        ms = (time.monotonic_ns() - start) / 1e6
        times.append(ms)
        if ms >= SLOW_MS:
            slow.append((start, ms))
        stop.wait(INTERVAL)
    times.sort()
    if not times:
        print("no answer timed", flush=True)
        return 1
    p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
    print("%d answers, median %.1f ms, p99 %.1f ms, longest %.1f ms"
          % (len(times), times[len(times) // 2], p99, times[-1]), flush=True)
    for start, ms in slow:
        print("slow %d %.1f" % (start, ms), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
