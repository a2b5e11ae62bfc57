#!/usr/bin/env bash
# End to end: the Windows program's --print under wine on a host this test
# builds in namespaces of its own (network, mount, host name), beside the
# Linux program's on the same host. The host has one veth link with a known
# MAC, two IPv4 addresses in a /24, an IPv6 address, a default route to the
# peer (in a second namespace) and a resolv.conf of its own; wine gets a
# prefix of its own, started inside, so its services see this host and
# every DNS query it sends stays here. Needs root.
#   tests/windows/network.sh <zip> [<Linux kelvane>]
# Without the Linux program only the Windows text is checked.
set -euo pipefail

if ((EUID != 0)); then
  echo "SKIP: needs root to build a host in namespaces"
  exit 0
fi
zip=$(realpath "$1")
linux=${2:-}
if [[ -n "$linux" && -x "$linux" ]]; then linux=$(realpath "$linux"); else linux=""; fi
work=$(mktemp -d)
peer=""
cleanup() {
  [[ -n "$peer" ]] && kill "$peer" 2>/dev/null
  # KELVANE_KEEP=1 keeps the texts, the wine prefix and its working file.
  if [[ -n "${KELVANE_KEEP:-}" ]]; then echo "network: kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
unzip -q "$zip" -d "$work"
folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'kelvane-*')

# The peer end of the link lives in a namespace with nothing else in it.
unshare --net sleep 600 &
peer=$!

export WORK="$work" FOLDER="$folder" PEER="$peer" LINUX="$linux"
unshare --net --mount --uts sh -c '
set -e
mount --make-rprivate /
mount -t sysfs sysfs /sys
hostname kvhost
echo 0 > /proc/sys/net/ipv6/conf/default/accept_dad
echo 0 > /proc/sys/net/ipv6/conf/all/accept_dad
ip link set lo up
ip link add kv0 address 02:4b:56:00:00:01 type veth peer name kv1
ip link set kv1 netns "$PEER"
nsenter -t "$PEER" -n sh -c "ip link set lo up; ip addr add 10.77.0.1/24 dev kv1; ip link set kv1 up"
ip addr add 10.77.0.2/24 dev kv0
ip addr add 10.77.0.3/24 dev kv0
ip -6 addr add fd77::2/64 dev kv0 nodad
ip link set kv0 up
ip route add default via 10.77.0.1
printf "nameserver 10.77.0.53\n" > "$WORK/resolv.conf"
mount --bind "$WORK/resolv.conf" /etc/resolv.conf
mkdir -p "$WORK/temp"

export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
cd "$FOLDER"
/usr/lib/wine/wine64 ./kelvane-cli.exe --print >"$WORK/windows.txt" 2>"$WORK/windows.err" </dev/null ||
  echo "exit $?" >>"$WORK/windows.err"
/usr/lib/wine/wineserver -k || true
if [ -n "$LINUX" ]; then
  temp="$WORK/temp" KELVANE_MACHINE_REG=/nonexistent/machine.reg "$LINUX" --print \
    >"$WORK/linux.txt" 2>"$WORK/linux.err" </dev/null || echo "exit $?" >>"$WORK/linux.err"
fi
'
kill "$peer" 2>/dev/null || true
peer=""

[ -s "$work/linux.err" ] && { echo "Linux standard error:"; cat "$work/linux.err"; }
python3 "$(dirname "$0")/network_check.py" "$work"
