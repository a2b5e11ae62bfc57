#!/usr/bin/env python3
"""Checks what network.sh gathered: the Windows program's --print text shows
what the host was built with, and agrees with the Linux program's line by
line except where wine answers differently from Windows (each such line is
named below with the reason)."""

import os
import re
import sys

WORK = sys.argv[1]
MAC = "02:4B:56:00:00:01"

# Lines that differ for a known reason: (group, caption) -> why. A group is
# "General Information" or "adapter" (the host's veth link).
WINE_GAPS = {
    ("General Information", "Network connected"):
        "wine's Win32_PingStatus answers no instance, so the logon server is never reached",
    ("adapter", "IPv6 Address"):
        "wine answers no Meta_Class definition, so the network-card report reads no property "
        "and never completes the records with the IPv6 addresses WMI holds",
}
# What each system shows in its own way.
SYSTEM_DIFFERENCES = {
    ("General Information", "Computer Name"): "Windows names the computer in capitals",
    ("General Information", "Domain"): "a local logon's domain is the computer name, in capitals",
    ("General Information", "Logon Server"): "a local logon's server is the computer, in capitals",
    ("General Information", "Operating System"): "the Linux build names the distribution",
    ("General Information", "Service Pack"): "the Linux build has none",
}

failures = []


def fail(text):
    failures.append(text)


def read(name):
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def groups(text):
    """Caption line -> {caption: value} of a --print text."""
    result, current = {}, None
    for line in text.split("\n"):
        if not line.strip():
            current = None
        elif not line.startswith("\t"):
            current = result.setdefault(line.strip(), {})
        elif current is not None:
            key, _, value = line.strip().partition(":\t")
            current[key] = value
    return result


def adapter(found, label):
    for caption, lines in found.items():
        if lines.get("MAC Address") == MAC:
            return lines
    fail(f"{label}: no adapter with the MAC address {MAC}")
    return {}


raw = read("windows.txt")
errors = (read("windows.err") or b"").decode("utf-8", "replace").strip()
if not raw:
    print(f"FAIL: the Windows program printed nothing; standard error: {errors}")
    sys.exit(1)
lines = raw.split(b"\n")[:-1]
bare = [n for n, line in enumerate(lines, 1) if not line.endswith(b"\r")]
if bare:
    fail(f"Windows text: lines {bare[:5]} do not end in CR LF")
windows = groups(raw.decode("utf-8").replace("\r\n", "\n"))

general = windows.get("General Information", {})
expected_general = {
    "Computer Name": re.compile(r"(?i)kvhost"),
    "IP Address": re.compile(r"10\.77\.0\.2"),
}
for caption, pattern in expected_general.items():
    if not pattern.fullmatch(general.get(caption, "")):
        fail(f"Windows General Information {caption}: {general.get(caption)!r}")
if not general.get("User"):
    fail("Windows General Information has no user")

link = adapter(windows, "Windows")
expected_link = {
    "Description": "kv0",
    "IPv4 Address": "10.77.0.2,10.77.0.3",
    "Subnet Mask": "255.255.255.0,255.255.255.0",
    "Default Gateway": "10.77.0.1",
    "DNS Server": "10.77.0.53",
}
for caption, value in expected_link.items():
    if link and link.get(caption) != value:
        fail(f"Windows adapter {caption}: {link.get(caption)!r}, configured {value!r}")

linux_raw = read("linux.txt")
if linux_raw is None:
    print("network: no Linux program given; the line-by-line comparison is left out")
else:
    linux = groups(linux_raw.decode("utf-8"))
    pairs = [("General Information", general, linux.get("General Information", {})),
             ("adapter", link, adapter(linux, "Linux"))]
    for name, win, lin in pairs:
        for caption in sorted(set(win) | set(lin)):
            if win.get(caption) == lin.get(caption):
                continue
            if (name, caption) in WINE_GAPS:
                print(f"network: {name} {caption} differs, a wine gap: {WINE_GAPS[(name, caption)]}")
                continue
            capitals = SYSTEM_DIFFERENCES.get((name, caption), "").find("capitals") >= 0
            if (name, caption) in SYSTEM_DIFFERENCES and win.get(caption) and lin.get(caption) and \
                    (not capitals or win[caption] == lin[caption].upper()):
                print(f"network: {name} {caption} differs: {SYSTEM_DIFFERENCES[(name, caption)]}")
                continue
            fail(f"{name} {caption}: Windows {win.get(caption)!r}, Linux {lin.get(caption)!r}")

for text in failures:
    print("FAIL:", text)
if errors:
    print("Windows standard error:", errors)
if failures:
    sys.exit(1)
print("network: all checks passed")
