#!/usr/bin/env python3
"""The console's launch against its floor: `wayfind console` from exec to the
painted window (WAYFIND_QUIT_AFTER_PAINT=1; the figure that counts is the first paint, the
target 1.2 x the floor), beside bench_bare_window, a bare Qt
main window of the same size that quits once painted (empty, and with one line of
text, which loads the fonts as any window with a caption must), alternated in the same run
so both see the same machine. Best and median of each, their ratio, and the load
average beside them.

    bench/process/console_paint.py [--wayfind build-bench/app/wayfind]
                                   [--functions 50000] [--runs 20] [--keep DIR]
                                   [--platform offscreen]

It creates the company with `wayfind db synthetic` and runs the console once so
that the cache files and the saved search index are there, as on a user's second
start.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed(cmd, env):
    """From the start of the process to its first paint (both programs print the
    moment on the monotonic clock, the clock perf_counter reads), to its end, and
    its CPU time, in ms."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    err = proc.stderr.read().decode(errors="replace")
    _, status, usage = os.wait4(proc.pid, 0)
    end = (time.perf_counter() - start) * 1000.0
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s failed: %s" % (" ".join(cmd), err))
    painted = [line for line in err.splitlines() if line.startswith("painted at ")]
    if not painted:
        raise SystemExit("%s did not say when it painted" % " ".join(cmd))
    paint = (float(painted[0][len("painted at "):]) - start) * 1000.0
    return paint, end, (usage.ru_utime + usage.ru_stime) * 1000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wayfind", default="build-bench/app/wayfind")
    ap.add_argument("--functions", type=int, default=50000)
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--keep", help="use (or create) the company and cache files in this folder")
    ap.add_argument("--platform", default="offscreen", help="QT_QPA_PLATFORM for both programs")
    args = ap.parse_args()

    wayfind = os.path.abspath(args.wayfind)
    floor = os.path.join(os.path.dirname(os.path.dirname(wayfind)), "bench", "process", "bench_bare_window")
    if not os.path.exists(floor):
        raise SystemExit("build bench_bare_window first: cmake --build --preset bench --target bench_bare_window")
    folder = args.keep or tempfile.mkdtemp(prefix="wayfind-paint-")
    os.makedirs(folder, exist_ok=True)
    db = os.path.join(folder, "synthetic-%d.db" % args.functions)
    env = dict(os.environ, QT_QPA_PLATFORM=args.platform, WAYFIND_QUIT_AFTER_PAINT="1",
               WAYFIND_CONFIG_DIR=os.path.join(folder, "config"), WAYFIND_LANGUAGE="chs")
    try:
        if not os.path.exists(db):
            subprocess.run([wayfind, "db", "synthetic", "--functions", str(args.functions), "--db", db], check=True)
        console = [wayfind, "console", "--db", db, "--cache-dir", os.path.join(folder, "cache")]
        # The cache files and the saved search index, as on a user's second start.
        subprocess.run([wayfind, "search", "a", "--db", db, "--cache-dir", os.path.join(folder, "cache")],
                       check=True, stdout=subprocess.DEVNULL, env=env)
        first = timed(console, env)[0]
        timed(console, env)
        timed([floor], env)
        print("company: %d detail functions; first console %.1f ms; platform %s"
              % (args.functions, first, args.platform))
        bare, text, consoles = [], [], []
        for _ in range(args.runs):
            bare.append(timed([floor], env))
            text.append(timed([floor, "--text"], env))
            consoles.append(timed(console, env))
        print("load average %s" % " ".join("%.2f" % x for x in os.getloadavg()))
        for what, index in (("paint", 0), ("exit", 1), ("CPU", 2)):
            b = [t[index] for t in bare]
            t = [t[index] for t in text]
            c = [t[index] for t in consoles]
            print("%-5s bare Qt window             best %7.2f  median %7.2f ms" % (what, min(b), statistics.median(b)))
            print("%-5s the same with a line of text  best %7.2f  median %7.2f ms" % (what, min(t), statistics.median(t)))
            print("%-5s wayfind console            best %7.2f  median %7.2f ms  = %.2f x / %.2f x (best),"
                  " %.2f x / %.2f x (median) the two floors"
                  % (what, min(c), statistics.median(c), min(c) / min(b), min(c) / min(t),
                     statistics.median(c) / statistics.median(b), statistics.median(c) / statistics.median(t)))
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
