#!/usr/bin/env python3
"""Writes large seeds, one folder per fuzz target below OUT_DIR: files of
tens of thousands of sections, keys, records, terms or references, up to the
largest input the parser accepts where reading it stays well under a second
with the sanitizers (a translator INI file of 1 MiB takes about one).
Mutations seldom grow a small seed into such a file; starting from them,
`make fuzz` finds loads that grow faster than their input, since those run
into its timeout. Generated rather than committed: they are megabytes, and
the same on every run.

Usage: fuzz/large_seeds.py OUT_DIR"""

import os
import sys

KIB = 1024
MIB = 1024 * KIB


def fill(line, limit, start=0):
    """Numbered copies of line (a format with one {}) up to limit bytes."""
    parts, size, i = [], 0, start
    while True:
        part = line.format(i)
        if size + len(part) > limit:
            return "".join(parts)
        parts.append(part)
        size += len(part)
        i += 1


def ini():
    # As many sections as 1 MiB holds, and one section of as many keys.
    return {
        "sections.ini": fill("[{}]\n", MIB),
        "keys.ini": "[IPEnabled]\n" + fill("k{}=v\n", MIB - 12),
    }


def regfile():
    header = "Windows Registry Editor Version 5.00\n\n"
    return {
        "subkeys.reg": header + fill("[HKLM\\A\\{}]\n", MIB),
        "values.reg": header + "[HKLM\\A]\n" + fill('"{}"=dword:1\n', MIB),
        "deleted.reg": header + "[HKLM\\A]\n" + fill('"{0}"=dword:1\n"{0}"=-\n', MIB // 2),
        "hexlist.reg": header + "[HKLM\\A]\n\"B\"=hex:" + "01,02,\\\n" * (MIB // 32) + "03\n",
    }


def xml():
    return {
        "children.xml": "<a>" + fill("<b>{}</b>", MIB) + "</a>",
        "attributes.xml": "<a " + fill('a{}="1" ', 256 * KIB) + "/>",
        "texts.xml": "<a>" + fill("t{}<!---->", MIB) + "</a>",
    }


def adapter_file():
    record = ("<TNetworkAdapterData><Name>eth{}</Name><IPs>10.0.0.1,10.0.0.2</IPs>"
              "<IPv6Addresses><string>fe80::1</string></IPv6Addresses></TNetworkAdapterData>")
    return {"records.xml": '<?xml version="1.0" encoding="utf-8"?>\n<TNetworkAdapterDataList>'
            + fill(record, MIB // 2) + "</TNetworkAdapterDataList>"}


def wql():
    select = "SELECT * FROM Win32_PingStatus WHERE Address = 'x'"
    return {
        "or.wql": select + fill(" OR Timeout = {}", 256 * KIB),
        "and.wql": select + fill(" AND Timeout = {}", 256 * KIB),
        "properties.wql": "SELECT Index" + fill(", P{}", 256 * KIB) + " FROM C",
    }


def connections():
    return {
        "many.txt": fill('mem(maxsize="{}"), ', 256 * KIB).rstrip(", "),
        "options.txt": "file(" + fill('level="debug", ', 256 * KIB) + 'filename="/tmp/k")',
    }


def resolvconf():
    return {
        "servers.conf": fill("nameserver 10.0.{}.1\n", 64 * KIB),
        "search.conf": "search" + fill(" d{}.test", 64 * KIB - 8) + "\n",
    }


def osrelease():
    return {"long.os-release": fill('X{}="a b"\n', 64 * KIB - 32) + 'PRETTY_NAME="Debian"\n'}


def leases():
    lease = 'lease6 {{\n  interface "eth{0}";\n  ia-na 00:00:00:01 {{\n  }}\n}}\n'
    return {"many.leases": 'default-duid "\\000\\001";\n' + fill(lease, MIB)}


def dhcp4_leases():
    lease = 'lease {{\n  interface "eth{0}";\n  option dhcp-server-identifier 10.0.0.1;\n}}\n'
    return {
        "dhclient.leases": fill(lease, 256 * KIB),
        "networkd": fill("X{}=1\n", 64 * KIB - 32) + "SERVER_ADDRESS=10.0.0.1\n",
    }


def ip_helpers():
    return {
        "colons.txt": "fe80" + "::1" * (256 * KIB // 3 - 2),
        "lists.txt": fill("10.0.0.{},", 128 * KIB) + "\n" + fill("255.255.255.{},", 128 * KIB),
    }


def expand_env():
    return {
        "references.txt": "A=x\nPATH=/usr/bin:/bin\n\n" + fill("%A%%PATH%%{}%", 256 * KIB - 32),
        "long_value.txt": "A=" + "v" * (32 * KIB) + "\n\n" + "%A%" * 64,
    }


SEEDS = {
    "fuzz_ini": ini, "fuzz_regfile": regfile, "fuzz_xml": xml, "fuzz_adapter_file": adapter_file,
    "fuzz_wql": wql, "fuzz_connections": connections, "fuzz_resolvconf": resolvconf,
    "fuzz_osrelease": osrelease, "fuzz_leases": leases, "fuzz_dhcp4_leases": dhcp4_leases,
    "fuzz_ip_helpers": ip_helpers, "fuzz_expand_env": expand_env,
}


def main():
    out = sys.argv[1]
    for target, make in SEEDS.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, text in make().items():
            path = os.path.join(out, target, name)
            data = text.encode()
            # Same bytes as last time: leave the file (and its time) alone.
            if os.path.exists(path) and open(path, "rb").read() == data:
                continue
            with open(path, "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
