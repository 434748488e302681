#!/usr/bin/env bash
# quorvalink-cli.exe waiting 15 s for a silent device on COM1 under Wine: over 10 s
# of the wait, the processor time of every process of the Wine prefix (the
# program's, the Wine server's and its helpers', from /proc) is at most 3 % of a
# core, and the program holds no more handles at the end than at the start.
#   silent_wait.sh quorvalink-cli.exe handle_count.exe
# Run by ctest in scripts/test-windows, which makes COM1 and exports the Wine settings.
set -euo pipefail
cli=$1
handle_count=$2
: "${WINEPREFIX:?set by scripts/test-windows}"

work=$(mktemp -d)
program=
trap '[[ -z $program ]] || kill "$program" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The processor time, in clock ticks, of every process running in this Wine prefix:
# the Wine server and the Windows programs.
ticks() {
  local total=0 pid stat
  for pid in $(ps -u "$(id -u)" -o pid=,args= | awk '$2 ~ /wineserver/ || /\.exe( |$)/ { print $1 }'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -q -x -F "WINEPREFIX=$WINEPREFIX" || continue
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
    # utime and stime, counted after the parenthesised command name.
    read -r -a fields <<<"${stat##*) }"
    total=$((total + fields[11] + fields[12]))
  done
  echo "$total"
}
handles() { wine "$handle_count" "$(basename "$cli")" | tr -d '\r'; }

# The program's standard output reaches the file only at its end; that it holds the
# port's pseudo-terminal open tells that it waits.
port=$(readlink -f "$WINEPREFIX/ports/com1")
wine "$cli" receive --port 1 --timeout 15 "$(winepath -w "$work/received.txt")" >"$work/cli.log" 2>&1 &
program=$!
waiting() { find "/proc/$program/fd" -lname "$port" 2>/dev/null | grep -q .; }
for ((try = 0; try < 100; try++)); do
  waiting && break
  sleep 0.1
done
waiting || fail "the CLI did not open COM1: $(cat "$work/cli.log")"

first=$(handles) || fail "no handle count for $cli"
start=$(ticks)
sleep 10
used=$(($(ticks) - start))
last=$(handles) || fail "no handle count for $cli at the end"
wait "$program" || true
program=

hertz=$(getconf CLK_TCK)
percent=$(awk -v used="$used" -v hertz="$hertz" 'BEGIN { printf "%.1f", used * 100 / hertz / 10 }')
echo "processor: $percent % of a core over 10 s; handles: $first at the start, $last at the end"
grep -q 'Device not responding' "$work/cli.log" || fail "the CLI did not time out: $(cat "$work/cli.log")"
((used * 100 <= 3 * hertz * 10)) || fail "the wait used $percent % of a core"
((last <= first)) || fail "the program held $first handles at the start of the wait and $last at its end"
