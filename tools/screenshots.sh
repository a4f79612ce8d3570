#!/usr/bin/env bash
# Runs the demo under Xvfb and saves PNGs of Ardmon into docs/: the main
# window, the main window after a load, and a viewer showing a section.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HALVO_DEMO_BUILD_DIR:-$ROOT/build}
export HALVO_DEMO_BUILD_DIR=$BUILD

if [ "${1:-}" != "--inside-display" ]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/halvo-shots.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  "$ROOT/examples/run-demo.sh" --setup "$scratch/workstation"
  GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$0" --inside-display "$scratch"
  exit 0
fi

scratch=$2
ws=$scratch/workstation
docs=$ROOT/docs
mkdir -p "$docs"

log() { printf '==> %s\n' "$*" >&2; }

# wait_window NAME: the id of the first visible window called NAME.
wait_window() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named $1" >&2
  return 1
}

# geometry ID: sets X Y W H of the window.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  X=$X Y=$Y W=$WIDTH H=$HEIGHT
}

# click_du ID WIDTH_DU HEIGHT_DU X_DU Y_DU: clicks a point given in the
# template's dialog units of window ID.
click_du() {
  geometry "$1"
  local px=$(( $4 * W / $2 )) py=$(( $5 * H / $3 ))
  xdotool mousemove --sync $(( X + px )) $(( Y + py )) click 1
  sleep 0.3
}

# shot ID FILE: the window's area of the screen.
shot() {
  geometry "$1"
  import -window root -crop "${W}x${H}+${X}+${Y}" +repage "$2"
  log "saved ${2#$ROOT/}"
}

cd "$ws"
"$BUILD/launcher/wx/ardmon" >"$scratch/ardmon.log" 2>&1 &
ardmon=$!
trap 'kill $ardmon 2>/dev/null || true' EXIT

main=$(wait_window "Halvo Launcher")
sleep 1
shot "$main" "$docs/ardmon-main.png"

# Pick UAT.ini (the list is sorted: DR, PROD, UAT) and load it.
click_du "$main" 278 121 80 32
xdotool key Down Down Down
sleep 0.3
click_du "$main" 278 121 190 31
box=$(wait_window "ardmon")
sleep 0.5
xdotool key Return
sleep 0.5
shot "$main" "$docs/ardmon-loaded.png"

# The client file in a viewer, its first section shown.
click_du "$main" 278 121 188 73
viewer=$(wait_window "View Environment")
sleep 0.5
xdotool windowmove "$viewer" 120 60
sleep 0.5
click_du "$viewer" 456 272 40 29
click_du "$viewer" 456 272 73 249
sleep 0.5
shot "$viewer" "$docs/ardmon-viewer.png"

kill $ardmon 2>/dev/null || true
wait $ardmon 2>/dev/null || true
