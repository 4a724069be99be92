#!/usr/bin/env python3
"""A fresh wayfind process on a large company answering its first GetDetailFunc
from the cache files, against `wayfind --help` (the cost of starting the program
at all), measured in the same run and alternated so both see the same machine.

    bench/process/whole_process.py [--wayfind build-bench/app/wayfind]
                                   [--functions 50000] [--runs 30] [--keep DIR]

It creates the company with `wayfind db synthetic`, runs one query to write the
cache files, then times RUNS pairs of processes. The figure that matters is the
query's median minus --help's median: what the program spends from its start to
the answer beyond starting at all (opening the database, the version checks,
loading both cache files, the query and printing it). If bench_load_once is
beside wayfind's build (bench/process/bench_load_once), each cache file is also
loaded once in a fresh process of its own for the load speed and memory.
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
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wayfind", default="build-bench/app/wayfind")
    ap.add_argument("--functions", type=int, default=50000)
    ap.add_argument("--runs", type=int, default=30)
    ap.add_argument("--subfunc", type=int, default=1001, help="the sub-function the query asks for")
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
        first = timed(query)  # writes the cache files (or finds them from an earlier run)
        files = sorted(glob.glob(os.path.join(cache, "**", "*.dat"), recursive=True))
        size = sum(os.path.getsize(f) for f in files)
        print("company: %d detail functions; cache files: %d, %d bytes; first query %.1f ms"
              % (args.functions, len(files), size, first))
        timed(help_)
        helps, queries = [], []
        for _ in range(args.runs):
            helps.append(timed(help_))
            queries.append(timed(query))
        h, q = statistics.median(helps), statistics.median(queries)
        print("wayfind --help            median %7.2f ms   min %7.2f ms" % (h, min(helps)))
        print("wayfind call GetDetailFunc median %7.2f ms   min %7.2f ms" % (q, min(queries)))
        print("from start to the answer beyond --help: median %.2f ms, min %.2f ms (target <= 25 ms)"
              % (q - h, min(queries) - min(helps)))

        loader = os.path.join(os.path.dirname(os.path.dirname(wayfind)), "bench", "process", "bench_load_once")
        if os.path.exists(loader):
            for f in files:
                subprocess.run([loader, f], check=True)
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
