#!/usr/bin/env python3
"""Start-up benchmark: `kelvane --print` and the first shown window, each as
a ratio to a shell chain that reads the same facts with the system's own
tools, timed in the same run; peak resident memory of `kelvane --print`.

Usage: bench/startup.py BUILD_DIR [runs]"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

CHAIN = ("ip -j addr; ip -j route; ip -j -6 route; "
         "cat /etc/resolv.conf /etc/os-release; hostname")


def run(argv, env=None, shell=False):
    """Wall time in ms, peak RSS in KiB and CPU time (user + system) in ms of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, shell=shell, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = (time.perf_counter() - start) * 1000
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"startup.py: {argv} failed")
    return elapsed, usage.ru_maxrss, (usage.ru_utime + usage.ru_stime) * 1000


def median(argv, runs, **kw):
    results = [run(argv, **kw) for _ in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results)


def measure(build, runs):
    """Medians in ms and peak RSS in KiB of the chain, --print and the window."""
    headless = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    offscreen = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    kelvane = os.path.join(build, "kelvane")
    run(["bash", "-c", CHAIN])  # warm caches
    run(["sh", "-c", CHAIN])
    run([kelvane, "--print"], env=headless)
    # Alternating runs: a slower spell of the machine weighs on every side.
    # The chain in bash, as typed at a prompt, and in sh (dash on Debian),
    # the cheapest way the tools can be run.
    chain, sh_chain, printing = [], [], []
    for _ in range(runs):
        chain.append(run(["bash", "-c", CHAIN]))
        sh_chain.append(run(["sh", "-c", CHAIN]))
        printing.append(run([kelvane, "--print"], env=headless))
    chain_ms = statistics.median(r[0] for r in chain)
    sh_ms = statistics.median(r[0] for r in sh_chain)
    print_ms, print_rss = statistics.median(r[0] for r in printing), max(r[1] for r in printing)
    # CPU time is what the machine spends, whatever else runs meanwhile.
    sh_cpu = statistics.median(r[2] for r in sh_chain)
    print_cpu = statistics.median(r[2] for r in printing)
    # The window the way a user starts it: kelvane, which runs the window
    # program in its place; here a window program that ends once painted.
    with tempfile.TemporaryDirectory() as folder:
        shutil.copy2(kelvane, os.path.join(folder, "kelvane"))
        shutil.copy2(os.path.join(build, "bench", "kelvane_window_bench"), os.path.join(folder, "kelvane-window"))
        window_ms, window_rss = median([os.path.join(folder, "kelvane")], runs, env=offscreen)
    return dict(chain_ms=chain_ms, sh_ms=sh_ms, print_ms=print_ms, print_rss=print_rss,
                sh_cpu=sh_cpu, print_cpu=print_cpu,
                window_ms=window_ms, window_rss=window_rss)


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    m = measure(build, runs)
    print(f"{'what':<34}{'median ms':>10}{'vs chain':>10}{'peak RSS MiB':>14}")
    print(f"{'shell chain in bash':<34}{m['chain_ms']:>10.1f}{1.0:>10.2f}{'':>14}")
    print(f"{'shell chain in sh':<34}{m['sh_ms']:>10.1f}{m['sh_ms'] / m['chain_ms']:>10.2f}{'':>14}")
    print(f"{'kelvane --print (all groups)':<34}{m['print_ms']:>10.1f}{m['print_ms'] / m['chain_ms']:>10.2f}"
          f"{m['print_rss'] / 1024:>14.1f}")
    print(f"{'window shown (offscreen)':<34}{m['window_ms']:>10.1f}{m['window_ms'] / m['chain_ms']:>10.2f}"
          f"{m['window_rss'] / 1024:>14.1f}")
    print(f"CPU time: kelvane --print {m['print_cpu']:.1f} ms, chain in sh {m['sh_cpu']:.1f} ms "
          f"({m['print_cpu'] / m['sh_cpu']:.2f}x)")
    print("targets: --print <= 0.8x the chain in sh (CPU time); window shown <= 100 ms; "
          "--print RSS <= 30 MiB")


if __name__ == "__main__":
    main()
