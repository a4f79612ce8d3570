#!/usr/bin/env bash
# Ardmon.exe, the Windows launcher, under wine in a scratch copy of the demo
# workstation (the shipped folder is never changed). VovuvAvavar.exe there is
# a stand-in Windows program that writes the folder it was started in to
# launched.txt and exits.
#
#   tools/demo-windows.sh                build, set up a fresh copy, start Ardmon.exe
#   tools/demo-windows.sh --screenshot   the same under Xvfb: picks UAT.ini, loads it,
#                                        opens a viewer and saves docs/ardmon-wine.png
#
# HALVO_WINDOWS_BUILD_DIR overrides the build folder (default: build-windows/).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HALVO_WINDOWS_BUILD_DIR:-$ROOT/build-windows}

log() { printf '==> %s\n' "$*" >&2; }

if [ "${1:-}" != "--inside-display" ]; then
  log "building Ardmon.exe in $BUILD"
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVO_BUILD_BENCH=OFF -DHALVO_BUILD_EXAMPLES=OFF >/dev/null
  cmake --build "$BUILD" --parallel "$(nproc 2>/dev/null || echo 2)" --target Ardmon VovuvAvavar
fi

export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${1:-}" = "--screenshot" ]; then
  # Make (or start) the prefix without a display and let its server go
  # first: a window opened while it lingers would never show.
  DISPLAY= wineboot -u >/dev/null 2>&1 || true
  wineserver -w
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --inside-display
  exit 0
fi

demo=$(mktemp -d "${TMPDIR:-/tmp}/halvo-wine-demo.XXXXXX")
cp -R "$ROOT/examples/workstation/." "$demo/"
chmod -R u+w "$demo"
cp "$BUILD/launcher/win32/tests/VovuvAvavar.exe" "$demo/VovuvAvavar.exe" 2>/dev/null ||
  cp "$BUILD/launcher/win32/VovuvAvavar.exe" "$demo/VovuvAvavar.exe"
cd "$demo"
log "demo workstation: $demo"

if [ "${1:-}" != "--inside-display" ]; then
  wine "$BUILD/launcher/win32/Ardmon.exe"
  wineserver -w
  if [ -f launched.txt ]; then
    log "VovuvAvavar.exe (the stand-in) was started in $(head -n1 launched.txt)"
  fi
  exit 0
fi

# --inside-display: drive the windows with xdotool and take the picture.
wait_window() {
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window named $1" >&2
  return 1
}
# click_du ID X_DU Y_DU: clicks a point given in dialog units of template 102
# (278 x 121) inside window ID.
click_du() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2 * WIDTH / 278)) $((Y + $3 * HEIGHT / 121)) click 1
  sleep 0.5
}

wine "$BUILD/launcher/win32/Ardmon.exe" &
main=$(wait_window "Halvo Launcher")
sleep 1
click_du "$main" 81 31            # the profile list's edit field
xdotool key --delay 150 Down Down  # DR.ini, PROD.ini, UAT.ini
sleep 0.3
xdotool key Down
sleep 0.3
click_du "$main" 190 31           # &Load
box=$(wait_window "Ardmon")
xdotool key --window "$box" Return
sleep 0.5
click_du "$main" 188 73           # &View: the client file
view=$(wait_window "View Environment")
xdotool windowmove "$view" 0 250  # below the main window (there is no window manager)
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$view")"
xdotool mousemove --sync $((X + 16 * WIDTH / 456)) $((Y + 29 * HEIGHT / 272)) click --repeat 2 1
sleep 1.5
import -window root -crop "$((X + WIDTH))x$((Y + HEIGHT))+0+0" +repage "$ROOT/docs/ardmon-wine.png"
log "saved docs/ardmon-wine.png"
wineserver -k || true
