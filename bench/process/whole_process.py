#!/usr/bin/env python3
"""A fresh wayfind process on a large company answering its first GetDetailFunc
from the cache files, against `wayfind --help` (the cost of starting the program
at all), measured in the same run and alternated so both see the same machine.

    bench/process/whole_process.py [--wayfind build-bench/app/wayfind]
                                   [--functions 50000] [--runs 30] [--keep DIR]
                                   [--best-of 15] [--starts 50]

It creates the company with `wayfind db synthetic`, runs one query to write the
cache files, then times RUNS pairs of processes. The figure that matters is the
query's median minus --help's median: what the program spends from its start to
the answer beyond starting at all (opening the database, the version checks,
loading both cache files, the query and printing it). Wall time and CPU time
(user + system, from the kernel's accounting) are both printed: on a shared
machine the CPU time is the steadier of the two. If bench_load_once is
beside wayfind's build (bench/process/bench_load_once), each cache file is also
loaded once in a fresh process of its own for the load speed and memory. If
bench_mmap_floor is there too, the query is compared with that floor: a
program that execs, opens and maps the same cache files and reads a byte of
each (best of 15 each), and 50 fresh starts are watched for stalls. If
bench_sqlite_floor is there as well, a second floor is timed in the same
alternation: the same program in C++, reading the versions from the database
before it maps the files, as the query must.
"""
import argparse
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed(cmd):
    """Wall time and CPU time (user + system) of one process, in ms."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = (time.perf_counter() - start) * 1000.0
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s failed" % " ".join(cmd))
    return wall, (usage.ru_utime + usage.ru_stime) * 1000.0


def compare_with_floor(floor, query, best_of, starts, sqlite_floor=None):
    """The query against a program that only execs, opens and maps the same cache
    files and reads a byte of each (bench_mmap_floor): best of best_of each,
    alternated; then starts fresh queries, reporting the slowest beyond the best.
    With sqlite_floor (bench_sqlite_floor), also against a C++ program that reads
    the versions from the database first, as the query does."""
    floors, queries, sqlite_floors = [], [], []
    for _ in range(best_of):
        floors.append(timed(floor)[0])
        queries.append(timed(query)[0])
        if sqlite_floor:
            sqlite_floors.append(timed(sqlite_floor)[0])
    f, q = min(floors), min(queries)
    print("load average %s" % " ".join("%.2f" % x for x in os.getloadavg()))
    print("wall exec, open and map the cache files  best of %d %7.2f ms" % (best_of, f))
    if sqlite_floor:
        s = min(sqlite_floors)
        print("wall the same in C++ after reading the versions from SQLite  best of %d %7.2f ms  = %.2f x the floor"
              % (best_of, s, s / f))
    print("wall exec to the first GetDetailFunc     best of %d %7.2f ms  = %.2f x the floor (target <= 3)%s"
          % (best_of, q, q / f, ("  = %.2f x the C++ and SQLite floor" % (q / s)) if sqlite_floor else ""))
    runs = [timed(query)[0] for _ in range(starts)]
    print("wall %d fresh starts: best %.2f, median %.2f, slowest %.2f ms; slowest beyond the best %.2f ms "
          "(target: no stall over 50 ms)" % (starts, min(runs), statistics.median(runs), max(runs),
                                            max(runs) - min(runs)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wayfind", default="build-bench/app/wayfind")
    ap.add_argument("--functions", type=int, default=50000)
    ap.add_argument("--runs", type=int, default=30)
    ap.add_argument("--subfunc", type=int, default=1001, help="the sub-function the query asks for")
    ap.add_argument("--best-of", type=int, default=15, help="runs of the query and of the floor, best taken")
    ap.add_argument("--starts", type=int, default=50, help="fresh starts watched for stalls")
    ap.add_argument("--keep", help="use (or create) the company and cache files in this folder")
    args = ap.parse_args()

    wayfind = os.path.abspath(args.wayfind)
    folder = args.keep or tempfile.mkdtemp(prefix="wayfind-process-")
    os.makedirs(folder, exist_ok=True)
    db = os.path.join(folder, "synthetic-%d.db" % args.functions)
    cache = os.path.join(folder, "cache")
    try:
        if not os.path.exists(db):
            subprocess.run([wayfind, "db", "synthetic", "--functions", str(args.functions), "--db", db], check=True)
        query = [wayfind, "call", "DatasInfo.GetDetailFunc", str(args.subfunc), "--db", db, "--cache-dir", cache]
        help_ = [wayfind, "--help"]
        first = timed(query)[0]  # writes the cache files (or finds them from an earlier run)
        files = sorted(glob.glob(os.path.join(cache, "**", "*.dat"), recursive=True))
        size = sum(os.path.getsize(f) for f in files)
        print("company: %d detail functions; cache files: %d, %d bytes; first query %.1f ms"
              % (args.functions, len(files), size, first))
        timed(help_)
        helps, queries = [], []
        for _ in range(args.runs):
            helps.append(timed(help_))
            queries.append(timed(query))
        for what, index in (("wall", 0), ("CPU", 1)):
            hs = [t[index] for t in helps]
            qs = [t[index] for t in queries]
            h, q = statistics.median(hs), statistics.median(qs)
            print("%-4s wayfind --help             median %7.2f ms   min %7.2f ms" % (what, h, min(hs)))
            print("%-4s wayfind call GetDetailFunc median %7.2f ms   min %7.2f ms  (exec to the answer, target <= 8 ms)"
                  % (what, q, min(qs)))
            print("%-4s from start to the answer beyond --help: median %.2f ms, min %.2f ms"
                  % (what, q - h, min(qs) - min(hs)))

        floor = os.path.join(os.path.dirname(os.path.dirname(wayfind)), "bench", "process", "bench_mmap_floor")
        sqlite_floor = os.path.join(os.path.dirname(floor), "bench_sqlite_floor")
        # The user's file is named as the template's, with "User" before and the user's number after.
        names = [os.path.basename(f) for f in files]
        stems = ["User" + n[:-len(".dat")] for n in names if n.startswith("Template")]
        users = [n[len(s):-len(".dat")] for s in stems for n in names if n.startswith(s)]
        second = [sqlite_floor, db, users[0]] + files if users and os.path.exists(sqlite_floor) else None
        if os.path.exists(floor):
            compare_with_floor([floor] + files, query, args.best_of, args.starts, second)

        loader = os.path.join(os.path.dirname(os.path.dirname(wayfind)), "bench", "process", "bench_load_once")
        if os.path.exists(loader):
            for f in files:
                subprocess.run([loader, f], check=True)
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
