#!/usr/bin/env python3
"""Every benchmark of `make bench` in one run on this machine, as one table:
what was measured, the result, and its target. The pieces can still be run
alone (the benchmark programs, bench/startup.py, bench/network.py).

Usage: bench/report.py BUILD_DIR"""

import json
import os
import platform
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import network  # noqa: E402
import startup  # noqa: E402


def google_benchmark(binary, *args):
    """name -> (real time, time unit, counters) of a Google Benchmark program."""
    out = subprocess.run([binary, "--benchmark_format=json", *args], capture_output=True,
                         text=True, check=True).stdout
    return {b["name"]: b for b in json.loads(out)["benchmarks"]}


def working_file(binary):
    """The largest working file the program accepts, written by one process
    and read back by another, so that only the reading counts."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "NetworkAdapters.xml")
        # A little under the 64 MiB the reader accepts.
        written = json.loads(subprocess.run([binary, "write", path, str(64 * 2**20 - 2**20)],
                                            capture_output=True, text=True, check=True).stdout)
        read = json.loads(subprocess.run([binary, "read", path], capture_output=True, text=True,
                                         check=True).stdout)
    return {**read, "bytes": written["bytes"]}


def row(what, value, target=""):
    print(f"| {what} | {value} | {target} |")


def main():
    build = sys.argv[1]
    bench = os.path.join(build, "bench")
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), platform.processor())
    print(f"Machine: {cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}\n")
    print("| what | result | target |")
    print("|---|---|---|")

    start = startup.measure(build, 40)
    row("`kelvane --print` vs the iproute2 chain in bash / in sh, wall time",
        f"{start['print_ms']:.1f} ms vs {start['chain_ms']:.1f} / {start['sh_ms']:.1f} ms "
        f"({start['print_ms'] / start['chain_ms']:.2f}x / {start['print_ms'] / start['sh_ms']:.2f}x)", "")
    row("`kelvane --print` vs the chain in sh, CPU time",
        f"{start['print_cpu']:.1f} ms vs {start['sh_cpu']:.1f} ms ({start['print_cpu'] / start['sh_cpu']:.2f}x)",
        "<= 0.8x")
    row("window through `kelvane`, created and painted (offscreen)", f"{start['window_ms']:.1f} ms", "<= 100 ms")
    row("peak RSS `--print` / window", f"{start['print_rss'] / 1024:.1f} / {start['window_rss'] / 1024:.1f} MiB",
        "`--print` <= 30 MiB")

    nets = network.measure(os.path.join(bench, "kelvane_network_bench"), os.path.join(build, "kelvane"), 7)
    if nets is None:
        row("network refresh and `--print` for 1 / 100 / 500 / 2,000 links", "skipped: needs root", "")
    else:
        by = {n["links"]: n for n in nets}
        row("network refresh, 1 / 100 / 500 / 2,000 links",
            " / ".join(f"{n['refresh']:.1f} ms" for n in nets), "<= 2 ms for 1; 500 <= 100 ms")
        row("`--print` CPU time vs the chain in sh, 1 / 100 / 500 / 2,000 links",
            " / ".join(f"{n['print_cpu']:.1f} ms ({n['print_cpu'] / n['chain_cpu']:.1f}x)" for n in nets),
            "2,000: <= 5x")
        row("growth exponent of `--print`, 500 to 2,000 links", f"{network.exponent(nets, 500, 2000):.2f}",
            "<= 1.05")
        row("peak RSS of `--print` at 2,000 links", f"{by[2000]['print_rss'] / 1024:.1f} MiB", "<= 30 MiB")
        for n in nets:
            t = n["trace"]
            if t:
                d = t["dumps"]
                row(f"one `--print` at {n['links']:,} links: system calls; dumps of links / addresses / "
                    "routes; files opened twice",
                    f"{t['total']:,}; {d['LINK']} / {d['ADDR']} / {d['ROUTE']}; {', '.join(t['repeated']) or 'none'}",
                    "one dump each; system files once")

    sysinfo = google_benchmark(os.path.join(bench, "kelvane_sysinfo_bench"))
    view, devices = sysinfo["BM_BuildSystemView"], sysinfo["BM_RefreshDevices"]
    row("system view + device table", f"{view['real_time'] / 1000:.2f} + {devices['real_time'] / 1000:.2f} ms",
        "<= 5 ms")

    serial = google_benchmark(os.path.join(bench, "kelvane_serialization_bench"))
    rt = [b for n, b in serial.items() if n.startswith("BM_SerializerRoundTrip/") and "BigO" not in n
          and "RMS" not in n]
    ad = [b for n, b in serial.items() if n.startswith("BM_AdapterRoundTrip/") and "BigO" not in n
          and "RMS" not in n]
    row("serializer round trip, 1,000 / 10,000 records",
        f"{rt[0]['real_time']:.1f} / {rt[1]['real_time']:.0f} ms ({rt[1]['real_time'] / rt[0]['real_time']:.1f}x)",
        "<= 50 ms; <= 12x")
    row("adapter records through the mapper, 1,000 / 10,000",
        f"{ad[0]['real_time']:.1f} / {ad[1]['real_time']:.0f} ms ({ad[1]['real_time'] / ad[0]['real_time']:.1f}x)",
        "<= 100 ms; linear")

    working = working_file(os.path.join(bench, "kelvane_working_file_bench"))
    row(f"working file of {working['bytes'] / 2**20:.0f} MiB ({working['records']:,} records) read back",
        f"{working['ms'] / 1000:.1f} s, peak RSS {working['peak_kib'] / 1024:.0f} MiB "
        f"({working['peak_kib'] * 1024 / working['bytes']:.1f}x the file)", "<= 4x the file")

    loaders = google_benchmark(os.path.join(bench, "kelvane_loaders_bench"))
    half, full = loaders["BM_IniLoad/57500"]["real_time"], loaders["BM_IniLoad/115000"]["real_time"]
    row("translator INI file of 1 MiB, 115,000 sections (and of half that)",
        f"{full:.0f} ms ({full / half:.1f}x half)", "< 1 s; linear")

    logging = google_benchmark(os.path.join(bench, "kelvane_bench"))
    off = logging["BM_LoggingOff"]["real_time"] if "BM_LoggingOff" in logging else None
    written = logging.get("BM_FileTarget", {}).get("real_time")
    if off is not None and written is not None:
        row("one logging call, off / written to a file", f"{off:.1f} ns / {written / 1000:.1f} µs", "")


if __name__ == "__main__":
    main()
