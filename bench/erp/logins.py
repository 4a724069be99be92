#!/usr/bin/env python3
"""Many clients logging in to a PostgreSQL server at once, against the floor of
a login: the same number of processes that only connect and run SELECT 1
(bench_pg_connect_floor), measured in the same run, rounds alternated. Then a
user's first tree on a new cache folder, on the server against the same on an
SQLite file, one process at a time, with the server's CPU for each login; and
the first tree of a user new to the company (no rows of their own) on the server.

    bench/erp/logins.py [--build build-bench] [--clients 200] [--rounds 3]
                        [--first-tree-runs 20] [--max-connections 250]
                        [--before DIR]

--before DIR measures an earlier build too, in the same rounds: DIR holds its
app/wayfind and lib/ (copied from a build folder; its libraries are found
through LD_LIBRARY_PATH).

A login is what a user's client does when it starts with nothing cached:
`wayfind tree` of a plain user (a role of its own, not the owner) on a new
cache folder: connect, check the schema and the login, ask both versions,
fetch the template and the user's rows, write the cache files, print the tree.

The benchmark starts a server of its own in a temporary folder (Unix socket
only, fsync and synchronous_commit off, as the tests' server), makes the demo
company and one ERP user with a role of their own for every client, as a
company would: each role may hold at most 10 connections at once (`wayfind db
add-user`), and max_connections leaves room for every client at once plus the
administrators' reserve. Every process of a round is started before the first
one is waited for. Printed per round: the whole round's wall time, the
processes' median and 95th percentile, the clients' CPU time (user + system)
and the server's (the backends', from the postmaster's accounting of its
children), failures; the load average beside every figure.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PG_BIN = os.environ.get("WAYFIND_PG_BIN", "/usr/lib/postgresql/15/bin")
FIRST_USER = 20000


def load():
    return "load average %s" % " ".join("%.2f" % x for x in os.getloadavg())


def as_server_user(cmd):
    """PostgreSQL refuses to run as root: the server's programs run as 'postgres' then."""
    return (["runuser", "-u", "postgres", "--"] + cmd) if os.getuid() == 0 else cmd


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)


class Server:
    def __init__(self, max_connections):
        self.dir = tempfile.mkdtemp(prefix="wayfind-logins-")
        if os.getuid() == 0:
            shutil.chown(self.dir, "postgres", "postgres")
        os.chmod(self.dir, 0o700)
        self.data = os.path.join(self.dir, "data")
        run(as_server_user([PG_BIN + "/initdb", "-D", self.data, "-U", "postgres", "--auth=trust", "-E", "UTF8",
                            "--locale=C.UTF-8"]), cwd=self.dir, stderr=subprocess.DEVNULL)
        opts = ("-c listen_addresses='' -k %s -c fsync=off -c synchronous_commit=off -c full_page_writes=off "
                "-c max_connections=%d -c shared_buffers=64MB" % (self.dir, max_connections))
        run(as_server_user([PG_BIN + "/pg_ctl", "-D", self.data, "-l", os.path.join(self.dir, "server.log"), "-w",
                            "-t", "60", "-o", opts, "start"]), cwd=self.dir)

    def uri(self, role, db="wayfind"):
        return "postgresql:///%s?host=%s&user=%s" % (db, self.dir, role)

    def psql(self, sql, db="wayfind"):
        run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", self.uri("postgres", db), "-c", sql])

    def children_cpu(self):
        """CPU seconds of the postmaster's finished children (the backends)."""
        with open(os.path.join(self.data, "postmaster.pid")) as f:
            pid = int(f.readline())
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[13]) + int(fields[14])) / os.sysconf("SC_CLK_TCK")

    def stop(self):
        subprocess.run(as_server_user([PG_BIN + "/pg_ctl", "-D", self.data, "-m", "immediate", "-w", "stop"]),
                       cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.dir, ignore_errors=True)


def at_once(cmds, server, env=None):
    """Starts every command, then waits for all: (round wall s, per-process walls, client CPU s,
    server CPU s, failures)."""
    server_before = server.children_cpu()
    start = time.perf_counter()
    started = {}
    for cmd in cmds:
        p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        started[p.pid] = (p, time.perf_counter())
    walls, cpu, failed = [], 0.0, []
    while started:
        pid, status, usage = os.wait4(-1, 0)
        if pid not in started:
            continue
        p, t0 = started.pop(pid)
        walls.append(time.perf_counter() - t0)
        cpu += usage.ru_utime + usage.ru_stime
        if os.waitstatus_to_exitcode(status) != 0:
            failed.append(p.stderr.read().decode(errors="replace").strip())
        p.stderr.close()
        p.returncode = os.waitstatus_to_exitcode(status)
    wall = time.perf_counter() - start
    time.sleep(0.2)  # the last backends leave
    return wall, walls, cpu, server.children_cpu() - server_before, failed


def p95(xs):
    xs = sorted(xs)
    return xs[min(len(xs) - 1, int(round(0.95 * (len(xs) - 1))))]


def timed(cmd, env=None):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s failed: %s" % (" ".join(cmd), err))
    return wall * 1000.0, (usage.ru_utime + usage.ru_stime) * 1000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--clients", type=int, default=200)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--first-tree-runs", type=int, default=20)
    ap.add_argument("--max-connections", type=int, default=0, help="default: clients + 50")
    ap.add_argument("--before", help="an earlier build (app/wayfind and lib/) measured in the same rounds")
    args = ap.parse_args()
    before = before_env = None
    if args.before:
        before = os.path.abspath(os.path.join(args.before, "app", "wayfind"))
        lib = os.path.abspath(os.path.join(args.before, "lib"))
        before_env = dict(os.environ, LD_LIBRARY_PATH=lib + ":" + os.path.join(lib, "wayfind"))
    wayfind = os.path.abspath(os.path.join(args.build, "app", "wayfind"))
    floor = os.path.abspath(os.path.join(args.build, "bench", "erp", "bench_pg_connect_floor"))
    work = tempfile.mkdtemp(prefix="wayfind-logins-work-")
    server = Server(args.max_connections or args.clients + 50)
    try:
        server.psql("CREATE DATABASE wayfind", db="postgres")
        run([wayfind, "--db", server.uri("postgres"), "db", "init", "--demo"])
        users = list(range(FIRST_USER, FIRST_USER + args.clients))
        server.psql("INSERT INTO t_User(FUserID, FName) SELECT g, 'login ' || g FROM generate_series(%d, %d) g"
                    % (users[0], users[-1]))
        for u in users:
            run([wayfind, "--db", server.uri("postgres"), "db", "add-user", str(u), "login_%d" % u])
        print("%d clients, each an ERP user with a role of their own (at most 10 connections each), "
              "max_connections %d" % (args.clients, args.max_connections or args.clients + 50))

        def logins(r, program=wayfind):
            return [[program, "--db", server.uri("login_%d" % u), "--user", str(u), "--cache-dir",
                     os.path.join(work, "r%d-%d" % (r, u)), "tree"] for u in users]

        def floors():
            return [[floor, server.uri("login_%d" % u)] for u in users]

        # One of each first, unmeasured: the server's files in the page cache.
        at_once(floors()[:10], server)
        at_once(logins(0)[:10], server)
        ratios, before_ratios = [], []
        for r in range(1, args.rounds + 1):
            res = {}
            sides = [("floor", floors(), None), ("login", logins(r), None)]
            if before:
                sides.append(("before", logins(r + 1000, before), before_env))
            for side, cmds, env in sides:
                wall, walls, cpu, server_cpu, failed = at_once(cmds, server, env)
                res[side] = wall
                print("round %d %-6s %6.2f s  p50 %5.2f s  p95 %5.2f s  client CPU %5.2f s (%4.1f ms each)  "
                      "server CPU %5.2f s (%4.1f ms each)  failed %d  %s"
                      % (r, side, wall, statistics.median(walls), p95(walls), cpu, cpu * 1000 / len(cmds),
                         server_cpu, server_cpu * 1000 / len(cmds), len(failed), load()))
                for msg in sorted(set(failed))[:3]:
                    print("    failure: %s" % msg)
            ratios.append(res["login"] / res["floor"])
            print("round %d  %d logins at once / floor = %.2f (target <= 1.5)" % (r, args.clients, ratios[-1]))
            if before:
                before_ratios.append(res["before"] / res["floor"])
                print("round %d  the earlier build's logins / floor = %.2f" % (r, before_ratios[-1]))
        print("logins at once / floor: median %.2f, range %.2f to %.2f  %s"
              % (statistics.median(ratios), min(ratios), max(ratios), load()))
        if before:
            print("the earlier build / floor: median %.2f, range %.2f to %.2f"
                  % (statistics.median(before_ratios), min(before_ratios), max(before_ratios)))

        # A user's first tree on a new cache folder, one process at a time: the server
        # against an SQLite file holding the same company, alternated. The demo's
        # user 16385 has rows of his own.
        sqlite_db = os.path.join(work, "demo.db")
        run([wayfind, "--db", sqlite_db, "db", "init", "--demo"])
        user, role = 16385, "first_tree"
        run([wayfind, "--db", server.uri("postgres"), "db", "add-user", str(user), role])
        sides = {"sqlite": ([wayfind, "--db", sqlite_db], None), "server": ([wayfind, "--db", server.uri(role)], None)}
        if before:
            sides["before"] = ([before, "--db", server.uri(role)], before_env)
        # The first tree of a user new to the company too (no rows of their own,
        # unlike the demo's user above): one of the logins' users.
        newcomer = users[0]
        sides["new"] = ([wayfind, "--db", server.uri("login_%d" % newcomer)], None, newcomer)
        if before:
            sides["new-before"] = ([before, "--db", server.uri("login_%d" % newcomer)], before_env, newcomer)
        figures = {side: [] for side in sides}
        backends = {side: 0.0 for side in sides}  # the server's CPU for each side's runs
        for i in range(args.first_tree_runs + 2):
            for side, (cmd, env, *who) in sides.items():
                cache = os.path.join(work, "first-%s-%d" % (side, i))
                server_before = server.children_cpu()
                figure = timed(cmd + ["--user", str(who[0] if who else user), "--cache-dir", cache, "tree"], env)
                if side != "sqlite":
                    # The postmaster counts a backend's CPU once it has reaped it,
                    # which on a busy machine can come after the client has left.
                    deadline = time.perf_counter() + 0.5
                    while server.children_cpu() == server_before and time.perf_counter() < deadline:
                        time.sleep(0.002)
                shutil.rmtree(cache)
                if i >= 2:  # two runs to warm up
                    figures[side].append(figure)
                    backends[side] += server.children_cpu() - server_before
        med = {s: (statistics.median(w for w, _ in f), statistics.median(c for _, c in f)) for s, f in figures.items()}
        for s in sides:
            backend = "" if s == "sqlite" else "  server CPU %5.2f ms a login" % (backends[s] * 1000 / args.first_tree_runs)
            print("first tree on a new cache folder, %-10s median of %d: wall %6.2f ms  CPU %6.2f ms%s  %s"
                  % (s, args.first_tree_runs, med[s][0], med[s][1], backend, load()))
        print("first tree, server / SQLite: wall %.2f (target <= 2), CPU %.2f"
              % (med["server"][0] / med["sqlite"][0], med["server"][1] / med["sqlite"][1]))
        if before:
            print("first tree, the earlier build on the server / SQLite: wall %.2f, CPU %.2f"
                  % (med["before"][0] / med["sqlite"][0], med["before"][1] / med["sqlite"][1]))
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
