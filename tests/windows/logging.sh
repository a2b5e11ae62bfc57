#!/usr/bin/env bash
# End to end: the logging configuration of the Windows program comes from
# the registry, HKEY_LOCAL_MACHINE\Software\Morvel\Tesk, set here with
# wine's own `reg` in a wine prefix of the test's own: DebugEnabled=1 with a
# folder gives kelvane.sil there, and a log viewer listening on loopback
# receives the records over TCP. Runs in a network namespace of its own.
#   tests/windows/logging.sh <zip>
set -euo pipefail

zip=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'kelvane-*')
if ((EUID == 0)); then netns=(unshare --net --); else netns=(unshare --user --map-root-user --net --); fi

export WORK="$work" FOLDER="$folder"
"${netns[@]}" sh -c '
set -e
ip link set lo up
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
$wine wineboot --init >/dev/null 2>&1 || true
key="HKLM\\Software\\Morvel\\Tesk"
$wine reg add "$key" /v DebugEnabled /t REG_DWORD /d 1 /f >/dev/null
$wine reg add "$key" /v ActiveLevel /t REG_DWORD /d 0 /f >/dev/null
$wine reg add "$key" /v DirectDebugDirectory /t REG_SZ /d "C:\\kvlog" /f >/dev/null
$wine reg add "$key" /v DirectDebugTCP /t REG_SZ /d 127.0.0.1:42280 /f >/dev/null
# The viewer: takes one connection and keeps what it sends, bounded in time.
python3 -c "
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((\"127.0.0.1\", 42280)); s.listen(1); s.settimeout(60)
c, _ = s.accept(); c.settimeout(20)
with open(sys.argv[1], \"wb\") as f:
    while True:
        try:
            b = c.recv(65536)
        except socket.timeout:
            break
        if not b:
            break
        f.write(b)
" "$WORK/viewer.txt" &
viewer=$!
sleep 0.5
cd "$FOLDER"
# The window program, whose log is kelvane.sil; --version needs no window.
$wine ./kelvane.exe --version >"$WORK/out.txt" 2>"$WORK/err.txt" </dev/null || echo "exit $?" >>"$WORK/err.txt"
/usr/lib/wine/wineserver -k || true
wait $viewer || true
'
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
log="$work/prefix/drive_c/kvlog/kelvane.sil"
[[ -s "$log" ]] || fail "no log file C:\\kvlog\\kelvane.sil; standard error: $(cat "$work/err.txt")"
[[ -s "$log" ]] && { grep -q '"title":"Kelvane [0-9.]* started"' "$log" || fail "the log file has no start record: $(head -c 400 "$log")"; }
[[ -s "$work/viewer.txt" ]] || fail "the viewer received nothing"
[[ -s "$work/viewer.txt" ]] && { grep -q '"level":' "$work/viewer.txt" || fail "the viewer received no record: $(head -c 400 "$work/viewer.txt")"; }
((failures == 0)) && echo "logging: all checks passed"
exit $((failures > 0))
