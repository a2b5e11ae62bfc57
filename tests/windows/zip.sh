#!/usr/bin/env bash
# The Windows zip, unpacked into a folder of its own, runs with only what it
# holds: no Qt or compiler folder on the DLL search path. The text commands
# answer from the console program and, through redirected handles, from the
# window program too; the texts have Windows line ends.
#   tests/windows/zip.sh <zip>
set -euo pipefail

zip=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

export WINEPREFIX="${WINEPREFIX:?the suite names the wine prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH WINEQT_PLUGIN_PATH
if ((EUID == 0)); then netns=(unshare --net --); else netns=(unshare --user --map-root-user --net --); fi

unzip -q "$zip" -d "$work"
folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
[[ $(basename "$folder") == "$(basename "$zip" .zip)" ]] || fail "the zip's folder is $(basename "$folder")"
for file in kelvane.exe kelvane-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
            styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll README.txt; do
  [[ -f "$folder/$file" ]] || fail "$file is missing"
done
grep -q $'\r$' "$folder/README.txt" || fail "README.txt has no CR LF line ends"

run() { (cd "$folder" && "${netns[@]}" /usr/lib/wine/wine64 "$@" </dev/null); }

for program in kelvane-cli.exe kelvane.exe; do
  version=$(run "$program" --version 2>"$work/err" | tr -d '\r') || fail "$program --version failed: $(cat "$work/err")"
  [[ "$version" =~ ^Kelvane\ [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version said '$version'"
  run "$program" --help >"$work/help" 2>"$work/err" || fail "$program --help failed: $(cat "$work/err")"
  grep -q -- '--print' "$work/help" || fail "$program --help does not name --print"
  lines=$(wc -l <"$work/help")
  crlf=$(grep -c $'\r$' "$work/help" || true)
  [[ "$lines" -gt 0 && "$lines" == "$crlf" ]] || fail "$program --help: $crlf of $lines lines end in CR LF"
done

status=0
run kelvane-cli.exe --no-such-option >/dev/null 2>"$work/err" || status=$?
[[ $status == 2 ]] || fail "an unknown option gave exit code $status"
grep -q "no-such-option" "$work/err" || fail "an unknown option was not named: $(cat "$work/err")"

((failures == 0)) && echo "zip: all checks passed"
exit $((failures > 0))
