#!/bin/bash
# Milliseconds from launching the program to its main window being mapped, on a
# virtual X display, with four virtual ports (QUORVALINK_COM1..4) on socat
# pseudo-terminal pairs beside the system's own ports.
#   bench/startup/window_startup.sh [path/to/quorvalink] [runs]
set -euo pipefail

program=${1:-build/release/src/quorvalink}
runs=${2:-10}
[ -x "$program" ] || { echo "no program at $program (build the release preset first)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

for n in 1 2 3 4; do
    socat "pty,raw,echo=0,link=$work/com$n" "pty,raw,echo=0,link=$work/device$n" 2>/dev/null &
    pids+=($!)
    export QUORVALINK_COM$n=$work/com$n
done
for n in 1 2 3 4; do
    for _ in $(seq 100); do [ -e "$work/com$n" ] && break; sleep 0.02; done
done

# A lock directory of its own, so that a copy running elsewhere does not refuse it.
export XDG_RUNTIME_DIR=$work
export QT_QPA_PLATFORM=xcb

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

times=()
for run in $(seq "$runs"); do
    start=$(now_ms)
    "$program" >/dev/null 2>&1 &
    app=$!
    until xdotool search --all --onlyvisible --pid "$app" --name '^Quorvalink ' >/dev/null 2>&1; do
        kill -0 "$app" 2>/dev/null || { echo "the program ended before showing its window" >&2; exit 1; }
    done
    elapsed=$(( $(now_ms) - start ))
    times+=("$elapsed")
    echo "run $run: ${elapsed} ms"
    kill "$app"
    wait "$app" 2>/dev/null || true
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "launch to mapped window over $runs runs: median ${sorted[$(( runs / 2 ))]} ms, min ${sorted[0]} ms, max ${sorted[$(( runs - 1 ))]} ms"
