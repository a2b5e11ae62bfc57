#!/usr/bin/env python3
"""Network benchmarks in network namespaces of their own holding 1, 100, 500
and 2,000 tap links: one refresh of the network component (timed by the
probe itself), and `kelvane --print` against the iproute2 shell chain in sh
that reads the same facts, as CPU time (user + system) and wall time,
medians of several runs side by side in the same namespace; peak RSS of
`--print`; and what one run asks of the system (strace): its system calls,
its netlink dumps and any file it opens more than once. Needs root (it
makes the namespaces); without root it says so and measures nothing.

Usage: bench/network.py PROBE KELVANE [runs]"""

import json
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

CHAIN = ("ip -j addr; ip -j route; ip -j -6 route; "
         "cat /etc/resolv.conf /etc/os-release; hostname")
LINKS = (1, 100, 500, 2000)


def timed(argv, env=None):
    """(wall ms, CPU ms, peak RSS KiB) of one run of argv."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = (time.perf_counter() - start) * 1000
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"network.py: {argv} failed")
    return wall, (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_maxrss


def traced(kelvane):
    """System calls of one `--print`: total, netlink dumps by kind, files
    opened more than once (None without strace)."""
    if not shutil.which("strace"):
        return None
    with tempfile.TemporaryDirectory() as folder:
        counts, calls = os.path.join(folder, "counts"), os.path.join(folder, "calls")
        subprocess.run(["strace", "-f", "-c", "-o", counts, kelvane, "--print"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        subprocess.run(["strace", "-f", "-s", "256", "-e", "trace=openat,sendto,sendmsg", "-o", calls,
                        kelvane, "--print"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        total = 0
        for line in open(counts):
            fields = line.split()
            if fields and fields[-1] == "total":
                total = int(fields[3])
        text = open(calls).read()
    dumps = {kind: len(re.findall(rf"RTM_GET{kind}\b", text)) for kind in ("LINK", "ADDR", "ROUTE")}
    opened = {}
    for path in re.findall(r'openat\([^"]*"([^"]+)"[^=]*= \d+', text):
        opened[path] = opened.get(path, 0) + 1
    # Relative names are attributes of the folder at hand (one per link).
    repeated = sorted(p for p, n in opened.items() if n > 1 and p.startswith("/"))
    return dict(total=total, dumps=dumps, repeated=repeated)


def inside(links, runs, probe, kelvane):
    """Runs in a fresh network and mount namespace: builds the links, then
    measures. Prints one JSON object."""
    for command in ("mount --make-rprivate /", "mount -t sysfs sysfs /sys", "ip link set lo up"):
        subprocess.run(command.split(), check=True)
    batch = "".join(f"tuntap add dev t{i} mode tap\n" for i in range(links))
    subprocess.run(["ip", "-batch", "-"], input=batch, text=True, check=True)
    refresh, printing, chain = [], [], []
    timed([kelvane, "--print"])  # warm caches
    for _ in range(runs):
        out = subprocess.run([probe], capture_output=True, text=True, check=True).stdout
        refresh += [float(line.split()[1]) / 1000 for line in out.splitlines() if line.startswith("refresh ")]
        printing.append(timed([kelvane, "--print"]))
        chain.append(timed(["sh", "-c", CHAIN]))
    print(json.dumps(dict(
        links=links,
        refresh=statistics.median(refresh),
        print_ms=statistics.median(p[0] for p in printing),
        print_cpu=statistics.median(p[1] for p in printing),
        print_rss=max(p[2] for p in printing),
        chain_ms=statistics.median(c[0] for c in chain),
        chain_cpu=statistics.median(c[1] for c in chain),
        trace=traced(kelvane))))


def measure(probe, kelvane, runs):
    """One result per link count, or None without root."""
    if os.geteuid() != 0:
        return None
    env = dict(os.environ, KELVANE_MACHINE_REG="/nonexistent/machine.reg")
    results = []
    for links in LINKS:
        out = subprocess.run(["unshare", "--net", "--mount", sys.executable, os.path.abspath(__file__),
                              "--inside", str(links), str(runs), probe, kelvane],
                             env=env, capture_output=True, text=True, check=True).stdout
        results.append(json.loads(out))
    return results


def exponent(results, low, high):
    """Growth exponent of --print's CPU time between two link counts."""
    by = {r["links"]: r for r in results}
    return math.log(by[high]["print_cpu"] / by[low]["print_cpu"]) / math.log(high / low)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--inside":
        inside(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5])
        return
    probe, kelvane = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    results = measure(probe, kelvane, runs)
    if results is None:
        print("network benchmarks: skipped (making namespaces needs root)")
        return
    print(f"{'links':>6} {'refresh':>9} {'--print CPU':>12} {'chain CPU':>10} {'ratio':>6} "
          f"{'--print wall':>13} {'RSS MiB':>8} {'syscalls':>9}   (medians of {runs})")
    for r in results:
        trace = r["trace"] or {}
        print(f"{r['links']:>6} {r['refresh']:>6.2f} ms {r['print_cpu']:>9.1f} ms {r['chain_cpu']:>7.1f} ms "
              f"{r['print_cpu'] / r['chain_cpu']:>6.2f} {r['print_ms']:>10.1f} ms {r['print_rss'] / 1024:>8.1f} "
              f"{trace.get('total', '-'):>9}")
    print(f"growth exponent of --print CPU time, 500 -> 2,000 links: {exponent(results, 500, 2000):.2f}")
    for r in results:
        if r["trace"]:
            d = r["trace"]["dumps"]
            print(f"{r['links']} links, one run: dumps of links {d['LINK']}, addresses {d['ADDR']}, "
                  f"routes {d['ROUTE']}; files opened more than once: {', '.join(r['trace']['repeated']) or 'none'}")


if __name__ == "__main__":
    main()
