#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what desktops, software
# centres and users read from it.
#   check_install.sh BUILD_DIR VERSION
set -euo pipefail
build_dir=$1
version=$2
app_id=org.example.Quorvalink

for tool in desktop-file-validate appstreamcli identify systemd-analyze man; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup test" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.txt" ||
  { cat "$work/appstream.txt" >&2; fail "the AppStream metadata is not valid"; }

# The service's program and manual page are the installed ones, which verify checks exist.
unit=$prefix/lib/systemd/system/quorvalink-watch.service
grep -qx "ExecStart=$prefix/bin/quorvalink-cli watch .*" "$unit" 2>/dev/null || fail "$unit does not run $prefix/bin/quorvalink-cli"
# Settings that allow only listed devices would keep the serial ports out.
! grep -E '^(PrivateDevices|DevicePolicy|DeviceAllow|ProtectClock)=' "$unit" || fail "$unit keeps serial devices out"
# A setting verify cannot parse is only a warning to it, and ignored by systemd.
if ! MANPATH=$prefix/share/man systemd-analyze verify "$unit" >"$work/verify.txt" 2>&1 || [[ -s $work/verify.txt ]]; then
  cat "$work/verify.txt" >&2
  fail "systemd-analyze verify rejects or warns about $unit"
fi

icons=$prefix/share/icons/hicolor
for side in 16 24 32 48 64 128 256; do
  png=$icons/${side}x${side}/apps/$app_id.png
  if [[ ! -f $png ]]; then fail "no icon at $png"; continue; fi
  got=$(identify -format '%m %wx%h' "$png")
  [[ $got == "PNG ${side}x${side}" ]] || fail "$png is $got, not PNG ${side}x${side}"
done
grep -q '<svg' "$icons/scalable/apps/$app_id.svg" 2>/dev/null || fail "no scalable SVG icon"

# --version answers without a display and without the window's start-up.
IFS=. read -r major minor patch <<<"$version"
expected=$(printf 'Quorvalink %d.%d.%03d.1' "$major" "$minor" "$patch")
mkdir "$work/runtime"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/runtime" \
  timeout 20 "$prefix/bin/quorvalink" --version >"$work/out.txt" 2>"$work/err.txt" || status=$?
if [[ $status -ne 0 || $(cat "$work/out.txt") != "$expected" || -s $work/err.txt ]]; then
  fail "quorvalink --version gave exit status $status, output '$(cat "$work/out.txt")'" \
    "and errors '$(cat "$work/err.txt")'; expected '$expected' alone and status 0"
fi

((failures == 0)) || exit 1
echo "The installed tree is complete and valid."
