#!/usr/bin/env python3
"""What consoles hold of the cache files: two `wayfind console` processes on the
same company and cache folder at once (offscreen), each left until it has its
saved search index in hand, then every file mapping of theirs read from
/proc/PID/smaps. A cache file is mapped over the page cache: its pages are shared
between the processes (Pss about half of Rss with two), and a private copy of
any page would show as Anonymous memory of that mapping. The target is none.

    bench/process/console_memory.py [--wayfind build-bench/app/wayfind]
                                    [--functions 500000] [--keep DIR]

It creates the company with `wayfind db synthetic` and runs `wayfind search`
once so that the cache files and the saved search index are there, as on a
user's second start.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time


def mappings(pid):
    """Per mapped file (or [heap], [anon]): kB of Rss, Pss and Anonymous."""
    out, current = {}, None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                parts = line.split()
                current = out.setdefault(parts[5] if len(parts) > 5 else "[anon]", {})
            else:
                key, _, value = line.partition(":")
                if key in ("Rss", "Pss", "Anonymous"):
                    current[key] = current.get(key, 0) + int(value.split()[0])
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wayfind", default="build-bench/app/wayfind")
    ap.add_argument("--functions", type=int, default=500000)
    ap.add_argument("--keep", help="use (or create) the company and cache files in this folder")
    ap.add_argument("--wait", type=float, default=30.0, help="seconds to wait for the consoles")
    args = ap.parse_args()
    wayfind = os.path.abspath(args.wayfind)
    folder = args.keep or tempfile.mkdtemp(prefix="wayfind-memory-")
    os.makedirs(folder, exist_ok=True)
    db = os.path.join(folder, "synthetic-%d.db" % args.functions)
    cache = os.path.join(folder, "cache")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", WAYFIND_CONFIG_DIR=os.path.join(folder, "config"),
               WAYFIND_LANGUAGE="chs")
    if not os.path.exists(db):
        subprocess.run([wayfind, "db", "synthetic", "--functions", str(args.functions), "--db", db], check=True)
    subprocess.run([wayfind, "search", "a", "--db", db, "--cache-dir", cache], check=True,
                   stdout=subprocess.DEVNULL, env=env)
    consoles = [subprocess.Popen([wayfind, "console", "--db", db, "--cache-dir", cache], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for _ in range(2)]
    try:
        deadline = time.monotonic() + args.wait
        while True:
            if any(c.poll() is not None for c in consoles):
                raise SystemExit("a console ended before it was measured")
            have = [any(name.endswith(".idx") for name in mappings(c.pid)) for c in consoles]
            if all(have):
                break
            if time.monotonic() > deadline:
                raise SystemExit("the consoles did not map the saved search index within %.0f s" % args.wait)
            time.sleep(0.2)
        time.sleep(1.0)  # the preparing ends; the window idles
        seen = [mappings(c.pid) for c in consoles]
    finally:
        for c in consoles:
            c.kill()
            c.wait()
    load = os.getloadavg()
    print("company: %d detail functions; two consoles at once  [load %.1f]" % (args.functions, load[0]))
    print("%-44s %10s %10s %10s %10s" % ("file (MB)", "size", "Rss", "Pss", "private"))
    private = 0
    for name in sorted({n for m in seen for n in m if n.startswith(cache)}):
        size = os.path.getsize(name) / 2**20 if os.path.exists(name) else 0.0
        for i, m in enumerate(seen):
            d = m.get(name, {})
            private += d.get("Anonymous", 0)
            print("%-44s %10.1f %10.1f %10.1f %10.1f" % ("console %d: %s" % (i + 1, os.path.basename(name)[:30]), size,
                                                        d.get("Rss", 0) / 1024, d.get("Pss", 0) / 1024,
                                                        d.get("Anonymous", 0) / 1024))
    for i, m in enumerate(seen):
        anon = sum(d.get("Anonymous", 0) for d in m.values())
        print("console %d: anonymous memory in all %.1f MB" % (i + 1, anon / 1024))
    print("private copies of cache files: %.1f MB (target 0)" % (private / 1024))
    return 0 if private == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
