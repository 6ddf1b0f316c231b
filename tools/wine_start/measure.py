#!/usr/bin/python3
"""Start-to-window time of the Windows client under Wine, beside a bare
Win32 window's: the time from starting `wine PROGRAM` until xdotool finds
its window mapped, the median of several runs, on a private Xvfb display in
a Wine prefix made for the measurement. Also prints the client's size.

    measure.py --client build-windows/app/QOR_sync_PRO.exe [--runs 7]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "demo"))
from processes import Processes  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402


def start_xvfb(procs):
    read_fd, write_fd = os.pipe()
    procs.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        return ":" + f.readline().strip()


def time_to_window(procs, command, title, env, timeout=60):
    """Seconds from the start of `command` until its window is mapped."""
    start = time.monotonic()
    proc = procs.start(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while time.monotonic() - start < timeout:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title], env=env,
                               capture_output=True).stdout.split()
        if found:
            elapsed = time.monotonic() - start
            procs.stop(proc)
            return elapsed
        time.sleep(0.01)
    procs.stop(proc)
    raise TimeoutError("no window %r after %d s" % (title, timeout))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="qor-start-")
    procs = Processes()
    wine = WinePrefix(os.path.join(work, "wine"))
    try:
        bare = os.path.join(work, "bare_window.exe")
        subprocess.run(["x86_64-w64-mingw32-g++-posix", "-Os", "-s", "-static", "-municode", "-mwindows",
                        os.path.join(HERE, "bare_window.cpp"), "-o", bare], check=True)
        program = os.path.join(work, "program")
        os.makedirs(program)
        client = os.path.join(program, "QOR_sync_PRO.exe")
        shutil.copy2(args.client, client)
        wine.create()
        display = start_xvfb(procs)
        wine.serve(procs, display)
        env = dict(wine.env(), DISPLAY=display)
        # The server's port is never asked before a flag is clicked.
        cases = [("bare Win32 window", ["wine", bare], "bare window"),
                 ("QOR_sync_PRO.exe", ["wine", client, "--update-server", "127.0.0.1:9"], "QOR synchro center")]
        for _, command, title in cases:  # the first start of each loads more than the later ones
            time_to_window(procs, command, title, env)
        # Runs alternate between the programs, so a load that comes and goes
        # on the machine weighs on both alike.
        times = {name: [] for name, _, _ in cases}
        for _ in range(args.runs):
            for name, command, title in cases:
                times[name].append(time_to_window(procs, command, title, env))
        print("start to window under Wine, median of %d runs (each run's times in ms):" % args.runs)
        for name, _, _ in cases:
            print("  %-20s %5.0f ms   %s" % (name, statistics.median(times[name]) * 1000,
                                            " ".join("%.0f" % (t * 1000) for t in times[name])))
        print("size of %s: %d bytes" % (os.path.basename(args.client), os.path.getsize(args.client)))
    finally:
        wine.stop()  # before its server's group, which would leave Wine's helpers behind
        procs.stop_all()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
