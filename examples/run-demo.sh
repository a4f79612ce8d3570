#!/usr/bin/env bash
# Builds Ardmon and the demo terminal, sets up a copy of the demo workstation
# (the shipped folder is never changed) and starts Ardmon in it.
#
#   examples/run-demo.sh                 build, set up a fresh copy, start Ardmon
#   examples/run-demo.sh --setup DIR     build and set up DIR only (used by the screenshots)
#
# HALVO_DEMO_BUILD_DIR overrides the build folder (default: build/ at the top).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HALVO_DEMO_BUILD_DIR:-$ROOT/build}

log() { printf '==> %s\n' "$*" >&2; }

setup_only=""
if [ "${1:-}" = "--setup" ]; then
  setup_only=${2:?usage: run-demo.sh --setup DIR}
fi

log "building Ardmon and the demo terminal in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVO_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$BUILD" --parallel "$(nproc 2>/dev/null || echo 2)" --target ardmon halvo_terminal

if [ -n "$setup_only" ]; then
  demo=$setup_only
  mkdir -p "$demo"
else
  demo=$(mktemp -d "${TMPDIR:-/tmp}/halvo-demo.XXXXXX")
fi
log "demo workstation: $demo"
cp -R "$ROOT/examples/workstation/." "$demo/"
chmod -R u+w "$demo"

install -m 0755 "$BUILD/examples/terminal/halvo-terminal" "$demo/VovuvAvavar.exe"

[ -n "$setup_only" ] && exit 0

log "starting Ardmon (the copy stays in $demo)"
cd "$demo"
exec "$BUILD/launcher/wx/ardmon"
