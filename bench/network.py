#!/usr/bin/env python3
"""Network benchmarks in a network namespace of their own holding 1, 100 and
500 tap links: one refresh of the network component (timed by the probe
itself), and `kelvane --print` against the iproute2 shell chain that reads
the same facts; medians of several runs in the same namespace. Needs root
(it makes the namespaces); without root it says so and measures nothing.

Usage: bench/network.py PROBE KELVANE [runs]"""

import os
import statistics
import subprocess
import sys

CHAIN = ("ip -j addr; ip -j route; ip -j -6 route; "
         "cat /etc/resolv.conf /etc/os-release; hostname")

SCRIPT = """set -e
mount --make-rprivate /
mount -t sysfs sysfs /sys
i=0; while [ $i -lt {links} ]; do echo "tuntap add dev t$i mode tap"; i=$((i+1)); done | ip -batch -
r=0
while [ $r -lt {runs} ]; do
  "$PROBE" | grep '^refresh '
  s=$(date +%s%N); "$KELVANE" --print > /dev/null; e=$(date +%s%N); echo "print $(( (e - s) / 1000 ))"
  s=$(date +%s%N); sh -c '{chain}' > /dev/null; e=$(date +%s%N); echo "chain $(( (e - s) / 1000 ))"
  r=$((r+1))
done
"""


def measure(probe, kelvane, runs):
    """Medians in ms per link count, or None without root."""
    if os.geteuid() != 0:
        return None
    env = dict(os.environ, PROBE=probe, KELVANE=kelvane, KELVANE_MACHINE_REG="/nonexistent/machine.reg")
    results = []
    for links in (1, 100, 500):
        out = subprocess.run(["unshare", "--net", "--mount", "sh", "-c",
                              SCRIPT.format(links=links, runs=runs, chain=CHAIN)],
                             env=env, capture_output=True, text=True, check=True).stdout
        times = {}
        for line in out.splitlines():
            key, value = line.split()
            times.setdefault(key, []).append(int(value) / 1000)
        results.append(dict(links=links, **{k: statistics.median(v) for k, v in times.items()}))
    return results


def main():
    probe, kelvane = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    results = measure(probe, kelvane, runs)
    if results is None:
        print("network benchmarks: skipped (making namespaces needs root)")
        return
    print(f"{'links':>6} {'refresh':>10} {'--print':>10} {'chain':>10} {'ratio':>6}   (medians of {runs})")
    for r in results:
        print(f"{r['links']:>6} {r['refresh']:>7.2f} ms {r['print']:>7.2f} ms {r['chain']:>7.2f} ms "
              f"{r['print'] / r['chain']:>6.2f}")


if __name__ == "__main__":
    main()
