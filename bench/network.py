#!/usr/bin/env python3
"""Network refresh benchmark: one refresh of the network component in a
network namespace of its own holding 1, 100 and 500 tap links; the median of
several runs of the probe, which times the refresh itself. Needs root (it
makes the namespaces); without root it says so and measures nothing.

Usage: bench/network.py PROBE [runs]"""

import os
import statistics
import subprocess
import sys

SCRIPT = """set -e
mount --make-rprivate /
mount -t sysfs sysfs /sys
i=0; while [ $i -lt {links} ]; do echo "tuntap add dev t$i mode tap"; i=$((i+1)); done | ip -batch -
r=0; while [ $r -lt {runs} ]; do "$PROBE" | grep '^refresh '; r=$((r+1)); done
"""


def main():
    probe = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    if os.geteuid() != 0:
        print("network refresh: skipped (making namespaces needs root)")
        return
    env = dict(os.environ, PROBE=probe, KELVANE_MACHINE_REG="/nonexistent/machine.reg")
    print(f"{'links':>6} {'refresh (median of ' + str(runs) + ')':>28}")
    for links in (1, 100, 500):
        out = subprocess.run(["unshare", "--net", "--mount", "sh", "-c",
                              SCRIPT.format(links=links, runs=runs)],
                             env=env, capture_output=True, text=True, check=True).stdout
        times = [int(line.split()[1]) for line in out.splitlines()]
        print(f"{links:>6} {statistics.median(times) / 1000:>25.2f} ms")


if __name__ == "__main__":
    main()
